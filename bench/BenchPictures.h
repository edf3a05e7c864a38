// Pictures for benchmarks: a photo tiled (mirrored at the seams) to any size, so that
// timings see real photographic content rather than noise or flat areas.
#pragma once

#include <string>

#include "raster/Bitmap.h"

// A 24-bit picture of width x height made from samples/<name> (a BMP).
void MakePhotoPicture(TBitmap& picture, int width, int height,
                      const std::string& name = "coffee.bmp");

// The same picture made once for the whole benchmark program and kept to its end.
TBitmap& SharedPhotoPicture(int width, int height, const std::string& name = "coffee.bmp");
