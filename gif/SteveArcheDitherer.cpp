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

namespace {

struct TSteveArcheChannel {
  int32_t* at[4];                  // the cells of the pixel's column in the four rows
  int32_t ahead1 = 0, ahead2 = 0;  // what the next two pixels get from this row
};

inline void SteveArcheChannel(TSteveArcheChannel& ch, int d, int d2, int d3, int32_t e) {
  ch.ahead1 = ch.ahead2;
  ch.ahead2 = 32 * e;
  if (e != 0) {
    ch.at[1][-d3] += 12 * e;
    ch.at[1][-d] += 26 * e;
    ch.at[1][d] += 30 * e;
    ch.at[1][d3] += 16 * e;
    ch.at[2][-d2] += 12 * e;
    ch.at[2][0] += 26 * e;
    ch.at[2][d2] += 12 * e;
    ch.at[3][-d3] += 5 * e;
    ch.at[3][-d] += 12 * e;
    ch.at[3][d] += 12 * e;
    ch.at[3][d3] += 5 * e;
  }
  for (int32_t*& row : ch.at) row += d;
}

}  // namespace

template <class Lookup>
void TSteveArcheDitherer::Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices) {
  const int d = direction_, d2 = direction2_, d3 = direction3_;
  TSteveArcheChannel red{{at_[0][0], at_[0][1], at_[0][2], at_[0][3]}};
  TSteveArcheChannel green{{at_[1][0], at_[1][1], at_[1][2], at_[1][3]}};
  TSteveArcheChannel blue{{at_[2][0], at_[2][1], at_[2][2], at_[2][3]}};
  int x = column_;
  // x stays within the row, so the cell pointers stay within their margins (StartRow).
  for (; x >= 0 && x < width_; x += d) {
    const uint8_t ar = Adjust(bgr[3 * x + 2], *red.at[0] + red.ahead1, kDivisor);
    const uint8_t ag = Adjust(bgr[3 * x + 1], *green.at[0] + green.ahead1, kDivisor);
    const uint8_t ab = Adjust(bgr[3 * x], *blue.at[0] + blue.ahead1, kDivisor);
    uint8_t r, g, b;
    indices[x] = lookup.FindIndex(ar, ag, ab, r, g, b);
    SteveArcheChannel(red, d, d2, d3, ar - r);
    SteveArcheChannel(green, d, d2, d3, ag - g);
    SteveArcheChannel(blue, d, d2, d3, ab - b);
  }
  column_ = x;
  // What the current row still held for pixels beyond its end is lost with it.
  const TSteveArcheChannel* channels[3] = {&red, &green, &blue};
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 4; ++row) at_[c][row] = channels[c]->at[row];
}

void TSteveArcheDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) { Row(lookup, bgr, indices); });
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
