// A colour lookup finds the palette entry that stands for a colour. Each reduction mode
// has its own (nearest entry with a cache, or a formula for the fixed palettes).
#pragma once

#include <cstdint>

// The luminance of a colour as the grey and monochrome lookups weigh it: 0 to 65 280.
constexpr int Luminance(uint8_t red, uint8_t green, uint8_t blue) {
  return 77 * red + 150 * green + 29 * blue;
}

class TColorLookup {
 public:
  explicit TColorLookup(int colors) : colors_(colors) {}
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;

  // The number of palette colours served; a lookup of 0 colours cannot be used.
  int Colors() const { return colors_; }
  // The palette index for (red, green, blue); the chosen entry's colour comes back
  // through r, g and b.
  virtual uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                            uint8_t& b) = 0;

 protected:
  int colors_;
};
