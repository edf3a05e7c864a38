#include "raster/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/NearestColor.h"
#include "raster/Bitmap.h"
#include "raster/PixelRows.h"

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

}  // namespace

TRect TCanvas::ClipRect() const {
  const TRect whole{0, 0, bitmap_.Width(), bitmap_.Height()};
  return clip_ ? Intersect(*clip_, whole) : whole;
}

TColor TCanvas::Pixel(int x, int y) const {
  const TRect r = ClipRect();
  if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom) return clNone;
  return bitmap_.Pixel(x, y);
}

// Puts colours into rows of one bitmap, in whatever format it has: true colour directly,
// palette formats through the nearest colour-table entry, deeper formats through their
// masks. Made once per drawing operation.
class TPixelWriter {
 public:
  explicit TPixelWriter(const TBitmap& bitmap) : bits_(bitmap.BitsPerPixel()) {
    direct_ = bitmap.PixelFormat() == TPixelFormat::Device ||
              bitmap.PixelFormat() == TPixelFormat::Bits24;
    if (direct_) return;
    if (bits_ <= 8) {
      map_.emplace(bitmap.ColorTable());
      return;
    }
    const TDIBSection& d = bitmap.DIBInfo();
    std::copy(d.dsBitfields, d.dsBitfields + 3, masks_);
    if (d.dsBmih.biCompression != BI_BITFIELDS) {
      if (bits_ == 16)
        masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
      else
        masks_[0] = 0xFF0000, masks_[1] = 0xFF00, masks_[2] = 0xFF;
    }
  }

  void Put(uint8_t* row, int x, uint8_t red, uint8_t green, uint8_t blue) {
    if (direct_) {
      row[3 * x] = blue;
      row[3 * x + 1] = green;
      row[3 * x + 2] = red;
    } else if (bits_ <= 8) {
      const uint8_t index = map_->Find(red, green, blue);
      const int per_byte = 8 / bits_;
      const int shift = (per_byte - 1 - x % per_byte) * bits_;
      const auto mask = static_cast<uint8_t>(((1 << bits_) - 1) << shift);
      uint8_t& byte = row[x / per_byte];
      byte = static_cast<uint8_t>((byte & ~mask) | ((index << shift) & mask));
    } else {
      const uint8_t bgr[3] = {blue, green, red};
      EncodeRowFromBGR(bgr, row + x * bits_ / 8, 1, bits_, masks_);
    }
  }

 private:
  int bits_;
  bool direct_ = false;
  std::optional<TNearestColorMap> map_;
  uint32_t masks_[3] = {0, 0, 0};
};

void TCanvas::SetPixel(int x, int y, TColor colour) {
  const TRect r = ClipRect();
  if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom || bitmap_.Empty()) return;
  TPixelWriter writer(bitmap_);
  writer.Put(bitmap_.CanvasRow(y), x, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

void TCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == TBrushStyle::bsClear || bitmap_.Empty()) return;
  const TRect r = Intersect(rect, ClipRect());
  if (r.Width() <= 0 || r.Height() <= 0) return;
  if (bitmap_.PixelFormat() == TPixelFormat::Device ||
      bitmap_.PixelFormat() == TPixelFormat::Bits24) {
    std::vector<uint8_t> line(static_cast<size_t>(r.Width()) * 3);
    for (int x = 0; x < r.Width(); ++x) {
      line[3 * x] = GetBValue(Brush.Color);
      line[3 * x + 1] = GetGValue(Brush.Color);
      line[3 * x + 2] = GetRValue(Brush.Color);
    }
    for (int y = r.Top; y < r.Bottom; ++y)
      std::copy(line.begin(), line.end(), bitmap_.CanvasRow(y) + 3 * r.Left);
    return;
  }
  TPixelWriter writer(bitmap_);
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = bitmap_.CanvasRow(y);
    for (int x = r.Left; x < r.Right; ++x)
      writer.Put(row, x, GetRValue(Brush.Color), GetGValue(Brush.Color), GetBValue(Brush.Color));
  }
}

void TCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
}

void TCanvas::LineTo(int x, int y) {
  const int x0 = pen_x_, y0 = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
  if (Pen.Style == TPenStyle::psClear) return;
  // Bresenham from (x0, y0) towards (x, y); the end point itself is not drawn.
  const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  int cx = x0, cy = y0;
  const TRect clip = ClipRect();
  TPixelWriter writer(bitmap_);
  while (cx != x || cy != y) {
    if (cx >= clip.Left && cx < clip.Right && cy >= clip.Top && cy < clip.Bottom)
      writer.Put(bitmap_.CanvasRow(cy), cx, GetRValue(Pen.Color), GetGValue(Pen.Color),
                 GetBValue(Pen.Color));
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, cx += sx;
    if (e2 <= dx) err += dx, cy += sy;
  }
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, TRect{x, y, x + graphic.Width(), y + graphic.Height()});
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, rect);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const {
  if (Empty() || rect.Width() <= 0 || rect.Height() <= 0) return;
  TBitmap& target = canvas.Bitmap();
  if (target.Empty()) return;
  const TRect r = [&] {
    const TRect c = canvas.ClipRect();
    return TRect{std::max(rect.Left, c.Left), std::max(rect.Top, c.Top),
                 std::min(rect.Right, c.Right), std::min(rect.Bottom, c.Bottom)};
  }();
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const int sw = Width(), sh = Height();
  const int64_t rw = rect.Width(), rh = rect.Height();
  // Each target pixel takes the source pixel whose area it falls into.
  std::vector<int> source_x(static_cast<size_t>(r.Width()));
  for (int x = r.Left; x < r.Right; ++x)
    source_x[static_cast<size_t>(x - r.Left)] =
        static_cast<int>((x - rect.Left) * int64_t{sw} / rw);
  const TRowDecoder decoder(Image());
  std::vector<uint8_t> bgr(static_cast<size_t>(sw) * 3);
  int decoded_row = -1;
  TPixelWriter writer(target);
  for (int y = r.Top; y < r.Bottom; ++y) {
    const int sy = static_cast<int>((y - rect.Top) * int64_t{sh} / rh);
    if (sy != decoded_row) {
      decoder.Decode(ConstScanline(sy), bgr.data(), sw);
      decoded_row = sy;
    }
    uint8_t* row = target.CanvasRow(y);
    for (int x = r.Left; x < r.Right; ++x) {
      const uint8_t* p = bgr.data() + 3 * source_x[static_cast<size_t>(x - r.Left)];
      writer.Put(row, x, p[2], p[1], p[0]);
    }
  }
}
