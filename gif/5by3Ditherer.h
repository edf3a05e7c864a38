// Error diffusion over a kernel of five columns and three rows: the current row (the two
// pixels ahead), the next row and the row after next (two columns either side). Offsets
// are taken in the scan direction, so on a row scanned right to left "ahead" is to the
// left. The kernels differ in their weights and divisor:
//
//   kernel   divisor  current (+1 +2)  next (-2 -1 0 +1 +2)  after next (-2 -1 0 +1 +2)
//   Stucki     42         8  4            2  4  8  4  2         1  2  4  2  1
//   Sierra     32         5  3            2  4  5  4  2         0  2  3  2  0
//   JaJuNi     48         7  5            3  5  7  5  3         1  3  5  3  1
//
// Per channel three rows of width + 4 cells: cell c + 2 belongs to column c, and two cells
// either side take what falls outside the row (they are never read, and cleared when the
// row comes round again), so no kernel access needs a bounds test.
//
// ProcessPixel spreads through the virtual SpreadError into all three rows. A whole row of
// one of the library's kernels (DitherRow) keeps what the current row's next two pixels
// receive in registers instead, since those cells are read straight after; the rows below
// get the same sums either way.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/DitherEngine.h"

class T5by3Ditherer : public TDitherEngine {
 public:
  uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                       uint8_t& b) override;
  void AdvanceRow() override;

  int Divisor() const { return divisor_; }

 protected:
  T5by3Ditherer(int width, TColorLookup& lookup, int divisor);

  // Adds error x weight to the cells around the pixel; each pointer is at the pixel's
  // column of its row. An error of 0 adds nothing.
  virtual void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) = 0;

  // SpreadError from a kernel's weight tables.
  template <class Kernel>
  void Spread(int32_t* current, int32_t* next, int32_t* after, int32_t error) const;
  // A whole row of a kernel whose class is known: the library's kernels call this from
  // their DitherRow.
  template <class Kernel>
  void KernelRow(const uint8_t* bgr, uint8_t* indices);

  int direction2_ = 2;  // twice the direction

 private:
  // One channel's state while a whole row is walked.
  struct TChannel {
    int32_t *current, *next, *after;  // the cells of the pixel's column
    int32_t ahead1 = 0, ahead2 = 0;   // what the next two pixels get from this row
  };
  template <class Kernel>
  static void RowChannel(TChannel& ch, int d, int d2, int32_t error);
  template <class Kernel, class Lookup>
  void Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices);
  void StartRow();

  int divisor_;
  std::vector<int32_t> cells_;  // 9 rows of width + 4 cells
  int32_t* rows_[3][3];         // [channel][current, next, after next]: the rows' first cells
  int32_t* at_[3][3];           // the cell of the pixel's column in each of them
};

template <class Kernel>
inline void T5by3Ditherer::Spread(int32_t* current, int32_t* next, int32_t* after,
                                  int32_t error) const {
  if (error == 0) return;
  const int d = direction_;
  current[d] += Kernel::kCurrent[0] * error;
  current[2 * d] += Kernel::kCurrent[1] * error;
  for (int i = 0; i < 5; ++i) {
    next[(i - 2) * d] += Kernel::kNext[i] * error;
    after[(i - 2) * d] += Kernel::kAfter[i] * error;
  }
}

template <class Kernel>
inline void T5by3Ditherer::RowChannel(TChannel& ch, int d, int d2, int32_t e) {
  // The current row's share stays in registers; the rows below get theirs in memory.
  ch.ahead1 = ch.ahead2 + Kernel::kCurrent[0] * e;
  ch.ahead2 = Kernel::kCurrent[1] * e;
  if (e != 0) {
    int32_t* next = ch.next;
    int32_t* after = ch.after;
    next[-d2] += Kernel::kNext[0] * e;
    next[-d] += Kernel::kNext[1] * e;
    next[0] += Kernel::kNext[2] * e;
    next[d] += Kernel::kNext[3] * e;
    next[d2] += Kernel::kNext[4] * e;
    if (Kernel::kAfter[0] != 0) after[-d2] += Kernel::kAfter[0] * e;
    after[-d] += Kernel::kAfter[1] * e;
    after[0] += Kernel::kAfter[2] * e;
    after[d] += Kernel::kAfter[3] * e;
    if (Kernel::kAfter[4] != 0) after[d2] += Kernel::kAfter[4] * e;
  }
  ch.current += d;
  ch.next += d;
  ch.after += d;
}

template <class Kernel, class Lookup>
void T5by3Ditherer::Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices) {
  // The state in locals: the stores into the row of indices cannot touch them.
  const int d = direction_, d2 = direction2_;
  TChannel red{at_[0][0], at_[0][1], at_[0][2]};
  TChannel green{at_[1][0], at_[1][1], at_[1][2]};
  TChannel blue{at_[2][0], at_[2][1], at_[2][2]};
  int x = column_;
  // x stays within the row, so the cell pointers stay within their margins (StartRow).
  for (; x >= 0 && x < width_; x += d) {
    const uint8_t ar = Adjust(bgr[3 * x + 2], *red.current + red.ahead1, Kernel::kDivisor);
    const uint8_t ag = Adjust(bgr[3 * x + 1], *green.current + green.ahead1, Kernel::kDivisor);
    const uint8_t ab = Adjust(bgr[3 * x], *blue.current + blue.ahead1, Kernel::kDivisor);
    uint8_t r, g, b;
    indices[x] = lookup.FindIndex(ar, ag, ab, r, g, b);
    RowChannel<Kernel>(red, d, d2, ar - r);
    RowChannel<Kernel>(green, d, d2, ag - g);
    RowChannel<Kernel>(blue, d, d2, ab - b);
  }
  column_ = x;
  // What the current row still held for pixels beyond its end is lost with it.
  const TChannel* channels[3] = {&red, &green, &blue};
  for (int c = 0; c < 3; ++c) {
    at_[c][0] = channels[c]->current;
    at_[c][1] = channels[c]->next;
    at_[c][2] = channels[c]->after;
  }
}

template <class Kernel>
void T5by3Ditherer::KernelRow(const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) { Row<Kernel>(lookup, bgr, indices); });
}

class TStuckiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 42;
  static constexpr int kCurrent[2] = {8, 4};
  static constexpr int kNext[5] = {2, 4, 8, 4, 2};
  static constexpr int kAfter[5] = {1, 2, 4, 2, 1};
  TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override {
    KernelRow<TStuckiDitherer>(bgr, indices);
  }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override {
    Spread<TStuckiDitherer>(current, next, after, error);
  }
};

class TSierraDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 32;
  static constexpr int kCurrent[2] = {5, 3};
  static constexpr int kNext[5] = {2, 4, 5, 4, 2};
  static constexpr int kAfter[5] = {0, 2, 3, 2, 0};
  TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override {
    KernelRow<TSierraDitherer>(bgr, indices);
  }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override {
    Spread<TSierraDitherer>(current, next, after, error);
  }
};

class TJaJuNiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 48;
  static constexpr int kCurrent[2] = {7, 5};
  static constexpr int kNext[5] = {3, 5, 7, 5, 3};
  static constexpr int kAfter[5] = {1, 3, 5, 3, 1};
  TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override {
    KernelRow<TJaJuNiDitherer>(bgr, indices);
  }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override {
    Spread<TJaJuNiDitherer>(current, next, after, error);
  }
};
