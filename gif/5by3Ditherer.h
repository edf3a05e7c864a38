// Error diffusion over a kernel of five columns and three rows: the current row (the two
// pixels ahead), the next row and the row after next (two columns either side). Offsets
// are taken in the scan direction, so on a row scanned right to left "ahead" is to the
// left. The kernels differ only in their tables of weights and their divisors:
//
//   kernel   divisor  current (+1 +2)  next (-2 -1 0 +1 +2)  after next (-2 -1 0 +1 +2)
//   Stucki     42         8  4            2  4  8  4  2         1  2  4  2  1
//   Sierra     32         5  3            2  4  5  4  2         0  2  3  2  0
//   JaJuNi     48         7  5            3  5  7  5  3         1  3  5  3  1
//   Burkes     32         8  4            2  4  8  4  2         0  0  0  0  0
//
// A new kernel of the family is one more table and its name below (KernelDitherer.h has
// the engine that walks them).
#pragma once

#include <cstdint>

#include "gif/KernelDitherer.h"

using T5by3Kernel = TDiffusionKernel<3, 2>;

class T5by3Ditherer : public TKernelDitherer<3, 2> {
 protected:
  T5by3Ditherer(int width, TColorLookup& lookup, int divisor)
      : TKernelDitherer(width, lookup, divisor) {}

  // Adds error x weight to the cells around the pixel; each pointer is at the pixel's
  // column of its row. An error of 0 adds nothing.
  virtual void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) = 0;

 private:
  void SpreadAt(int32_t* const* at, int32_t error) final {
    SpreadError(at[0], at[1], at[2], error);
  }
};

// A kernel of the family, given by its table.
template <const T5by3Kernel& Kernel>
class T5by3KernelDitherer final : public T5by3Ditherer {
 public:
  static constexpr const T5by3Kernel& kKernel = Kernel;
  T5by3KernelDitherer(int width, TColorLookup& lookup)
      : T5by3Ditherer(width, lookup, Kernel.divisor) {}
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override { KernelRow<Kernel>(bgr, indices); }
  void SpreadError(int32_t* current, int32_t* next, int32_t* after, int32_t error) override {
    int32_t* const at[3] = {current, next, after};
    Spread<Kernel>(at, error);
  }
};

// The tables: divisor, then the current row, the next row and the row after next, each
// at the offsets -2 .. +2.
inline constexpr T5by3Kernel kStuckiKernel{42, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}};
inline constexpr T5by3Kernel kSierraKernel{32, {{0, 0, 0, 5, 3}, {2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}}};
inline constexpr T5by3Kernel kJaJuNiKernel{48, {{0, 0, 0, 7, 5}, {3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}};
// Two rows only: the row after next gets nothing.
inline constexpr T5by3Kernel kBurkesKernel{32, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {0, 0, 0, 0, 0}}};

using TStuckiDitherer = T5by3KernelDitherer<kStuckiKernel>;
using TSierraDitherer = T5by3KernelDitherer<kSierraKernel>;
using TJaJuNiDitherer = T5by3KernelDitherer<kJaJuNiKernel>;
using TBurkesDitherer = T5by3KernelDitherer<kBurkesKernel>;
