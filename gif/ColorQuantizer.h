// The octree colour quantizer: finds at most a given number of colours that stand for a
// picture's colours.
//
// Every pixel's colour is inserted into an octree whose level L (0 at the root) branches
// on bit 7 - L of red, green and blue; a node at level ColorBits is a leaf and adds up the
// pixels that reach it. After every pixel, while there are more leaves than colours, the
// deepest non-leaf node made last is merged into a leaf of its children's pixels. So the
// leaf count never exceeds the limit by more than one, and the tree stays small (every
// non-leaf node lies above some leaf, so there are at most ColorBits + 1 nodes per leaf).
// The result depends on the order in which the pixels arrive.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "gif/DIB.h"
#include "platform/Colors.h"

struct TOctreeNode {
  bool leaf = false;
  uint64_t pixel_count = 0;
  uint64_t red_sum = 0, green_sum = 0, blue_sum = 0;
  std::array<TOctreeNode*, 8> children{};
  TOctreeNode* next_reducible = nullptr;  // the next node of its level's reducible list
  uint32_t generation = 0;                // counts the times the node was freed
};

class TColorQuantizer {
 public:
  // max_colors from 1 to 256 (else GIFException "Invalid number of colors"), color_bits
  // (the depth of the leaves) from 1 to 8 (else GIFException "Invalid Bits Per Pixel
  // value").
  TColorQuantizer(int max_colors, int color_bits);
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  // Every pixel of a 24-bit picture, rows from the top, each row left to right, merging
  // after every pixel.
  void ScanPicture(const TDIBReader& reader);
  // Counts one pixel of a colour (without merging; ScanPicture merges).
  void InsertColor(uint8_t red, uint8_t green, uint8_t blue);
  // Merges the first node of the deepest non-empty reducible list into a leaf. False when
  // there is nothing left to merge (the root is a leaf).
  bool MergeDeepestNode();
  // The colour of every leaf, depth first, children in index order: each channel is its
  // sum divided by the pixel count (0 for a leaf without pixels).
  std::vector<TPaletteEntry> CollectLeaves() const;

  int MaxColors() const { return max_colors_; }
  int ColorBits() const { return color_bits_; }
  int LeafCount() const { return leaf_count_; }
  // The nodes alive in the tree (for tests of its size).
  int NodeCount() const { return static_cast<int>(pool_.size() - free_.size()); }

 private:
  TOctreeNode* NewNode(int level);
  void FreeNode(TOctreeNode* node);
  // InsertColor's walk; returns the leaf the colour reached.
  TOctreeNode* Insert(uint8_t red, uint8_t green, uint8_t blue);
  void Collect(const TOctreeNode* node, std::vector<TPaletteEntry>& colours) const;
  static void Count(TOctreeNode* leaf, uint8_t red, uint8_t green, uint8_t blue) {
    ++leaf->pixel_count;
    leaf->red_sum += red;
    leaf->green_sum += green;
    leaf->blue_sum += blue;
  }

  int max_colors_;
  int color_bits_;
  int leaf_count_ = 0;
  TOctreeNode* root_ = nullptr;
  std::array<TOctreeNode*, 8> reducible_{};  // per level, the most recent node first
  // The nodes live in a pool owned by the quantizer (released with it on every path);
  // freed nodes are reused, so the pool never outgrows the largest tree.
  std::deque<TOctreeNode> pool_;
  std::vector<TOctreeNode*> free_;
  // ScanPicture's memory of the leaf each recent colour reached. A colour keeps going to
  // its leaf until that leaf is freed by a merge (new nodes only fill missing branches, and
  // a merge frees leaves only), so an entry holds while the leaf's generation is the one
  // it saw.
  struct TRecent {
    uint32_t colour = 0xFFFFFFFF;  // no colour has these bits
    uint32_t generation = 0;
    TOctreeNode* leaf = nullptr;
  };
  std::vector<TRecent> recent_;
};
