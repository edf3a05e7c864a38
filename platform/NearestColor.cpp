#include "platform/NearestColor.h"

#include <algorithm>
#include <climits>

TNearestColorMap::TNearestColorMap(std::span<const TPaletteEntry> palette) {
  for (const TPaletteEntry& e : palette.first(std::min<size_t>(palette.size(), 256))) {
    red_.push_back(e.peRed);
    green_.push_back(e.peGreen);
    blue_.push_back(e.peBlue);
  }
  Init();
}

TNearestColorMap::TNearestColorMap(std::span<const TRGBQuad> colour_table) {
  for (const TRGBQuad& q : colour_table.first(std::min<size_t>(colour_table.size(), 256))) {
    red_.push_back(q.rgbRed);
    green_.push_back(q.rgbGreen);
    blue_.push_back(q.rgbBlue);
  }
  Init();
}

void TNearestColorMap::Init() {
  cell_offset_.assign(32768, 0);
  cell_count_.assign(32768, 0);
}

namespace {

// Squared distance from v to the nearest and the farthest value of [lo, lo + 7].
inline int MinAxis(int v, int lo) {
  const int d = v < lo ? lo - v : (v > lo + 7 ? v - (lo + 7) : 0);
  return d * d;
}
inline int MaxAxis(int v, int lo) {
  const int d = std::max(v - lo > 0 ? v - lo : lo - v, v - (lo + 7) > 0 ? v - (lo + 7) : (lo + 7) - v);
  return d * d;
}

}  // namespace

const uint8_t* TNearestColorMap::Candidates(uint32_t cell, int& count) {
  if (cell_offset_[cell] == 0) {
    const int r0 = static_cast<int>(cell & 31) << 3;
    const int g0 = static_cast<int>((cell >> 5) & 31) << 3;
    const int b0 = static_cast<int>(cell >> 10) << 3;
    const int n = Count();
    int bound = INT_MAX;
    for (int i = 0; i < n; ++i)
      bound = std::min(bound, MaxAxis(red_[i], r0) + MaxAxis(green_[i], g0) + MaxAxis(blue_[i], b0));
    const size_t start = pool_.size();
    for (int i = 0; i < n; ++i)
      if (MinAxis(red_[i], r0) + MinAxis(green_[i], g0) + MinAxis(blue_[i], b0) <= bound)
        pool_.push_back(static_cast<uint8_t>(i));
    cell_offset_[cell] = static_cast<uint32_t>(start) + 1;
    cell_count_[cell] = static_cast<uint16_t>(pool_.size() - start);
  }
  count = cell_count_[cell];
  return pool_.data() + (cell_offset_[cell] - 1);
}

uint8_t TNearestColorMap::Search(const uint8_t* candidates, int count, int red, int green,
                                 int blue) const {
  // Candidates are in index order, and only a strictly smaller distance replaces the best,
  // so the lowest index wins a tie.
  int best = candidates[0];
  int best_distance = INT_MAX;
  for (int k = 0; k < count; ++k) {
    const int i = candidates[k];
    const int dr = red - red_[i], dg = green - green_[i], db = blue - blue_[i];
    const int d = dr * dr + dg * dg + db * db;
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t TNearestColorMap::Find(uint8_t red, uint8_t green, uint8_t blue) {
  if (red_.empty()) return 0;
  const uint32_t cell = (red >> 3) | (green >> 3) << 5 | (blue >> 3) << 10;
  int count = 0;
  const uint8_t* candidates = Candidates(cell, count);
  if (count == 1) return candidates[0];
  return Search(candidates, count, red, green, blue);
}

void TNearestColorMap::MapBGR(const uint8_t* bgr, uint8_t* indices, int count) {
  if (red_.empty()) {
    std::fill(indices, indices + count, uint8_t{0});
    return;
  }
  // Neighbouring pixels of a photo often repeat; remember the last colour and its index.
  uint32_t last_key = 0xFFFFFFFF;
  uint8_t last_index = 0;
  for (int x = 0; x < count; ++x, bgr += 3) {
    const uint32_t key = bgr[0] | bgr[1] << 8 | bgr[2] << 16;
    if (key != last_key) {
      last_key = key;
      last_index = Find(bgr[2], bgr[1], bgr[0]);
    }
    indices[x] = last_index;
  }
}
