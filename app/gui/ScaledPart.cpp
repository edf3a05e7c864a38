#include "app/gui/ScaledPart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/Bitmap.h"

QImage RasterPart(const TBitmap& bitmap, int left, int top, int width, int height) {
  QImage image(width, height, QImage::Format_BGR888);
  const int bits = bitmap.BitsPerPixel();
  const auto& table = bitmap.ColorTable();
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bitmap.ConstScanline(top + y);
    uint8_t* out = image.scanLine(y);
    switch (bits) {
      case 24:  // blue, green, red: the image's own byte order
        std::memcpy(out, row + size_t(left) * 3, size_t(width) * 3);
        break;
      case 32:  // blue, green, red, unused
        for (int x = 0; x < width; ++x) {
          const uint8_t* p = row + size_t(left + x) * 4;
          out[3 * x] = p[0], out[3 * x + 1] = p[1], out[3 * x + 2] = p[2];
        }
        break;
      case 1:
      case 4:
      case 8:
        for (int x = 0; x < width; ++x) {
          const int column = left + x;
          const int bit = column * bits;
          const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
          // An index beyond a short colour table shows black rather than reading past it.
          const TRGBQuad q = index < table.size() ? table[index] : TRGBQuad{};
          out[3 * x] = q.rgbBlue, out[3 * x + 1] = q.rgbGreen, out[3 * x + 2] = q.rgbRed;
        }
        break;
      default:  // 15 and 16 bits: rare here, read pixel by pixel
        for (int x = 0; x < width; ++x) {
          const TColor c = bitmap.Pixel(left + x, top + y);
          out[3 * x] = GetBValue(c), out[3 * x + 1] = GetGValue(c), out[3 * x + 2] = GetRValue(c);
        }
        break;
    }
  }
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

// The plain sum of whole rows and the weighted sum of rows cut by a screen row's edges,
// kept apart so that the loop over whole rows is a plain widening add.
void AddRow(const uint8_t* __restrict row, uint32_t* __restrict sum, size_t n) {
  for (size_t i = 0; i < n; ++i) sum[i] += row[i];
}
void AddWeightedRow(const uint8_t* __restrict row, uint32_t* __restrict sum, size_t n,
                    uint32_t weight) {
  for (size_t i = 0; i < n; ++i) sum[i] += weight * row[i];
}

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

  TRowReader rows(bitmap, first, count);
  std::vector<uint32_t> whole(n), cut(n);
  std::vector<uint64_t> sums(size_t(nx) * 3);
  QImage image(screen.size(), QImage::Format_BGR888);
  // Whole rows added at most this many at a time, so that a sum of bytes stays in 32 bits.
  constexpr int kRowsAtATime = 1 << 16;
  for (int sy = 0; sy < screen.height(); ++sy) {
    const int64_t y0 = ScreenEdge(screen.y() + sy, units, height);
    const int64_t y1 = ScreenEdge(screen.y() + sy + 1, units, height);
    std::fill(sums.begin(), sums.end(), 0);
    const int last_row = int((y1 - 1) / kUnit);
    for (int y = int(y0 / kUnit); y <= last_row;) {
      std::fill(whole.begin(), whole.end(), 0);
      std::fill(cut.begin(), cut.end(), 0);
      for (int rows_added = 0; y <= last_row && rows_added < kRowsAtATime; ++y, ++rows_added) {
        const int64_t weight = Overlap(y, y0, y1);
        if (weight == kUnit)
          AddRow(rows.Row(y), whole.data(), n);
        else
          AddWeightedRow(rows.Row(y), cut.data(), n, uint32_t(weight));
      }
      // Across: each screen column takes its picture columns, weighted by their share.
      for (int sx = 0; sx < nx; ++sx) {
        uint64_t* s = &sums[size_t(sx) * 3];
        for (int64_t p = xs[sx] / kUnit, end = (xs[sx + 1] - 1) / kUnit; p <= end; ++p) {
          const uint64_t weight = uint64_t(Overlap(p, xs[sx], xs[sx + 1]));
          const size_t i = size_t(p - first) * 3;
          for (int c = 0; c < 3; ++c)
            s[c] += weight * ((uint64_t(whole[i + c]) * kUnit) + cut[i + c]);
        }
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
      for (int c = 0; c < 3; ++c) out[3 * sx + c] = uint8_t((sums[3 * sx + c] + area / 2) / area);
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
