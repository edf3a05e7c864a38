#include "gif/FastColorLookup.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

TFastColorLookup::TFastColorLookup(const TPaletteHandle& palette) : TColorLookup(0) {
  const std::vector<TPaletteEntry> entries = GetPaletteEntries(palette);
  colors_ = static_cast<int>(std::min<size_t>(entries.size(), 256));
  std::copy(entries.begin(), entries.begin() + colors_, entries_.begin());
  cache_.fill(-1);
  for (int i = 0; i < colors_; ++i) {
    const TPaletteEntry& e = entries_[static_cast<size_t>(i)];
    int16_t& cell = cache_[CellOf(e.peRed, e.peGreen, e.peBlue)];
    if (cell < 0) cell = static_cast<int16_t>(i);  // the first entry of a cell wins
  }
}

int TFastColorLookup::Search(int cell, uint8_t red, uint8_t green, uint8_t blue) {
  int best = 0;
  int best_distance = 0x30000;  // above any distance (3 x 255 at most)
  // A lookup of 0 colours is never used by a reduction; should it be asked all the same,
  // it answers index 0 (black).
  for (int i = 0; i < colors_; ++i) {
    const TPaletteEntry& e = entries_[static_cast<size_t>(i)];
    const int distance =
        std::abs(e.peRed - red) + std::abs(e.peGreen - green) + std::abs(e.peBlue - blue);
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  cache_[cell] = static_cast<int16_t>(best);
  return best;
}
