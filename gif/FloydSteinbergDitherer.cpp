#include "gif/FloydSteinbergDitherer.h"

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup)
    : TDitherEngine(width, lookup), rows_(3 * (static_cast<size_t>(width_) + 2), 0) {
  StartRow();
}

void TFloydSteinbergDitherer::StartRow() {
  // Invariant of a row: the pointer stays within cells 0..width + 1, and the cell it reads
  // (pointer + d) within 1..width, so no kernel access needs a bounds test.
  const size_t stride = static_cast<size_t>(width_) + 2;
  const size_t first = direction_ > 0 ? 0 : static_cast<size_t>(width_) + 1;
  state_.red.cell = rows_.data() + first;
  state_.green.cell = rows_.data() + stride + first;
  state_.blue.cell = rows_.data() + 2 * stride + first;
}

inline void TFloydSteinbergDitherer::Spread(TChannel& ch, int d, int adjusted, int chosen) {
  const int32_t e = adjusted - chosen;
  *ch.cell = ch.pending + 3 * e;
  ch.pending = ch.previous + 5 * e;
  ch.previous = e;
  ch.carry = 7 * e;
  ch.cell += d;
}

template <class Lookup>
inline uint8_t TFloydSteinbergDitherer::Pixel(TState& s, int d, Lookup& lookup, uint8_t red,
                                              uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                              uint8_t& b) {
  const uint8_t ar = Adjust(red, s.red.carry + s.red.cell[d], 16);
  const uint8_t ag = Adjust(green, s.green.carry + s.green.cell[d], 16);
  const uint8_t ab = Adjust(blue, s.blue.carry + s.blue.cell[d], 16);
  const uint8_t index = lookup.FindIndex(ar, ag, ab, r, g, b);
  Spread(s.red, d, ar, r);
  Spread(s.green, d, ag, g);
  Spread(s.blue, d, ab, b);
  return index;
}

uint8_t TFloydSteinbergDitherer::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r,
                                              uint8_t& g, uint8_t& b) {
  const uint8_t index = Pixel(state_, direction_, lookup_, red, green, blue, r, g, b);
  column_ += direction_;
  return index;
}

template <class Lookup>
void TFloydSteinbergDitherer::Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices) {
  // The state in locals: the stores into the row of indices cannot touch them.
  TState s = state_;
  const int d = direction_;
  int x = column_;
  // x stays within the row, so the cell pointers stay within their margins (StartRow).
  for (; x >= 0 && x < width_; x += d) {
    uint8_t r, g, b;
    indices[x] = Pixel(s, d, lookup, bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x], r, g, b);
  }
  column_ = x;
  state_ = s;
}

void TFloydSteinbergDitherer::DitherRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) { Row(lookup, bgr, indices); });
}

void TFloydSteinbergDitherer::AdvanceRow() {
  // The column the pointer has reached (the row's last) still holds its pending sum; what
  // the last pixel sent one column ahead lies outside the row and is lost.
  for (TChannel* ch : {&state_.red, &state_.green, &state_.blue}) {
    *ch->cell = ch->pending;
    ch->carry = ch->previous = ch->pending = 0;
  }
  TDitherEngine::AdvanceRow();
  StartRow();
}
