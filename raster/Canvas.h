// TCanvas: drawing on a bitmap — fills, lines with a one-pixel pen, and pictures drawn at
// their size or stretched — as far as the chart panel's export draws. Coordinates are
// pixels from the top-left; rectangles exclude their right and bottom edges.
#pragma once

#include <optional>

#include "platform/Colors.h"

class TBitmap;
class TGraphic;

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int left, int top, int right, int bottom) {
  return TRect{left, top, right, bottom};
}

enum class TBrushStyle { bsSolid, bsClear };
enum class TPenStyle { psSolid, psClear };
enum class TPenMode { pmCopy };

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
};

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
};

class TCanvas {
 public:
  explicit TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TBrush Brush;
  TPen Pen;

  // Fills the rectangle (within the clip) with the brush; a clear brush fills nothing.
  void FillRect(const TRect& rect);
  // Moves the pen without drawing.
  void MoveTo(int x, int y);
  // Draws a line from the pen position up to, not including, (x, y), and moves the pen
  // there. Pixels outside the bitmap or the clip are not drawn.
  void LineTo(int x, int y);
  // Draws a picture at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, const TGraphic& graphic);
  // Draws a picture scaled into the rectangle.
  void StretchDraw(const TRect& rect, const TGraphic& graphic);

  // Limits every drawing to a rectangle (nothing = the whole bitmap).
  void SetClipRect(std::optional<TRect> clip) { clip_ = clip; }
  TRect ClipRect() const;

  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor colour);
  TBitmap& Bitmap() { return bitmap_; }

 private:
  TBitmap& bitmap_;
  std::optional<TRect> clip_;
  int pen_x_ = 0, pen_y_ = 0;
};
