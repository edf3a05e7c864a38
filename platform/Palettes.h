// The fixed palettes this platform supplies in place of the operating system's.
#pragma once

#include <array>

#include "platform/Colors.h"

// The 20 static colours of the default palette, in order: entries 0-9 then 10-19 (the
// latter are entries 246-255 of the halftone palette).
const std::array<TPaletteEntry, 20>& DefaultPaletteEntries();

// The 16-colour system palette used for 4-bit pictures.
const std::array<TPaletteEntry, 16>& SixteenColorPaletteEntries();

// The screen's 256-colour halftone palette: the 20 static colours at entries 0-9 and
// 246-255; between them (10-245) a 6x6x6 colour cube of the levels 0, 51, 102, 153, 204,
// 255 at entry 10 + 36r + 6g + b (red slowest), then 20 greys not on those levels
// (entries 226-245: 10, 20, 31, 41, 61, 71, 82, 92, 112, 122, 133, 143, 163, 173, 184,
// 194, 214, 224, 235, 245, that is round(51 * k / 5) for k not a multiple of 5). Eight
// cube colours repeat static colours; the lowest index wins in every nearest-colour
// search, so the repeats are never chosen.
const std::array<TPaletteEntry, 256>& HalftonePaletteEntries();

// New palette handles of the above (CreateHalftonePalette and the stock default palette).
TPaletteHandle CreateHalftonePalette();
TPaletteHandle DefaultPalette();
TPaletteHandle SixteenColorPalette();
