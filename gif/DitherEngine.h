// A dither engine walks the rows of a picture and maps each pixel through a colour
// lookup. The base engine maps each pixel to its lookup entry as it is (nearest colour);
// error-diffusion engines derive from it, adjust each colour first and spread the error to
// the pixels not yet visited.
//
// Rows are scanned in a serpentine: the first left to right, the next right to left, and
// so on. The caller starts each row at Column() and moves one pixel in Direction() per
// ProcessPixel, while the column lies inside the row; then it calls AdvanceRow. DitherRow
// does the same for a whole row at once.
#pragma once

#include <algorithm>
#include <cstdint>

#include "gif/ColorLookup.h"
#include "gif/FastColorLookup.h"
#include "gif/FixedLookups.h"

class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : width_(std::max(width, 0)), lookup_(lookup) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The palette index for the pixel at Column() (the chosen colour through r, g, b); then
  // the column moves one step in the scan direction.
  virtual uint8_t ProcessPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                               uint8_t& b);
  // Ends a row: reverses the direction and starts at the new row's first column in it.
  virtual void AdvanceRow();
  // Maps the rest of the current row: the pixel at Column() and every further one in the
  // scan direction, as ProcessPixel does one by one. `bgr` holds the row's pixels (blue,
  // green, red), `indices` receives the index of each at its column. The library's engines
  // do this without a virtual call per pixel; a derived engine that overrides only
  // ProcessPixel is still walked through it.
  virtual void DitherRow(const uint8_t* bgr, uint8_t* indices);

  int Column() const { return column_; }
  int Direction() const { return direction_; }
  int Width() const { return width_; }

 protected:
  // Calls row(lookup) with the lookup as its own class when it is one of the library's
  // (all final, so their FindIndex inlines), else as a TColorLookup.
  template <class Row>
  void WithLookup(Row&& row) {
    if (auto* fast = dynamic_cast<TFastColorLookup*>(&lookup_))
      row(*fast);
    else if (auto* web = dynamic_cast<TNetscapeColorLookup*>(&lookup_))
      row(*web);
    else if (auto* grey = dynamic_cast<TGrayScaleLookup*>(&lookup_))
      row(*grey);
    else if (auto* mono = dynamic_cast<TMonochromeLookup*>(&lookup_))
      row(*mono);
    else
      row(lookup_);
  }

  // Runs pixel(red, green, blue) -> index for every pixel of the rest of the current row;
  // pixel moves the column.
  template <class Pixel>
  void ForRow(const uint8_t* bgr, uint8_t* indices, Pixel&& pixel) {
    for (int x = column_; x >= 0 && x < width_; x = column_)
      indices[x] = pixel(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
  }

  // The adjusted value of an error-diffusion engine: value + error / divisor rounded to
  // the nearest (the error sum plus half the divisor, divided toward zero), within 0..255.
  static uint8_t Adjust(int value, int error_sum, int divisor) {
    int adjusted = value + (error_sum + divisor / 2) / divisor;
    // Mostly inside already: a branch that is taken rarely keeps the clamp off the chain
    // from one pixel to the next.
    if (__builtin_expect((adjusted & ~255) != 0, 0)) adjusted = adjusted < 0 ? 0 : 255;
    return static_cast<uint8_t>(adjusted);
  }

  int direction_ = 1;
  int column_ = 0;
  int width_;
  TColorLookup& lookup_;  // not owned
};
