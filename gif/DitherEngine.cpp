#include "gif/DitherEngine.h"

#include <typeinfo>

uint8_t TDitherEngine::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r,
                                    uint8_t& g, uint8_t& b) {
  const uint8_t index = lookup_.FindIndex(red, green, blue, r, g, b);
  column_ += direction_;
  return index;
}

void TDitherEngine::AdvanceRow() {
  direction_ = -direction_;
  column_ = direction_ > 0 ? 0 : width_ - 1;
}

void TDitherEngine::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  if (typeid(*this) != typeid(TDitherEngine)) {
    // A derived engine of someone else's: through its own ProcessPixel.
    uint8_t r, g, b;
    ForRow(bgr, indices, [&](uint8_t red, uint8_t green, uint8_t blue) {
      return ProcessPixel(red, green, blue, r, g, b);
    });
    return;
  }
  WithLookup([&](auto& lookup) {
    // The column in a local: the stores into the row of indices cannot touch it.
    const int d = direction_;
    int x = column_;
    for (; x >= 0 && x < width_; x += d) {
      uint8_t r, g, b;
      indices[x] = lookup.FindIndex(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x], r, g, b);
    }
    column_ = x;
  });
}
