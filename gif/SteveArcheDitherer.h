// Stevenson-Arce error diffusion, divisor 200, over four rows. Offsets are taken in the
// scan direction (positive = ahead):
//
//   current row          +2: 32
//   next row             -3: 12  -1: 26  +1: 30  +3: 16
//   second row below     -2: 12   0: 26  +2: 12
//   third row below      -3: 5   -1: 12  +1: 12  +3: 5
//
// Per channel four rows of width + 6 cells: cell c + 3 belongs to column c, and three
// cells either side take what falls outside the row (never read, cleared when the row
// comes round again), so no kernel access needs a bounds test.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/DitherEngine.h"

class TSteveArcheDitherer final : public TDitherEngine {
 public:
  static constexpr int kDivisor = 200;

  TSteveArcheDitherer(int width, TColorLookup& lookup);

  uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                       uint8_t& b) override;
  void AdvanceRow() override;
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override;

 private:
  template <class Lookup>
  uint8_t Pixel(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                uint8_t& b);
  // A whole row: its state in locals, and the current row's share of the pixel two ahead
  // in registers rather than in the cells.
  template <class Lookup>
  void Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices);
  void StartRow();

  std::vector<int32_t> cells_;  // 12 rows of width + 6 cells
  int32_t* rows_[3][4];         // [channel][current, next, second, third]: first cells
  int32_t* at_[3][4];           // the cell of the pixel's column in each of them
  int direction2_ = 2;          // twice the direction
  int direction3_ = 3;          // three times the direction
};
