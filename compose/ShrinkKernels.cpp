// The shrinking kernels: an area average in 16.16 fixed point. Destination sample b covers
// the source interval from S * b / D to S * (b + 1) / D: the first source sample with the
// weight 65536 - f(b), the whole samples between with 65536, the last one with f(b + 1).
#include <vector>

#include "compose/ResampleTables.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

// Divides by the coverage: by multiplication for the 32-bit sums, plainly for the 64-bit
// ones (shrinking by more than about 127 in one pass, or sources of 32768 and more).
struct TNarrow {
  using Sum = uint32_t;
  TCoverageDivider divider;
  uint8_t operator()(Sum sum) const { return static_cast<uint8_t>(divider.Divide(sum)); }
};
struct TWide {
  using Sum = uint64_t;
  uint64_t c;
  uint8_t operator()(Sum sum) const { return static_cast<uint8_t>(sum / c); }
};

template <typename Divide>
void ShrinkRows(const TBitmap& source, TBitmap& dest, const TShrinkTable& t, Divide divide) {
  using Sum = typename Divide::Sum;
  const Sum half = static_cast<Sum>(t.half);
  for (int y = 0; y < dest.Height(); ++y) {
    const uint8_t* src = source.ConstScanline(y);
    uint8_t* dst = dest.Scanline(y);
    for (int b = 0; b < dest.Width(); ++b) {
      const int k = t.n[static_cast<size_t>(b)];
      const Sum w = static_cast<Sum>(65536 - t.f[static_cast<size_t>(b)]);
      const int end = t.n[static_cast<size_t>(b) + 1];
      const Sum f_end = static_cast<Sum>(t.f[static_cast<size_t>(b) + 1]);
      const uint8_t* p = src + 3 * k;
      Sum s0 = w * p[0], s1 = w * p[1], s2 = w * p[2];
      // The whole samples between: summed plainly, then weighted by 65536 at once.
      Sum i0 = 0, i1 = 0, i2 = 0;
      for (const uint8_t* q = p + 3; q < src + 3 * end; q += 3) i0 += q[0], i1 += q[1], i2 += q[2];
      s0 += i0 << 16, s1 += i1 << 16, s2 += i2 << 16;
      // f(b + 1) is 0 for the last sample, so source sample S is never read.
      if (f_end != 0) {
        const uint8_t* q = src + 3 * end;
        s0 += f_end * q[0], s1 += f_end * q[1], s2 += f_end * q[2];
      }
      dst[3 * b] = divide(s0 + half);
      dst[3 * b + 1] = divide(s1 + half);
      dst[3 * b + 2] = divide(s2 + half);
    }
  }
}

template <typename Divide>
void ShrinkColumns(const TBitmap& source, TBitmap& dest, const TShrinkTable& t, Divide divide) {
  using Sum = typename Divide::Sum;
  const Sum half = static_cast<Sum>(t.half);
  const int bytes = dest.Width() * 3;
  // The whole rows between the first and the last of a destination row, summed plainly
  // per column and channel; cleared for each destination row.
  std::vector<Sum> inner(static_cast<size_t>(bytes));
  Sum* acc = inner.data();
  for (int b = 0; b < dest.Height(); ++b) {
    const int k = t.n[static_cast<size_t>(b)];
    const Sum w = static_cast<Sum>(65536 - t.f[static_cast<size_t>(b)]);
    const int end = t.n[static_cast<size_t>(b) + 1];
    const Sum f_end = static_cast<Sum>(t.f[static_cast<size_t>(b) + 1]);
    for (int i = 0; i < bytes; ++i) acc[i] = 0;
    for (int m = k + 1; m < end; ++m) {
      const uint8_t* row = source.ConstScanline(m);
      for (int i = 0; i < bytes; ++i) acc[i] += row[i];
    }
    const uint8_t* first = source.ConstScanline(k);
    uint8_t* dst = dest.Scanline(b);
    if (f_end != 0) {
      const uint8_t* last = source.ConstScanline(end);
      for (int i = 0; i < bytes; ++i)
        dst[i] = divide((acc[i] << 16) + w * first[i] + f_end * last[i] + half);
    } else {
      for (int i = 0; i < bytes; ++i) dst[i] = divide((acc[i] << 16) + w * first[i] + half);
    }
  }
}

}  // namespace

void ShrinkHorizontal(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, true, false);
  const TShrinkTable table = MakeShrinkTable(source.Width(), dest.Width());
  if (table.wide)
    ShrinkRows(source, dest, table, TWide{static_cast<uint64_t>(table.c)});
  else
    ShrinkRows(source, dest, table, TNarrow{TCoverageDivider(table.c)});
}

void ShrinkVertical(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, false, false);
  const TShrinkTable table = MakeShrinkTable(source.Height(), dest.Height());
  if (table.wide)
    ShrinkColumns(source, dest, table, TWide{static_cast<uint64_t>(table.c)});
  else
    ShrinkColumns(source, dest, table, TNarrow{TCoverageDivider(table.c)});
}
