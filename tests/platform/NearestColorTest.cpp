// The platform's palettes and its nearest-colour mapping.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <set>

#include "platform/NearestColor.h"
#include "platform/Palettes.h"

namespace {

int BruteForceNearest(const std::vector<TPaletteEntry>& palette, int r, int g, int b) {
  int best = 0, best_distance = INT_MAX;
  for (size_t i = 0; i < palette.size(); ++i) {
    const int dr = r - palette[i].peRed, dg = g - palette[i].peGreen, db = b - palette[i].peBlue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best_distance) best_distance = d, best = static_cast<int>(i);
  }
  return best;
}

}  // namespace

TEST(Palettes, HalftoneHoldsTheStaticColoursTheCubeAndTwentyGreys) {
  const auto& ht = HalftonePaletteEntries();
  const auto& statics = DefaultPaletteEntries();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ht[i], statics[i]);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ht[246 + i], statics[10 + i]);
  std::set<std::tuple<int, int, int>> cube;
  for (int i = 10; i < 226; ++i) {
    EXPECT_EQ(ht[i].peRed % 51, 0);
    EXPECT_EQ(ht[i].peGreen % 51, 0);
    EXPECT_EQ(ht[i].peBlue % 51, 0);
    cube.insert({ht[i].peRed, ht[i].peGreen, ht[i].peBlue});
  }
  EXPECT_EQ(cube.size(), 216u);
  for (int i = 226; i < 246; ++i) {
    EXPECT_EQ(ht[i].peRed, ht[i].peGreen);
    EXPECT_EQ(ht[i].peRed, ht[i].peBlue);
    EXPECT_NE(ht[i].peRed % 51, 0);
    EXPECT_NE(ht[i].peRed, 128);
    EXPECT_NE(ht[i].peRed, 192);
  }
  // The system colours are halftone entries, so bevels survive the 8-bit reduction exactly.
  for (TColor c : {clBtnFace, clBtnHighlight, clBtnShadow}) {
    const std::vector<TPaletteEntry> palette(ht.begin(), ht.end());
    const int i = BruteForceNearest(palette, GetRValue(c), GetGValue(c), GetBValue(c));
    EXPECT_EQ(RGBColor(ht[i].peRed, ht[i].peGreen, ht[i].peBlue), c);
  }
}

TEST(NearestColor, AgreesWithAFullSearchOnRandomPalettesAndColours) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<TPaletteEntry> palette(1 + rng() % 256);
    for (auto& e : palette)
      e = TPaletteEntry{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                        static_cast<uint8_t>(rng()), 0};
    // Repeat some entries and put some at equal distances, so ties are exercised.
    if (palette.size() > 4) palette[palette.size() - 1] = palette[1];
    TNearestColorMap map(palette);
    for (int k = 0; k < 3000; ++k) {
      const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
                b = static_cast<int>(rng() % 256);
      ASSERT_EQ(map.Find(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)),
                BruteForceNearest(palette, r, g, b))
          << "trial " << trial << " colour " << r << "," << g << "," << b;
    }
  }
}

TEST(NearestColor, TheLowestIndexWinsATie) {
  // (10, 0, 0) is 10 away from both entries 1 and 2; entry 0 is farther.
  const std::vector<TPaletteEntry> palette = {{100, 100, 100, 0}, {0, 0, 0, 0}, {20, 0, 0, 0}};
  TNearestColorMap map(palette);
  EXPECT_EQ(map.Find(10, 0, 0), 1);
  const std::vector<TPaletteEntry> swapped = {{100, 100, 100, 0}, {20, 0, 0, 0}, {0, 0, 0, 0}};
  TNearestColorMap map2(swapped);
  EXPECT_EQ(map2.Find(10, 0, 0), 1);
}

TEST(NearestColor, EveryColourOfTheCubeAgreesForTheHalftonePalette) {
  const auto& ht = HalftonePaletteEntries();
  const std::vector<TPaletteEntry> palette(ht.begin(), ht.end());
  TNearestColorMap map(palette);
  for (int r = 0; r < 256; r += 3)
    for (int g = 1; g < 256; g += 5)
      for (int b = 2; b < 256; b += 7)
        ASSERT_EQ(
            map.Find(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)),
            BruteForceNearest(palette, r, g, b));
}

TEST(NearestColor, RowsMappedAtOnceAgreeWithSingleColours) {
  // Rows that wander over cells met before and new ones, whole-region cells (which share a
  // block) and border cells (which get their own), mapped in one call and colour by colour.
  const auto& ht = HalftonePaletteEntries();
  const std::vector<TPaletteEntry> palette(ht.begin(), ht.end());
  std::mt19937 rng(11);
  TNearestColorMap rows(palette), single(palette);
  std::vector<uint8_t> bgr(3 * 5000), indices(5000);
  for (int pass = 0; pass < 4; ++pass) {
    for (size_t i = 0; i < bgr.size(); i += 3) {
      // A walk of small steps, with jumps: neighbouring colours share cells, as in photos.
      const bool jump = rng() % 64 == 0;
      for (size_t c = 0; c < 3; ++c) {
        const int before = i == 0 ? 128 : bgr[i + c - 3];
        const int step = static_cast<int>(rng() % 9) - 4;
        bgr[i + c] = static_cast<uint8_t>(jump ? rng() % 256 : std::clamp(before + step, 0, 255));
      }
    }
    rows.MapBGR(bgr.data(), indices.data(), 5000);
    for (size_t x = 0; x < indices.size(); ++x)
      ASSERT_EQ(indices[x], single.Find(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]))
          << "pass " << pass << " pixel " << x;
    for (size_t x = 0; x < indices.size(); x += 97)
      ASSERT_EQ(indices[x], BruteForceNearest(palette, bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]));
  }
}

TEST(NearestColor, RowsOfEveryLengthAreMappedWholeAndNoFurther) {
  // Rows of 0 to 40 pixels, in buffers of exactly their size, whose colours are met before
  // or new (a cell whose answers are computed mid-row, at any place of a group of eight):
  // every pixel as the single-colour search gives it, and no byte written past the row.
  const auto& ht = HalftonePaletteEntries();
  const std::vector<TPaletteEntry> palette(ht.begin(), ht.end());
  std::mt19937 rng(5);
  TNearestColorMap rows(palette), single(palette);
  for (int round = 0; round < 20; ++round) {
    for (int count = 0; count <= 40; ++count) {
      std::vector<uint8_t> bgr(3 * static_cast<size_t>(count));
      for (uint8_t& v : bgr)
        v = static_cast<uint8_t>(round % 2 == 0 ? rng() % 256 : 100 + rng() % 24);
      std::vector<uint8_t> indices(static_cast<size_t>(count) + 8, 0xEE);
      rows.MapBGR(bgr.data(), indices.data(), count);
      for (int x = 0; x < count; ++x)
        ASSERT_EQ(indices[static_cast<size_t>(x)],
                  single.Find(bgr[3 * static_cast<size_t>(x) + 2],
                              bgr[3 * static_cast<size_t>(x) + 1], bgr[3 * static_cast<size_t>(x)]))
            << "round " << round << " count " << count << " pixel " << x;
      for (size_t x = static_cast<size_t>(count); x < indices.size(); ++x)
        ASSERT_EQ(indices[x], 0xEE) << "count " << count;
    }
  }
}
