// Pictures for the composition tests: 24-bit rasters made from a function or random
// bytes, and a plain copy of their pixels for comparisons.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "compose/ResampleTables.h"
#include "raster/Bitmap.h"

// Pixels as rows of blue, green, red bytes, row 0 at the top, without row fill.
struct TPlane {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
  uint8_t& At(int x, int y, int ch) { return bgr[(static_cast<size_t>(y) * width + x) * 3 + ch]; }
  uint8_t At(int x, int y, int ch) const {
    return bgr[(static_cast<size_t>(y) * width + x) * 3 + ch];
  }
  friend bool operator==(const TPlane&, const TPlane&) = default;
};

inline TPlane MakePlane(int width, int height) {
  TPlane p;
  p.width = width;
  p.height = height;
  p.bgr.resize(static_cast<size_t>(width) * height * 3);
  return p;
}

// Random bytes: the generator's top eight bits, which every standard library gives alike (a
// distribution's results are each library's own), so that a seed makes the same picture in
// every build, WebAssembly's included.
inline TPlane RandomPlane(int width, int height, std::mt19937& random) {
  TPlane p = MakePlane(width, height);
  for (uint8_t& b : p.bgr) b = static_cast<uint8_t>(random() >> 24);
  return p;
}

// A 24-bit section holding the plane's pixels.
inline void FillBitmap(TBitmap& bitmap, const TPlane& plane) {
  bitmap.Assign(nullptr);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(plane.width);
  bitmap.SetHeight(plane.height);
  for (int y = 0; y < plane.height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int i = 0; i < plane.width * 3; ++i)
      row[i] = plane.bgr[static_cast<size_t>(y) * plane.width * 3 + i];
  }
}

// The pixels of a 24-bit bitmap, read without changing it.
inline TPlane PlaneOf(const TBitmap& bitmap) {
  TPlane p = MakePlane(bitmap.Width(), bitmap.Height());
  if (bitmap.Empty()) return p;
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = bitmap.ConstScanline(y);
    for (int i = 0; i < p.width * 3; ++i) p.bgr[static_cast<size_t>(y) * p.width * 3 + i] = row[i];
  }
  return p;
}

// A plane whose every pixel is f(x, y, channel).
inline TPlane PlaneFrom(int width, int height, const std::function<int(int, int, int)>& f) {
  TPlane p = MakePlane(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int ch = 0; ch < 3; ++ch) p.At(x, y, ch) = static_cast<uint8_t>(f(x, y, ch));
  return p;
}

// Runs `body` once with each kernel path this processor has, the generic one first.
inline void ForEachKernelPath(const std::function<void()>& body) {
  const TKernelPath saved = KernelPath();
  for (TKernelPath path : {TKernelPath::kpGeneric, TKernelPath::kpAvx2}) {
    if (path == TKernelPath::kpAvx2 && !Avx2Available()) continue;
    SetKernelPath(path);
    SCOPED_TRACE(path == TKernelPath::kpAvx2 ? "AVX2 kernels" : "generic kernels");
    body();
  }
  SetKernelPath(saved);
}
