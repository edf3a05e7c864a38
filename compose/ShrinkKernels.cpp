// The shrinking kernels: an area average in 16.16 fixed point. Destination sample b covers
// the source interval from S * b / D to S * (b + 1) / D: the first source sample with the
// weight 65536 - f(b), the whole samples between with 65536, the last one with f(b + 1).
#include <immintrin.h>

#include <cstring>
#include <type_traits>
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

// One destination pixel of a width pass, all three channels, in plain code.
template <typename Divide>
inline __attribute__((always_inline)) void ShrinkPixel(const uint8_t* src, const TShrinkTable& t,
                                                       int b, const Divide& divide, uint8_t* dst) {
  using Sum = typename Divide::Sum;
  const Sum half = static_cast<Sum>(t.half);
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
  dst[0] = divide(s0 + half);
  dst[1] = divide(s1 + half);
  dst[2] = divide(s2 + half);
}

template <typename Divide>
void ShrinkRowGeneric(const uint8_t* src, uint8_t* dst, const TShrinkTable& t, int dest,
                      const Divide& divide) {
  for (int b = 0; b < dest; ++b) ShrinkPixel(src, t, b, divide, dst + 3 * b);
}

// A source pixel as 32-bit lanes: blue, green, red and the next byte, which is computed
// along and dropped. Four bytes are read, so the row's last pixel is never read this way.
__attribute__((target("avx2"))) inline __attribute__((always_inline)) __m128i PixelLanes(
    const uint8_t* src, int index) {
  int32_t bytes;
  std::memcpy(&bytes, src + 3 * index, 4);
  return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
}

// The 32-bit sums only. A destination pixel that reads the row's last source pixel (the
// last one, at least) is left to the plain code.
__attribute__((target("avx2"))) void ShrinkRowAvx2(const uint8_t* src, uint8_t* dst,
                                                   const TShrinkTable& t, int dest,
                                                   const TNarrow& divide) {
  const int source = t.n.back();
  const __m128i half = _mm_set1_epi32(static_cast<int32_t>(t.half));
  const __m128i multiplier = _mm_set1_epi32(static_cast<int32_t>(divide.divider.Multiplier()));
  const __m128i shift = _mm_cvtsi32_si128(divide.divider.Shift());
  const __m128i low_bytes =
      _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  for (int b = 0; b < dest; ++b) {
    const int k = t.n[static_cast<size_t>(b)];
    const int end = t.n[static_cast<size_t>(b) + 1];
    const int32_t f_end = t.f[static_cast<size_t>(b) + 1];
    const int last_read = f_end != 0 ? end : end - 1;
    if (last_read > source - 2) {
      ShrinkPixel(src, t, b, divide, dst + 3 * b);
      continue;
    }
    const int32_t w = 65536 - t.f[static_cast<size_t>(b)];
    __m128i sum = _mm_mullo_epi32(PixelLanes(src, k), _mm_set1_epi32(w));
    __m128i inner = _mm_setzero_si128();
    for (int m = k + 1; m < end; ++m) inner = _mm_add_epi32(inner, PixelLanes(src, m));
    sum = _mm_add_epi32(sum, _mm_slli_epi32(inner, 16));
    if (f_end != 0)
      sum = _mm_add_epi32(sum, _mm_mullo_epi32(PixelLanes(src, end), _mm_set1_epi32(f_end)));
    sum = _mm_add_epi32(sum, half);
    // The exact division of each lane: (sum * m) >> s in 64 bits, lanes 0 and 2, then 1, 3.
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(sum, multiplier), shift);
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(sum, 32), multiplier), shift);
    const __m128i value = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    // Four bytes stored: the fourth is the next pixel's first, written again when that
    // pixel comes (the last pixel always takes the plain path).
    const int32_t out = _mm_cvtsi128_si32(_mm_shuffle_epi8(value, low_bytes));
    std::memcpy(dst + 3 * b, &out, 4);
  }
}

template <typename Divide>
void ShrinkRows(const TBitmap& source, TBitmap& dest, const TShrinkTable& t, Divide divide) {
  const int width = dest.Width();
  const int height = dest.Height();
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = source.ConstScanline(y);
    uint8_t* dst = dest.Scanline(y);
    if constexpr (std::is_same_v<Divide, TNarrow>) {
      if (KernelPath() == TKernelPath::kpAvx2) {
        ShrinkRowAvx2(src, dst, t, width, divide);
        continue;
      }
    }
    ShrinkRowGeneric(src, dst, t, width, divide);
  }
}

template <typename Divide>
inline __attribute__((always_inline)) void ShrinkColumnsBody(const TBitmap& source, TBitmap& dest,
                                                             const TShrinkTable& t,
                                                             const Divide& divide) {
  using Sum = typename Divide::Sum;
  const Sum half = static_cast<Sum>(t.half);
  const int bytes = dest.Width() * 3;
  const int height = dest.Height();
  // The whole rows between the first and the last of a destination row, summed plainly
  // per column and channel; cleared for each destination row.
  std::vector<Sum> inner(static_cast<size_t>(bytes));
  Sum* __restrict acc = inner.data();
  for (int b = 0; b < height; ++b) {
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
    uint8_t* __restrict dst = dest.Scanline(b);
    if (f_end != 0) {
      const uint8_t* last = source.ConstScanline(end);
      for (int i = 0; i < bytes; ++i)
        dst[i] = divide((acc[i] << 16) + w * first[i] + f_end * last[i] + half);
    } else {
      for (int i = 0; i < bytes; ++i) dst[i] = divide((acc[i] << 16) + w * first[i] + half);
    }
  }
}

template <typename Divide>
void ShrinkColumns(const TBitmap& source, TBitmap& dest, const TShrinkTable& t,
                   const Divide& divide) {
  ShrinkColumnsBody(source, dest, t, divide);
}

__attribute__((target("avx2"))) void ShrinkColumnsAvx2(const TBitmap& source, TBitmap& dest,
                                                       const TShrinkTable& t,
                                                       const TNarrow& divide) {
  ShrinkColumnsBody(source, dest, t, divide);
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
  else if (KernelPath() == TKernelPath::kpAvx2)
    ShrinkColumnsAvx2(source, dest, table, TNarrow{TCoverageDivider(table.c)});
  else
    ShrinkColumns(source, dest, table, TNarrow{TCoverageDivider(table.c)});
}
