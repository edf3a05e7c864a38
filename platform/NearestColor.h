// The platform's nearest-colour mapping into a palette: the entry with the smallest
// squared distance in red, green and blue; the lowest index wins a tie; no dithering.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Colors.h"

// Finds nearest entries fast: the colour cube is cut into 32x32x32 cells of 8x8x8
// colours, and for each cell that is used the entries that can be nearest to some colour
// inside it are listed once (an entry can be nearest only if its smallest distance to the
// cell is at most the smallest largest-distance of any entry). A colour is then compared
// with its cell's candidates only, usually one or two. The result is exact.
class TNearestColorMap {
 public:
  explicit TNearestColorMap(std::span<const TPaletteEntry> palette);
  explicit TNearestColorMap(std::span<const TRGBQuad> colour_table);

  int Count() const { return static_cast<int>(red_.size()); }
  uint8_t Find(uint8_t red, uint8_t green, uint8_t blue);
  // Maps count pixels of blue, green, red bytes to palette indices.
  void MapBGR(const uint8_t* bgr, uint8_t* indices, int count);

 private:
  void Init();
  const uint8_t* Candidates(uint32_t cell, int& count);
  uint8_t Search(const uint8_t* candidates, int count, int red, int green, int blue) const;

  std::vector<int> red_, green_, blue_;
  // Per cell: offset into pool_ plus one (0 = not yet computed) and candidate count.
  std::vector<uint32_t> cell_offset_;
  std::vector<uint16_t> cell_count_;
  std::vector<uint8_t> pool_;
};
