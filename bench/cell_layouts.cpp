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
// For every bundled pair and band, each layout other than `one` takes the contrast (same
// average) that brings its visible-psnr (the lossless normal view) nearest to the
// checkerboard's; then through each target, hidden-psnr is the hidden cells of the picture
// after the target mapped back through the band against the hidden picture. The thumbnail
// targets are scored as lumiveil check scores them (the thumbnail's odd cells against the
// hidden picture at its size): no layout keeps a checkerboard through a filtering shrink.
#include <cmath>
#include <cstdio>
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
      "| pair | band | layout | C | visible-psnr | hidden-psnr after jpeg85 | grey | "
      "after the thumbnail |\n|---|---|---|---|---|---|---|---|\n");
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
        // The contrast whose visible-psnr comes nearest to the checkerboard's.
        TToneBand chosen = band;
        double best = -1;
        for (int c = 1; c <= ContrastLimit(band.average); ++c) {
          TBitmap r;
          Compose(*visible, hidden, {band.average, c}, layout.hidden_cell, r);
          const double off = std::abs(VisiblePsnr(r, *visible) - target_visible);
          if (best < 0 || off < best) best = off, chosen.contrast = c;
          if (&layout == &kLayouts[0]) break;  // the checkerboard keeps its own band
        }
        if (&layout == &kLayouts[0]) chosen = band;
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
        std::printf("| %s/%s | %d/%d | %s | %d | %.2f | %.2f | %.2f | %.2f |\n", pair[0], pair[1],
                    band.average, band.contrast, layout.name, chosen.contrast,
                    VisiblePsnr(result, *visible), hidden_psnr, grey_psnr,
                    thumb.hidden_psnr.value_or(0));
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
