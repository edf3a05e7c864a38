// The palette for weighted colours: few colours stay exact; weight draws entries to the
// colours that carry it; refinement never makes the error worse than the boxes left it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "gif/WeightedPalette.h"

namespace {

bool Holds(const std::vector<TPaletteEntry>& palette, const TWeightedColour& c) {
  return std::any_of(palette.begin(), palette.end(), [&](const TPaletteEntry& e) {
    return e.peRed == c.red && e.peGreen == c.green && e.peBlue == c.blue;
  });
}

// A grey ramp of 256 light colours and, inside a narrow band, a small cloud of colours
// that weigh `heavy` each.
std::vector<TWeightedColour> RampAndCloud(uint64_t heavy) {
  std::vector<TWeightedColour> colours;
  for (int v = 0; v < 256; ++v)
    colours.push_back({static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v), 40, 1});
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 5; ++g)
      colours.push_back(
          {static_cast<uint8_t>(180 + 3 * r), static_cast<uint8_t>(200 + 2 * g), 222, heavy});
  return colours;
}

TEST(WeightedPalette, FewColoursStayExactInTheirOrder) {
  const std::vector<TWeightedColour> colours = {{9, 8, 7, 1}, {0, 0, 0, 50}, {255, 1, 2, 3}};
  const std::vector<TPaletteEntry> palette = WeightedPalette(colours, 3);
  ASSERT_EQ(palette.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(palette[i].peRed, colours[i].red);
    EXPECT_EQ(palette[i].peGreen, colours[i].green);
    EXPECT_EQ(palette[i].peBlue, colours[i].blue);
  }
  EXPECT_EQ(WeightedError(colours, palette), 0u);
}

TEST(WeightedPalette, HeavyColoursGetTheirOwnEntries) {
  // 286 colours into 64 entries: with equal weights the ramp, spread over the whole cube,
  // takes most entries; weighted heavily, every colour of the cloud is kept exactly.
  const auto light = RampAndCloud(1), heavy = RampAndCloud(100000);
  const std::vector<TPaletteEntry> uniform = WeightedPalette(light, 64);
  const std::vector<TPaletteEntry> weighted = WeightedPalette(heavy, 64);
  ASSERT_EQ(weighted.size(), 64u);
  int exact_uniform = 0;
  for (size_t i = 256; i < heavy.size(); ++i) {
    EXPECT_TRUE(Holds(weighted, heavy[i])) << i;
    exact_uniform += Holds(uniform, light[i]);
  }
  EXPECT_LT(exact_uniform, 30);
  // The palette serves its own weights best.
  EXPECT_LT(WeightedError(heavy, weighted), WeightedError(heavy, uniform));
  EXPECT_LE(WeightedError(light, uniform), WeightedError(light, weighted));
}

TEST(WeightedPalette, RefinementOnlyLowersTheErrorAndTheResultRepeats) {
  std::vector<TWeightedColour> colours;
  std::set<uint32_t> seen;
  uint32_t state = 12345;
  while (colours.size() < 5000) {
    state = state * 1103515245 + 12345;
    const uint32_t rgb = (state >> 4) & 0xFFFFFF;
    if (seen.insert(rgb).second)
      colours.push_back({static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                         static_cast<uint8_t>(rgb), 1 + (state >> 28)});
  }
  const auto boxes = WeightedPalette(colours, 256, 0);
  const auto refined = WeightedPalette(colours, 256);
  EXPECT_EQ(boxes.size(), 256u);
  EXPECT_LE(WeightedError(colours, refined), WeightedError(colours, boxes));
  EXPECT_TRUE(WeightedPalette(colours, 256) == refined);
  EXPECT_EQ(WeightedPalette(colours, 1).size(), 1u);
}

}  // namespace
