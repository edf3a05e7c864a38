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

  // A whole row with the kernel's class known, so that its SpreadError and divisor are
  // inlined: the library's kernels call this from their DitherRow.
  template <class Kernel>
  void KernelRow(Kernel& kernel, const uint8_t* bgr, uint8_t* indices);

  int direction2_ = 2;  // twice the direction

 private:
  template <class Kernel, class Lookup>
  uint8_t Pixel(Kernel& kernel, Lookup& lookup, int divisor, uint8_t red, uint8_t green,
                uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
  void StartRow();

  int divisor_;
  std::vector<int32_t> cells_;  // 9 rows of width + 4 cells
  int32_t* rows_[3][3];         // [channel][current, next, after next]: the rows' first cells
  int32_t* at_[3][3];           // the cell of the pixel's column in each of them
};

template <class Kernel, class Lookup>
inline uint8_t T5by3Ditherer::Pixel(Kernel& kernel, Lookup& lookup, int divisor, uint8_t red,
                                    uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                    uint8_t& b) {
  const uint8_t adjusted[3] = {Adjust(red, *at_[0][0], divisor), Adjust(green, *at_[1][0], divisor),
                               Adjust(blue, *at_[2][0], divisor)};
  const uint8_t index = lookup.FindIndex(adjusted[0], adjusted[1], adjusted[2], r, g, b);
  column_ += direction_;
  const uint8_t chosen[3] = {r, g, b};
  for (int c = 0; c < 3; ++c) {
    kernel.SpreadError(at_[c][0], at_[c][1], at_[c][2], adjusted[c] - chosen[c]);
    at_[c][0] += direction_;
    at_[c][1] += direction_;
    at_[c][2] += direction_;
  }
  return index;
}

template <class Kernel>
void T5by3Ditherer::KernelRow(Kernel& kernel, const uint8_t* bgr, uint8_t* indices) {
  WithLookup([&](auto& lookup) {
    uint8_t r, g, b;
    ForRow(bgr, indices, [&](uint8_t red, uint8_t green, uint8_t blue) {
      return Pixel(kernel, lookup, Kernel::kDivisor, red, green, blue, r, g, b);
    });
  });
}

class TStuckiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 42;
  TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override { KernelRow(*this, bgr, indices); }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override;
};

class TSierraDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 32;
  TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override { KernelRow(*this, bgr, indices); }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override;
};

class TJaJuNiDitherer final : public T5by3Ditherer {
 public:
  static constexpr int kDivisor = 48;
  TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, kDivisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override { KernelRow(*this, bgr, indices); }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override;
};

// The kernels' weights, inline so that a row of a known kernel inlines them.
inline void TStuckiDitherer::SpreadError(int32_t* current, int32_t* next, int32_t* after,
                                         int32_t error) {
  if (error == 0) return;
  const int d = direction_, d2 = direction2_;
  current[d] += 8 * error;
  current[d2] += 4 * error;
  next[-d2] += 2 * error;
  next[-d] += 4 * error;
  next[0] += 8 * error;
  next[d] += 4 * error;
  next[d2] += 2 * error;
  after[-d2] += error;
  after[-d] += 2 * error;
  after[0] += 4 * error;
  after[d] += 2 * error;
  after[d2] += error;
}

inline void TSierraDitherer::SpreadError(int32_t* current, int32_t* next, int32_t* after,
                                         int32_t error) {
  if (error == 0) return;
  const int d = direction_, d2 = direction2_;
  current[d] += 5 * error;
  current[d2] += 3 * error;
  next[-d2] += 2 * error;
  next[-d] += 4 * error;
  next[0] += 5 * error;
  next[d] += 4 * error;
  next[d2] += 2 * error;
  after[-d] += 2 * error;
  after[0] += 3 * error;
  after[d] += 2 * error;
}

inline void TJaJuNiDitherer::SpreadError(int32_t* current, int32_t* next, int32_t* after,
                                         int32_t error) {
  if (error == 0) return;
  const int d = direction_, d2 = direction2_;
  current[d] += 7 * error;
  current[d2] += 5 * error;
  next[-d2] += 3 * error;
  next[-d] += 5 * error;
  next[0] += 7 * error;
  next[d] += 5 * error;
  next[d2] += 3 * error;
  after[-d2] += error;
  after[-d] += 3 * error;
  after[0] += 5 * error;
  after[d] += 3 * error;
  after[d2] += error;
}
