// The fixed palettes and the colour lookups: the web palette's order, the thresholds of
// the web, grey and black-and-white lookups, and the nearest-colour lookup's 5-5-5 cache
// (first entry of a cell wins, Manhattan distance, lowest index on ties, the answer kept
// for the whole cell).
#include <gtest/gtest.h>

#include "gif/Gifimage.h"
#include "platform/Palettes.h"
#include "tests/gif/GifTestSupport.h"

namespace {

struct Found {
  int index;
  Rgb colour;
  friend bool operator==(const Found&, const Found&) = default;
};

void PrintTo(const Found& f, std::ostream* os) {
  *os << f.index << " (" << int(f.colour.r) << "," << int(f.colour.g) << "," << int(f.colour.b)
      << ")";
}

Found Find(TColorLookup& lookup, uint8_t red, uint8_t green, uint8_t blue) {
  Found f;
  f.index = lookup.FindIndex(red, green, blue, f.colour.r, f.colour.g, f.colour.b);
  return f;
}

TEST(FixedPalettes, HoldTheirEntriesInOrder) {
  const auto web = GetPaletteEntries(WebPalette());
  ASSERT_EQ(web.size(), 216u);
  EXPECT_EQ(web[1], E(0, 0, 51)) << "blue varies fastest";
  EXPECT_EQ(web[6], E(0, 51, 0));
  EXPECT_EQ(web[36], E(51, 0, 0)) << "red varies slowest";
  EXPECT_EQ(web[36 * 4 + 6 * 2 + 3], E(204, 102, 153));
  EXPECT_EQ(web[215], E(255, 255, 255));

  EXPECT_EQ(GetPaletteEntries(WindowsGrayPalette()),
            (std::vector<TPaletteEntry>{E(0, 0, 0), E(128, 128, 128), E(192, 192, 192),
                                        E(255, 255, 255)}));
  EXPECT_EQ(GetPaletteEntries(MonochromePalette()),
            (std::vector<TPaletteEntry>{E(0, 0, 0), E(255, 255, 255)}));
  const auto grey = GetPaletteEntries(GrayScalePalette());
  ASSERT_EQ(grey.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(grey[static_cast<size_t>(i)], E(i, i, i));
  const auto twenty = GetPaletteEntries(Windows20Palette());
  EXPECT_EQ(twenty, std::vector<TPaletteEntry>(DefaultPaletteEntries().begin(),
                                               DefaultPaletteEntries().end()));
  EXPECT_EQ(GetPaletteEntries(Windows256Palette()).size(), 256u);
}

TEST(NetscapeColorLookup, ThresholdsLieAt51kMinus3AndIndicesMatchTheWebPalette) {
  TNetscapeColorLookup lookup;
  EXPECT_EQ(lookup.Colors(), 216);
  const auto web = GetPaletteEntries(WebPalette());
  for (int v = 0; v < 256; ++v) {
    const int level = v < 48 ? 0 : v < 99 ? 1 : v < 150 ? 2 : v < 201 ? 3 : v < 252 ? 4 : 5;
    const auto u = static_cast<uint8_t>(v);
    const auto l = static_cast<uint8_t>(51 * level);
    EXPECT_EQ(Find(lookup, u, 0, 0), (Found{36 * level, {l, 0, 0}})) << v;
    EXPECT_EQ(Find(lookup, 0, u, 0), (Found{6 * level, {0, l, 0}})) << v;
    EXPECT_EQ(Find(lookup, 0, 0, u), (Found{level, {0, 0, l}})) << v;
  }
  // The colour returned is the web palette's entry of the index.
  for (const auto& [r, g, b] : {std::tuple{47, 48, 200}, {250, 3, 99}, {255, 160, 100}}) {
    const Found f =
        Find(lookup, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    const TPaletteEntry& e = web[static_cast<size_t>(f.index)];
    EXPECT_EQ(f.colour, (Rgb{e.peRed, e.peGreen, e.peBlue}));
  }
}

TEST(GrayAndMonochromeLookups, WeighLuminanceWithTheirThresholds) {
  TGrayScaleLookup grey;
  EXPECT_EQ(grey.Colors(), 256);
  EXPECT_EQ(Find(grey, 255, 255, 255), (Found{255, {255, 255, 255}}));
  EXPECT_EQ(Find(grey, 0, 0, 0), (Found{0, {0, 0, 0}}));
  // Y = 77 R + 150 G + 29 B, index Y >> 8.
  EXPECT_EQ(Find(grey, 255, 0, 0).index, 76);                         // 19 635
  EXPECT_EQ(Find(grey, 0, 255, 0).index, 149);                        // 38 250
  EXPECT_EQ(Find(grey, 0, 0, 255).index, 28);                         // 7 395
  EXPECT_EQ(Find(grey, 10, 200, 90), (Found{130, {130, 130, 130}}));  // 33 380

  TMonochromeLookup mono;
  EXPECT_EQ(mono.Colors(), 2);
  EXPECT_EQ(Find(mono, 255, 255, 255), (Found{1, {255, 255, 255}}));
  EXPECT_EQ(Find(mono, 0, 0, 0), (Found{0, {0, 0, 0}}));
  EXPECT_EQ(Find(mono, 127, 127, 127), (Found{0, {0, 0, 0}})) << "Y = 32 512 is black";
  EXPECT_EQ(Find(mono, 128, 128, 128), (Found{1, {255, 255, 255}})) << "Y = 32 768 is white";
  EXPECT_EQ(Find(mono, 0, 169, 247).index, 1) << "Y = 32 513";
}

TEST(FastColorLookup, TheFirstEntryOfACellWinsAtCreation) {
  // (10,10,10) and (12,12,12) share the cell (1,1,1): the later entry is never chosen for
  // a colour of that cell, not even for its own colour.
  TFastColorLookup lookup(CreatePalette({E(200, 0, 0), E(10, 10, 10), E(12, 12, 12)}));
  EXPECT_EQ(lookup.Colors(), 3);
  EXPECT_EQ(Find(lookup, 12, 12, 12), (Found{1, {10, 10, 10}}));
  EXPECT_EQ(Find(lookup, 15, 8, 9), (Found{1, {10, 10, 10}}));
  EXPECT_EQ(Find(lookup, 200, 0, 0), (Found{0, {200, 0, 0}}));
  EXPECT_EQ(lookup.CachedIndex(TFastColorLookup::CellOf(12, 12, 12)), 1);
  EXPECT_EQ(lookup.CachedIndex(TFastColorLookup::CellOf(100, 100, 100)), -1);
}

TEST(FastColorLookup, SearchesByManhattanDistanceAndTheLowestIndexWinsATie) {
  // From (100,100,100): (130,100,100) is 30 away (squared 900), (112,112,112) 36 (squared
  // 432). The Manhattan distance picks the first.
  TFastColorLookup manhattan(CreatePalette({E(112, 112, 112), E(130, 100, 100)}));
  EXPECT_EQ(Find(manhattan, 100, 100, 100), (Found{1, {130, 100, 100}}));
  // Two entries 10 away: the lower index.
  TFastColorLookup tie(CreatePalette({E(0, 0, 0), E(100, 110, 100), E(110, 100, 100)}));
  EXPECT_EQ(Find(tie, 100, 100, 100).index, 1);
  TFastColorLookup tie2(CreatePalette({E(0, 0, 0), E(110, 100, 100), E(100, 110, 100)}));
  EXPECT_EQ(Find(tie2, 100, 100, 100).index, 1);
  // The whole distance range: white against black only.
  TFastColorLookup far(CreatePalette({E(0, 0, 0)}));
  EXPECT_EQ(Find(far, 255, 255, 255), (Found{0, {0, 0, 0}}));
}

TEST(FastColorLookup, TheFirstColourOfACellDecidesForTheWholeCell) {
  // (96,96,96) and (103,103,103) share the cell (12,12,12), which holds no entry; alone,
  // the first is nearest to (90,90,90) and the second to (110,110,110).
  const auto palette = CreatePalette({E(90, 90, 90), E(110, 110, 110)});
  TFastColorLookup low_first(palette);
  EXPECT_EQ(Find(low_first, 96, 96, 96).index, 0);
  EXPECT_EQ(Find(low_first, 103, 103, 103).index, 0);
  EXPECT_EQ(low_first.CachedIndex(TFastColorLookup::CellOf(100, 100, 100)), 0);
  TFastColorLookup high_first(palette);
  EXPECT_EQ(Find(high_first, 103, 103, 103).index, 1);
  EXPECT_EQ(Find(high_first, 96, 96, 96), (Found{1, {110, 110, 110}}));
}

TEST(FastColorLookup, TakesAtMost256EntriesAndMayServeNone) {
  std::vector<TPaletteEntry> many;
  for (int i = 0; i < 300; ++i) many.push_back(E(static_cast<uint8_t>(i), 0, 0));
  EXPECT_EQ(TFastColorLookup(CreatePalette(many)).Colors(), 256);
  TFastColorLookup none(nullptr);
  EXPECT_EQ(none.Colors(), 0);
  EXPECT_EQ(TFastColorLookup(CreatePalette({})).Colors(), 0);
  // Never asked by a reduction; answers black rather than reading past its entries.
  EXPECT_EQ(Find(none, 9, 9, 9), (Found{0, {0, 0, 0}}));
}

}  // namespace
