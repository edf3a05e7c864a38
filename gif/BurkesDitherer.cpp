#include "gif/BurkesDitherer.h"

#include <algorithm>

TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup)
    : TDitherEngine(width, lookup), cells_(6 * (static_cast<size_t>(width_) + 4), 0) {
  const size_t stride = static_cast<size_t>(width_) + 4;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 2; ++row) rows_[c][row] = cells_.data() + (2 * c + row) * stride;
  StartRow();
}

void TBurkesDitherer::StartRow() {
  // Invariant of a row: the pixel's cell runs over 2..width + 1, so its neighbours at
  // -2..+2 stay within the row's width + 4 cells.
  const int first = direction_ > 0 ? 2 : width_ + 1;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 2; ++row) at_[c][row] = rows_[c][row] + first;
}

template <class Lookup>
inline uint8_t TBurkesDitherer::Pixel(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue,
                                      uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t adjusted[3] = {Adjust(red, *at_[0][0], kDivisor),
                               Adjust(green, *at_[1][0], kDivisor),
                               Adjust(blue, *at_[2][0], kDivisor)};
  const uint8_t index = lookup.FindIndex(adjusted[0], adjusted[1], adjusted[2], r, g, b);
  const int d = direction_, d2 = direction2_;
  column_ += d;
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    int32_t* current = at_[c][0];
    int32_t* next = at_[c][1];
    const int32_t e = adjusted[c] - chosen[c];
    if (e != 0) {
      current[d] += 8 * e;
      current[d2] += 4 * e;
      next[-d2] += 2 * e;
      next[-d] += 4 * e;
      next[0] += 8 * e;
      next[d] += 4 * e;
      next[d2] += 2 * e;
    }
    at_[c][0] += d;
    at_[c][1] += d;
  }
  return index;
}

uint8_t TBurkesDitherer::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r,
                                      uint8_t& g, uint8_t& b) {
  return Pixel(lookup_, red, green, blue, r, g, b);
}

void TBurkesDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) {
    uint8_t r, g, b;
    ForRow(bgr, indices, [&](uint8_t red, uint8_t green, uint8_t blue) {
      return Pixel(lookup, red, green, blue, r, g, b);
    });
  });
}

void TBurkesDitherer::AdvanceRow() {
  const size_t stride = static_cast<size_t>(width_) + 4;
  for (int c = 0; c < 3; ++c) {
    int32_t* cleared = rows_[c][0];
    std::fill(cleared, cleared + stride, 0);
    rows_[c][0] = rows_[c][1];
    rows_[c][1] = cleared;
  }
  TDitherEngine::AdvanceRow();
  direction2_ = 2 * direction_;
  StartRow();
}
