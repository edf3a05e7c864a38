// A dither engine walks the rows of a picture and maps each pixel through a colour
// lookup. The base engine maps each pixel to its lookup entry as it is (nearest colour);
// error-diffusion engines derive from it, adjust each colour first and spread the error to
// the pixels not yet visited.
//
// Rows are scanned in a serpentine: the first left to right, the next right to left, and
// so on. The caller starts each row at Column() and moves one pixel in Direction() per
// ProcessPixel, while the column lies inside the row; then it calls AdvanceRow.
#pragma once

#include <cstdint>

#include "gif/ColorLookup.h"

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : width_(width), lookup_(lookup) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The palette index for the pixel at Column() (the chosen colour through r, g, b); then
  // the column moves one step in the scan direction.
  virtual uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                               uint8_t& b);
  // Ends a row: reverses the direction and starts at the new row's first column in it.
  virtual void AdvanceRow();

  int Column() const { return column_; }
  int Direction() const { return direction_; }
  int Width() const { return width_; }

 protected:
  int direction_ = 1;
  int column_ = 0;
  int width_;
  TColorLookup& lookup_;  // not owned
};
