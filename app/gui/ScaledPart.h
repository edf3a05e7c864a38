// What an image box paints: a part of a raster as a 24-bit image, at natural size or scaled.
#pragma once

#include <QImage>
#include <QRect>

class TBitmap;

// Rows top .. top + height - 1 and columns left .. left + width - 1 of a raster as a
// 24-bit image, whatever the raster's pixel format. The rectangle lies inside the raster.
QImage RasterPart(const TBitmap& bitmap, int left, int top, int width, int height);

// The part `screen` (in screen pixels, within the scaled picture) of the raster shown at
// `scale` screen pixels per picture pixel. Screen pixel (x, y) covers the picture's square
// from (x / scale, y / scale) to ((x + 1) / scale, (y + 1) / scale), cut at the picture's
// edges. Below 1:1 it shows the area average of what it covers: every picture pixel counts
// with the share of it that the square covers (in 1/256 of a pixel), rounded to the
// nearest value; no pixel is left out. At 1:1 and above it shows the one picture pixel
// under its top-left corner, so pixels become sharp blocks.
QImage ScaledRasterPart(const TBitmap& bitmap, double scale, const QRect& screen);
