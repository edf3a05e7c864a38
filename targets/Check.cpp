#include "targets/Check.h"

#include <algorithm>
#include <cstdlib>

#include "compose/ApplyInnerTone.h"
#include "reveal/Scores.h"
#include "targets/Resample.h"

namespace {

const char* const kVerdictNames[] = {"survives", "degraded", "destroyed"};
const char* const kShowsNames[] = {"none", "visible", "hidden", "blend", "moire"};

// Whether every sample of a point-sampled thumbnail falls on one phase of the
// checkerboard: its parity (0 even cells, 1 odd), or none.
std::optional<int> PointPhase(int width, int height, const TPipeline& pipeline) {
  int w = width, h = height;
  std::optional<int> phase;
  for (const TStep& step : pipeline) {
    if (step.kind != TStepKind::skFit && step.kind != TStepKind::skPixels) continue;
    const TViewSize size = StepSize(step, w, h);
    if (size.width == w && size.height == h) continue;
    // A second shrink of a shrunk picture no longer samples R's cells.
    if (step.filter != TFitFilter::ffPoint || w != width || h != height) return std::nullopt;
    const auto parity = [](const std::vector<int>& taps) -> std::optional<int> {
      for (const int t : taps)
        if ((t & 1) != (taps[0] & 1)) return std::nullopt;
      return taps[0] & 1;
    };
    const auto columns = parity(PointTaps(w, size.width));
    const auto rows = parity(PointTaps(h, size.height));
    if (!columns || !rows) return std::nullopt;
    phase = (*columns + *rows) & 1;
    w = size.width, h = size.height;
  }
  return phase;
}

}  // namespace

const char* VerdictName(TVerdict verdict) {
  return kVerdictNames[static_cast<int>(verdict)];
}

const char* ThumbnailShowsName(TThumbnailShows shows) {
  return kShowsNames[static_cast<int>(shows)];
}

TVerdict VerdictOf(std::optional<double> hidden_psnr, std::optional<double> grey_psnr) {
  if (hidden_psnr && *hidden_psnr >= kSurvivesPsnr) return TVerdict::hvSurvives;
  if (grey_psnr && *grey_psnr >= kDegradedGreyPsnr) return TVerdict::hvDegraded;
  return TVerdict::hvDestroyed;
}

void PhasePicture(const TBitmap& result, int phase, TBitmap& picture) {
  const int width = result.Width(), height = result.Height();
  PrepareRaster(picture, width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* up = y > 0 ? result.ConstScanline(y - 1) : nullptr;
    const uint8_t* row = result.ConstScanline(y);
    const uint8_t* down = y + 1 < height ? result.ConstScanline(y + 1) : nullptr;
    uint8_t* out = picture.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const size_t i = 3 * static_cast<size_t>(x);
      if (((x + y) & 1) == phase) {
        std::copy(row + i, row + i + 3, out + i);
        continue;
      }
      int sum[3] = {0, 0, 0}, n = 0;
      const auto add = [&](const uint8_t* p) {
        for (int c = 0; c < 3; ++c) sum[c] += p[c];
        ++n;
      };
      if (x > 0) add(row + i - 3);
      if (x + 1 < width) add(row + i + 3);
      if (up != nullptr) add(up + i);
      if (down != nullptr) add(down + i);
      for (int c = 0; c < 3; ++c)
        out[i + static_cast<size_t>(c)] =
            static_cast<uint8_t>(n == 0 ? 128 : (2 * sum[c] + n) / (2 * n));
    }
  }
}

void PrepareCheck(const TBitmap& result, const TBitmap* visible, const TBitmap* hidden,
                  const TToneBand& band, TCheckPictures& pictures) {
  CheckBand(band);
  pictures.result.Assign(&result);
  pictures.result.SetPixelFormat(TPixelFormat::Bits24);
  pictures.band = band;
  pictures.visible_given = visible != nullptr;
  pictures.hidden_given = hidden != nullptr;
  if (visible != nullptr)
    FitToResult(pictures.result, *visible, pictures.visible);
  else
    PhasePicture(pictures.result, 0, pictures.visible);
  if (hidden != nullptr) {
    FitToResult(pictures.result, *hidden, pictures.hidden);
    // The mapped picture: the tone mapping applied to every cell.
    const TToneTable tone(band.average, band.contrast);
    PrepareRaster(pictures.mapped, pictures.hidden.Width(), pictures.hidden.Height());
    for (int y = 0; y < pictures.hidden.Height(); ++y) {
      const uint8_t* h = pictures.hidden.ConstScanline(y);
      uint8_t* m = pictures.mapped.Scanline(y);
      for (int i = 0; i < 3 * pictures.hidden.Width(); ++i) m[i] = tone.map[h[i]];
    }
  } else {
    PhasePicture(pictures.result, 1, pictures.mapped);
    TViewOptions options;
    options.view = TRevealView::rvHidden;
    options.band = band;
    MakeView(pictures.result, options, pictures.hidden);
  }
}

TThumbnailShows ThumbnailShows(const TBitmap& thumbnail, const TBitmap& of_visible,
                               const TBitmap& of_hidden) {
  uint64_t votes[3] = {0, 0, 0};  // visible, hidden, blend
  for (int y = 0; y < thumbnail.Height(); ++y) {
    const uint8_t* t = thumbnail.ConstScanline(y);
    const uint8_t* v = of_visible.ConstScanline(y);
    const uint8_t* h = of_hidden.ConstScanline(y);
    for (int x = 0; x < 3 * thumbnail.Width(); x += 3) {
      int apart = 0, to_v = 0, to_h = 0, to_b = 0;
      for (int c = x; c < x + 3; ++c) {
        apart += std::abs(v[c] - h[c]);
        to_v += std::abs(t[c] - v[c]);
        to_h += std::abs(t[c] - h[c]);
        // Twice the distance to the mean, in whole numbers.
        to_b += std::abs(2 * t[c] - v[c] - h[c]);
      }
      if (apart < kVoteDifference) continue;
      to_v *= 2, to_h *= 2;
      ++votes[to_b < std::min(to_v, to_h) ? 2 : to_v <= to_h ? 0 : 1];
    }
  }
  const uint64_t total = votes[0] + votes[1] + votes[2];
  if (total == 0) return TThumbnailShows::tsVisible;
  if (4 * votes[0] >= 3 * total) return TThumbnailShows::tsVisible;
  if (4 * votes[1] >= 3 * total) return TThumbnailShows::tsHidden;
  if (4 * votes[2] >= 3 * total) return TThumbnailShows::tsBlend;
  return TThumbnailShows::tsMoire;
}

void CheckTarget(const TNamedTarget& target, const TCheckPictures& pictures, const TUpload& upload,
                 TTargetCheck& check, TPipelineCache* cache) {
  check.target = target.name;
  const TBitmap& r = pictures.result;
  RunPipeline(r, target.recipe.full, upload, check.full, false, cache, "result");
  check.fits = !check.full.refused;

  // The normal view, against the visible picture as the target's shrinking leaves it.
  TPipelineRun visible;
  RunPipeline(pictures.visible, target.recipe.full, upload, visible, true, cache, "visible");
  const TBitmap& f = check.full.picture;
  check.visible_psnr = VisiblePsnr(f, visible.picture);

  // The hidden picture through the band; at another size against the hidden picture there.
  TBitmap hidden;
  if (f.Width() == r.Width() && f.Height() == r.Height())
    hidden.Assign(&pictures.hidden);
  else
    FitToResult(f, pictures.hidden, hidden);
  check.hidden_psnr = HiddenPsnr(f, hidden, pictures.band);
  check.hidden_grey_psnr = HiddenGreyPsnr(f, hidden, pictures.band);
  check.verdict = VerdictOf(check.hidden_psnr, check.hidden_grey_psnr);

  check.band_stored = upload.has_text;
  check.band_survives =
      upload.has_text && check.full.text_kept && f.Width() == r.Width() && f.Height() == r.Height();

  if (target.recipe.thumbnail) {
    const TPipeline& steps = *target.recipe.thumbnail;
    TPipelineRun thumb, of_visible, of_hidden;
    RunPipeline(r, steps, upload, thumb, false, cache, "result");
    RunPipeline(pictures.visible, steps, upload, of_visible, false, cache, "visible");
    RunPipeline(pictures.mapped, steps, upload, of_hidden, false, cache, "mapped");
    if (thumb.picture.Width() == r.Width() && thumb.picture.Height() == r.Height()) {
      // A thumbnail as large as the picture keeps its one-pixel checkerboard, which the eye
      // merges as it merges the normal view: compared as 2 x 2 means.
      TViewOptions merge;
      merge.view = TRevealView::rvAverage;
      TBitmap t, v, h;
      MakeView(thumb.picture, merge, t);
      MakeView(of_visible.picture, merge, v);
      MakeView(of_hidden.picture, merge, h);
      check.thumbnail = ThumbnailShows(t, v, h);
    } else {
      check.thumbnail = ThumbnailShows(thumb.picture, of_visible.picture, of_hidden.picture);
    }
    check.thumbnail_picture.Assign(&thumb.picture);
    check.thumbnail_phase = PointPhase(r.Width(), r.Height(), steps);
  } else {
    check.thumbnail = TThumbnailShows::tsNone;
    check.thumbnail_picture.Assign(nullptr);
    check.thumbnail_phase.reset();
  }
}
