// The shrinking kernels: an area average in 16.16 fixed point. Destination sample b covers
// the source interval from S * b / D to S * (b + 1) / D: the first source sample with the
// weight 65536 - f(b), the whole samples between with 65536, the last one with f(b + 1).
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/KernelLanes.h"
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

// The span of destination sample j of a table: from source sample k with weight w through
// the whole samples before `end`, then `end` itself with f_end when that is not 0.
struct TSpan {
  int k, end;
  int32_t w, f_end;
};

LV_INLINE TSpan SpanOf(const TShrinkTable& t, int j) {
  const auto i = static_cast<size_t>(j);
  return {t.n[i], t.n[i + 1], 65536 - t.f[i], t.f[i + 1]};
}

// One destination pixel of a width pass, all three channels, in plain code.
template <typename Divide>
LV_INLINE void ShrinkPixel(const uint8_t* src, const TSpan& span, typename Divide::Sum half,
                           const Divide& divide, uint8_t* dst) {
  using Sum = typename Divide::Sum;
  const Sum w = static_cast<Sum>(span.w);
  const Sum f_end = static_cast<Sum>(span.f_end);
  const uint8_t* p = src + 3 * span.k;
  Sum s0 = w * p[0], s1 = w * p[1], s2 = w * p[2];
  // The whole samples between: summed plainly, then weighted by 65536 at once.
  Sum i0 = 0, i1 = 0, i2 = 0;
  for (const uint8_t* q = p + 3; q < src + 3 * span.end; q += 3) i0 += q[0], i1 += q[1], i2 += q[2];
  s0 += i0 << 16, s1 += i1 << 16, s2 += i2 << 16;
  // f(b + 1) is 0 for the last sample, so source sample S is never read.
  if (f_end != 0) {
    const uint8_t* q = src + 3 * span.end;
    s0 += f_end * q[0], s1 += f_end * q[1], s2 += f_end * q[2];
  }
  dst[0] = divide(s0 + half);
  dst[1] = divide(s1 + half);
  dst[2] = divide(s2 + half);
}

// The destination pixels of one row for the spans of a table; dst points at the first.
template <typename Divide>
void ShrinkRowGeneric(const uint8_t* src, uint8_t* dst, const TShrinkTable& t, int count, int,
                      const Divide& divide) {
  const auto half = static_cast<typename Divide::Sum>(t.half);
  for (int j = 0; j < count; ++j) ShrinkPixel(src, SpanOf(t, j), half, divide, dst + 3 * j);
}

#if LUMIVEIL_X86_KERNELS
// The 32-bit sums only. A destination pixel that reads the row's last source pixel (the
// row's last destination pixel, at least) is left to the plain code.
__attribute__((target("avx2"))) void ShrinkRowAvx2(const uint8_t* src, uint8_t* dst,
                                                   const TShrinkTable& t, int count, int source,
                                                   const TNarrow& divide) {
  const __m128i half = _mm_set1_epi32(static_cast<int32_t>(t.half));
  const __m128i multiplier = _mm_set1_epi32(static_cast<int32_t>(divide.divider.Multiplier()));
  const __m128i shift = _mm_cvtsi32_si128(divide.divider.Shift());
  const __m128i low_bytes =
      _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  for (int j = 0; j < count; ++j) {
    const TSpan span = SpanOf(t, j);
    const int last_read = span.f_end != 0 ? span.end : span.end - 1;
    if (last_read > source - 2) {
      ShrinkPixel(src, span, static_cast<uint32_t>(t.half), divide, dst + 3 * j);
      continue;
    }
    __m128i sum = _mm_mullo_epi32(PixelLanes(src, span.k), _mm_set1_epi32(span.w));
    __m128i inner = _mm_setzero_si128();
    for (int m = span.k + 1; m < span.end; ++m) inner = _mm_add_epi32(inner, PixelLanes(src, m));
    sum = _mm_add_epi32(sum, _mm_slli_epi32(inner, 16));
    if (span.f_end != 0)
      sum = _mm_add_epi32(sum,
                          _mm_mullo_epi32(PixelLanes(src, span.end), _mm_set1_epi32(span.f_end)));
    sum = _mm_add_epi32(sum, half);
    // The exact division of each lane: (sum * m) >> s in 64 bits, lanes 0 and 2, then 1, 3.
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(sum, multiplier), shift);
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(sum, 32), multiplier), shift);
    const __m128i value = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    // Four bytes stored: the fourth is the next pixel's first, written again when that
    // pixel comes (the row's last pixel always takes the plain path).
    const int32_t out = _mm_cvtsi128_si32(_mm_shuffle_epi8(value, low_bytes));
    std::memcpy(dst + 3 * j, &out, 4);
  }
}
#else
constexpr auto ShrinkRowAvx2 = ShrinkRowGeneric<TNarrow>;
#endif

// Both passes cut the destination rows into bands (see base/Bands.h): every destination
// row is computed from source rows alone.
template <typename Divide>
void ShrinkRows(const TBitmap& source, TBitmap& dest, const Divide& divide) {
  const int width = source.Width();
  const int target = dest.Width();
  const int height = dest.Height();
  const TConstRows src_rows = source.ConstRows();
  const TRows dst_rows = dest.Rows();
  // Rows of up to kTableSpan destination pixels take one table for the whole pass.
  for (int first = 0; first < target; first += kTableSpan) {
    const int count = std::min(kTableSpan, target - first);
    const TShrinkTable t = MakeShrinkTable(width, target, first, count);
    ForEachBand(height, int64_t{3} * width, [&](int top, int bottom) {
      for (int y = top; y < bottom; ++y) {
        const uint8_t* src = src_rows[y];
        uint8_t* dst = dst_rows[y] + 3 * first;
        if constexpr (std::is_same_v<Divide, TNarrow>) {
          if (KernelPath() == TKernelPath::kpAvx2) {
            ShrinkRowAvx2(src, dst, t, count, width, divide);
            continue;
          }
        }
        ShrinkRowGeneric(src, dst, t, count, width, divide);
      }
    });
  }
}

// The accumulators of the height pass cover a strip of at most this many bytes of a row,
// so they stay small for any width.
constexpr int kStripBytes = 3 * 16384;

// One destination row b of a height pass over the bytes from..to of each row.
// The source and destination of a height pass: their rows, and their heights.
struct TColumnPass {
  TConstRows source;  // source row source_first at its row 0
  TRows dest;
  int source_height;
  int dest_height;
  int row_bytes;  // of the destination (and the source)
  int source_first = 0;
};

// The 16-bit sums of ShrinkColumnsBody: at most this many whole rows of 255 fit (65535).
constexpr int kMaxNarrowRows = 257;
// The bytes of a row that ShrinkColumnsBody sums at once, in registers.
constexpr int kColumnBlock = 32;

template <typename Divide>
LV_INLINE void ShrinkColumnsBody(const TColumnPass& pass, int b, int from, int to,
                                 const TShrinkTable& t, const Divide& divide,
                                 typename Divide::Sum* __restrict acc) {
  using Sum = typename Divide::Sum;
  const Sum half = static_cast<Sum>(t.half);
  const int bytes = to - from;
  // The boundaries of destination row b, computed when the row is reached.
  const TShrinkBoundary start = ShrinkBoundary(pass.source_height, pass.dest_height, b);
  const TShrinkBoundary stop = ShrinkBoundary(pass.source_height, pass.dest_height, b + 1);
  const Sum w = static_cast<Sum>(65536 - start.f);
  const Sum f_end = static_cast<Sum>(stop.f);
  const uint8_t* first = pass.source[start.n - pass.source_first] + from;
  // f(b + 1) is 0 for the last row, so source row S is never read: the first row stands
  // in for it with the weight 0.
  const uint8_t* last = f_end != 0 ? pass.source[stop.n - pass.source_first] + from : first;
  uint8_t* __restrict dst = pass.dest[b] + from;
  const int whole_rows = stop.n - start.n - 1;
  int done = 0;
  if (whole_rows <= kMaxNarrowRows) {
    // The whole rows between the first and the last summed a block of columns at a time
    // in 16-bit lanes, which stay in registers: the sums never go through memory.
    for (; done + kColumnBlock <= bytes; done += kColumnBlock) {
      uint16_t sum[kColumnBlock] = {};
      for (int m = start.n + 1; m < stop.n; ++m) {
        const uint8_t* row = pass.source[m - pass.source_first] + from + done;
        for (int i = 0; i < kColumnBlock; ++i) sum[i] = static_cast<uint16_t>(sum[i] + row[i]);
      }
      for (int i = 0; i < kColumnBlock; ++i) {
        const int k = done + i;
        dst[k] = divide((static_cast<Sum>(sum[i]) << 16) + w * first[k] + f_end * last[k] + half);
      }
    }
  }
  // The rest (and every column of a destination row over more rows than 16 bits hold):
  // summed plainly per column and channel.
  for (int i = done; i < bytes; ++i) acc[i] = 0;
  for (int m = start.n + 1; m < stop.n; ++m) {
    const uint8_t* row = pass.source[m - pass.source_first] + from;
    for (int i = done; i < bytes; ++i) acc[i] += row[i];
  }
  for (int i = done; i < bytes; ++i)
    dst[i] = divide((acc[i] << 16) + w * first[i] + f_end * last[i] + half);
}

template <typename Divide>
void ShrinkColumnsRow(const TColumnPass& pass, int b, int from, int to, const TShrinkTable& t,
                      const Divide& divide, typename Divide::Sum* acc) {
  ShrinkColumnsBody(pass, b, from, to, t, divide, acc);
}

#if LUMIVEIL_X86_KERNELS
__attribute__((target("avx2"))) void ShrinkColumnsRowAvx2(const TColumnPass& pass, int b, int from,
                                                          int to, const TShrinkTable& t,
                                                          const TNarrow& divide, uint32_t* acc) {
  ShrinkColumnsBody(pass, b, from, to, t, divide, acc);
}
#else
constexpr auto ShrinkColumnsRowAvx2 = ShrinkColumnsRow<TNarrow>;
#endif

// Destination rows top .. bottom - 1 of a height pass, a strip of bytes at a time.
template <typename Divide>
void ShrinkColumnsBand(const TColumnPass& pass, int top, int bottom, const TShrinkTable& t,
                       const Divide& divide, typename Divide::Sum* acc) {
  bool avx2 = false;
  if constexpr (std::is_same_v<Divide, TNarrow>) avx2 = KernelPath() == TKernelPath::kpAvx2;
  for (int from = 0; from < pass.row_bytes; from += kStripBytes) {
    const int to = std::min(pass.row_bytes, from + kStripBytes);
    for (int b = top; b < bottom; ++b) {
      if constexpr (std::is_same_v<Divide, TNarrow>) {
        if (avx2) {
          ShrinkColumnsRowAvx2(pass, b, from, to, t, divide, acc);
          continue;
        }
      }
      ShrinkColumnsRow(pass, b, from, to, t, divide, acc);
    }
  }
}

// A destination row reads about source height / destination height + 1 source rows.
int64_t ColumnsCostPerRow(const TColumnPass& pass) {
  return int64_t{pass.row_bytes} * (pass.source_height / std::max(pass.dest_height, 1) + 2);
}

template <typename Divide>
void ShrinkColumns(const TBitmap& source, TBitmap& dest, const Divide& divide) {
  // The scale only: the boundaries come row by row.
  const TShrinkTable t = MakeShrinkTable(source.Height(), dest.Height(), 0, 0);
  const int bytes = dest.Width() * 3;
  const TColumnPass pass{source.ConstRows(), dest.Rows(), source.Height(), dest.Height(), bytes};
  ForEachBand(pass.dest_height, ColumnsCostPerRow(pass), [&](int top, int bottom) {
    std::vector<typename Divide::Sum> acc(static_cast<size_t>(std::min(bytes, kStripBytes)));
    ShrinkColumnsBand(pass, top, bottom, t, divide, acc.data());
  });
}

// The source rows that each chunk of destination rows of a made height pass holds at
// once, about: few enough to stay in the processor's cache.
constexpr int kMadeRowsAtATime = 32;

template <typename Divide>
void ShrinkColumnsMade(int source_height, const TMadeRowsFactory& factory, TBitmap& dest,
                       const Divide& divide) {
  const TShrinkTable t = MakeShrinkTable(source_height, dest.Height(), 0, 0);
  const int bytes = dest.Width() * 3;
  const TColumnPass whole{TConstRows(), dest.Rows(), source_height, dest.Height(), bytes};
  const int chunk = std::max(1, kMadeRowsAtATime * dest.Height() / source_height);
  ForEachBand(whole.dest_height, ColumnsCostPerRow(whole), [&](int top, int bottom) {
    const TMadeRows make = factory();
    std::vector<typename Divide::Sum> acc(static_cast<size_t>(std::min(bytes, kStripBytes)));
    std::vector<uint8_t> rows;
    for (int b = top; b < bottom; b += chunk) {
      const int end = std::min(bottom, b + chunk);
      // Source rows n(b) .. n(end), the last only when it has a share (never row S).
      const int first = ShrinkBoundary(source_height, whole.dest_height, b).n;
      const TShrinkBoundary stop = ShrinkBoundary(source_height, whole.dest_height, end);
      const int last = stop.f != 0 ? stop.n : stop.n - 1;
      const int count = last - first + 1;
      rows.resize(static_cast<size_t>(count) * static_cast<size_t>(bytes));
      for (int y = first; y <= last; ++y)
        make(y, rows.data() + static_cast<size_t>(y - first) * static_cast<size_t>(bytes));
      TColumnPass pass = whole;
      pass.source = TConstRows(rows.data(), bytes, count);
      pass.source_first = first;
      ShrinkColumnsBand(pass, b, end, t, divide, acc.data());
    }
  });
}

}  // namespace

void ShrinkHorizontal(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, true, false);
  const TShrinkTable scale = MakeShrinkTable(source.Width(), dest.Width(), 0, 0);
  if (scale.wide)
    ShrinkRows(source, dest, TWide{static_cast<uint64_t>(scale.c)});
  else
    ShrinkRows(source, dest, TNarrow{TCoverageDivider(scale.c)});
}

void ShrinkVertical(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, false, false);
  const TShrinkTable scale = MakeShrinkTable(source.Height(), dest.Height(), 0, 0);
  if (scale.wide)
    ShrinkColumns(source, dest, TWide{static_cast<uint64_t>(scale.c)});
  else
    ShrinkColumns(source, dest, TNarrow{TCoverageDivider(scale.c)});
}

void ShrinkVerticalMade(int source_height, const TMadeRowsFactory& factory, TBitmap& dest) {
  if (dest.Empty() || source_height <= dest.Height()) throw EInvalidGraphicOperation(SScanLine);
  if (dest.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  const TShrinkTable scale = MakeShrinkTable(source_height, dest.Height(), 0, 0);
  if (scale.wide)
    ShrinkColumnsMade(source_height, factory, dest, TWide{static_cast<uint64_t>(scale.c)});
  else
    ShrinkColumnsMade(source_height, factory, dest, TNarrow{TCoverageDivider(scale.c)});
}
