// The enlarging kernels: piecewise cubic interpolation in 16.16 fixed point, linear in the
// first and last source intervals, a copy of the last sample. Each has a generic row
// function and one built for AVX2, chosen once per pass; both give the same bytes.
#include <algorithm>
#include <cstring>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/KernelLanes.h"
#include "compose/ResampleTables.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

// One destination pixel of a width pass, all three channels, in plain code.
LV_INLINE void EnlargePixel(const uint8_t* src, const TEnlargeTap& tap, uint8_t* dst) {
  const uint8_t* p = src + 3 * tap.idx;
  switch (tap.kind) {
    case TEnlargeKind::ekCubic:
      // Samples idx - 1 .. idx + 2 exist: 1 <= idx <= S - 3.
      for (int ch = 0; ch < 3; ++ch) {
        const int32_t sum = tap.w[0] * p[ch - 3] + tap.w[1] * p[ch] + tap.w[2] * p[ch + 3] +
                            tap.w[3] * p[ch + 6] + 32768;
        dst[ch] = CubicSample(sum);
      }
      break;
    case TEnlargeKind::ekLinear:
      for (int ch = 0; ch < 3; ++ch) dst[ch] = LinearSample(p[ch], p[ch + 3], tap.fr);
      break;
    case TEnlargeKind::ekCopy:
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
      break;
  }
}

// Destination pixels of one row for the taps of a table; dst points at the first one.
void EnlargeRowGeneric(const uint8_t* src, uint8_t* dst, const std::vector<TEnlargeTap>& table,
                       int) {
  for (const TEnlargeTap& tap : table) {
    EnlargePixel(src, tap, dst);
    dst += 3;
  }
}

#if LUMIVEIL_X86_KERNELS
// A cubic tap whose last pixel is the row's last one (idx = S - 3) is left to the plain
// code, as are the linear and copied samples.
__attribute__((target("avx2"))) void EnlargeRowAvx2(const uint8_t* src, uint8_t* dst,
                                                    const std::vector<TEnlargeTap>& table,
                                                    int source) {
  const __m128i round = _mm_set1_epi32(32768);
  for (const TEnlargeTap& tap : table) {
    if (tap.kind == TEnlargeKind::ekCubic && tap.idx < source - 3) {
      __m128i sum =
          _mm_add_epi32(_mm_mullo_epi32(PixelLanes(src, tap.idx - 1), _mm_set1_epi32(tap.w[0])),
                        _mm_mullo_epi32(PixelLanes(src, tap.idx), _mm_set1_epi32(tap.w[1])));
      sum = _mm_add_epi32(sum,
                          _mm_mullo_epi32(PixelLanes(src, tap.idx + 1), _mm_set1_epi32(tap.w[2])));
      sum = _mm_add_epi32(sum,
                          _mm_mullo_epi32(PixelLanes(src, tap.idx + 2), _mm_set1_epi32(tap.w[3])));
      // Shifting first and saturating to 0 .. 255 afterwards is the clamp to
      // 0 .. 255 * 65536 followed by the shift.
      sum = _mm_srai_epi32(_mm_add_epi32(sum, round), 16);
      const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), sum);
      // Four bytes stored: the fourth is the next pixel's first, written again when that
      // pixel comes. A cubic tap is never the row's last pixel (that one is a copy).
      const int32_t out = _mm_cvtsi128_si32(bytes);
      std::memcpy(dst, &out, 4);
    } else {
      EnlargePixel(src, tap, dst);
    }
    dst += 3;
  }
}
#else
constexpr auto EnlargeRowAvx2 = EnlargeRowGeneric;
#endif

// One destination row of a height pass from four source rows.
LV_INLINE void CubicRowBody(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2,
                            const uint8_t* r3, uint8_t* __restrict dst, int bytes,
                            const int32_t w[4]) {
  const int32_t w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
  for (int i = 0; i < bytes; ++i) {
    int32_t sum = w0 * r0[i] + w1 * r1[i] + w2 * r2[i] + w3 * r3[i] + 32768;
    sum = sum < 0 ? 0 : sum;
    sum = sum > kCubicMaxSum ? kCubicMaxSum : sum;
    dst[i] = static_cast<uint8_t>(sum >> 16);
  }
}

void CubicRowGeneric(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
                     uint8_t* dst, int bytes, const int32_t w[4]) {
  CubicRowBody(r0, r1, r2, r3, dst, bytes, w);
}

#if LUMIVEIL_X86_KERNELS
__attribute__((target("avx2"))) void CubicRowAvx2(const uint8_t* r0, const uint8_t* r1,
                                                  const uint8_t* r2, const uint8_t* r3,
                                                  uint8_t* dst, int bytes, const int32_t w[4]) {
  CubicRowBody(r0, r1, r2, r3, dst, bytes, w);
}
#else
constexpr auto CubicRowAvx2 = CubicRowGeneric;
#endif

// The height pass's destination row that `tap` describes, from the source rows `at(i)`:
// made in `out` (`bytes` long) by the row kernel `cubic` or the linear blend, or, for a
// row that copies a source row, that row itself.
template <typename Rows>
LV_INLINE const uint8_t* HeightPassRow(const TEnlargeTap& tap, const Rows& at,
                                       decltype(&CubicRowGeneric) cubic, uint8_t* out, int bytes) {
  if (tap.kind == TEnlargeKind::ekCopy) return at(tap.idx);
  if (tap.kind == TEnlargeKind::ekCubic) {
    cubic(at(tap.idx - 1), at(tap.idx), at(tap.idx + 1), at(tap.idx + 2), out, bytes, tap.w);
  } else {
    const uint8_t* r0 = at(tap.idx);
    const uint8_t* r1 = at(tap.idx + 1);
    for (int i = 0; i < bytes; ++i) out[i] = LinearSample(r0[i], r1[i], tap.fr);
  }
  return out;
}

}  // namespace

// Both passes cut the destination rows into bands (see base/Bands.h): every destination
// row is computed from source rows alone.

void EnlargeHorizontal(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, true, true);
  const int height = dest.Height();
  const int width = source.Width();
  const int target = dest.Width();
  const auto row = KernelPath() == TKernelPath::kpAvx2 ? EnlargeRowAvx2 : EnlargeRowGeneric;
  const TConstRows src = source.ConstRows();
  const TRows dst = dest.Rows();
  // Rows of up to kTableSpan pixels take one table for the whole pass.
  for (int first = 0; first < target; first += kTableSpan) {
    const int count = std::min(kTableSpan, target - first);
    const std::vector<TEnlargeTap> table = MakeEnlargeTable(width, target, first, count);
    ForEachBand(height, int64_t{3} * (width + count), [&](int top, int bottom) {
      for (int y = top; y < bottom; ++y) row(src[y], dst[y] + 3 * first, table, width);
    });
  }
}

void EnlargeVertical(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, false, true);
  const int bytes = dest.Width() * 3;
  const int height = dest.Height();
  const int source_height = source.Height();
  const auto cubic = KernelPath() == TKernelPath::kpAvx2 ? CubicRowAvx2 : CubicRowGeneric;
  const TConstRows src = source.ConstRows();
  const TRows dst = dest.Rows();
  const auto at = [&](int y) { return src[y]; };
  ForEachBand(height, int64_t{5} * bytes, [&](int top, int bottom) {
    for (int b = top; b < bottom; ++b) {
      const uint8_t* row =
          HeightPassRow(EnlargeTap(source_height, height, b), at, cubic, dst[b], bytes);
      if (row != dst[b]) std::memcpy(dst[b], row, static_cast<size_t>(bytes));
    }
  });
}

void EnlargeBothRows(const TBitmap& source, int target, int height, const TEnlargedRows& take) {
  if (source.Empty()) throw EInvalidGraphicOperation(SScanLine);
  if (source.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  const int width = source.Width(), source_height = source.Height();
  if (width >= target || source_height >= height) throw EInvalidGraphicOperation(SScanLine);
  const auto row = KernelPath() == TKernelPath::kpAvx2 ? EnlargeRowAvx2 : EnlargeRowGeneric;
  const auto cubic = KernelPath() == TKernelPath::kpAvx2 ? CubicRowAvx2 : CubicRowGeneric;
  std::vector<std::vector<TEnlargeTap>> tables;
  for (int first = 0; first < target; first += kTableSpan)
    tables.push_back(MakeEnlargeTable(width, target, first, std::min(kTableSpan, target - first)));
  const TConstRows src = source.ConstRows();
  const int bytes = target * 3;
  const size_t row_bytes = static_cast<size_t>(bytes);
  ForEachBand(height, int64_t{8} * bytes, [&](int top, int bottom) {
    // The width pass's rows that the height pass takes, made when first needed: row y in
    // slot y % 4, since a destination row takes at most four consecutive source rows and
    // the rows taken only go down the picture; then the destination row. Four spare
    // bytes: the vector kernel stores four bytes for a pixel of three.
    std::vector<uint8_t> rows(5 * row_bytes + 4);
    uint8_t* const out = rows.data() + 4 * row_bytes;
    int held[4] = {-1, -1, -1, -1};
    const auto made = [&](int y) -> const uint8_t* {
      uint8_t* slot = rows.data() + static_cast<size_t>(y % 4) * row_bytes;
      if (held[y % 4] != y) {
        for (size_t t = 0; t < tables.size(); ++t)
          row(src[y], slot + 3 * t * kTableSpan, tables[t], width);
        held[y % 4] = y;
      }
      return slot;
    };
    for (int b = top; b < bottom; ++b)
      take(b, HeightPassRow(EnlargeTap(source_height, height, b), made, cubic, out, bytes));
  });
}

void EnlargeBoth(const TBitmap& source, TBitmap& dest) {
  if (dest.Empty()) throw EInvalidGraphicOperation(SScanLine);
  if (dest.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  const TRows dst = dest.Rows();
  const size_t bytes = 3 * static_cast<size_t>(dest.Width());
  EnlargeBothRows(source, dest.Width(), dest.Height(),
                  [&](int y, const uint8_t* row) { std::memcpy(dst[y], row, bytes); });
}

bool EnlargesBothAtOnce(const TBitmap& bitmap, int width, int height) {
  // The threads' rows of the width pass (four each) fewer than the source's rows, and the
  // tables few.
  return width > bitmap.Width() && height > bitmap.Height() &&
         bitmap.Height() >= 4 * kMaxBandThreads && width <= 4 * kTableSpan;
}
