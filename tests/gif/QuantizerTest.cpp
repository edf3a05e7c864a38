// The octree quantizer and the optimized palettes: which node a merge takes, weighted
// sums, the bound on the tree, the palettes' sizes, the static colours and the errors.
#include <gtest/gtest.h>

#include "gif/Gifimage.h"
#include "platform/Palettes.h"
#include "tests/gif/GifTestSupport.h"

namespace {

// A one-row picture of the colours in order.
std::unique_ptr<TBitmap> Row(const std::vector<TColor>& colours) {
  return MakeBitmap24(static_cast<int>(colours.size()), 1,
                      [&](int x, int) { return colours[static_cast<size_t>(x)]; });
}

std::vector<TPaletteEntry> Scan(const TBitmap& picture, int colours, int bits) {
  TBitmap copy;
  copy.Assign(&picture);
  TDIBReader reader(copy, TPixelFormat::Bits24);
  TColorQuantizer quantizer(colours, bits);
  quantizer.ScanPicture(reader);
  return quantizer.CollectLeaves();
}

TEST(ColorQuantizer, MergesTheMostRecentDeepestNodeAsSoonAsALeafIsTooMany) {
  // Three colours allowed. (0,0,0) and (0,0,1) share a node of level 7, and so do
  // (255,255,254) and (255,255,255), made later. The fourth leaf merges the later node:
  // its leaf has the pixel-weighted mean (254 + 3 x 255) / 4 = 254 in blue. Merging the
  // earlier node instead would give (0,0,0), (255,255,254), (255,255,255).
  const TColor a = RGBColor(0, 0, 0), a2 = RGBColor(0, 0, 1);
  const TColor b = RGBColor(255, 255, 254), b2 = RGBColor(255, 255, 255);
  EXPECT_EQ(Scan(*Row({a, a2, a2, b, b2, b2, b2}), 3, 8),
            (std::vector<TPaletteEntry>{E(0, 0, 0), E(0, 0, 1), E(255, 255, 254)}));
  // With room for all four, each keeps its exact colour, in the tree's order (the
  // channels' bits interleaved from the top), whatever order the pixels came in.
  EXPECT_EQ(
      Scan(*Row({b2, a2, b, a}), 4, 8),
      (std::vector<TPaletteEntry>{E(0, 0, 0), E(0, 0, 1), E(255, 255, 254), E(255, 255, 255)}));
}

TEST(ColorQuantizer, LeavesAverageTheirPixelsAtTheirDepth) {
  // Depth 1: a leaf per octant. Three black pixels and one (100,100,100) share octant 0:
  // 100 / 4 = 25. (200,10,10) has octant 4.
  const auto colours =
      Scan(*Row({clBlack, clBlack, RGBColor(100, 100, 100), clBlack, RGBColor(200, 10, 10)}), 8, 1);
  EXPECT_EQ(colours, (std::vector<TPaletteEntry>{E(25, 25, 25), E(200, 10, 10)}));
  // One colour allowed: everything merges up to the root, the picture's mean colour.
  EXPECT_EQ(Scan(*Row({RGBColor(10, 20, 30), RGBColor(250, 200, 150), RGBColor(0, 0, 0)}), 1, 8),
            (std::vector<TPaletteEntry>{E(86, 73, 60)}));
}

TEST(ColorQuantizer, KeepsItsTreeSmallOnAPictureOfManyColours) {
  TestRandom random(99);
  auto noise = MakeBitmap24(256, 256, [&](int, int) { return random.Next() & 0xFFFFFF; });
  TBitmap copy;
  copy.Assign(noise.get());
  TDIBReader reader(copy, TPixelFormat::Bits24);
  TColorQuantizer quantizer(256, 8);
  quantizer.ScanPicture(reader);
  EXPECT_LE(quantizer.LeafCount(), 256);
  EXPECT_GT(quantizer.LeafCount(), 200);
  // Every node lies on the path of a leaf: at most 9 per leaf, far fewer in practice.
  EXPECT_LE(quantizer.NodeCount(), 9 * 256);
  EXPECT_EQ(quantizer.CollectLeaves().size(), static_cast<size_t>(quantizer.LeafCount()));
  // Merging goes on until the root is a leaf, and then stops.
  while (quantizer.MergeDeepestNode()) {
  }
  EXPECT_EQ(quantizer.LeafCount(), 1);
  EXPECT_EQ(quantizer.NodeCount(), 1);
  EXPECT_FALSE(quantizer.MergeDeepestNode());
}

TEST(ColorQuantizer, ScanPictureMergesAfterEveryPixelAsInsertingOneByOneDoes) {
  // ScanPicture remembers the leaves of recent colours; the result must be that of
  // inserting every pixel and merging straight after it. Pictures whose colours come back
  // often, across many merges: a photo and a noise of 600 colours.
  auto photo = LoadBitmap(LUMIVEIL_SAMPLES "/chelsea.bmp");
  TestRandom random(11);
  std::vector<TColor> few;
  for (int i = 0; i < 600; ++i) few.push_back(random.Next() & 0xFFFFFF);
  auto noise = MakeBitmap24(90, 70, [&](int, int) { return few[random.Next() % few.size()]; });
  for (const TBitmap* picture : {photo.get(), noise.get()}) {
    for (const int colours : {7, 64, 256}) {
      TBitmap copy;
      copy.Assign(picture);
      TDIBReader reader(copy, TPixelFormat::Bits24);
      TColorQuantizer scanned(colours, 8);
      scanned.ScanPicture(reader);
      TColorQuantizer one_by_one(colours, 8);
      for (int y = 0; y < reader.Height(); ++y)
        for (int x = 0; x < reader.Width(); ++x) {
          const uint8_t* p = reader.ScanLine(y) + 3 * x;
          one_by_one.InsertColor(p[2], p[1], p[0]);
          while (one_by_one.LeafCount() > colours) one_by_one.MergeDeepestNode();
        }
      EXPECT_EQ(scanned.CollectLeaves(), one_by_one.CollectLeaves()) << colours;
      EXPECT_EQ(scanned.NodeCount(), one_by_one.NodeCount()) << colours;
    }
  }
}

TEST(ColorQuantizer, RefusesLimitsOutsideTheirRanges) {
  EXPECT_EQ(ErrorMessage([] { TColorQuantizer(0, 8); }), "Invalid number of colors (0, 1 to 256)");
  EXPECT_EQ(ErrorMessage([] { TColorQuantizer(257, 8); }),
            "Invalid number of colors (257, 1 to 256)");
  EXPECT_EQ(ErrorMessage([] { TColorQuantizer(16, 0); }), "Invalid Bits Per Pixel value");
  EXPECT_EQ(ErrorMessage([] { TColorQuantizer(16, 9); }), "Invalid Bits Per Pixel value");
}

TEST(OptimizedPalette, HasTheRequestedEntriesWithBlackBeyondTheLeaves) {
  auto picture = Row({RGBColor(200, 0, 0), RGBColor(0, 0, 200), RGBColor(200, 0, 0)});
  const auto entries = GetPaletteEntries(CreateOptimizedPaletteForBitmap(*picture, 16, 8, false));
  ASSERT_EQ(entries.size(), 16u);
  EXPECT_EQ(entries[0], E(0, 0, 200));
  EXPECT_EQ(entries[1], E(200, 0, 0));
  for (size_t i = 2; i < 16; ++i) EXPECT_EQ(entries[i], E(0, 0, 0)) << i;

  // With the static colours: 256 entries, the 20 colours at 0-9 and 246-255, the
  // picture's colours from 10 on.
  const auto windows = GetPaletteEntries(CreateOptimizedPaletteForBitmap(*picture, 16, 8, true));
  ASSERT_EQ(windows.size(), 256u);
  const auto& statics = DefaultPaletteEntries();
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(windows[i], statics[i]);
    EXPECT_EQ(windows[246 + i], statics[10 + i]);
  }
  EXPECT_EQ(windows[10], E(0, 0, 200));
  EXPECT_EQ(windows[11], E(200, 0, 0));
  EXPECT_EQ(windows[12], E(0, 0, 0));

  // An 8-bit picture is read at 24 bits through a copy: the caller's keeps its format.
  auto eight = MakeBitmap8(4, 2, {{1, 2, 3, 0}, {40, 50, 60, 0}},
                           [](int x, int) { return static_cast<uint8_t>(x & 1); });
  const auto from_eight = GetPaletteEntries(CreateOptimizedPaletteForBitmap(*eight, 8, 8, false));
  EXPECT_EQ(eight->PixelFormat(), TPixelFormat::Bits8);
  EXPECT_EQ(from_eight[0], E(1, 2, 3));
  EXPECT_EQ(from_eight[1], E(40, 50, 60));
}

TEST(OptimizedPalette, ManyBitmapsFeedOneQuantizerInListOrder) {
  // The same as one picture made of their rows in that order.
  TestRandom random(5);
  auto top = MakeBitmap24(20, 7, [&](int, int) { return random.Next() & 0xFFFFFF; });
  auto bottom = MakeBitmap24(20, 5, [&](int, int) { return random.Next() & 0xFFFFFF; });
  auto both = MakeBitmap24(
      20, 12, [&](int x, int y) { return y < 7 ? top->Pixel(x, y) : bottom->Pixel(x, y - 7); });
  const std::vector<TBitmap*> list = {top.get(), bottom.get()};
  for (const bool windows : {false, true}) {
    EXPECT_EQ(GetPaletteEntries(CreateOptimizedPaletteFromManyBitmaps(&list, 32, 8, windows)),
              GetPaletteEntries(CreateOptimizedPaletteForBitmap(*both, 32, 8, windows)));
  }
  const std::vector<TBitmap*> reversed = {bottom.get(), top.get()};
  EXPECT_NE(GetPaletteEntries(CreateOptimizedPaletteFromManyBitmaps(&reversed, 32, 8, false)),
            GetPaletteEntries(CreateOptimizedPaletteFromManyBitmaps(&list, 32, 8, false)));

  const std::vector<TBitmap*> empty, holed = {top.get(), nullptr};
  for (const std::vector<TBitmap*>* bad :
       {static_cast<const std::vector<TBitmap*>*>(nullptr), &empty, &holed})
    EXPECT_EQ(ErrorMessage([&] { CreateOptimizedPaletteFromManyBitmaps(bad, 16, 8, false); }),
              "Invalid bitmap list");
  EXPECT_EQ(ErrorMessage([&] { CreateOptimizedPaletteForBitmap(*top, 300, 8, false); }),
            "Invalid number of colors (300, 1 to 256)");
}

}  // namespace
