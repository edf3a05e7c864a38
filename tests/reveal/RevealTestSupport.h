// Pictures for the reveal tests: a synthesized combined picture with its visible and
// hidden pictures, and slow, plainly written references of what the views must hold.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "base/Exceptions.h"
#include "compose/ApplyInnerTone.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "reveal/Views.h"
#include "tests/compose/TestPictures.h"

// A combined picture of random visible and hidden pictures; the hidden one spans 0 .. 255
// in every channel (its first pixels hold 0 and 255), and with `grey` in its luminance too
// (each pixel grey: black and white are then there).
struct TSynthesis {
  TSynthesis() = default;
  TSynthesis(TSynthesis&& other) noexcept
      : visible(std::move(other.visible)), hidden(std::move(other.hidden)), band(other.band) {
    result.Assign(&other.result);  // shares the pixels
  }
  TSynthesis& operator=(TSynthesis&& other) noexcept {
    visible = std::move(other.visible);
    hidden = std::move(other.hidden);
    band = other.band;
    result.Assign(&other.result);
    return *this;
  }
  TPlane visible, hidden;
  TBitmap result;
  TToneBand band;
};

inline TSynthesis MakeSynthesis(int width, int height, TToneBand band, uint32_t seed = 1,
                                bool grey = false) {
  std::mt19937 random(seed);
  TSynthesis s;
  s.band = band;
  s.visible = RandomPlane(width, height, random);
  s.hidden = RandomPlane(width, height, random);
  if (grey)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        s.hidden.At(x, y, 1) = s.hidden.At(x, y, 2) = s.hidden.At(x, y, 0);
  // The extremes in odd cells, where the picture has two of them.
  const int n = width * height;
  for (int k = 0, found = 0; k < n && found < 2; ++k) {
    const int x = k % width, y = k / width;
    if ((x + y) % 2 == 1) {
      for (int c = 0; c < 3; ++c) s.hidden.At(x, y, c) = found == 0 ? 0 : 255;
      ++found;
    }
  }
  TBitmap v, h;
  FillBitmap(v, s.visible);
  FillBitmap(h, s.hidden);
  Synthesize(s.result, v, h, band.average, band.contrast);
  return s;
}

inline TPlane ViewPlane(const TBitmap& result, TRevealView view, TToneBand band = {},
                        TThumbnailFilter filter = TThumbnailFilter::tfArea, int size = 256) {
  TViewOptions o;
  o.view = view;
  o.band = band;
  o.filter = filter;
  o.size = size;
  TBitmap out;
  MakeView(result, o, out);
  return PlaneOf(out);
}

// The band's stretch in real numbers: (v - (A - C)) * 255 / 2C rounded half up, clamped.
inline int SlowLevels(int v, TToneBand band) {
  const int lo = band.average - band.contrast;
  if (band.contrast == 0) return v < band.average ? 0 : v == band.average ? 128 : 255;
  const double x = std::floor((v - lo) * 255.0 / (2.0 * band.contrast) + 0.5);
  return static_cast<int>(std::min(255.0, std::max(0.0, x)));
}

// The readable name of a size for parameterised tests: "7x1".
inline std::string SizeName(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

#include "reveal/ViewRows.h"

// Runs `body` with each way the reveal kernels can run here: generic, AVX2, and AVX2 with
// the 64-byte AVX-512 kernels.
inline void ForEachRevealPath(const std::function<void()>& body) {
  ForEachKernelPath([&] {
    if (KernelPath() == TKernelPath::kpAvx2 && Avx512VbmiAvailable()) {
      SetAvx512Allowed(false);
      {
        SCOPED_TRACE("without AVX-512");
        body();
      }
      SetAvx512Allowed(true);
      SCOPED_TRACE("with AVX-512");
      body();
    } else {
      body();
    }
  });
}
