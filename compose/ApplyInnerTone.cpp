#include "compose/ApplyInnerTone.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "raster/Bitmap.h"

int ContrastLimit(int average) {
  return average <= 128 ? average : 255 - average;
}

TToneTable::TToneTable(int average, int contrast) {
  if (average < 0 || average > 255 || contrast < 0 || contrast > 255)
    throw EInvalidGraphicOperation(Format(SInvalidTone, average, contrast));
  // k lies below 1/255 and s is rounded, so t is one less than the exact floor of
  // 2 * C * v / 255 for some v where 2 * C * v is a multiple of 255 (v = 255, C = 127
  // gives 254). The product of the 8-bit v and the 53-bit s has at most 61 significant bits
  // and is exact in extended precision; a double product would round some of them up.
  constexpr double k = 0.00392156862745098;
  const double s = static_cast<double>(2 * contrast) * k;
  const int offset = average - contrast;
  for (int v = 0; v < 256; ++v) {
    const long double product = static_cast<long double>(v) * static_cast<long double>(s);
    const int t = static_cast<int>(product);
    map[v] = static_cast<uint8_t>((t + offset) & 0xFF);
  }
}

void ApplyInnerTone(TBitmap& result, const TBitmap& inner, int average, int contrast) {
  ApplyInnerTone(result, inner, TToneTable(average, contrast));
}

void ApplyInnerTone(TBitmap& result, const TBitmap& inner, const TToneTable& tone) {
  // The result can be larger than the hidden picture (the x, y edits resize the visible
  // and hidden pictures but not the result): only the cells both have are mapped.
  const int width = std::min(result.Width(), inner.Width());
  const int height = std::min(result.Height(), inner.Height());
  if (result.Empty() || inner.Empty() || width <= 0 || height <= 0) return;
  if (result.BitsPerPixel() != 24 || inner.BitsPerPixel() != 24)
    throw EInvalidGraphic(SInvalidPixelFormat);
  const uint8_t* map = tone.map;
  for (int y = 0; y < height; ++y) {
    // Reading the hidden picture never makes a private copy of it.
    const uint8_t* src = inner.ConstScanline(y);
    uint8_t* dst = result.Scanline(y);
    // The first odd cell of row y: column 1 on even rows, column 0 on odd rows.
    for (int x = 1 - (y & 1); x < width; x += 2) {
      const int i = 3 * x;
      dst[i] = map[src[i]];
      dst[i + 1] = map[src[i + 1]];
      dst[i + 2] = map[src[i + 2]];
    }
  }
}
