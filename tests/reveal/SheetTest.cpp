// The sheet: six captioned tiles, each the view itself when it is small enough and the view
// shrunk to 512 pixels on its long side otherwise; the caption font's glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <set>
#include <span>
#include <vector>

#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "reveal/CaptionFont.h"
#include "reveal/Sheet.h"
#include "tests/reveal/RevealTestSupport.h"

namespace {

class SheetOf : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(SheetOf, HoldsEveryViewUnderItsCaption) {
  const auto [w, h] = GetParam();
  const TSynthesis s = MakeSynthesis(w, h, {100, 40}, 3);
  TViewOptions o;
  o.band = s.band;
  o.size = 64;
  TBitmap sheet;
  MakeView(s.result, o, sheet);
  const TSheetLayout layout = SheetLayout(w, h, o);
  ASSERT_EQ(sheet.Width(), layout.size.width);
  ASSERT_EQ(sheet.Height(), layout.size.height);
  ASSERT_EQ(layout.tiles.size(), 6u);
  const TPlane all = PlaneOf(sheet);
  std::set<std::string> captions;
  for (const TSheetTile& tile : layout.tiles) {
    captions.insert(tile.caption);
    EXPECT_LE(std::max(tile.size.width, tile.size.height), kMaxTileSide) << tile.caption;
    // The tile is the view, shrunk only when it is larger than a tile may be.
    TViewOptions vo = o;
    vo.view = tile.view;
    TBitmap view;
    MakeView(s.result, vo, view);
    TBitmap expected;
    ShrinkToSize(view, tile.size, expected);
    const TPlane e = PlaneOf(expected);
    for (int y = 0; y < tile.size.height; ++y)
      for (int x = 0; x < tile.size.width; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(all.At(tile.left + x, tile.top + y, c), e.At(x, y, c)) << tile.caption;
    // The caption is drawn in the ink above the tile, and nowhere else is there ink.
    int ink = 0;
    for (int y = tile.top - layout.caption_height; y < tile.top; ++y)
      for (int x = tile.left; x < tile.left + CaptionWidth(tile.caption); ++x)
        if (all.At(x, y, 0) == kCaptionInk) ++ink;
    EXPECT_GT(ink, 20) << tile.caption;
  }
  EXPECT_EQ(captions, (std::set<std::string>{"even", "odd", "average", "thumbnail (area, 64)",
                                             "levels", "hidden"}));
  EXPECT_EQ(all.At(0, 0, 0), kSheetBackground);
  EXPECT_EQ(all.At(layout.size.width - 1, layout.size.height - 1, 2), kSheetBackground);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SheetOf,
                         testing::Values(std::make_pair(1, 1), std::make_pair(1, 9),
                                         std::make_pair(9, 1), std::make_pair(120, 77),
                                         std::make_pair(1100, 300)),
                         [](const auto& info) {
                           return SizeName(info.param.first, info.param.second);
                         });

TEST(Sheet, TilesOfALargePictureAreAtMost512OnTheirLongSide) {
  TViewOptions o;
  const TSheetLayout layout = SheetLayout(4000, 3000, o);
  for (const TSheetTile& tile : layout.tiles)
    EXPECT_EQ(std::max(tile.size.width, tile.size.height),
              tile.view == TRevealView::rvThumbnail ? kDefaultThumbnailSize : kMaxTileSide)
        << tile.caption;
}

// The layout takes any number of tiles, three to a row: each tile with its caption lies
// inside the sheet's margins and no two overlap.
TEST(Sheet, LaysOutAnyNumberOfTiles) {
  std::vector<TViewRow> views;
  for (const TViewRow& row : ViewTable())
    if (row.on_sheet) views.push_back(row);
  const std::vector<TViewRow> once = views;
  while (views.size() < 11) views.insert(views.end(), once.begin(), once.end());
  TViewOptions o;
  for (const size_t count : {size_t{1}, size_t{2}, size_t{4}, size_t{7}, size_t{11}}) {
    const TSheetLayout layout =
        SheetLayout(120, 77, o, std::span<const TViewRow>(views.data(), count));
    ASSERT_EQ(layout.tiles.size(), count);
    std::vector<std::array<int, 4>> boxes;  // left, top, right, bottom of tile and caption
    for (const TSheetTile& tile : layout.tiles) {
      const int right = tile.left + std::max(tile.size.width, CaptionWidth(tile.caption));
      boxes.push_back(
          {tile.left, tile.top - layout.caption_height, right, tile.top + tile.size.height});
      EXPECT_GE(boxes.back()[0], kSheetMargin);
      EXPECT_GE(boxes.back()[1], kSheetMargin);
      EXPECT_LE(boxes.back()[2], layout.size.width - kSheetMargin) << count;
      EXPECT_LE(boxes.back()[3], layout.size.height - kSheetMargin) << count;
    }
    for (size_t a = 0; a < boxes.size(); ++a)
      for (size_t b = a + 1; b < boxes.size(); ++b)
        EXPECT_TRUE(boxes[a][2] <= boxes[b][0] || boxes[b][2] <= boxes[a][0] ||
                    boxes[a][3] <= boxes[b][1] || boxes[b][3] <= boxes[a][1])
            << "tiles " << a << " and " << b << " of " << count;
  }
}

// The draft that a slider drag shows: the sheet's layout and captions exactly, each tile
// near the exact one for smooth pictures (a sample of cells instead of every cell), every
// view from the cells of its own phase; none for a picture whose sheet is quick anyway.
TEST(Sheet, TheDraftIsTheSheetFromASampleOfTheCells) {
  for (const auto& [w, h] : {std::pair{2401, 1803}}) {
    // A light visible picture and a dark hidden one, each a gentle gradient.
    TBitmap visible, hidden, result;
    for (TBitmap* b : {&visible, &hidden}) PrepareRaster(*b, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) {
          visible.Scanline(y)[3 * x + c] = static_cast<uint8_t>(150 + (x + 2 * y + 300 * c) / 100);
          hidden.Scanline(y)[3 * x + c] = static_cast<uint8_t>(10 + (2 * x + y + 200 * c) / 100);
        }
    const TToneBand band{128, 100};
    Synthesize(result, visible, hidden, band.average, band.contrast);
    TViewOptions o;
    o.band = band;
    TBitmap exact, draft;
    MakeSheet(result, o, exact);
    ASSERT_TRUE(MakeDraftSheet(result, o, draft));
    ASSERT_EQ(draft.Width(), exact.Width());
    ASSERT_EQ(draft.Height(), exact.Height());
    const TSheetLayout layout = SheetLayout(w, h, o);
    std::vector<uint8_t> inside(static_cast<size_t>(exact.Width()) * exact.Height());
    for (const TSheetTile& tile : layout.tiles) {
      int most = 0;
      for (int y = tile.top; y < tile.top + tile.size.height; ++y)
        for (int x = tile.left; x < tile.left + tile.size.width; ++x) {
          inside[static_cast<size_t>(y) * exact.Width() + x] = 1;
          // The last pixel of the average view of an odd width and height is one visible
          // cell alone, which the sample's whole blocks do not give.
          if (tile.view == TRevealView::rvAverage && w % 2 == 1 && h % 2 == 1 &&
              x == tile.left + tile.size.width - 1 && y == tile.top + tile.size.height - 1)
            continue;
          for (int c = 0; c < 3; ++c)
            most = std::max(most, std::abs(draft.ConstScanline(y)[3 * x + c] -
                                           exact.ConstScanline(y)[3 * x + c]));
        }
      EXPECT_LE(most, 6) << tile.caption << " of " << w << " x " << h;
    }
    // Background and captions alike.
    for (int y = 0; y < exact.Height(); ++y)
      for (int x = 0; x < exact.Width(); ++x)
        if (!inside[static_cast<size_t>(y) * exact.Width() + x]) {
          ASSERT_EQ(std::memcmp(draft.ConstScanline(y) + 3 * x, exact.ConstScanline(y) + 3 * x, 3),
                    0)
              << x << ", " << y;
        }
  }
  const TSynthesis small = MakeSynthesis(600, 400, {100, 40});
  TViewOptions o;
  o.band = small.band;
  TBitmap untouched;
  EXPECT_FALSE(MakeDraftSheet(small.result, o, untouched));
  EXPECT_TRUE(untouched.Empty());
}

TEST(CaptionFont, EveryGlyphHasItsInkWithinItsCellAndTheCaptionsHaveGlyphs) {
  for (const char* caption : {"even", "odd", "average", "thumbnail (bilinear, 256)", "levels",
                              "hidden", "nearest", "0123456789", ".,:=-/?"})
    for (const char* p = caption; *p != '\0'; ++p) EXPECT_TRUE(HasGlyph(*p)) << *p;
  EXPECT_FALSE(HasGlyph('A'));
  // Each glyph drawn alone inks only its own cell, and distinct letters differ.
  std::set<std::vector<uint8_t>> drawn;
  for (char c = 'a'; c <= 'z'; ++c) {
    TBitmap b;
    FillBitmap(b, MakePlane(CaptionWidth("x") + 4, CaptionHeight() + 4));
    DrawCaption(b, 2, 2, std::string(1, c), 255);
    const TPlane p = PlaneOf(b);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        if (x < 2 || y < 2 || x >= p.width - 2 || y >= p.height - 2) {
          ASSERT_EQ(p.At(x, y, 0), 0);
        }
    drawn.insert(p.bgr);
  }
  EXPECT_EQ(drawn.size(), 26u);
}

TEST(CaptionFont, DrawingIsClippedToThePicture) {
  TBitmap b;
  FillBitmap(b, MakePlane(7, 5));
  // Mostly outside on every side; what falls inside is drawn (the sanitizer build checks
  // that nothing is written outside).
  DrawCaption(b, -30, -10, "hidden", 200);
  const TPlane p = PlaneOf(b);
  int ink = 0;
  for (uint8_t v : p.bgr) ink += v == 200;
  EXPECT_GT(ink, 0);
  // The second d (from x = 6): row 5 of its glyph, "#...#", lands on rows 0 and 1; the
  // first d (from x = -6): its bowl's right side at x = 2, 3 and its bottom row 6 on rows
  // 2 and 3.
  EXPECT_EQ(p.At(6, 0, 0), 200);
  EXPECT_EQ(p.At(5, 0, 0), 0);
  EXPECT_EQ(p.At(2, 1, 0), 200);
  EXPECT_EQ(p.At(0, 3, 0), 200);
  EXPECT_EQ(p.At(0, 4, 0), 0);
}

}  // namespace
