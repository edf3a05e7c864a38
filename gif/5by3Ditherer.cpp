#include "gif/5by3Ditherer.h"

#include <algorithm>

T5by3Ditherer::T5by3Ditherer(int width, TColorLookup& lookup, int divisor)
    : TDitherEngine(width, lookup),
      divisor_(divisor),
      cells_(9 * (static_cast<size_t>(width_) + 4), 0) {
  const size_t stride = static_cast<size_t>(width_) + 4;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 3; ++row) rows_[c][row] = cells_.data() + (3 * c + row) * stride;
  StartRow();
}

void T5by3Ditherer::StartRow() {
  // Invariant of a row: the pixel's cell runs over 2..width + 1, so its neighbours at
  // -2..+2 stay within the row's width + 4 cells.
  const int first = direction_ > 0 ? 2 : width_ + 1;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 3; ++row) at_[c][row] = rows_[c][row] + first;
}

uint8_t T5by3Ditherer::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r,
                                    uint8_t& g, uint8_t& b) {
  const uint8_t adjusted[3] = {Adjust(red, *at_[0][0], divisor_),
                               Adjust(green, *at_[1][0], divisor_),
                               Adjust(blue, *at_[2][0], divisor_)};
  const uint8_t index = lookup_.FindIndex(adjusted[0], adjusted[1], adjusted[2], r, g, b);
  column_ += direction_;
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    // Through the virtual SpreadError: the kernel may be any class derived from this one.
    SpreadError(at_[c][0], at_[c][1], at_[c][2], adjusted[c] - chosen[c]);
    at_[c][0] += direction_;
    at_[c][1] += direction_;
    at_[c][2] += direction_;
  }
  return index;
}

void T5by3Ditherer::AdvanceRow() {
  const size_t stride = static_cast<size_t>(width_) + 4;
  for (int c = 0; c < 3; ++c) {
    int32_t* cleared = rows_[c][0];
    std::fill(cleared, cleared + stride, 0);
    rows_[c][0] = rows_[c][1];
    rows_[c][1] = rows_[c][2];
    rows_[c][2] = cleared;
  }
  TDitherEngine::AdvanceRow();
  direction2_ = 2 * direction_;
  StartRow();
}
