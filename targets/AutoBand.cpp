#include "targets/AutoBand.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "reveal/Views.h"
#include "targets/Resample.h"

namespace {

constexpr int kTile = 64;                   // a multiple of 16: JPEG's blocks at 4:2:0
constexpr int64_t kReducedPixels = 262144;  // the reduced copy, about
constexpr int kMaxTried = 120;              // bands run through the target, at most

bool Fits(const TToneBand& band) {
  return band.contrast <= ContrastLimit(band.average);
}

// The visible score of every band, exactly: with f the mapped byte without its offset
// (which depends on C alone) and o = A - C, the squared error of the odd cells is
// sum over hidden bytes h of n(f + o)^2 - 2 (f + o) S1 + S2, where n, S1 and S2 count the
// odd cells' bytes of value h and sum the visible bytes beside them and their squares:
// P(C) + o Q(C) + o^2 N. The even cells add nothing.
class TVisibleScores {
 public:
  TVisibleScores(const TBitmap& visible, const TBitmap& hidden) {
    uint64_t s1[256] = {}, s2[256] = {};
    const int width = visible.Width();
    for (int y = 0; y < visible.Height(); ++y) {
      const uint8_t* v = visible.ConstScanline(y);
      const uint8_t* h = hidden.ConstScanline(y);
      for (int x = (y + 1) & 1; x < width; x += 2)
        for (int i = 3 * x; i < 3 * x + 3; ++i) {
          ++histogram[h[i]];
          s1[h[i]] += v[i];
          s2[h[i]] += static_cast<uint64_t>(v[i]) * v[i];
        }
    }
    for (const uint64_t n : histogram) odd_bytes += n;
    all_bytes_ = 3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(visible.Height());
    for (int c = 0; c <= 128; ++c) {
      const TToneTable tone(c, c);  // offset 0: the mapped bytes without A - C
      int64_t p = 0, q = 0;
      for (int h = 0; h < 256; ++h) {
        if (histogram[h] == 0) continue;
        const auto n = static_cast<int64_t>(histogram[h]);
        const int64_t f = tone.map[h];
        p += n * f * f - 2 * f * static_cast<int64_t>(s1[h]) + static_cast<int64_t>(s2[h]);
        q += 2 * (n * f - static_cast<int64_t>(s1[h]));
      }
      p_[c] = p, q_[c] = q;
    }
  }

  double Psnr(const TToneBand& band) const {
    const int64_t o = band.average - band.contrast;
    const int64_t squares =
        p_[band.contrast] + o * q_[band.contrast] + o * o * static_cast<int64_t>(odd_bytes);
    return ::Psnr(static_cast<uint64_t>(std::max<int64_t>(0, squares)), all_bytes_);
  }

  // The hidden score of a target that keeps every byte: the band's rounding alone.
  std::optional<double> LosslessHiddenPsnr(const TToneBand& band) const {
    return KeptHiddenPsnr(histogram, band);
  }

  uint64_t histogram[256] = {};
  uint64_t odd_bytes = 0;

 private:
  int64_t p_[129] = {}, q_[129] = {};
  uint64_t all_bytes_ = 0;
};

// The averages that meet the bound for each contrast: an interval (the squared error is
// convex in A), empty where lo > hi, and the average that shows the hidden picture least.
struct TFeasible {
  int lo[129], hi[129], best[129];
  int widest = -1;  // the largest contrast with any average, -1 none
  TToneBand most_visible;
  double most_visible_psnr = -1;

  TFeasible(const TVisibleScores& scores, double bound) {
    for (int c = 0; c <= 128; ++c) {
      lo[c] = 256, hi[c] = -1, best[c] = -1;
      double best_psnr = -1;
      for (int a = c; a <= 255; ++a) {
        const TToneBand band{a, c};
        if (!Fits(band)) continue;
        const double psnr = scores.Psnr(band);
        if (psnr > best_psnr) best_psnr = psnr, best[c] = a;
        if (psnr > most_visible_psnr) most_visible_psnr = psnr, most_visible = band;
        if (psnr >= bound) lo[c] = std::min(lo[c], a), hi[c] = std::max(hi[c], a);
      }
      if (lo[c] <= hi[c]) {
        widest = c;
        best[c] = std::clamp(best[c], lo[c], hi[c]);
      }
    }
  }

  bool Meets(const TToneBand& band) const {
    return band.contrast >= 0 && band.contrast <= 128 && band.average >= lo[band.contrast] &&
           band.average <= hi[band.contrast];
  }
};

// Copies of the visible and hidden picture made of kTile x kTile tiles spread evenly over
// them, each cut at a multiple of 16 (so on the same cell phase and JPEG block grid).
void ReducedCopies(const TBitmap& visible, const TBitmap& hidden, TBitmap& v, TBitmap& h) {
  const int width = visible.Width(), height = visible.Height();
  const double tiles = static_cast<double>(kReducedPixels) / (kTile * kTile);
  int across = std::max(1, static_cast<int>(std::lround(std::sqrt(tiles * width / height))));
  across = std::min(across, width / kTile);
  const int down = std::clamp(static_cast<int>(tiles / across), 1, height / kTile);
  const auto origin = [](int i, int count, int size) {
    const double centre = (i + 0.5) * size / count;
    const int at = std::clamp(static_cast<int>(centre) - kTile / 2, 0, size - kTile);
    return at / 16 * 16;
  };
  for (auto [from, to] : {std::pair{&visible, &v}, std::pair{&hidden, &h}}) {
    PrepareRaster(*to, across * kTile, down * kTile);
    for (int ty = 0; ty < down; ++ty) {
      const int y0 = origin(ty, down, height);
      for (int tx = 0; tx < across; ++tx) {
        const int x0 = origin(tx, across, width);
        for (int y = 0; y < kTile; ++y)
          std::copy_n(from->ConstScanline(y0 + y) + 3 * x0, 3 * kTile,
                      to->Scanline(ty * kTile + y) + 3 * tx * kTile);
      }
    }
  }
}

// Runs bands through the target on one pair of pictures, each band once.
class TBandTrial {
 public:
  TBandTrial(const TBitmap& visible, const TBitmap& hidden, const TPipeline& steps,
             const TBandGoal& goal)
      : hidden_(hidden), steps_(steps), goal_(goal) {
    upload_.kind = goal.upload;  // bytes unknown: the caller meets the limits
    TBitmap copy;
    copy.Assign(&hidden);
    Synthesize(result_, visible, copy, 128, 127);
  }

  std::optional<double> Score(const TToneBand& band) {
    ApplyInnerTone(result_, hidden_, band.average, band.contrast);
    TBitmap upload;
    upload.Assign(&result_);
    if (goal_.form) {
      goal_.form(upload);
      upload.SetPixelFormat(TPixelFormat::Bits24);  // a palette form's 8 bits, as read back
    }
    TPipelineRun run;
    RunPipeline(upload, steps_, upload_, run);
    const TBitmap& after = run.picture;
    if (after.Width() == hidden_.Width() && after.Height() == hidden_.Height())
      return HiddenPsnr(after, hidden_, band);
    if (fitted_.Width() != after.Width() || fitted_.Height() != after.Height())
      FitToResult(after, hidden_, fitted_);
    return HiddenPsnr(after, fitted_, band);
  }

 private:
  const TBitmap& hidden_;
  const TPipeline& steps_;
  const TBandGoal& goal_;
  TUpload upload_;
  TBitmap result_, fitted_;
};

double Value(const std::optional<double>& psnr) {
  return psnr ? *psnr : -std::numeric_limits<double>::infinity();
}

}  // namespace

TPipeline ActingSteps(const TPipeline& pipeline, int width, int height, TUploadKind upload,
                      bool* shrinks, bool* kept) {
  TPipeline acting;
  bool shrunk = false, keeps = false;
  int w = width, h = height;
  for (const TStep& step : pipeline) {
    if (step.kind == TStepKind::skKeep) {
      const bool kind = step.keep == TKeepKind::kkPalette ? upload == TUploadKind::ukPalettePng
                                                          : upload != TUploadKind::ukOther;
      if (kind && width <= step.width && height <= step.height) {
        keeps = true;
        break;
      }
    } else if (step.kind == TStepKind::skFit || step.kind == TStepKind::skPixels) {
      const TViewSize size = StepSize(step, w, h);
      if (size.width == w && size.height == h) continue;
      acting.push_back(step);
      shrunk = true;
      w = size.width, h = size.height;
    } else if (step.kind == TStepKind::skJpeg || step.kind == TStepKind::skWebp) {
      acting.push_back(step);
    }
  }
  if (shrinks != nullptr) *shrinks = shrunk;
  if (kept != nullptr) *kept = keeps;
  return acting;
}

TChosenBand ChooseBand(const TBitmap& visible, const TBitmap& hidden, const TBandGoal& goal) {
  const TVisibleScores scores(visible, hidden);
  const TFeasible feasible(scores, goal.min_visible);
  if (feasible.widest < 0)
    throw EBandBound(Format(STargetBandBound, goal.min_visible, feasible.most_visible_psnr,
                            feasible.most_visible.average, feasible.most_visible.contrast));

  TChosenBand chosen;
  TPipeline steps;
  if (goal.pipeline != nullptr)
    steps = ActingSteps(*goal.pipeline, visible.Width(), visible.Height(), goal.upload,
                        &chosen.shrinks);
  chosen.lossless = steps.empty() && !goal.form;
  // A better hidden score wins; at equal scores the one that shows less in the normal view.
  const auto better = [&](const TToneBand& a, double score_a, const TToneBand& b, double score_b) {
    if (score_a != score_b) return score_a > score_b;
    return scores.Psnr(a) > scores.Psnr(b);
  };

  if (chosen.lossless) {
    // Every band scored exactly; for each contrast the average that shows least.
    double best_score = 0;
    bool any = false;
    for (int c = 0; c <= feasible.widest; ++c) {
      if (feasible.lo[c] > feasible.hi[c]) continue;
      const TToneBand band{feasible.best[c], c};
      const double score = Value(scores.LosslessHiddenPsnr(band));
      if (!any || better(band, score, chosen.band, best_score))
        chosen.band = band, best_score = score;
      any = true;
    }
  } else {
    // Large pictures are searched on their reduced copy unless the target shrinks them
    // (tiles would meet another shrink than the picture's).
    TBitmap small_visible, small_hidden;
    const bool reduce = !chosen.shrinks &&
                        static_cast<int64_t>(visible.Width()) * visible.Height() > kReducedPixels &&
                        visible.Width() >= kTile && visible.Height() >= kTile;
    if (reduce) ReducedCopies(visible, hidden, small_visible, small_hidden);
    chosen.searched_reduced = reduce;
    TBandTrial trial(reduce ? small_visible : visible, reduce ? small_hidden : hidden, steps, goal);

    std::map<std::pair<int, int>, double> tried;
    // The first bands: contrasts from the widest down, with averages across each interval.
    std::vector<TToneBand> first;
    for (const int below : {0, 4, 8, 16, 32, 64}) {
      const int c = feasible.widest - below;
      if (c < 0) break;
      if (feasible.lo[c] > feasible.hi[c]) continue;
      const int lo = feasible.lo[c], hi = feasible.hi[c];
      for (const int a : {feasible.best[c], lo, hi, lo + (hi - lo) / 4, lo + 3 * (hi - lo) / 4})
        first.push_back({a, c});
    }
    const int total = static_cast<int>(first.size()) + 40;
    const auto score = [&](const TToneBand& band) {
      const auto at = tried.find({band.average, band.contrast});
      if (at != tried.end()) return at->second;
      if (goal.progress && !goal.progress(static_cast<int>(tried.size()), total))
        throw EBandStopped(Format(STargetBandStopped));
      const double value = Value(trial.Score(band));
      tried[{band.average, band.contrast}] = value;
      return value;
    };
    double best_score = -std::numeric_limits<double>::infinity();
    bool any = false;
    for (const TToneBand& band : first) {
      const double s = score(band);
      if (!any || better(band, s, chosen.band, best_score)) chosen.band = band, best_score = s;
      any = true;
    }
    // Refined around the best: each step size until no neighbour does better.
    for (const int step : {8, 4, 2, 1}) {
      for (bool moved = true; moved && static_cast<int>(tried.size()) < kMaxTried;) {
        moved = false;
        const TToneBand centre = chosen.band;
        for (int dc = -step; dc <= step; dc += step)
          for (int da = -step; da <= step; da += step) {
            const TToneBand band{centre.average + da, centre.contrast + dc};
            if ((da == 0 && dc == 0) || !feasible.Meets(band)) continue;
            const double s = score(band);
            if (better(band, s, chosen.band, best_score)) {
              chosen.band = band, best_score = s;
              moved = true;
            }
          }
      }
    }
    chosen.tried = static_cast<int>(tried.size());
  }

  chosen.limit = feasible.widest == 128 ? TBandLimit::blSlider : TBandLimit::blVisible;
  // Confirmed at full size: the scores check gives this file.
  const TBandScores confirmed = ScoreBand(visible, hidden, chosen.band, goal);
  chosen.visible_psnr = confirmed.visible_psnr;
  chosen.hidden_psnr = confirmed.hidden_psnr;
  return chosen;
}

TBandScores ScoreBand(const TBitmap& visible, const TBitmap& hidden, const TToneBand& band,
                      const TBandGoal& goal) {
  CheckBand(band);
  const TVisibleScores scores(visible, hidden);
  TBandScores result;
  result.visible_psnr = scores.Psnr(band);
  TPipeline steps;
  if (goal.pipeline != nullptr)
    steps = ActingSteps(*goal.pipeline, visible.Width(), visible.Height(), goal.upload);
  if (steps.empty() && !goal.form) {
    result.hidden_psnr = scores.LosslessHiddenPsnr(band);
  } else if (scores.odd_bytes > 0) {
    TBandTrial whole(visible, hidden, steps, goal);
    result.hidden_psnr = whole.Score(band);
  }
  return result;
}
