// The palette for weighted colours: few colours stay exact; weight draws entries to the
// colours that carry it; refinement never makes the error worse than the boxes left it; the
// rate-aware choice moves a colour to a busier entry only when it is hardly farther.
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
    const uint32_t rgb = (state >> 4) & 0x3F3F3F;  // a corner of the cube: quick to look up
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

TEST(WeightedPalette, ARateDrawsRareColoursToBusyEntriesOnlyWhenHardlyFarther) {
  // Entry 0 serves 1000 pixels, entry 1 500; a lone pixel of (10, 10, 14) lies a little
  // nearer entry 1 (9 against 16), one of (10, 10, 18) far nearer (1 against 64).
  const std::vector<TPaletteEntry> palette = {{10, 10, 10, 0}, {10, 10, 17, 0}};
  const auto colours = [](uint8_t lone) {
    return std::vector<TWeightedColour>{
        {10, 10, 10, 16000, 1000}, {10, 10, 17, 8000, 500}, {10, 10, lone, 16, 1}};
  };
  EXPECT_EQ(RateAwareEntries(colours(14), palette, 0), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(RateAwareEntries(colours(14), palette, 8 * 16), (std::vector<uint8_t>{0, 1, 0}));
  EXPECT_EQ(RateAwareEntries(colours(18), palette, 8 * 16), (std::vector<uint8_t>{0, 1, 1}));
  // Equally near both (9), the lower index wins without a rate and the busier entry with one.
  const std::vector<TWeightedColour> even_tie = {
      {10, 10, 16, 8000, 500}, {10, 10, 10, 16000, 1000}, {10, 10, 13, 16, 1}};
  const std::vector<TPaletteEntry> around = {{10, 10, 16, 0}, {10, 10, 10, 0}};
  EXPECT_EQ(RateAwareEntries(even_tie, around, 0)[2], 0);
  EXPECT_EQ(RateAwareEntries(even_tie, around, 8 * 16)[2], 1);
}

}  // namespace
