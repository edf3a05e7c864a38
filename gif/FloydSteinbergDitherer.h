// Floyd-Steinberg error diffusion, in sixteenths: a pixel's error goes 7/16 to the next
// pixel of its row and 3/16, 5/16 and 1/16 to the pixels one column behind, in the same
// column and one column ahead in the row below (ahead and behind in the scan direction).
//
// Per channel one row of width + 2 cells holds what the coming row receives; cell c + 1
// belongs to column c, and cells 0 and width + 1 take what falls outside the row (and are
// never read). A pointer walks the row one cell behind the pixel: at pixel x it stands on
// the cell of column x - d (d the direction). The pixel reads the cell of column x (the
// value the row above left there) before anything overwrites it, and every pixel, whatever
// its error, writes the cell under the pointer once: by then that column has everything
// from this row (1/16 of the pixel before last, 5/16 of the previous pixel, 3/16 of this
// one). Three running values per channel carry those parts: the carry (7e to the next
// pixel), the previous pixel's error and the pending sum of the column behind.
//
// This is the published arrangement of the method. Reading the cell under the pointer
// instead (one column behind, still holding the row above's value there) would hand every
// pixel the error meant for its neighbour, and skipping the writes for an error of 0 would
// leave the row above's values in place; neither is done here.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/DitherEngine.h"

class TFloydSteinbergDitherer final : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup);

  uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                       uint8_t& b) override;
  void AdvanceRow() override;
  void DitherRow(const uint8_t* bgr, uint8_t* indices) override;

 private:
  // The running state of one channel, kept in locals while a whole row is walked.
  struct TChannel {
    int32_t* cell;     // the cell of the column behind the pixel
    int32_t carry;     // 7 x the previous pixel's error
    int32_t previous;  // the previous pixel's error
    int32_t pending;   // what the column behind has from this row so far
  };
  struct TState {
    TChannel red, green, blue;
  };
  // One channel's part of a pixel once its colour is chosen (the channels are written out
  // one by one so that their state stays in registers).
  static void Spread(TChannel& channel, int direction, int adjusted, int chosen);
  template <class Lookup>
  static uint8_t Pixel(TState& state, int direction, Lookup& lookup, uint8_t red, uint8_t green,
                       uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
  template <class Lookup>
  void Row(Lookup& lookup, const uint8_t* bgr, uint8_t* indices);
  void StartRow();

  std::vector<int32_t> rows_;  // 3 rows of width + 2 cells: red, green, blue
  TState state_{};
};
