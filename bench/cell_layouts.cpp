// Whether another layout of the cells keeps the hidden picture better through JPEG's 4:2:0
// chroma subsampling than the one-pixel checkerboard, at the same visible-psnr. A
// measurement for the notes, not a benchmark of speed:
//
//   build/bench/cell_layouts VISIBLE.bmp HIDDEN.bmp [VISIBLE.bmp HIDDEN.bmp]...
//
// (BMP files: lumiveil convert makes them of the bundled PNG and JPEG pictures.)
//
// Layouts (a pixel is a hidden cell when):
//   one        x + y odd: the synthesis's own checkerboard
//   two        x / 2 + y / 2 odd: a checkerboard of 2 x 2 blocks, each block one whole
//              chroma sample of 4:2:0, so no chroma sample mixes the two pictures
//   row-pairs  y / 2 odd: stripes two rows high; the chroma samples stay whole as with
//              `two`, and the luminance pattern has only a vertical frequency of a period
//              of 4 rows, which JPEG's tables quantise more finely than the checkerboards'
//              diagonal frequencies
// For each pair given and each band, every layout but `one` takes the contrast nearest the
// band's own (same average) whose visible-psnr (the lossless normal view against the
// visible picture) lies within 0.02 dB of the checkerboard's. Columns:
//   half view        how much the hidden picture shows at half size (2 x 2 means of the
//                    result against the visible picture's): the checkerboard blends there
//   hidden-psnr      after JPEG q85 4:2:0, the hidden cells mapped back through the band
//                    against the hidden picture; grey the same in luminance
//   whole hidden     the whole hidden picture, the other cells filled from the hidden cells
//                    around them, lossless and after JPEG: what a coarser layout loses
//   thumbnail        imageboard's thumbnail (box filter to 250 x 250, JPEG q50), scored as
//                    lumiveil check scores a picture of another size
// On the checkerboard the JPEG score is checked against lumiveil check's own (a difference
// is printed on standard error). With CELL_LAYOUTS_SAVE=DIR in the environment every result
// is also written there as BMP, to be looked at.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "compose/ApplyInnerTone.h"
#include "raster/Bitmap.h"
#include "reveal/Band.h"
#include "reveal/Scores.h"
#include "targets/Catalogue.h"
#include "targets/Check.h"
#include "targets/Codecs.h"

namespace {

using TLayout = std::function<bool(int x, int y)>;

struct TNamedLayout {
  const char* name;
  TLayout hidden_cell;
};

const TNamedLayout kLayouts[] = {
    {"one", [](int x, int y) { return ((x + y) & 1) != 0; }},
    {"two", [](int x, int y) { return (((x >> 1) + (y >> 1)) & 1) != 0; }},
    {"row-pairs", [](int, int y) { return ((y >> 1) & 1) != 0; }},
};

void Compose(const TBitmap& visible, const TBitmap& hidden, const TToneBand& band,
             const TLayout& layout, TBitmap& out) {
  const TToneTable tone(band.average, band.contrast);
  out.Assign(&visible);
  out.SetPixelFormat(TPixelFormat::Bits24);
  for (int y = 0; y < out.Height(); ++y) {
    uint8_t* o = out.Scanline(y);
    const uint8_t* h = hidden.ConstScanline(y);
    for (int x = 0; x < out.Width(); ++x)
      if (layout(x, y))
        for (int c = 0; c < 3; ++c) o[3 * x + c] = tone.map[h[3 * x + c]];
  }
}

// The hidden cells after the target mapped back through the band against the hidden
// picture; with grey, their luminance (Luma of the bytes mapped back) against its.
double LayoutHiddenPsnr(const TBitmap& picture, const TBitmap& hidden, const TToneBand& band,
                        const TLayout& layout, bool grey) {
  const TInverseTone inverse(band);
  uint64_t squares = 0, count = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* p = picture.ConstScanline(y);
    const uint8_t* h = hidden.ConstScanline(y);
    for (int x = 0; x < picture.Width(); ++x) {
      if (!layout(x, y)) continue;
      const uint8_t back[3] = {inverse.map[p[3 * x]], inverse.map[p[3 * x + 1]],
                               inverse.map[p[3 * x + 2]]};
      if (grey) {
        const int d = Luma(back) - Luma(h + 3 * x);
        squares += static_cast<uint64_t>(d * d);
        ++count;
      } else {
        for (int c = 0; c < 3; ++c, ++count) {
          const int d = back[c] - h[3 * x + c];
          squares += static_cast<uint64_t>(d * d);
        }
      }
    }
  }
  return Psnr(squares, count);
}

// The whole hidden picture as it comes back: the hidden cells mapped back through the band,
// every other pixel the mean of the hidden cells in the 3 x 3 square around it (5 x 5 where
// that has none), against the whole hidden picture. Unlike the score over the hidden cells
// alone, it counts what a coarser layout loses between its cells.
double WholeHiddenPsnr(const TBitmap& picture, const TBitmap& hidden, const TToneBand& band,
                       const TLayout& layout) {
  const TInverseTone inverse(band);
  const int w = picture.Width(), h = picture.Height();
  uint64_t squares = 0, count = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* want = hidden.ConstScanline(y);
    for (int x = 0; x < w; ++x) {
      int sum[3] = {0, 0, 0}, n = 0;
      for (int r = 0; r <= 2 && n == 0; ++r)
        for (int dy = -r; dy <= r; ++dy)
          for (int dx = -r; dx <= r; ++dx) {
            const int xx = x + dx, yy = y + dy;
            if (xx < 0 || yy < 0 || xx >= w || yy >= h || !layout(xx, yy)) continue;
            if (r > 0 && std::abs(dx) < r && std::abs(dy) < r) continue;  // counted at r - 1
            const uint8_t* p = picture.ConstScanline(yy) + 3 * xx;
            for (int c = 0; c < 3; ++c) sum[c] += inverse.map[p[c]];
            ++n;
          }
      for (int c = 0; c < 3; ++c, ++count) {
        const int got = n == 0 ? 128 : (2 * sum[c] + n) / (2 * n);
        const int d = got - want[3 * x + c];
        squares += static_cast<uint64_t>(d * d);
      }
    }
  }
  return Psnr(squares, count);
}

// How much the hidden picture shows in a view at half size (2 x 2 means, as a browser at
// 50 % or a box thumbnail shows it): the result's means against the visible picture's.
double HalfViewPsnr(const TBitmap& result, const TBitmap& visible) {
  uint64_t squares = 0, count = 0;
  for (int y = 0; y + 1 < result.Height(); y += 2) {
    const uint8_t* r0 = result.ConstScanline(y);
    const uint8_t* r1 = result.ConstScanline(y + 1);
    const uint8_t* v0 = visible.ConstScanline(y);
    const uint8_t* v1 = visible.ConstScanline(y + 1);
    for (int x = 0; x + 1 < result.Width(); x += 2)
      for (int c = 0; c < 3; ++c, ++count) {
        const int i = 3 * x + c, j = i + 3;
        const int d = (r0[i] + r0[j] + r1[i] + r1[j]) - (v0[i] + v0[j] + v1[i] + v1[j]);
        squares += static_cast<uint64_t>(d * d);
      }
  }
  return Psnr(squares, count * 16);  // the sums are four times the means
}

const char* Base(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

std::unique_ptr<TBitmap> Load(const std::string& name) {
  auto picture = std::make_unique<TBitmap>();
  picture->LoadFromFile(name);
  picture->SetPixelFormat(TPixelFormat::Bits24);
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 == 0) {
    std::fprintf(stderr,
                 "usage: cell_layouts VISIBLE.bmp HIDDEN.bmp [VISIBLE.bmp HIDDEN.bmp]...\n");
    return 1;
  }
  const TToneBand bands[] = {{128, 127}, {128, 64}, {200, 40}, {230, 25}};
  const char* thumbnail = "fit:250x250:box,jpeg:50:420";  // imageboard's thumbnail
  std::printf(
      "| pair | band | layout | C | visible-psnr | half view | hidden-psnr after jpeg85 | grey | "
      "whole hidden lossless | whole after jpeg85 | after the thumbnail |\n"
      "|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (int arg = 1; arg + 1 < argc; arg += 2) {
    const char* pair[2] = {argv[arg], argv[arg + 1]};
    const auto visible = Load(pair[0]);
    const auto loaded = Load(pair[1]);
    TBitmap hidden;
    FitToResult(*visible, *loaded, hidden);
    for (const TToneBand& band : bands) {
      TBitmap base;
      Compose(*visible, hidden, band, kLayouts[0].hidden_cell, base);
      const double target_visible = VisiblePsnr(base, *visible);
      for (const TNamedLayout& layout : kLayouts) {
        // The contrast nearest the band's own whose visible-psnr lies within 0.02 dB of the
        // checkerboard's (the score is not monotonic in C, so the nearest score alone could
        // pick a far band); failing that, the one of the nearest score.
        TToneBand chosen = band;
        if (&layout != &kLayouts[0]) {
          double best = -1;
          for (int d = 0; d <= ContrastLimit(band.average); ++d) {
            bool found = false;
            for (const int c : {band.contrast - d, band.contrast + d}) {
              if (c < 1 || c > ContrastLimit(band.average)) continue;
              TBitmap r;
              Compose(*visible, hidden, {band.average, c}, layout.hidden_cell, r);
              const double off = std::abs(VisiblePsnr(r, *visible) - target_visible);
              if (best < 0 || off < best) best = off, chosen.contrast = c;
              if (off <= 0.02) {
                found = true;
                break;
              }
            }
            if (found) break;
          }
        }
        TBitmap result, after;
        Compose(*visible, hidden, chosen, layout.hidden_cell, result);
        int64_t bytes = 0;
        JpegRoundTrip(result, {85, true}, after, bytes);
        const double hidden_psnr =
            LayoutHiddenPsnr(after, hidden, chosen, layout.hidden_cell, false);
        const double grey_psnr = LayoutHiddenPsnr(after, hidden, chosen, layout.hidden_cell, true);
        TCheckPictures pictures;
        PrepareCheck(result, visible.get(), &hidden, chosen, pictures);
        TUpload upload;
        TTargetCheck thumb;
        CheckTarget(ResolveTarget(thumbnail), pictures, upload, thumb);
        if (&layout == &kLayouts[0]) {
          // The measure agrees with lumiveil check's on the checkerboard.
          TTargetCheck check;
          CheckTarget(ResolveTarget("jpeg85"), pictures, upload, check);
          if (std::abs(*check.hidden_psnr - hidden_psnr) > 1e-9)
            std::fprintf(stderr, "check scores %.4f, this %.4f\n", *check.hidden_psnr, hidden_psnr);
        }
        std::printf(
            "| %s/%s | %d/%d | %s | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f |\n",
            Base(pair[0]), Base(pair[1]), band.average, band.contrast, layout.name, chosen.contrast,
            VisiblePsnr(result, *visible), HalfViewPsnr(result, *visible), hidden_psnr, grey_psnr,
            WholeHiddenPsnr(result, hidden, chosen, layout.hidden_cell),
            WholeHiddenPsnr(after, hidden, chosen, layout.hidden_cell),
            thumb.hidden_psnr.value_or(0));
        if (std::getenv("CELL_LAYOUTS_SAVE") != nullptr) {
          const std::string name = std::string(std::getenv("CELL_LAYOUTS_SAVE")) + "/" +
                                   Base(pair[0]) + "-" + layout.name + "-" +
                                   std::to_string(band.average) + "-" +
                                   std::to_string(chosen.contrast) + ".bmp";
          result.SaveToFile(name);
        }
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
