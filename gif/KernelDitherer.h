// Error diffusion by a table of weights: the kernels of the 5x3 family (Stucki, Sierra,
// JaJuNi, Burkes) and Stevenson-Arce are each one table. A kernel spans `Rows` rows (the
// current row and the rows below it) and `Reach` columns either side of the pixel; offsets
// are taken in the scan direction, so on a row scanned right to left "ahead" is to the
// left. The current row carries weight only ahead of the pixel.
//
// Per channel `Rows` rows of width + 2 x Reach cells: cell c + Reach belongs to column c,
// and the Reach cells either side take what falls outside the row (they are never read,
// and cleared when the row comes round again), so no kernel access needs a bounds test.
//
// ProcessPixel spreads through the virtual SpreadAt into every row. A whole row of a
// kernel whose table is known at compile time (KernelRow) keeps what the current row's
// next pixels receive in registers instead, since those cells are read straight after;
// the rows below get the same sums either way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "gif/DitherEngine.h"

template <int Rows, int Reach>
struct TDiffusionKernel {
  static constexpr int kRows = Rows;
  static constexpr int kReach = Reach;
  static constexpr int kColumns = 2 * Reach + 1;
  int divisor;
  // weights[row][Reach + offset] for the offsets -Reach .. +Reach; row 0 is the current
  // row, whose weights at offsets of 0 and below must be 0.
  int weights[Rows][kColumns];
};

template <int Rows, int Reach>
class TKernelDitherer : public TDitherEngine {
 public:
  uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                       uint8_t& b) override;
  void AdvanceRow() override;

  int Divisor() const { return divisor_; }

 protected:
  TKernelDitherer(int width, TColorLookup& lookup, int divisor);

  // Adds error x weight to the cells around the pixel; at[row] is the cell of the pixel's
  // column in each row. An error of 0 adds nothing.
  virtual void SpreadAt(int32_t* const* at, int32_t error) = 0;

  // SpreadAt from a kernel's table.
  template <const auto& Kernel>
  void Spread(int32_t* const* at, int32_t error) const {
    if (error == 0) return;
    SpreadRows<Kernel, 0>(at, direction_, error, std::make_integer_sequence<int, Rows>());
  }
  // A whole row of a kernel whose table is known: the library's kernels call this from
  // their DitherRow.
  template <const auto& Kernel>
  void KernelRow(const uint8_t* bgr, uint8_t* indices) {
    WithLookup([&](auto& lookup) { Row<Kernel>(lookup, bgr, indices); });
  }

 private:
  static constexpr int kStride = 2 * Reach;  // cells beyond the width in each row

  // One channel's state while a whole row is walked.
  struct TChannel {
    int32_t* at[Rows];          // the cells of the pixel's column
    int32_t ahead[Reach] = {};  // what the next pixels get from the current row
  };

  // The weights of one row, unrolled at compile time; zero weights cost nothing.
  template <const auto& Kernel, int Row, int... Column>
  static void SpreadRow(int32_t* cells, int d, int32_t e, std::integer_sequence<int, Column...>) {
    ((Kernel.weights[Row][Column] != 0
          ? (void)(cells[(Column - Reach) * d] += Kernel.weights[Row][Column] * e)
          : (void)0),
     ...);
  }
  // Rows `First` and below (the current row too when First is 0).
  template <const auto& Kernel, int First, int... Row>
  static void SpreadRows(int32_t* const* at, int d, int32_t e, std::integer_sequence<int, Row...>) {
    ((Row >= First
          ? SpreadRow<Kernel, Row>(at[Row], d, e, std::make_integer_sequence<int, 2 * Reach + 1>())
          : (void)0),
     ...);
  }
  // Inlined into the row's loop, where the channel's state stays in registers.
  template <const auto& Kernel>
  [[gnu::always_inline]] static void RowChannel(TChannel& ch, int d, int32_t e);
  template <const auto& Kernel, class Lookup>
  void Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices);
  void StartRow();

  int divisor_;
  std::vector<int32_t> cells_;  // 3 x Rows rows of width + 2 x Reach cells
  int32_t* rows_[3][Rows];      // [channel][row]: the rows' first cells, current row first
  int32_t* at_[3][Rows];        // the cell of the pixel's column in each of them
};

template <int Rows, int Reach>
TKernelDitherer<Rows, Reach>::TKernelDitherer(int width, TColorLookup& lookup, int divisor)
    : TDitherEngine(width, lookup),
      divisor_(divisor),
      cells_(3 * Rows * (static_cast<size_t>(width_) + kStride), 0) {
  const size_t stride = static_cast<size_t>(width_) + kStride;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < Rows; ++row)
      rows_[c][row] = cells_.data() + static_cast<size_t>(Rows * c + row) * stride;
  StartRow();
}

template <int Rows, int Reach>
void TKernelDitherer<Rows, Reach>::StartRow() {
  // Invariant of a row: the pixel's cell runs over Reach .. width + Reach - 1, so its
  // neighbours at -Reach .. +Reach stay within the row's width + 2 x Reach cells.
  const int first = direction_ > 0 ? Reach : width_ + Reach - 1;
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < Rows; ++row) at_[c][row] = rows_[c][row] + first;
}

template <int Rows, int Reach>
uint8_t TKernelDitherer<Rows, Reach>::ProcessPixel(uint8_t red, uint8_t green, uint8_t blue,
                                                   uint8_t& r, uint8_t& g, uint8_t& b) {
  const uint8_t adjusted[3] = {Adjust(red, *at_[0][0], divisor_),
                               Adjust(green, *at_[1][0], divisor_),
                               Adjust(blue, *at_[2][0], divisor_)};
  const uint8_t index = lookup_.FindIndex(adjusted[0], adjusted[1], adjusted[2], r, g, b);
  column_ += direction_;
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    // Through the virtual SpreadAt: the kernel may be any class derived from this one.
    SpreadAt(at_[c], adjusted[c] - chosen[c]);
    for (int row = 0; row < Rows; ++row) at_[c][row] += direction_;
  }
  return index;
}

template <int Rows, int Reach>
void TKernelDitherer<Rows, Reach>::AdvanceRow() {
  const size_t stride = static_cast<size_t>(width_) + kStride;
  for (int c = 0; c < 3; ++c) {
    // The current row is cleared and comes round again as the last row.
    int32_t* cleared = rows_[c][0];
    std::fill(cleared, cleared + stride, 0);
    std::rotate(rows_[c], rows_[c] + 1, rows_[c] + Rows);
  }
  TDitherEngine::AdvanceRow();
  StartRow();
}

template <int Rows, int Reach>
template <const auto& Kernel>
[[gnu::always_inline]] inline void TKernelDitherer<Rows, Reach>::RowChannel(TChannel& ch, int d,
                                                                            int32_t e) {
  // The current row's share stays in registers: each pixel ahead takes what the one
  // before it had, plus its own weight. Only as far ahead as the row has weights.
  constexpr int kAhead = [] {
    int last = 1;
    for (int k = 1; k <= Reach; ++k)
      if (Kernel.weights[0][Reach + k] != 0) last = k;
    return last;
  }();
  for (int k = 0; k + 1 < kAhead; ++k)
    ch.ahead[k] = ch.ahead[k + 1] + Kernel.weights[0][Reach + 1 + k] * e;
  ch.ahead[kAhead - 1] = Kernel.weights[0][Reach + kAhead] * e;
  // The rows below get theirs in memory.
  if (e != 0) SpreadRows<Kernel, 1>(ch.at, d, e, std::make_integer_sequence<int, Rows>());
  for (int row = 0; row < Rows; ++row) ch.at[row] += d;
}

template <int Rows, int Reach>
template <const auto& Kernel, class Lookup>
void TKernelDitherer<Rows, Reach>::Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices) {
  static_assert(Kernel.kRows == Rows && Kernel.kReach == Reach, "a kernel of this shape");
  // The state in locals: the stores into the row of indices cannot touch them.
  const int d = direction_;
  const auto load = [this](int c) {
    TChannel ch;
    for (int row = 0; row < Rows; ++row) ch.at[row] = at_[c][row];
    return ch;
  };
  TChannel red = load(0), green = load(1), blue = load(2);
  int x = column_;
  // x stays within the row, so the cell pointers stay within their margins (StartRow).
  for (; x >= 0 && x < width_; x += d) {
    const uint8_t ar = Adjust(bgr[3 * x + 2], *red.at[0] + red.ahead[0], Kernel.divisor);
    const uint8_t ag = Adjust(bgr[3 * x + 1], *green.at[0] + green.ahead[0], Kernel.divisor);
    const uint8_t ab = Adjust(bgr[3 * x], *blue.at[0] + blue.ahead[0], Kernel.divisor);
    uint8_t r, g, b;
    indices[x] = lookup.FindIndex(ar, ag, ab, r, g, b);
    RowChannel<Kernel>(red, d, ar - r);
    RowChannel<Kernel>(green, d, ag - g);
    RowChannel<Kernel>(blue, d, ab - b);
  }
  column_ = x;
  // What the current row still held for pixels beyond its end is lost with it.
  const TChannel* channels[3] = {&red, &green, &blue};
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < Rows; ++row) at_[c][row] = channels[c]->at[row];
}
