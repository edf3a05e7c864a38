// The platform's nearest-colour mapping into a palette: the entry with the smallest
// squared distance in red, green and blue; the lowest index wins a tie; no dithering.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Colors.h"

// Finds nearest entries fast: the colour cube is cut into 32x32x32 cells of 8x8x8
// colours. The first time a colour of a cell is asked for, the entries that can be
// nearest to some colour inside the cell are found (an entry can be nearest only if its
// smallest distance to the cell is at most the smallest largest-distance of any entry;
// usually one to four remain), and the answers for all 512 colours of the cell are
// computed from those candidates and kept (a cell with one candidate shares that entry's
// block with the other such cells). Every later colour of the cell is one table read. The result is
// exact.
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
  // The 512 answers of a cell, computed on first use.
  const uint8_t* Block(uint32_t cell);
  // Room for one more block of 512 answers; its offset in blocks_ plus one.
  uint32_t NewBlock();
  // The answers of a cell whose colours have more than one candidate.
  void FillBlock(uint32_t cell, const uint8_t* candidates, int count, uint8_t* block) const;

  std::vector<int> red_, green_, blue_;
  // Per channel, per cell level (32) and entry: the squared distance from the entry's
  // value to the nearest and to the farthest value of the level's 8 values.
  std::vector<int32_t> near_[3], far_[3];
  // Per cell: offset of its 512 answers in blocks_ plus one (0 = not yet computed).
  std::vector<uint32_t> cell_block_;
  // Per entry: the block (as in cell_block_) shared by the cells that only it can answer.
  std::array<uint32_t, 256> uniform_block_{};
  // The answers of the computed cells, 512 a cell, and kSpare bytes after the last.
  static constexpr size_t kSpare = 3;
  std::vector<uint8_t> blocks_;
};
