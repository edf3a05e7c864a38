// The lookup into the 216-colour web palette: each channel to the nearest of its six
// levels 0, 51, ..., 255, with the thresholds at 51k - 3 (48 is level 1, 47 level 0).
#pragma once

#include "gif/ColorLookup.h"

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
