// The lookup into the black-and-white palette: white (index 1) for a luminance above
// 32 512, black (index 0) otherwise. The threshold is 32 512, not the middle 32 768, so
// that a pixel of luminance 32 513 to 32 768 becomes white.
#pragma once

#include "gif/ColorLookup.h"

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
