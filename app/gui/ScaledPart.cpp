#include "app/gui/ScaledPart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "base/Bands.h"
#include "compose/ResampleTables.h"
#include "raster/Bitmap.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#endif

QImage RasterPart(const TBitmap& bitmap, int left, int top, int width, int height) {
  QImage image(width, height, QImage::Format_BGR888);
  // Blue, green, red: the image's own byte order, which the raster's decoder gives.
  const TRowDecoder decoder(bitmap);
  for (int y = 0; y < height; ++y)
    decoder.Decode(bitmap.ConstScanline(top + y), image.scanLine(y), width, left);
  return image;
}

namespace {

// Positions along a picture side in 1/256 of a picture pixel.
constexpr int64_t kUnit = 256;

// Columns first .. first + count - 1 of picture rows as blue, green, red bytes: the
// raster's own rows when it has 24 bits per pixel, else a converted copy.
class TRowReader {
 public:
  TRowReader(const TBitmap& bitmap, int first, int count)
      : bitmap_(bitmap), first_(first), count_(count), direct_(bitmap.BitsPerPixel() == 24) {}
  // The most rows Rows gives at once: any number for the raster's own rows, a few
  // converted ones.
  int MaxRows() const { return direct_ ? std::numeric_limits<int>::max() : 64; }
  // Rows y .. y + n - 1 (n <= MaxRows()) into `rows`, valid until the next call.
  void Rows(int y, int n, const uint8_t** rows) {
    if (direct_) {
      for (int i = 0; i < n; ++i) rows[i] = bitmap_.ConstScanline(y + i) + size_t(first_) * 3;
      return;
    }
    copy_ = RasterPart(bitmap_, first_, y, count_, n);
    for (int i = 0; i < n; ++i) rows[i] = copy_.constScanLine(i);
  }
  const uint8_t* Row(int y) {
    const uint8_t* row = nullptr;
    Rows(y, 1, &row);
    return row;
  }

 private:
  const TBitmap& bitmap_;
  const int first_, count_;
  const bool direct_;
  QImage copy_;
};

// Where screen pixel `i` starts along a picture side of `length` pixels, in kUnit.
int64_t ScreenEdge(int64_t i, double units_per_screen_pixel, int length) {
  return std::min<int64_t>(int64_t(length) * kUnit, std::llround(i * units_per_screen_pixel));
}

// How much of picture pixel `p` lies in [from, to), in kUnit.
int64_t Overlap(int64_t p, int64_t from, int64_t to) {
  return std::max<int64_t>(0, std::min(to, (p + 1) * kUnit) - std::max(from, p * kUnit));
}

// Picture rows added into one sum per picture column and channel (`sum`, n of them), each
// row weighted by the share of it that the screen row covers (at most kUnit, so that a
// weighted byte fits 16 bits).
void AddRows(const uint8_t* const* rows, const uint16_t* weights, int count,
             uint32_t* __restrict sum, size_t n) {
  for (int r = 0; r < count; ++r) {
    const uint8_t* __restrict row = rows[r];
    const uint16_t weight = weights[r];
    for (size_t k = 0; k < n; ++k) sum[k] += uint16_t(weight * row[k]);
  }
}

// sum / area rounded to the nearest integer, for a quotient of at most 255 and an area below
// 2^44, with `reciprocal` = 1 / area. A product in double precision is much quicker than a
// division of 64-bit integers, and off by far less than one: a quotient just below a whole
// number lies at least 1 / area below it, more than the product's rounding error for a
// number below 256 (2^-44). The checks afterwards make the result exact all the same.
uint8_t RoundedQuotient(uint64_t sum, uint64_t area, double reciprocal) {
  const uint64_t numerator = sum + area / 2;
  uint64_t q = uint64_t(double(numerator) * reciprocal);
  if (q * area > numerator) --q;
  if ((q + 1) * area <= numerator) ++q;
  return uint8_t(q);
}

// A screen row's bytes from its sums: out[k] = sums[k] / (row_area * widths[k / 3]),
// rounded, for k = from .. count - 1; 0 for an empty area, which lies only past the
// picture's edge (the box never asks for it).
void FinishRow(const uint64_t* sums, const uint64_t* widths, uint64_t row_area, uint8_t* out,
               size_t from, size_t count) {
  for (size_t k = from; k < count; ++k) {
    const uint64_t area = row_area * widths[k / 3];
    out[k] = area == 0 ? 0 : RoundedQuotient(sums[k], area, 1.0 / double(area));
  }
}

#if LUMIVEIL_X86_KERNELS
// AddRows a block of 32 columns at a time over all the rows, so that the block's sums
// stay in registers.
__attribute__((target("avx2"))) void AddRowsAvx2(const uint8_t* const* rows,
                                                 const uint16_t* weights, int count, uint32_t* sum,
                                                 size_t n) {
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i* const out = reinterpret_cast<__m256i*>(sum + i);
    __m256i s0 = _mm256_loadu_si256(out), s1 = _mm256_loadu_si256(out + 1);
    __m256i s2 = _mm256_loadu_si256(out + 2), s3 = _mm256_loadu_si256(out + 3);
    for (int r = 0; r < count; ++r) {
      const __m256i weight = _mm256_set1_epi16(int16_t(weights[r]));
      const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[r] + i));
      const __m256i low =
          _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(bytes)), weight);
      const __m256i high =
          _mm256_mullo_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(bytes, 1)), weight);
      s0 = _mm256_add_epi32(s0, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(low)));
      s1 = _mm256_add_epi32(s1, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(low, 1)));
      s2 = _mm256_add_epi32(s2, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(high)));
      s3 = _mm256_add_epi32(s3, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(high, 1)));
    }
    _mm256_storeu_si256(out, s0), _mm256_storeu_si256(out + 1, s1);
    _mm256_storeu_si256(out + 2, s2), _mm256_storeu_si256(out + 3, s3);
  }
  for (int r = 0; r < count; ++r)
    for (size_t k = i; k < n; ++k) sum[k] += uint16_t(weights[r] * rows[r][k]);
}

// Integers below 2^52 as doubles and back, exactly.
__attribute__((target("avx2"))) inline __m256d ExactDouble(__m256i value) {
  const __m256i magic = _mm256_set1_epi64x(0x4330000000000000);
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(value, magic)),
                       _mm256_castsi256_pd(magic));
}

// FinishRow four bytes at a time, in double precision. Every value involved is a whole
// number below 2^53, so the sums and areas are exact, and so is the floor of the
// correctly rounded quotient: a quotient of at most 256 that is not whole lies at least
// 1 / area (more than 2^-44) below the next whole number, farther than the division's
// rounding (2^-45 at most) can carry it.
__attribute__((target("avx2"))) void FinishRowAvx2(const uint64_t* sums, const uint64_t* widths,
                                                   const double* widths3, uint64_t row_area,
                                                   uint8_t* out, size_t count) {
  const __m256d rows = _mm256_set1_pd(double(row_area));
  const __m256d half = _mm256_set1_pd(0.5);
  const __m128i low_bytes =
      _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m256d area = _mm256_mul_pd(rows, _mm256_loadu_pd(widths3 + k));
    const __m256d numerator =
        _mm256_add_pd(ExactDouble(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + k))),
                      _mm256_floor_pd(_mm256_mul_pd(area, half)));
    const __m256d q = _mm256_floor_pd(_mm256_div_pd(numerator, area));
    const int32_t bytes = _mm_cvtsi128_si32(_mm_shuffle_epi8(_mm256_cvttpd_epi32(q), low_bytes));
    std::memcpy(out + k, &bytes, 4);
  }
  FinishRow(sums, widths, row_area, out, k, count);
}
#endif

// A screen column: the picture columns it covers and the shares of the first and the last
// (the ones between are whole).
struct TSpan {
  int first, last;
  uint64_t first_share, last_share;
};

QImage AveragedPart(const TBitmap& bitmap, double scale, const QRect& screen) {
  const int width = bitmap.Width(), height = bitmap.Height();
  const double units = kUnit / scale;
  const int nx = screen.width();
  // The screen columns' edges on the picture, and the picture columns they cover.
  std::vector<int64_t> xs(size_t(nx) + 1);
  for (int i = 0; i <= nx; ++i) xs[i] = ScreenEdge(screen.x() + i, units, width);
  const int first = int(xs[0] / kUnit);
  const int count = int((xs[nx] - 1) / kUnit) - first + 1;
  const size_t n = size_t(count) * 3;
  std::vector<TSpan> spans(static_cast<size_t>(nx));
  // Each screen column's width in kUnit, and per byte (for the vector code).
  std::vector<uint64_t> widths(static_cast<size_t>(nx));
  std::vector<double> widths3(size_t(nx) * 3);
  bool empty_column = false;
  for (int sx = 0; sx < nx; ++sx) {
    const int64_t from = xs[sx], to = xs[sx + 1];
    TSpan& span = spans[sx];
    span.first = int(from / kUnit);
    span.last = int(std::max<int64_t>(from, to - 1) / kUnit);
    span.first_share = uint64_t(Overlap(span.first, from, to));
    span.last_share = uint64_t(Overlap(span.last, from, to));
    span.first -= first, span.last -= first;
    widths[sx] = uint64_t(to - from);
    for (int c = 0; c < 3; ++c) widths3[size_t(sx) * 3 + c] = double(to - from);
    empty_column |= to == from;
  }
#if LUMIVEIL_X86_KERNELS
  const bool avx2 = KernelPath() == TKernelPath::kpAvx2;
#else
  const bool avx2 = false;
#endif

  QImage image(screen.size(), QImage::Format_BGR888);
  uchar* const bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  // Rows are added at most this many at a time, so that a column's sum stays in 32 bits
  // (2^15 rows of 255 x kUnit, and two cut rows).
  constexpr int kRowsAtATime = 1 << 15;
  // The screen rows in bands over the cores: each reads the picture rows it covers.
  const int64_t rows_per_screen_row = int64_t(std::ceil(units / kUnit)) + 1;
  ForEachBand(screen.height(), rows_per_screen_row * int64_t(n), [&](int top, int bottom) {
    TRowReader reader(bitmap, first, count);
    const int rows_at_a_time = std::min(kRowsAtATime, reader.MaxRows());
    std::vector<uint32_t> columns(n);
    std::vector<uint64_t> sums(size_t(nx) * 3);
    std::vector<const uint8_t*> rows;
    std::vector<uint16_t> weights;
    for (int sy = top; sy < bottom; ++sy) {
      const int64_t y0 = ScreenEdge(screen.y() + sy, units, height);
      const int64_t y1 = ScreenEdge(screen.y() + sy + 1, units, height);
      std::fill(sums.begin(), sums.end(), 0);
      const int last_row = int((y1 - 1) / kUnit);
      for (int y = int(y0 / kUnit); y <= last_row;) {
        // Down: the rows of this screen row into one sum per picture column, each weighted
        // by its share.
        const int chunk = std::min(rows_at_a_time, last_row - y + 1);
        rows.resize(size_t(chunk));
        weights.resize(size_t(chunk));
        reader.Rows(y, chunk, rows.data());
        for (int r = 0; r < chunk; ++r) weights[r] = uint16_t(Overlap(y + r, y0, y1));
        y += chunk;
        std::fill(columns.begin(), columns.end(), 0);
        if (avx2)
          AddRowsAvx2(rows.data(), weights.data(), chunk, columns.data(), n);
        else
          AddRows(rows.data(), weights.data(), chunk, columns.data(), n);
        // Across: each screen column takes its picture columns, weighted by their share.
        const uint32_t* column = columns.data();
        for (int sx = 0; sx < nx; ++sx) {
          const TSpan& span = spans[sx];
          uint64_t* s = &sums[size_t(sx) * 3];
          const uint32_t* a = column + size_t(span.first) * 3;
          if (span.first == span.last) {
            for (int c = 0; c < 3; ++c) s[c] += span.first_share * a[c];
            continue;
          }
          uint64_t inner[3] = {0, 0, 0};
          for (const uint32_t* p = a + 3; p < column + size_t(span.last) * 3; p += 3)
            inner[0] += p[0], inner[1] += p[1], inner[2] += p[2];
          const uint32_t* b = column + size_t(span.last) * 3;
          for (int c = 0; c < 3; ++c)
            s[c] += span.first_share * a[c] + uint64_t(kUnit) * inner[c] + span.last_share * b[c];
        }
      }
      uint8_t* out = bits + sy * stride;
      const uint64_t row_area = uint64_t(y1 - y0);
#if LUMIVEIL_X86_KERNELS
      if (avx2 && row_area != 0 && !empty_column) {
        FinishRowAvx2(sums.data(), widths.data(), widths3.data(), row_area, out, sums.size());
        continue;
      }
#endif
      FinishRow(sums.data(), widths.data(), row_area, out, 0, sums.size());
    }
  });
  return image;
}

QImage BlockPart(const TBitmap& bitmap, double scale, const QRect& screen) {
  const auto source = [scale](int i, int length) {
    return std::min(length - 1, int(std::floor(i / scale)));
  };
  std::vector<int> columns(size_t(screen.width()));
  for (int i = 0; i < screen.width(); ++i)
    columns[i] = source(screen.x() + i, bitmap.Width()) - source(screen.x(), bitmap.Width());
  const int first = source(screen.x(), bitmap.Width());
  TRowReader rows(bitmap, first, columns.back() + 1);
  QImage image(screen.size(), QImage::Format_BGR888);
  int previous = -1;
  for (int sy = 0; sy < screen.height(); ++sy) {
    uint8_t* out = image.scanLine(sy);
    const int y = source(screen.y() + sy, bitmap.Height());
    if (y == previous) {  // the same picture row as the screen row above
      std::memcpy(out, image.constScanLine(sy - 1), size_t(screen.width()) * 3);
      continue;
    }
    previous = y;
    const uint8_t* row = rows.Row(y);
    for (int i = 0; i < screen.width(); ++i) std::memcpy(out + 3 * i, row + 3 * columns[i], 3);
  }
  return image;
}

}  // namespace

QImage ScaledRasterPart(const TBitmap& bitmap, double scale, const QRect& screen) {
  if (screen.isEmpty() || bitmap.Empty()) return QImage();
  if (scale == 1.0)
    return RasterPart(bitmap, screen.x(), screen.y(), screen.width(), screen.height());
  return scale < 1.0 ? AveragedPart(bitmap, scale, screen) : BlockPart(bitmap, scale, screen);
}
