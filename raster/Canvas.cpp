#include "raster/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "base/Bands.h"
#include "platform/NearestColor.h"
#include "raster/Bitmap.h"
#include "raster/ByteMap.h"
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

  // The colour-table index a colour is drawn with, for 8 bits or fewer.
  uint8_t IndexOf(uint8_t red, uint8_t green, uint8_t blue) { return map_->Find(red, green, blue); }
  bool Direct() const { return direct_; }
  int Bits() const { return bits_; }

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
  // The store becomes private once; the rows are then filled in bands.
  bitmap_.CanvasRow(r.Top);
  const TBitmapImage& store = *bitmap_.image_;
  const uint8_t red = GetRValue(Brush.Color), green = GetGValue(Brush.Color),
                blue = GetBValue(Brush.Color);
  const auto rows = [&](int64_t bytes_per_row, const std::function<void(uint8_t * row)>& fill) {
    ForEachBand(r.Height(), bytes_per_row, [&](int first, int last) {
      for (int y = r.Top + first; y < r.Top + last; ++y) fill(RowAddress(store, y));
    });
  };
  TPixelWriter writer(bitmap_);
  if (writer.Direct()) {
    std::vector<uint8_t> line(static_cast<size_t>(r.Width()) * 3);
    for (int x = 0; x < r.Width(); ++x) {
      line[3 * x] = blue;
      line[3 * x + 1] = green;
      line[3 * x + 2] = red;
    }
    rows(3 * r.Width(),
         [&](uint8_t* row) { std::copy(line.begin(), line.end(), row + 3 * r.Left); });
    return;
  }
  if (writer.Bits() == 8) {
    // One colour, one index: the nearest entry found once.
    const uint8_t index = writer.IndexOf(red, green, blue);
    rows(r.Width(),
         [&](uint8_t* row) { std::memset(row + r.Left, index, static_cast<size_t>(r.Width())); });
    return;
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = RowAddress(store, y);
    for (int x = r.Left; x < r.Right; ++x) writer.Put(row, x, red, green, blue);
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
  const auto source_row = [&](int y) {
    return static_cast<int>((y - rect.Top) * int64_t{sh} / rh);
  };
  // The target's store becomes private once; its rows are then drawn in bands.
  target.CanvasRow(r.Top);
  const TBitmapImage& store = *target.image_;
  const TConstRows rows = ConstRows();
  const TRowDecoder decoder(Image());
  const bool indexed = decoder.Bits() == 8 && TPixelWriter(target).Bits() == 8;
  ForEachBand(r.Height(), int64_t{4} * r.Width(), [&](int first, int last) {
    TPixelWriter writer(target);
    if (indexed) {
      // 8 bits onto 8 bits: each colour-table entry's colour is looked up once.
      uint8_t to[256];
      std::vector<uint8_t> bgr(3 * 256);
      std::vector<uint8_t> all(256);
      for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
      decoder.Decode(all.data(), bgr.data(), 256);
      bool same = true;  // every entry maps to itself: the two tables agree
      for (int i = 0; i < 256; ++i) {
        to[i] = writer.IndexOf(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]);
        same = same && to[i] == i;
      }
      // Drawn at its own size, a row is the source row from its first drawn pixel on.
      const bool unscaled = rw == sw && rh == sh;
      const int skip = r.Left - rect.Left, left = r.Left, count = r.Width();
      const TByteMap map(to);
      const TByteMapKernel kernel = WidestByteMapKernel();
      for (int y = r.Top + first; y < r.Top + last; ++y) {
        const uint8_t* src = rows[source_row(y)];
        uint8_t* row = RowAddress(store, y);
        if (unscaled) {
          const uint8_t* const from = src + skip;
          uint8_t* const out = row + left;
          if (same)
            std::memcpy(out, from, static_cast<size_t>(count));
          else
            MapBytesWith(kernel, from, out, static_cast<size_t>(count), map);
          continue;
        }
        for (int x = r.Left; x < r.Right; ++x)
          row[x] = to[src[source_x[static_cast<size_t>(x - r.Left)]]];
      }
      return;
    }
    std::vector<uint8_t> bgr(static_cast<size_t>(sw) * 3);
    int decoded_row = -1;
    for (int y = r.Top + first; y < r.Top + last; ++y) {
      const int sy = source_row(y);
      if (sy != decoded_row) {
        decoder.Decode(rows[sy], bgr.data(), sw);
        decoded_row = sy;
      }
      uint8_t* row = RowAddress(store, y);
      for (int x = r.Left; x < r.Right; ++x) {
        const uint8_t* p = bgr.data() + 3 * source_x[static_cast<size_t>(x - r.Left)];
        writer.Put(row, x, p[2], p[1], p[0]);
      }
    }
  });
}
