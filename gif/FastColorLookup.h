// The nearest-colour lookup into any palette of up to 256 entries, with an inverse cache
// of 32 768 cells, one per 5-5-5 colour cell (the top five bits of red, green and blue).
//
// At creation each entry claims the cell it lies in unless an earlier entry did. A colour
// whose cell is still unknown is looked up by the smallest Manhattan distance (the lowest
// index wins a tie) and the answer is kept in the cell: every later colour of that cell
// receives the same index without a search. So each cell costs at most one search, and
// results depend on the order in which the colours arrive.
#pragma once

#include <array>
#include <cstdint>

#include "gif/ColorLookup.h"
#include "platform/Colors.h"

class TFastColorLookup final : public TColorLookup {
 public:
  // Takes up to 256 entries of the palette (an empty handle gives a lookup of 0 colours).
  explicit TFastColorLookup(const TPaletteHandle& palette);

  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    const int cell = CellOf(red, green, blue);
    int index = cache_[cell];
    if (index < 0) index = Search(cell, red, green, blue);
    const TPaletteEntry& entry = entries_[index];
    r = entry.peRed;
    g = entry.peGreen;
    b = entry.peBlue;
    return static_cast<uint8_t>(index);
  }

  static int CellOf(uint8_t red, uint8_t green, uint8_t blue) {
    return red >> 3 | (green >> 3) << 5 | (blue >> 3) << 10;
  }
  // The index a cell holds, -1 while unknown (for tests).
  int CachedIndex(int cell) const { return cache_[cell]; }

 private:
  // The nearest entry of a colour; stored in its cell.
  int Search(int cell, uint8_t red, uint8_t green, uint8_t blue);

  std::array<TPaletteEntry, 256> entries_{};  // black beyond the palette's entries
  std::array<int16_t, 32768> cache_;
};
