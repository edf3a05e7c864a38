#include "gif/WeightedPalette.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "platform/NearestColor.h"

namespace {

uint8_t Channel(const TWeightedColour& c, int channel) {
  return channel == 0 ? c.red : channel == 1 ? c.green : c.blue;
}

// The weighted sums of a set of colours.
struct TSums {
  uint64_t weight = 0;
  std::array<uint64_t, 3> sum{};  // weight * channel
  uint64_t squares = 0;           // weight * (red^2 + green^2 + blue^2)

  void Add(const TWeightedColour& c) {
    weight += c.weight;
    sum[0] += c.weight * c.red;
    sum[1] += c.weight * c.green;
    sum[2] += c.weight * c.blue;
    squares += c.weight *
               (uint64_t{c.red} * c.red + uint64_t{c.green} * c.green + uint64_t{c.blue} * c.blue);
  }
  void Add(const TSums& o) {
    weight += o.weight;
    for (int i = 0; i < 3; ++i) sum[i] += o.sum[i];
    squares += o.squares;
  }
  TSums Minus(const TSums& o) const {
    TSums d = *this;
    d.weight -= o.weight;
    for (int i = 0; i < 3; ++i) d.sum[i] -= o.sum[i];
    d.squares -= o.squares;
    return d;
  }
  // The weighted squared error of the set about its mean.
  double Error() const {
    if (weight == 0) return 0;
    double centre = 0;
    for (int i = 0; i < 3; ++i) {
      const double s = static_cast<double>(sum[i]);
      centre += s * s;
    }
    return std::max(0.0, static_cast<double>(squares) - centre / static_cast<double>(weight));
  }
  TPaletteEntry Mean() const {
    auto mean = [&](int i) {
      return static_cast<uint8_t>((2 * sum[i] + weight) / (2 * weight));  // rounded half up
    };
    return {mean(0), mean(1), mean(2), 0};
  }
};

struct TBox {
  size_t begin, end;  // a range of the working copy of the colours
  TSums sums;
  double error;
};

TBox MakeBox(const std::vector<TWeightedColour>& colours, size_t begin, size_t end) {
  TBox box{begin, end, {}, 0};
  for (size_t i = begin; i < end; ++i) box.sums.Add(colours[i]);
  box.error = box.sums.Error();
  return box;
}

// Splits a box of at least two colours in two at the channel and value that leave the two
// halves the least error; the colours keep their order within each half.
std::pair<TBox, TBox> Split(std::vector<TWeightedColour>& colours, const TBox& box) {
  int best_channel = -1, best_value = 0;
  double best_error = 0;
  for (int channel = 0; channel < 3; ++channel) {
    std::array<TSums, 256> bins{};
    int low = 255, high = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      const int v = Channel(colours[i], channel);
      bins[v].Add(colours[i]);
      low = std::min(low, v);
      high = std::max(high, v);
    }
    TSums left;
    for (int v = low; v < high; ++v) {
      left.Add(bins[v]);
      const double error = left.Error() + box.sums.Minus(left).Error();
      if (best_channel < 0 || error < best_error) {
        best_channel = channel;
        best_value = v;
        best_error = error;
      }
    }
  }
  // Distinct colours differ in some channel, so some channel offers a split.
  const auto middle = std::stable_partition(
      colours.begin() + static_cast<ptrdiff_t>(box.begin),
      colours.begin() + static_cast<ptrdiff_t>(box.end),
      [&](const TWeightedColour& c) { return Channel(c, best_channel) <= best_value; });
  const auto cut = static_cast<size_t>(middle - colours.begin());
  return {MakeBox(colours, box.begin, cut), MakeBox(colours, cut, box.end)};
}

}  // namespace

std::vector<TPaletteEntry> WeightedPalette(std::span<const TWeightedColour> colours,
                                           int max_colours, int rounds) {
  std::vector<TPaletteEntry> palette;
  if (colours.size() <= static_cast<size_t>(max_colours)) {
    for (const TWeightedColour& c : colours) palette.push_back({c.red, c.green, c.blue, 0});
    return palette;
  }
  std::vector<TWeightedColour> work(colours.begin(), colours.end());
  std::vector<TBox> boxes{MakeBox(work, 0, work.size())};
  while (boxes.size() < static_cast<size_t>(max_colours)) {
    // The box of the largest error among those that can be split (the first on a tie).
    size_t pick = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i].end - boxes[i].begin >= 2 &&
          (pick == boxes.size() || boxes[i].error > boxes[pick].error))
        pick = i;
    if (pick == boxes.size()) break;
    auto [first, second] = Split(work, boxes[pick]);
    boxes[pick] = first;
    boxes.push_back(second);
  }
  for (const TBox& box : boxes) palette.push_back(box.sums.Mean());

  // Refinement: every colour to its nearest entry, every entry to its colours' mean. An
  // entry that no colour chose stays where it is.
  for (int round = 0; round < rounds; ++round) {
    TNearestColorMap map(palette);
    std::vector<TSums> members(palette.size());
    for (size_t i = 0; i < colours.size(); ++i) {
      const TWeightedColour& c = colours[i];
      members[map.Find(c.red, c.green, c.blue)].Add(c);
    }
    bool moved = false;
    for (size_t e = 0; e < palette.size(); ++e) {
      if (members[e].weight == 0) continue;
      const TPaletteEntry mean = members[e].Mean();
      moved |= !(mean == palette[e]);
      palette[e] = mean;
    }
    if (!moved) break;
  }
  return palette;
}

uint64_t WeightedError(std::span<const TWeightedColour> colours,
                       const std::vector<TPaletteEntry>& palette) {
  TNearestColorMap map(palette);
  uint64_t error = 0;
  for (const TWeightedColour& c : colours) {
    const TPaletteEntry& e = palette[map.Find(c.red, c.green, c.blue)];
    const int dr = c.red - e.peRed, dg = c.green - e.peGreen, db = c.blue - e.peBlue;
    error += c.weight * static_cast<uint64_t>(dr * dr + dg * dg + db * db);
  }
  return error;
}

namespace {

// log2(n) in 1/256ths for n >= 1, exactly as integers compute it: the position of the top
// bit, then the fraction bit by bit from the mantissa's repeated squares.
int64_t Log2Fixed(uint64_t n) {
  const int top = 63 - std::countl_zero(n);
  uint64_t m = top >= 30 ? n >> (top - 30) : n << (30 - top);  // 1 <= m / 2^30 < 2
  int64_t log = int64_t{top} * 256;
  for (int bit = 128; bit > 0; bit >>= 1) {
    m = (m * m) >> 30;
    if (m >= (uint64_t{2} << 30)) {
      m >>= 1;
      log += bit;
    }
  }
  return log;
}

}  // namespace

std::vector<uint8_t> RateAwareEntries(std::span<const TWeightedColour> colours,
                                      const std::vector<TPaletteEntry>& palette, uint64_t rate,
                                      int rounds) {
  std::vector<uint8_t> entries(colours.size());
  {
    TNearestColorMap map(palette);
    for (size_t i = 0; i < colours.size(); ++i)
      entries[i] = map.Find(colours[i].red, colours[i].green, colours[i].blue);
  }
  if (rate == 0) return entries;
  const size_t n = palette.size();
  for (int round = 0; round < rounds; ++round) {
    std::vector<uint64_t> served(n, 0);
    uint64_t total = 0;
    for (size_t i = 0; i < colours.size(); ++i) {
      served[entries[i]] += colours[i].count;
      total += colours[i].count;
    }
    // An entry that serves nobody costs as much as one that serves a single pixel.
    const int64_t log_total = Log2Fixed(std::max<uint64_t>(total, 1));
    std::vector<uint64_t> bits(n);
    for (size_t e = 0; e < n; ++e)
      bits[e] = static_cast<uint64_t>(log_total - Log2Fixed(std::max<uint64_t>(served[e], 1)));
    for (size_t i = 0; i < colours.size(); ++i) {
      const TWeightedColour& c = colours[i];
      uint64_t best = UINT64_MAX;
      for (size_t e = 0; e < n; ++e) {
        const int dr = c.red - palette[e].peRed, dg = c.green - palette[e].peGreen,
                  db = c.blue - palette[e].peBlue;
        const uint64_t cost = c.weight * static_cast<uint64_t>(dr * dr + dg * dg + db * db) * 256 +
                              rate * c.count * bits[e];
        if (cost < best) {
          best = cost;
          entries[i] = static_cast<uint8_t>(e);
        }
      }
    }
  }
  return entries;
}
