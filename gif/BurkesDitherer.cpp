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

namespace {

struct TBurkesChannel {
  int32_t *current, *next;         // the cells of the pixel's column
  int32_t ahead1 = 0, ahead2 = 0;  // what the next two pixels get from this row
};

inline void BurkesChannel(TBurkesChannel& ch, int d, int d2, int32_t e) {
  ch.ahead1 = ch.ahead2 + 8 * e;
  ch.ahead2 = 4 * e;
  if (e != 0) {
    ch.next[-d2] += 2 * e;
    ch.next[-d] += 4 * e;
    ch.next[0] += 8 * e;
    ch.next[d] += 4 * e;
    ch.next[d2] += 2 * e;
  }
  ch.current += d;
  ch.next += d;
}

}  // namespace

template <class Lookup>
void TBurkesDitherer::Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices) {
  const int d = direction_, d2 = direction2_;
  TBurkesChannel red{at_[0][0], at_[0][1]};
  TBurkesChannel green{at_[1][0], at_[1][1]};
  TBurkesChannel blue{at_[2][0], at_[2][1]};
  int x = column_;
  // x stays within the row, so the cell pointers stay within their margins (StartRow).
  for (; x >= 0 && x < width_; x += d) {
    const uint8_t ar = Adjust(bgr[3 * x + 2], *red.current + red.ahead1, kDivisor);
    const uint8_t ag = Adjust(bgr[3 * x + 1], *green.current + green.ahead1, kDivisor);
    const uint8_t ab = Adjust(bgr[3 * x], *blue.current + blue.ahead1, kDivisor);
    uint8_t r, g, b;
    indices[x] = lookup.FindIndex(ar, ag, ab, r, g, b);
    BurkesChannel(red, d, d2, ar - r);
    BurkesChannel(green, d, d2, ag - g);
    BurkesChannel(blue, d, d2, ab - b);
  }
  column_ = x;
  // What the current row still held for pixels beyond its end is lost with it.
  const TBurkesChannel* channels[3] = {&red, &green, &blue};
  for (int c = 0; c < 3; ++c) {
    at_[c][0] = channels[c]->current;
    at_[c][1] = channels[c]->next;
  }
}

void TBurkesDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) { Row(lookup, bgr, indices); });
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
