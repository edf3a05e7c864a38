#include "compose/ApplyInnerTone.h"

#include <algorithm>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/CellRows.h"
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
  offset = average - contrast;
  for (int v = 0; v < 256; ++v) {
    const long double product = static_cast<long double>(v) * static_cast<long double>(s);
    const int t = static_cast<int>(product);
    map[v] = static_cast<uint8_t>((t + offset) & 0xFF);
  }
  // The vector code multiplies 16-bit lanes. Whether t is the exact floor of v * 2C/255 or
  // one less depends on digits far below 16 bits, but the t of all 256 bytes together leave
  // a range of multipliers, and one next to s * 65536 falls in it; each candidate is
  // checked against the whole table.
  const auto base = static_cast<int32_t>(s * 65536);  // exact: s * 2^16 is a double
  for (int32_t m = base - 2; m <= base + 2 && multiplier < 0; ++m) {
    if (m < 0 || m >= 131072) continue;
    bool exact = true;
    for (int v = 0; v < 256 && exact; ++v)
      exact = static_cast<uint8_t>(((v * m) >> 16) + offset) == map[v];
    if (exact) multiplier = m;
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
  // Reading the hidden picture never makes a private copy of it.
  const TConstRows hidden = inner.ConstRows();
  if (result.StoreShared() && width == result.Width() && height == result.Height()) {
    // The result shares its store (an image box shows it): instead of copying the store
    // and then mapping the copy's odd cells, the new store is written in one pass, its
    // even cells from the old one and its odd cells mapped from the hidden picture.
    TBitmap shown;
    shown.Assign(&result);
    const TConstRows before = shown.ConstRows();
    const TRows rows = result.RowsForOverwrite();
    ForEachBand(height, int64_t{9} * width, [&](int first, int last) {
      for (int y = first; y < last; ++y) ComposeRow(before[y], hidden[y], rows[y], width, y, &tone);
    });
    return;
  }
  const TRows rows = result.Rows();
  ForEachBand(height, int64_t{6} * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) MapOddCellsRow(hidden[y], rows[y], width, y, tone);
  });
}
