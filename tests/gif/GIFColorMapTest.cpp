// Colour tables: growth, the 256-entry limit, searching, imports, deleting, writing and
// sorting by use.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "gif/Gifimage.h"
#include "tests/gif/GifTestSupport.h"

namespace {

TColor Grey(int i) {
  return RGBColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
}

struct ColorMapTest : testing::Test {
  TGIFImage image;
  TGIFSubImage& frame = image.Images().Add();
  TGIFColorMap& map = frame.ColorMap();
};

TEST_F(ColorMapTest, CapacityGrowsTo16ThenInStepsOf32UpTo256) {
  EXPECT_EQ(map.Capacity(), 0);
  const std::pair<int, int> steps[] = {{1, 16},  {16, 16},   {17, 32},  {32, 32},
                                       {33, 64}, {200, 224}, {256, 256}};
  for (const auto& [count, capacity] : steps) {
    while (map.Count() < count) map.Add(Grey(map.Count()));
    EXPECT_EQ(map.Capacity(), capacity) << count << " entries";
  }
}

TEST_F(ColorMapTest, The257thEntryOverflowsAndChangesNothing) {
  for (int i = 0; i < 256; ++i) EXPECT_EQ(map.Add(Grey(i)), i);
  EXPECT_EQ(ErrorMessage<GIFException>([&] { map.Add(clWhite); }), "Color table overflow");
  EXPECT_EQ(map.Count(), 256);
  EXPECT_EQ(map.AddUnique(Grey(17)), 17) << "a colour already there needs no room";
}

TEST_F(ColorMapTest, SearchesFromTheEndUnlessSorted) {
  map.Add(clWhite);
  map.Add(clBlack);
  map.Add(clWhite);
  EXPECT_EQ(map.IndexOf(clWhite), 2);
  EXPECT_EQ(map.AddUnique(clWhite), 2);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(clWhite), 0);
  EXPECT_EQ(map.IndexOf(RGBColor(1, 2, 3)), -1);
  EXPECT_EQ(map.AddUnique(RGBColor(1, 2, 3)), 3);
  EXPECT_FALSE(map.Optimized()) << "an addition clears the sorted flag";
}

TEST_F(ColorMapTest, TableBitsAreTheSmallestPowerThatHoldsTheEntries) {
  const std::pair<int, int> bits[] = {{0, 0}, {1, 1},  {2, 1},   {3, 2},   {4, 2},
                                      {5, 3}, {17, 5}, {128, 7}, {129, 8}, {256, 8}};
  for (const auto& [count, expected] : bits) {
    map.Clear();
    for (int i = 0; i < count; ++i) map.Add(Grey(i));
    EXPECT_EQ(map.BitsPerPixel(), expected) << count << " entries";
  }
}

TEST_F(ColorMapTest, ImportsReorderColourTablesAndStopAt256) {
  std::vector<TRGBQuad> table(300);
  for (size_t i = 0; i < table.size(); ++i) table[i] = TRGBQuad{static_cast<uint8_t>(i), 2, 3, 0};
  map.ImportColorTable(table);
  ASSERT_EQ(map.Count(), 256);
  EXPECT_EQ(map.Entry(5), (TGIFColor{3, 2, 5}));
  map.ImportPalette(CreatePalette({{10, 20, 30, 0}, {40, 50, 60, 0}}));
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Color(1), RGBColor(40, 50, 60));
}

TEST_F(ColorMapTest, DeleteRemovesOneEntryAndChecksTheIndex) {
  for (int i = 0; i < 4; ++i) map.Add(Grey(i));
  map.SetOptimized(true);
  map.Delete(1);
  EXPECT_EQ(map.Count(), 3);
  EXPECT_EQ(map.Color(1), Grey(2));
  EXPECT_FALSE(map.Optimized());
  EXPECT_THROW(map.Delete(3), EListError);
  EXPECT_THROW(map.Entry(-1), EListError);
}

TEST_F(ColorMapTest, WritesExactlyTwoToTheTableBitsEntries) {
  map.Add(RGBColor(1, 2, 3));
  map.Add(RGBColor(4, 5, 6));
  map.Add(RGBColor(7, 8, 9));
  TMemoryStream stream;
  map.SaveToStream(stream);
  EXPECT_EQ(Bytes(stream), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
  map.Clear();
  TMemoryStream empty;
  map.SaveToStream(empty);
  EXPECT_EQ(empty.Size(), 0);
}

TEST_F(ColorMapTest, OptimizeSortsByUseRenumbersAndDropsUnusedEntries) {
  for (int i = 0; i < 5; ++i) map.Add(Grey(10 * i));
  frame.SetSize(6, 1);
  const uint8_t pixels[] = {2, 2, 2, 0, 4, 4};
  std::copy(pixels, pixels + 6, frame.Data());
  auto control = std::make_unique<TGIFGraphicControlExtension>();
  control->Transparent = true;
  control->TransparentColorIndex = 4;
  TGIFGraphicControlExtension* gce = control.get();
  frame.Extensions().push_back(std::move(control));

  EXPECT_TRUE(map.Optimize());
  EXPECT_TRUE(map.Optimized());
  ASSERT_EQ(map.Count(), 3) << "entries 1 and 3 are used by no pixel";
  EXPECT_EQ(map.Color(0), Grey(20));
  EXPECT_EQ(map.Color(1), Grey(40));
  EXPECT_EQ(map.Color(2), Grey(0));
  EXPECT_EQ(std::vector<uint8_t>(frame.Data(), frame.Data() + 6),
            (std::vector<uint8_t>{0, 0, 0, 2, 1, 1}));
  EXPECT_EQ(gce->TransparentColorIndex, 1);

  // A transparent index that names an entry no pixel uses keeps that entry.
  gce->TransparentColorIndex = 2;  // grey 0, used once
  map.Add(Grey(77));               // entry 3, unused
  gce->TransparentColorIndex = 3;
  std::fill(frame.Data(), frame.Data() + 6, 1);
  EXPECT_TRUE(map.Optimize());
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Color(0), Grey(40));
  EXPECT_EQ(map.Color(1), Grey(77));
  EXPECT_EQ(gce->TransparentColorIndex, 1);
  EXPECT_EQ(frame.Data()[0], 0);

  // Already in order (the unused entries at the end): nothing moves, nothing is dropped.
  map.Add(Grey(99));
  EXPECT_FALSE(map.Optimize());
  EXPECT_EQ(map.Count(), 3);
  EXPECT_TRUE(map.Optimized());
}

TEST_F(ColorMapTest, GlobalTableIsSortedOverTheFramesThatUseIt) {
  TGIFColorMap& global = image.Header().ColorMap();
  global.Add(clBlack);
  global.Add(clWhite);
  frame.SetSize(3, 1);
  std::fill(frame.Data(), frame.Data() + 3, 1);
  TGIFSubImage& own = image.Images().Add();  // has its own table: not counted
  own.ColorMap().Add(clBlack);
  own.SetSize(5, 1);
  EXPECT_TRUE(global.Optimize());
  EXPECT_EQ(global.Count(), 1);
  EXPECT_EQ(global.Color(0), clWhite);
  EXPECT_EQ(frame.Data()[2], 0);
}

}  // namespace
