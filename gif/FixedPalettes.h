// The fixed target palettes of the colour-reduction modes. Each call makes a new palette
// handle; the caller owns it (palettes never change once made).
#pragma once

#include "platform/Colors.h"

// The 20-colour default palette (rmWindows20).
TPaletteHandle Windows20Palette();
// The screen's 256-colour halftone palette (rmWindows256).
TPaletteHandle Windows256Palette();
// 4 greys: 0, 128, 192, 255 (rmWindowsGray).
TPaletteHandle WindowsGrayPalette();
// Black, then white (rmMonochrome).
TPaletteHandle MonochromePalette();
// 256 greys, entry i = (i, i, i) (rmGrayScale).
TPaletteHandle GrayScalePalette();
// The 216-colour web palette (rmNetscape): entry 36r + 6g + b (r, g, b from 0 to 5) is
// (51r, 51g, 51b); red varies slowest, blue fastest.
TPaletteHandle WebPalette();
