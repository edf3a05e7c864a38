#include "gif/SteveArcheDitherer.h"

#include <algorithm>

TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup)
    : TDitherEngine(width, lookup), cells_(12 * (static_cast<size_t>(width_) + 6), 0) {
  const size_t stride = static_cast<size_t>(width_) + 6;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 4; ++row) rows_[c][row] = cells_.data() + (4 * c + row) * stride;
  StartRow();
}

void TSteveArcheDitherer::StartRow() {
  // Invariant of a row: the pixel's cell runs over 3..width + 2, so its neighbours at
  // -3..+3 stay within the row's width + 6 cells.
  const int first = direction_ > 0 ? 3 : width_ + 2;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 4; ++row) at_[c][row] = rows_[c][row] + first;
}

template <class Lookup>
inline uint8_t TSteveArcheDitherer::Pixel(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue,
                                          uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t adjusted[3] = {Adjust(red, *at_[0][0], kDivisor),
                               Adjust(green, *at_[1][0], kDivisor),
                               Adjust(blue, *at_[2][0], kDivisor)};
  const uint8_t index = lookup.FindIndex(adjusted[0], adjusted[1], adjusted[2], r, g, b);
  const int d = direction_, d2 = direction2_, d3 = direction3_;
  column_ += d;
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    int32_t** at = at_[c];
    const int32_t e = adjusted[c] - chosen[c];
    if (e != 0) {
      at[0][d2] += 32 * e;
      at[1][-d3] += 12 * e;
      at[1][-d] += 26 * e;
      at[1][d] += 30 * e;
      at[1][d3] += 16 * e;
      at[2][-d2] += 12 * e;
      at[2][0] += 26 * e;
      at[2][d2] += 12 * e;
      at[3][-d3] += 5 * e;
      at[3][-d] += 12 * e;
      at[3][d] += 12 * e;
      at[3][d3] += 5 * e;
    }
    for (int row = 0; row < 4; ++row) at[row] += d;
  }
  return index;
}

uint8_t TSteveArcheDitherer::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r,
                                          uint8_t& g, uint8_t& b) {
  return Pixel(lookup_, red, green, blue, r, g, b);
}

void TSteveArcheDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) {
    uint8_t r, g, b;
    ForRow(bgr, indices, [&](uint8_t red, uint8_t green, uint8_t blue) {
      return Pixel(lookup, red, green, blue, r, g, b);
    });
  });
}

void TSteveArcheDitherer::AdvanceRow() {
  const size_t stride = static_cast<size_t>(width_) + 6;
  for (int c = 0; c < 3; ++c) {
    int32_t* cleared = rows_[c][0];
    std::fill(cleared, cleared + stride, 0);
    rows_[c][0] = rows_[c][1];
    rows_[c][1] = rows_[c][2];
    rows_[c][2] = rows_[c][3];
    rows_[c][3] = cleared;
  }
  TDitherEngine::AdvanceRow();
  direction2_ = 2 * direction_;
  direction3_ = 3 * direction_;
  StartRow();
}
