#include "gif/DitherEngine.h"

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
