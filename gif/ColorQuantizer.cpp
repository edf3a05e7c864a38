#include "gif/ColorQuantizer.h"

#include <algorithm>

#include "base/Format.h"
#include "base/Messages.h"
#include "gif/GIFException.h"

TColorQuantizer::TColorQuantizer(int max_colors, int color_bits)
    : max_colors_(max_colors), color_bits_(color_bits) {
  if (max_colors < 1 || max_colors > 256)
    throw GIFException(Format(SGIFInvalidColorCount, max_colors));
  if (color_bits < 1 || color_bits > 8) throw GIFException(SGIFInvalidBitsPerPixel);
}

TOctreeNode* TColorQuantizer::NewNode(int level) {
  TOctreeNode* node;
  if (!free_.empty()) {
    node = free_.back();
    free_.pop_back();
    const uint32_t generation = node->generation;
    *node = TOctreeNode{};
    node->generation = generation;
  } else {
    node = &pool_.emplace_back();
  }
  if (level == color_bits_) {
    node->leaf = true;
    ++leaf_count_;
  } else {
    node->next_reducible = reducible_[level];
    reducible_[level] = node;
  }
  return node;
}

void TColorQuantizer::FreeNode(TOctreeNode* node) {
  ++node->generation;  // wraps after 2^32 frees of this node: an entry that old is long gone
  free_.push_back(node);
}

TOctreeNode* TColorQuantizer::Insert(uint8_t red, uint8_t green, uint8_t blue) {
  TOctreeNode** slot = &root_;
  for (int level = 0;; ++level) {
    if (*slot == nullptr) *slot = NewNode(level);
    TOctreeNode* node = *slot;
    if (node->leaf) {
      Count(node, red, green, blue);
      return node;
    }
    const int shift = 7 - level;
    const int child =
        ((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 | ((blue >> shift) & 1);
    slot = &node->children[static_cast<size_t>(child)];
  }
}

void TColorQuantizer::InsertColor(uint8_t red, uint8_t green, uint8_t blue) {
  Insert(red, green, blue);
}

bool TColorQuantizer::MergeDeepestNode() {
  int level = color_bits_ - 1;
  while (level > 0 && reducible_[static_cast<size_t>(level)] == nullptr) --level;
  TOctreeNode* node = reducible_[static_cast<size_t>(level)];
  if (node == nullptr) return false;  // only when the root itself is a leaf already
  reducible_[static_cast<size_t>(level)] = node->next_reducible;
  node->next_reducible = nullptr;
  // The deepest non-leaf node's children are all leaves (a non-leaf child would sit in a
  // deeper list).
  int children = 0;
  node->red_sum = node->green_sum = node->blue_sum = 0;
  for (TOctreeNode*& child : node->children) {
    if (child == nullptr) continue;
    ++children;
    node->pixel_count += child->pixel_count;
    node->red_sum += child->red_sum;
    node->green_sum += child->green_sum;
    node->blue_sum += child->blue_sum;
    FreeNode(child);
    child = nullptr;
  }
  node->leaf = true;
  leaf_count_ -= children - 1;
  return true;
}

void TColorQuantizer::ScanPicture(const TDIBReader& reader) {
  // 65 536 slots (1 MiB), found by a multiplicative hash of the colour: enough for the
  // colours of a photo's neighbourhood.
  constexpr int kRecentBits = 16;
  if (recent_.empty()) recent_.resize(size_t{1} << kRecentBits);
  const int width = reader.Width();
  for (int y = 0; y < reader.Height(); ++y) {
    const uint8_t* p = reader.ScanLine(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const uint8_t red = p[2], green = p[1], blue = p[0];
      const uint32_t colour = uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
      TRecent& recent = recent_[(colour * 2654435761u) >> (32 - kRecentBits)];
      if (recent.colour == colour && recent.leaf->generation == recent.generation) {
        Count(recent.leaf, red, green, blue);  // the leaf Insert would reach
        continue;
      }
      TOctreeNode* leaf = Insert(red, green, blue);
      recent = TRecent{colour, leaf->generation, leaf};
      while (leaf_count_ > max_colors_)
        if (!MergeDeepestNode()) break;
    }
  }
}

void TColorQuantizer::Collect(const TOctreeNode* node, std::vector<TPaletteEntry>& colours) const {
  if (node == nullptr) return;
  if (node->leaf) {
    TPaletteEntry entry;
    if (node->pixel_count != 0) {
      entry.peRed = static_cast<uint8_t>(node->red_sum / node->pixel_count);
      entry.peGreen = static_cast<uint8_t>(node->green_sum / node->pixel_count);
      entry.peBlue = static_cast<uint8_t>(node->blue_sum / node->pixel_count);
    }
    colours.push_back(entry);
    return;
  }
  for (const TOctreeNode* child : node->children) Collect(child, colours);
}

std::vector<TPaletteEntry> TColorQuantizer::CollectLeaves() const {
  std::vector<TPaletteEntry> colours;
  Collect(root_, colours);
  return colours;
}
