// Drawing on a bitmap's canvas: fills, one-pixel lines without their end point, clipping,
// and pictures drawn at their size or stretched.
#include <gtest/gtest.h>

#include "raster/Bitmap.h"
#include "raster/Canvas.h"
#include "tests/common/TestFiles.h"

namespace {

void MakeDevice(TBitmap& bitmap, int width, int height) {
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
}

// The picture as text, one character per pixel: '.' white, '#' black, '?' other.
std::string Picture(const TBitmap& bitmap) {
  std::string s;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor c = bitmap.Pixel(x, y);
      s += c == clWhite ? '.' : c == clBlack ? '#' : '?';
    }
    s += '\n';
  }
  return s;
}

}  // namespace

TEST(Canvas, LinesStopBeforeTheirEndPointAndLeaveThePenThere) {
  TBitmap bitmap;
  MakeDevice(bitmap, 5, 4);
  TCanvas& c = bitmap.Canvas();
  c.Pen.Color = clBlack;
  c.MoveTo(0, 0);
  c.LineTo(3, 0);  // x = 0..2
  c.LineTo(3, 3);  // x = 3, y = 0..2
  c.MoveTo(2, 2);
  c.LineTo(2, 2);  // nothing
  EXPECT_EQ(Picture(bitmap),
            "####.\n"
            "...#.\n"
            "...#.\n"
            ".....\n");
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Device);  // drawing keeps the kind
}

TEST(Canvas, LinesAndFillsAreClippedToTheBitmapAndTheClipRect) {
  TBitmap bitmap;
  MakeDevice(bitmap, 4, 3);
  TCanvas& c = bitmap.Canvas();
  c.Pen.Color = clBlack;
  c.MoveTo(-3, 1);
  c.LineTo(10, 1);
  c.Brush.Color = clBlack;
  c.SetClipRect(Rect(1, 0, 3, 3));
  c.FillRect(Rect(-5, 2, 50, 9));
  EXPECT_EQ(Picture(bitmap),
            "....\n"
            "####\n"
            ".##.\n");
  c.Brush.Style = TBrushStyle::bsClear;
  c.SetClipRect(std::nullopt);
  c.FillRect(Rect(0, 0, 4, 3));
  EXPECT_EQ(bitmap.Pixel(0, 0), clWhite);
}

TEST(Canvas, StretchDrawAtTheSameSizeCopiesEveryPixelUnchanged) {
  TBitmap photo;
  photo.LoadFromFile(TestData("bmpsuite/g/pal8.bmp"));  // 8 bits, 127 x 64
  TBitmap target;
  MakeDevice(target, 127, 64);
  target.Canvas().StretchDraw(Rect(0, 0, 127, 64), photo);
  EXPECT_EQ(RGBPixels(target), RGBPixels(photo));
}

TEST(Canvas, StretchingTakesTheSourcePixelEachTargetPixelFallsInto) {
  TBitmap source;
  source.SetPixelFormat(TPixelFormat::Bits24);
  source.SetWidth(2);
  source.SetHeight(1);
  source.Canvas().Pen.Color = clBlack;
  source.Canvas().MoveTo(1, 0);
  source.Canvas().LineTo(2, 0);
  TBitmap target;
  MakeDevice(target, 5, 2);
  target.Canvas().StretchDraw(Rect(0, 0, 4, 2), source);
  EXPECT_EQ(Picture(target),
            "..##.\n"
            "..##.\n");
}

TEST(Canvas, DrawPlacesAPictureAtItsSizeAndClipsIt) {
  TBitmap source;
  MakeDevice(source, 2, 2);
  source.Canvas().Brush.Color = clBlack;
  source.Canvas().FillRect(Rect(0, 0, 2, 2));
  TBitmap target;
  MakeDevice(target, 3, 3);
  target.Canvas().Draw(2, -1, source);
  EXPECT_EQ(Picture(target),
            "..#\n"
            "...\n"
            "...\n");
}

TEST(Canvas, OnAPaletteBitmapColoursTakeTheNearestEntry) {
  TBitmap bitmap;
  FillRandom24(bitmap, 4, 4, 1);
  bitmap.SetPixelFormat(TPixelFormat::Bits4);
  bitmap.Canvas().Brush.Color = RGBColor(250, 10, 5);
  bitmap.Canvas().FillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(bitmap.Pixel(3, 3), RGBColor(255, 0, 0));
}

TEST(Canvas, TheBrushColourFillsNewAreaWhenTheSizeGrows) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.Canvas().Brush.Color = RGBColor(1, 2, 3);
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  EXPECT_EQ(bitmap.Pixel(1, 1), RGBColor(1, 2, 3));
}
