#include "app/gui/ScaledPart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/Bitmap.h"

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

// Columns first .. first + count - 1 of a picture row as blue, green, red bytes: the
// raster's own row when it has 24 bits per pixel, else a converted copy.
class TRowReader {
 public:
  TRowReader(const TBitmap& bitmap, int first, int count)
      : bitmap_(bitmap), first_(first), count_(count), direct_(bitmap.BitsPerPixel() == 24) {}
  const uint8_t* Row(int y) {
    if (direct_) return bitmap_.ConstScanline(y) + size_t(first_) * 3;
    copy_ = RasterPart(bitmap_, first_, y, count_, 1);
    return copy_.constScanLine(0);
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

// A picture row added into one sum per picture column and channel, weighted by the share
// of the row that the screen row covers: a whole row by kUnit (a shift), a row cut by the
// screen row's edge by its share, less than kUnit (a 16-bit product).
void AddWholeRow(const uint8_t* __restrict row, uint32_t* __restrict sum, size_t n) {
  for (size_t i = 0; i < n; ++i) sum[i] += uint32_t(row[i]) << 8;
}
void AddCutRow(const uint8_t* __restrict row, uint32_t* __restrict sum, size_t n, uint16_t weight) {
  for (size_t i = 0; i < n; ++i) sum[i] += uint16_t(weight * row[i]);
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
  for (int sx = 0; sx < nx; ++sx) {
    const int64_t from = xs[sx], to = xs[sx + 1];
    TSpan& span = spans[sx];
    span.first = int(from / kUnit);
    span.last = int(std::max<int64_t>(from, to - 1) / kUnit);
    span.first_share = uint64_t(Overlap(span.first, from, to));
    span.last_share = uint64_t(Overlap(span.last, from, to));
    span.first -= first, span.last -= first;
  }

  TRowReader rows(bitmap, first, count);
  std::vector<uint32_t> columns(n);
  std::vector<uint64_t> sums(size_t(nx) * 3);
  QImage image(screen.size(), QImage::Format_BGR888);
  // Rows are added at most this many at a time, so that a column's sum stays in 32 bits
  // (2^15 rows of 255 x kUnit, and two cut rows).
  constexpr int kRowsAtATime = 1 << 15;
  for (int sy = 0; sy < screen.height(); ++sy) {
    const int64_t y0 = ScreenEdge(screen.y() + sy, units, height);
    const int64_t y1 = ScreenEdge(screen.y() + sy + 1, units, height);
    std::fill(sums.begin(), sums.end(), 0);
    const int last_row = int((y1 - 1) / kUnit);
    for (int y = int(y0 / kUnit); y <= last_row;) {
      // Down: the rows of this screen row into one sum per picture column.
      std::fill(columns.begin(), columns.end(), 0);
      for (int rows_added = 0; y <= last_row && rows_added < kRowsAtATime; ++y, ++rows_added) {
        const int64_t share = Overlap(y, y0, y1);
        if (share == kUnit)
          AddWholeRow(rows.Row(y), columns.data(), n);
        else
          AddCutRow(rows.Row(y), columns.data(), n, uint16_t(share));
      }
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
    uint8_t* out = image.scanLine(sy);
    const uint64_t row_area = uint64_t(y1 - y0);
    for (int sx = 0; sx < nx; ++sx) {
      const uint64_t area = row_area * uint64_t(xs[sx + 1] - xs[sx]);
      if (area == 0) {  // only past the picture's edge, which the box never asks for
        std::memset(out + 3 * sx, 0, 3);
        continue;
      }
      const double reciprocal = 1.0 / double(area);
      for (int c = 0; c < 3; ++c)
        out[3 * sx + c] = RoundedQuotient(sums[3 * sx + c], area, reciprocal);
    }
  }
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
