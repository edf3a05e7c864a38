// Burkes error diffusion, divisor 32, over two rows. Offsets are taken in the scan
// direction (positive = ahead): current row +1: 8, +2: 4; next row -2: 2, -1: 4, 0: 8,
// +1: 4, +2: 2.
//
// Per channel two rows of width + 4 cells: cell c + 2 belongs to column c, and two cells
// either side take what falls outside the row (never read, cleared when the row comes
// round again), so no kernel access needs a bounds test.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/DitherEngine.h"

class TBurkesDitherer final : public TDitherEngine {
 public:
  static constexpr int kDivisor = 32;

  TBurkesDitherer(int width, TColorLookup& lookup);

  uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                       uint8_t& b) override;
  void AdvanceRow() override;
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override;

 private:
  template <class Lookup>
  uint8_t Pixel(Lookup& lookup, uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                uint8_t& b);
  // A whole row: its state in locals, and the current row's share of the next two pixels
  // in registers rather than in the cells (which are read straight after).
  template <class Lookup>
  void Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices);
  void StartRow();

  std::vector<int32_t> cells_;  // 6 rows of width + 4 cells
  int32_t* rows_[3][2];         // [channel][current, next]: the rows' first cells
  int32_t* at_[3][2];           // the cell of the pixel's column in each of them
  int direction2_ = 2;          // twice the direction
};
