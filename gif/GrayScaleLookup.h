// The lookup into the 256-grey palette: the index is the luminance's top byte.
#pragma once

#include "gif/ColorLookup.h"

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
