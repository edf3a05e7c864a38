// Colour reduction: every mode with nearest colours and with Floyd-Steinberg, and every
// ditherer with the halftone palette, on a 4000 x 3000 photo (samples/coffee.bmp tiled,
// mirrored at the seams, as bench/peer_dither.py builds it for the peer's figure).
//
// Each case is checked once before timing: an 8-bit picture of the photo's size whose
// indices all lie in the target palette, and whose mean colour error against the photo is
// within a bound (and, with error diffusion into a colour palette, whose mean colour stays near the
// photo's).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/BenchPictures.h"
#include "gif/Gifimage.h"
#include "platform/Palettes.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

TBitmap& Photo() {
  return SharedPhotoPicture(kWidth, kHeight);
}

struct Stats {
  double error = 0;       // mean absolute difference per channel
  double mean_drift = 0;  // largest difference of a channel's mean
};

Stats Compare(const TBitmap& photo, const TBitmap& reduced) {
  const auto& table = reduced.ColorTable();
  double error = 0, sum_in[3] = {}, sum_out[3] = {};
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* in = photo.ConstScanline(y);
    const uint8_t* out = reduced.ConstScanline(y);
    for (int x = 0; x < kWidth; ++x) {
      const TRGBQuad& q = table[out[x]];
      const int channels[3] = {q.rgbBlue, q.rgbGreen, q.rgbRed};
      for (int c = 0; c < 3; ++c) {
        error += std::abs(in[3 * x + c] - channels[c]);
        sum_in[c] += in[3 * x + c];
        sum_out[c] += channels[c];
      }
    }
  }
  const double n = static_cast<double>(kWidth) * kHeight;
  Stats s;
  s.error = error / (3 * n);
  for (int c = 0; c < 3; ++c)
    s.mean_drift = std::max(s.mean_drift, std::abs(sum_in[c] - sum_out[c]) / n);
  return s;
}

void Check(const TBitmap& reduced, TColorReduction mode, TDitherMode dither) {
  const std::string what = std::string(ColorReductionLabel(mode)) + "/" + DitherModeLabel(dither);
  if (reduced.PixelFormat() != TPixelFormat::Bits8 || reduced.Width() != kWidth ||
      reduced.Height() != kHeight || reduced.ColorTable().size() != 256)
    throw std::runtime_error(what + ": not an 8-bit picture of the photo's size");
  const int entries = static_cast<int>(reduced.DIBInfo().dsBmih.biClrImportant);
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* row = reduced.ConstScanline(y);
    for (int x = 0; x < kWidth; ++x)
      if (row[x] >= entries) throw std::runtime_error(what + ": index outside the palette");
  }
  const Stats s = Compare(Photo(), reduced);
  // Bounds far above what each mode gives on this photo, far below a broken reduction's.
  const bool coarse =
      mode == rmMonochrome || mode == rmWindowsGray || mode == rmGrayScale || mode == rmWindows20;
  // The web lookup rounds down past a threshold 3 above each level: errors up to 47.
  const double max_error = mode == rmMonochrome ? 128 : coarse ? 90 : mode == rmNetscape ? 30 : 20;
  if (s.error > max_error)
    throw std::runtime_error(what + ": mean error " + std::to_string(s.error));
  // (Into greys the colour's errors cannot settle: every channel gets the same value, so
  // channels far from the grey keep an error of one sign until clamping drops it.)
  const bool greys = mode == rmMonochrome || mode == rmWindowsGray || mode == rmGrayScale;
  if (dither != dmNearest && !greys && s.mean_drift > (coarse ? 15 : 4))
    throw std::runtime_error(what + ": mean colour drifts by " + std::to_string(s.mean_drift));
}

void BM_Reduce(benchmark::State& state, TColorReduction mode, TDitherMode dither) {
  TBitmap& photo = Photo();
  const TPaletteHandle custom = mode == rmPalette ? CreateHalftonePalette() : nullptr;
  Check(*ReduceColors(photo, mode, dither, 8, custom), mode, dither);
  for (auto _ : state) {
    auto reduced = ReduceColors(photo, mode, dither, 8, custom);
    benchmark::DoNotOptimize(reduced.get());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

const TColorReduction kModes[] = {rmWindows20,  rmWindows256,      rmWindowsGray,
                                  rmMonochrome, rmGrayScale,       rmNetscape,
                                  rmQuantize,   rmQuantizeWindows, rmPalette};

std::string Name(const char* label) {
  std::string name;
  for (const char* p = label; *p; ++p)
    if (*p != ' ') name += *p;
  return name;
}

const bool kRegistered = [] {
  for (TColorReduction mode : kModes)
    for (TDitherMode dither : {dmNearest, dmFloydSteinberg})
      benchmark::RegisterBenchmark(
          ("BM_Reduce/" + Name(ColorReductionLabel(mode)) + "/" + Name(DitherModeLabel(dither)))
              .c_str(),
          BM_Reduce, mode, dither)
          ->Unit(benchmark::kMillisecond);
  for (const TDitherModeName& mode : DitherModeNames())
    if (const TDitherMode dither = mode.value; dither != dmNearest && dither != dmFloydSteinberg)
      benchmark::RegisterBenchmark(
          ("BM_Reduce/Windows256/" + Name(DitherModeLabel(dither))).c_str(), BM_Reduce,
          rmWindows256, dither)
          ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
