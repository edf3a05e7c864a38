// Optimized palettes: the colours an octree quantizer finds for one or more pictures.
#pragma once

#include <vector>

#include "platform/Colors.h"
#include "raster/Bitmap.h"

// A palette of `colors` entries (1 to 256) for the picture, from leaves of depth
// color_bits (1 to 8). With windows_colors the palette has 256 entries whatever `colors`
// says: entries 0-9 and 246-255 are the 20 static colours of the default palette, and
// the quantizer keeps at most 236 colours for entries 10 on. The quantizer's colours go to
// consecutive entries in the order it collects them; entries beyond them are black. The
// picture is read at 24 bits per pixel through a copy, so the caller's bitmap keeps its
// format.
TPaletteHandle CreateOptimizedPaletteForBitmap(const TBitmap& bitmap, int colors, int color_bits,
                                               bool windows_colors);
// The same for several pictures fed in list order into one quantizer. A missing or empty
// list, or one holding a missing bitmap, raises GIFException "Invalid bitmap list".
TPaletteHandle CreateOptimizedPaletteFromManyBitmaps(const std::vector<TBitmap*>* bitmaps,
                                                     int colors, int color_bits,
                                                     bool windows_colors);
