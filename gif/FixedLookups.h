// The lookups into the fixed palettes that need no search: each finds the index from the
// colour by arithmetic (the web palette, the greys, black and white).
#pragma once

#include "gif/ColorLookup.h"

// The lookup into the 216-colour web palette: each channel to the nearest of its six
// levels 0, 51, ..., 255, with the thresholds at 51k - 3 (48 is level 1, 47 level 0).
class TNetscapeColorLookup final : public TColorLookup {
 public:
  TNetscapeColorLookup() : TColorLookup(216) {}

  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    const int rl = (red + 3) / 51, gl = (green + 3) / 51, bl = (blue + 3) / 51;
    r = static_cast<uint8_t>(51 * rl);
    g = static_cast<uint8_t>(51 * gl);
    b = static_cast<uint8_t>(51 * bl);
    return static_cast<uint8_t>(bl + 6 * gl + 36 * rl);
  }
};

// The lookup into the 256-grey palette: the index is the luminance's top byte.
class TGrayScaleLookup final : public TColorLookup {
 public:
  TGrayScaleLookup() : TColorLookup(256) {}

  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    const auto index = static_cast<uint8_t>(Luminance(red, green, blue) >> 8);
    r = g = b = index;
    return index;
  }
};

// The lookup into the black-and-white palette: white (index 1) for a luminance above
// 32 512, black (index 0) otherwise. The threshold is 32 512, not the middle 32 768, so
// that a pixel of luminance 32 513 to 32 768 becomes white.
class TMonochromeLookup final : public TColorLookup {
 public:
  TMonochromeLookup() : TColorLookup(2) {}

  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    const bool white = Luminance(red, green, blue) > 32512;
    r = g = b = white ? 255 : 0;
    return white ? 1 : 0;
  }
};
