// Resampling: the worked examples of the enlarging and shrinking passes, the choices at
// the edges (empty pictures, targets of 0, one-pixel lines, overflowing sums), and the fast
// kernels against the slow reference on random pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "ReferenceKernels.h"
#include "TestPictures.h"
#include "base/Bands.h"
#include "base/Exceptions.h"
#include "compose/ResampleTables.h"
#include "compose/ResizeBitmap.h"

namespace {

// A picture one row high whose channels all hold the samples p (blue p, green p / 2,
// red 255 - p, so a mixed-up channel shows).
TPlane Row(const std::vector<int>& p) {
  return PlaneFrom(static_cast<int>(p.size()), 1, [&](int x, int, int ch) {
    const int v = p[static_cast<size_t>(x)];
    return ch == 0 ? v : ch == 1 ? v / 2 : 255 - v;
  });
}

TPlane Column(const std::vector<int>& p) {
  return PlaneFrom(1, static_cast<int>(p.size()), [&](int, int y, int ch) {
    const int v = p[static_cast<size_t>(y)];
    return ch == 0 ? v : ch == 1 ? v / 2 : 255 - v;
  });
}

std::vector<int> Blue(const TPlane& plane) {
  std::vector<int> out;
  for (int y = 0; y < plane.height; ++y)
    for (int x = 0; x < plane.width; ++x) out.push_back(plane.At(x, y, 0));
  return out;
}

TPlane Resized(const TPlane& plane, int width, int height) {
  TBitmap bitmap;
  FillBitmap(bitmap, plane);
  ResizeBitmap(bitmap, width, height);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  return PlaneOf(bitmap);
}

TEST(EnlargeTable, FourToSevenHasTheWorkedPositionsAndWeights) {
  const std::vector<TEnlargeTap> t = MakeEnlargeTable(4, 7);
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(MakeEnlargeTable(4, 7, 3, 1)[0].w[1], t[3].w[1]);
  const int idx[7] = {0, 0, 1, 1, 2, 2, 3};
  const TEnlargeKind kind[7] = {
      TEnlargeKind::ekLinear, TEnlargeKind::ekLinear, TEnlargeKind::ekCubic, TEnlargeKind::ekCubic,
      TEnlargeKind::ekLinear, TEnlargeKind::ekLinear, TEnlargeKind::ekCopy};
  for (int b = 0; b < 7; ++b) {
    EXPECT_EQ(t[b].idx, idx[b]) << "b = " << b;
    EXPECT_EQ(t[b].kind, kind[b]) << "b = " << b;
    EXPECT_EQ(t[b].fr, b % 2 == 0 ? 0.0L : 0.5L) << "b = " << b;
  }
  // t = 1: the sample sits on source 1.
  EXPECT_EQ(t[2].w[0], 0);
  EXPECT_EQ(t[2].w[1], 65536);
  EXPECT_EQ(t[2].w[2], 0);
  EXPECT_EQ(t[2].w[3], 0);
  // t = 1.5: the negative outer weights move toward zero when 0.5 is added and the sum is
  // truncated, so the four weights sum to 65538, not 65536.
  EXPECT_EQ(t[3].w[0], -4095);
  EXPECT_EQ(t[3].w[1], 36864);
  EXPECT_EQ(t[3].w[2], 36864);
  EXPECT_EQ(t[3].w[3], -4095);
}

TEST(EnlargeTable, LastPositionSitsOnTheLastSourceSample) {
  for (const auto& [s, d] : {std::pair{2, 3}, {5, 9}, {7, 1000}, {999, 1000}, {3, 65535}}) {
    const std::vector<TEnlargeTap> t = MakeEnlargeTable(s, d);
    EXPECT_EQ(t.front().idx, 0);
    EXPECT_EQ(t.front().fr, 0.0L);
    EXPECT_EQ(t.back().idx, s - 1) << s << " to " << d;
    EXPECT_EQ(t.back().kind, TEnlargeKind::ekCopy);
  }
}

TEST(Enlarge, FourToSevenGivesTheWorkedSamplesAlongBothAxes) {
  const std::vector<int> p = {10, 50, 200, 30};
  // 0 and 1 linear in interval 0, 2 equal to source 1, 3 cubic with the t = 1.5 weights:
  // (-4095 * 10 + 36864 * 50 + 36864 * 200 - 4095 * 30 + 32768) >> 16 = 138, 4 and 5
  // linear in interval 2, 6 a copy of source 3.
  const std::vector<int> expected = {10, 30, 50, 138, 200, 115, 30};
  EXPECT_EQ(Blue(Resized(Row(p), 7, 1)), expected);
  EXPECT_EQ(Blue(Resized(Column(p), 1, 7)), expected);
  // Every channel is computed alike and on its own.
  EXPECT_EQ(Resized(Row(p), 7, 1), ReferenceWidthPass(Row(p), 7));
}

TEST(Enlarge, CubicOvershootIsClampedNotWrapped) {
  // 5 to 9 samples: destination 3 sits at 1.5, cubic over sources 0 .. 3.
  // 0, 255, 255, 0: 36864 * 510 + 32768 is above 255 * 65536 and must give 255, not 31.
  EXPECT_EQ(Blue(Resized(Row({0, 255, 255, 0, 0}), 9, 1))[3], 255);
  // 255, 0, 0, 255: the sum is negative and must give 0.
  EXPECT_EQ(Blue(Resized(Row({255, 0, 0, 255, 255}), 9, 1))[3], 0);
  EXPECT_EQ(Blue(Resized(Column({255, 0, 0, 255, 255}), 1, 9))[3], 0);
}

TEST(Enlarge, FromTwoSamplesEverySampleButTheLastIsLinear) {
  const std::vector<int> p = {17, 240};
  for (int d : {3, 5, 8, 100}) {
    const std::vector<int> got = Blue(Resized(Row(p), d, 1));
    EXPECT_EQ(got.front(), 17);
    EXPECT_EQ(got.back(), 240);
    for (int b = 0; b + 1 < d; ++b) {
      const long double fr = static_cast<long double>(b) / (d - 1);
      EXPECT_EQ(got[b], static_cast<int>(17 * (1 - fr) + 240 * fr + 0.5L)) << d << ", " << b;
    }
  }
}

TEST(Enlarge, OneRowOrOneColumnIsCopiedAlongTheOtherAxis) {
  std::mt19937 random(7);
  const TPlane row = RandomPlane(6, 1, random);
  const TPlane tall = Resized(row, 6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(tall.At(x, y, ch), row.At(x, 0, ch));
  // A one-pixel-wide picture enlarged horizontally copies its column (it has no second
  // column for the first interval).
  const TPlane column = RandomPlane(1, 4, random);
  const TPlane wide = Resized(column, 9, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x)
      for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(wide.At(x, y, ch), column.At(0, y, ch));
  // A single pixel becomes a plane of its colour.
  const TPlane dot = PlaneFrom(1, 1, [](int, int, int ch) { return 40 + ch; });
  EXPECT_EQ(Resized(dot, 3, 4), PlaneFrom(3, 4, [](int, int, int ch) { return 40 + ch; }));
}

TEST(Resize, ConstantPicturesStayConstant) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> size(1, 40);
  for (int round = 0; round < 30; ++round) {
    const int w = size(random), h = size(random), tw = size(random), th = size(random);
    const int colour[3] = {static_cast<int>(random() % 256), 0, 255};
    const auto f = [&](int, int, int ch) { return colour[ch]; };
    EXPECT_EQ(Resized(PlaneFrom(w, h, f), tw, th), PlaneFrom(tw, th, f))
        << w << "x" << h << " to " << tw << "x" << th;
  }
}

TEST(Shrink, FourToTwoIsTheRoundedMeanOfPairs) {
  const TShrinkTable t = MakeShrinkTable(4, 2);
  EXPECT_EQ(t.c, 131072);
  EXPECT_EQ(t.half, 65536);
  // (10 + 21) / 2 = 15.5 rounds to 16, (100 + 201) / 2 = 150.5 to 151.
  EXPECT_EQ(Blue(Resized(Row({10, 21, 100, 201}), 2, 1)), (std::vector<int>{16, 151}));
  EXPECT_EQ(Blue(Resized(Column({10, 21, 100, 201}), 1, 2)), (std::vector<int>{16, 151}));
}

TEST(Shrink, ThreeToTwoSplitsTheMiddleSample) {
  const TShrinkTable t = MakeShrinkTable(3, 2);
  EXPECT_EQ(t.n, (std::vector<int32_t>{0, 1, 3}));
  EXPECT_EQ(t.f, (std::vector<int32_t>{0, 32768, 0}));
  EXPECT_EQ(t.c, 98304);
  EXPECT_EQ(t.half, 49152);
  // (65536 * 10 + 32768 * 200 + 49152) div 98304 = 73 and
  // (32768 * 200 + 65536 * 60 + 49152) div 98304 = 107.
  EXPECT_EQ(Blue(Resized(Row({10, 200, 60}), 2, 1)), (std::vector<int>{73, 107}));
  EXPECT_EQ(Blue(Resized(Column({10, 200, 60}), 1, 2)), (std::vector<int>{73, 107}));
}

TEST(Shrink, BoundariesAreTheExactQuotientAndFraction) {
  // (S * i) / D, product first: 7 * 1 / 3 = 2.333.., fraction 0.333.. * 65536 = 21845.
  const TShrinkTable t = MakeShrinkTable(7, 3);
  EXPECT_EQ(t.n, (std::vector<int32_t>{0, 2, 4, 7}));
  EXPECT_EQ(t.f, (std::vector<int32_t>{0, 21845, 43690, 0}));
  EXPECT_FALSE(t.wide);
}

TEST(Shrink, LargeFactorsAndSizesUseWideSumsAndStayExact) {
  // By more than 128 in one pass a 32-bit sum of 255s would overflow.
  std::mt19937 random(5);
  const TPlane white = PlaneFrom(300, 2, [](int, int, int) { return 255; });
  EXPECT_TRUE(MakeShrinkTable(300, 2).wide);
  EXPECT_EQ(Resized(white, 2, 2), PlaneFrom(2, 2, [](int, int, int) { return 255; }));
  const TPlane tall = PlaneFrom(2, 300, [](int, int, int) { return 255; });
  EXPECT_EQ(Resized(tall, 2, 1), PlaneFrom(2, 1, [](int, int, int) { return 255; }));
  // A source of 32768 or more (its 16.16 scale does not fit 32 bits).
  const TPlane line = RandomPlane(40000, 1, random);
  EXPECT_TRUE(MakeShrinkTable(40000, 39999).wide);
  EXPECT_EQ(Resized(line, 3, 1), ReferenceWidthPass(line, 3));
  EXPECT_EQ(Resized(line, 39999, 1), ReferenceWidthPass(line, 39999));
}

TEST(CoverageDivider, DividesExactlyAroundEveryMultiple) {
  std::mt19937 random(3);
  std::vector<int64_t> divisors = {65537,   65536 * 3 / 2,         98304, 131072, 131073,
                                   8323072, (int64_t{1} << 23) - 1};
  for (int i = 0; i < 200; ++i) divisors.push_back(65537 + random() % ((int64_t{1} << 23) - 65537));
  for (int64_t c : divisors) {
    const TCoverageDivider divider(c);
    std::vector<uint32_t> numerators = {0, 1, 0x7FFFFFFF, 0x7FFFFFFE};
    for (int j = 0; j < 50; ++j) {
      const uint64_t q = random() % (0x7FFFFFFFu / c);
      for (int64_t delta : {-1, 0, 1})
        if (q * c + delta <= 0x7FFFFFFF) numerators.push_back(static_cast<uint32_t>(q * c + delta));
      numerators.push_back(static_cast<uint32_t>(q * c + c - 1));
      numerators.push_back(static_cast<uint32_t>(random() & 0x7FFFFFFF));
    }
    for (uint32_t n : numerators) ASSERT_EQ(divider.Divide(n), n / c) << n << " / " << c;
  }
}

TEST(Resize, FastKernelsMatchTheReferenceOnRandomPictures) {
  ForEachKernelPath([] {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> size(1, 70);
    for (int round = 0; round < 300; ++round) {
      const int w = size(random), h = size(random);
      int tw = size(random), th = size(random);
      if (round % 10 == 0) tw = w;  // one pass only
      if (round % 10 == 1) th = h;
      const TPlane source = RandomPlane(w, h, random);
      ASSERT_EQ(Resized(source, tw, th), ReferenceResize(source, tw, th))
          << w << "x" << h << " to " << tw << "x" << th;
    }
  });
}

TEST(Resize, KernelsMatchTheReferenceOnSmoothPictures) {
  // Smooth gradients keep the cubic interior away from the clamp, the random pictures
  // above push it there often.
  ForEachKernelPath([] {
    std::mt19937 random(99);
    for (int round = 0; round < 40; ++round) {
      const int w = 2 + static_cast<int>(random() % 60), h = 2 + static_cast<int>(random() % 60);
      const TPlane source =
          PlaneFrom(w, h, [&](int x, int y, int ch) { return (x * 7 + y * 3 + ch * 50) % 256; });
      const int tw = 1 + static_cast<int>(random() % 150);
      const int th = 1 + static_cast<int>(random() % 150);
      ASSERT_EQ(Resized(source, tw, th), ReferenceResize(source, tw, th));
    }
  });
}

TEST(Resize, WideRowsAreDoneInSpansThatJoinExactly) {
  // Tables cover 4096 destination pixels at a time and the height pass's sums a strip of
  // 16384 pixels: pictures wider than that must come out as if done in one piece.
  ForEachKernelPath([] {
    std::mt19937 random(77);
    const TPlane narrow = RandomPlane(7, 3, random);
    EXPECT_EQ(Resized(narrow, 9001, 3), ReferenceWidthPass(narrow, 9001));
    const TPlane wide = RandomPlane(9001, 3, random);
    EXPECT_EQ(Resized(wide, 5000, 2), ReferenceResize(wide, 5000, 2));
    const TPlane wider = RandomPlane(20000, 5, random);
    EXPECT_EQ(Resized(wider, 20000, 3), ReferenceHeightPass(wider, 3));
    EXPECT_EQ(Resized(wider, 20000, 11), ReferenceHeightPass(wider, 11));
  });
}

TEST(Shrink, HeightPassAroundTheSixteenBitSumsStaysExact) {
  // The height pass sums up to 257 whole rows per column in 16-bit lanes and more rows in
  // 32 or 64 bits: white pictures fill the lanes to the brim, random ones mix the values,
  // and rows of 11 pixels leave a tail after each block of columns.
  ForEachKernelPath([] {
    std::mt19937 random(5);
    for (int height : {2 * 258, 2 * 259, 3 * 259 + 1, 2 * 300}) {
      const TPlane white = PlaneFrom(11, height, [](int, int, int) { return 255; });
      EXPECT_EQ(Resized(white, 11, height / 257), ReferenceHeightPass(white, height / 257))
          << height;
      const TPlane mixed = RandomPlane(11, height, random);
      EXPECT_EQ(Resized(mixed, 11, 2), ReferenceHeightPass(mixed, 2)) << height;
    }
  });
}

// The height pass over rows made on demand gives the bytes of the pass over the whole
// picture, for any cut of the rows between threads and chunks, narrow and wide sums; a
// maker sees its rows in order; a destination it cannot make is refused untouched.
TEST(Shrink, MadeRowsGiveTheBytesOfTheWholePicture) {
  ForEachKernelPath([] {
    std::mt19937 random(31);
    const struct {
      int width, height, target;
    } cases[] = {{5, 7, 6}, {3, 100, 1}, {9, 300, 2}, {17, 1000, 13}, {1, 33, 32}, {4, 65, 64}};
    for (int threads : {1, 2, 3}) {
      const TBandSettings bands(threads, 0);
      for (const auto& c : cases) {
        const TPlane plane = RandomPlane(c.width, c.height, random);
        TBitmap source, whole, made;
        FillBitmap(source, plane);
        FillBitmap(whole, RandomPlane(c.width, c.target, random));
        FillBitmap(made, RandomPlane(c.width, c.target, random));
        ShrinkVertical(source, whole);
        bool ordered = true;
        ShrinkVerticalMade(
            c.height,
            [&]() -> TMadeRows {
              auto last = std::make_shared<int>(-1);
              return [&, last](int y, uint8_t* row) {
                if (y < *last) ordered = false;
                *last = y;
                std::memcpy(row, source.ConstScanline(y), 3 * static_cast<size_t>(c.width));
              };
            },
            made);
        ASSERT_EQ(PlaneOf(made), PlaneOf(whole))
            << c.width << "x" << c.height << " to " << c.target << ", " << threads << " threads";
        EXPECT_TRUE(ordered);
      }
    }
  });
  TBitmap dest;
  std::mt19937 random(8);
  FillBitmap(dest, RandomPlane(4, 5, random));
  const TPlane untouched = PlaneOf(dest);
  const TMadeRowsFactory never = []() -> TMadeRows { return [](int, uint8_t*) { FAIL(); }; };
  EXPECT_THROW(ShrinkVerticalMade(5, never, dest), EInvalidGraphicOperation);
  EXPECT_THROW(ShrinkVerticalMade(3, never, dest), EInvalidGraphicOperation);
  EXPECT_EQ(PlaneOf(dest), untouched);
}

// Both enlarging passes run as one give the bytes of the two passes, for any cut of the
// rows between threads: sources of two to four rows (linear and copied rows only), targets
// wider than one table, one more row or many more.
TEST(Enlarge, BothPassesAtOnceGiveTheBytesOfOneAfterTheOther) {
  ForEachKernelPath([] {
    std::mt19937 random(53);
    const struct {
      int width, height, target_width, target_height;
    } cases[] = {{2, 2, 3, 3},      {3, 3, 7, 4},   {5, 4, 6, 31},  {9, 13, 40, 14},
                 {17, 70, 18, 333}, {1, 2, 2, 300}, {4, 5, 4200, 6}};
    for (int threads : {1, 2, 3}) {
      const TBandSettings bands(threads, 0);
      for (const auto& c : cases) {
        TBitmap source, both;
        FillBitmap(source, RandomPlane(c.width, c.height, random));
        FillBitmap(both, RandomPlane(c.target_width, c.target_height, random));
        EnlargeBoth(source, both);
        TBitmap wide, whole;
        FillBitmap(wide, RandomPlane(c.target_width, c.height, random));
        EnlargeHorizontal(source, wide);
        FillBitmap(whole, RandomPlane(c.target_width, c.target_height, random));
        EnlargeVertical(wide, whole);
        ASSERT_EQ(PlaneOf(both), PlaneOf(whole))
            << c.width << "x" << c.height << " to " << c.target_width << "x" << c.target_height
            << ", " << threads << " threads";
      }
    }
    // Through ResizeBitmap, which takes the one pass for a source of enough rows.
    const TPlane tall = RandomPlane(33, 70, random);
    EXPECT_EQ(Resized(tall, 50, 151), ReferenceResize(tall, 50, 151));
  });
  std::mt19937 random(5);
  TBitmap source, dest;
  FillBitmap(source, RandomPlane(4, 3, random));
  FillBitmap(dest, RandomPlane(7, 3, random));  // as high: not an enlargement both ways
  const TPlane untouched = PlaneOf(dest);
  EXPECT_THROW(EnlargeBoth(source, dest), EInvalidGraphicOperation);
  EXPECT_THROW(EnlargeBoth(dest, source), EInvalidGraphicOperation);
  EXPECT_EQ(PlaneOf(dest), untouched);
}

TEST(Resize, SameSizeOnlyConvertsTo24Bits) {
  std::mt19937 random(1);
  TBitmap bitmap;
  FillBitmap(bitmap, RandomPlane(13, 9, random));
  bitmap.SetPixelFormat(TPixelFormat::Bits8);
  ASSERT_TRUE(bitmap.Palette() != nullptr);
  std::vector<TColor> colours;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) colours.push_back(bitmap.Pixel(x, y));
  ResizeBitmap(bitmap, 13, 9);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  EXPECT_TRUE(bitmap.Palette() == nullptr);
  size_t i = 0;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(bitmap.Pixel(x, y), colours[i++]);

  // A 24-bit picture of the target size keeps its very bytes.
  const TPlane plane = RandomPlane(8, 5, random);
  EXPECT_EQ(Resized(plane, 8, 5), plane);
}

TEST(Resize, EmptyPicturesAndTargetsOfZeroOrBelowChangeNothing) {
  TBitmap empty;
  ResizeBitmap(empty, 10, 10);
  EXPECT_TRUE(empty.Empty());

  std::mt19937 random(4);
  TBitmap bitmap;
  const TPlane plane = RandomPlane(6, 4, random);
  FillBitmap(bitmap, plane);
  bitmap.SetPixelFormat(TPixelFormat::Bits8);
  TBitmap before;
  before.Assign(&bitmap);
  for (const auto& [w, h] : {std::pair{0, 0}, {0, 4}, {6, 0}, {-3, 8}, {12, -1}}) {
    ResizeBitmap(bitmap, w, h);
    EXPECT_TRUE(bitmap.SharesImageWith(before)) << w << "x" << h;
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits8);
  }
}

TEST(Resize, AFailedHeightPassKeepsTheWidthPass) {
  std::mt19937 random(8);
  const TPlane plane = RandomPlane(5, 2, random);
  TBitmap bitmap;
  FillBitmap(bitmap, plane);
  // The width pass gives 40000 x 2; the height pass then needs a store of 2.4 GB, beyond
  // the raster's limit, and fails before its kernel runs.
  EXPECT_THROW(ResizeBitmap(bitmap, 40000, 20000), EInvalidGraphic);
  EXPECT_EQ(PlaneOf(bitmap), ReferenceWidthPass(plane, 40000));
  // Also where both passes would have run as one: that one's store cannot be had either.
  const TPlane tall = RandomPlane(2, 64, random);
  FillBitmap(bitmap, tall);
  EXPECT_THROW(ResizeBitmap(bitmap, 4000, 300000), EInvalidGraphic);
  EXPECT_EQ(PlaneOf(bitmap), ReferenceWidthPass(tall, 4000));
}

TEST(Kernels, RefuseRastersThatDoNotFitThePass) {
  std::mt19937 random(6);
  TBitmap source, dest;
  FillBitmap(source, RandomPlane(4, 3, random));
  FillBitmap(dest, RandomPlane(7, 2, random));  // wrong height for a width pass
  const TPlane untouched = PlaneOf(dest);
  EXPECT_THROW(EnlargeHorizontal(source, dest), EInvalidGraphicOperation);
  EXPECT_THROW(ShrinkVertical(source, dest), EInvalidGraphicOperation);
  EXPECT_EQ(PlaneOf(dest), untouched);
  FillBitmap(dest, RandomPlane(3, 3, random));  // narrower: not an enlargement
  EXPECT_THROW(EnlargeHorizontal(source, dest), EInvalidGraphicOperation);
  FillBitmap(dest, RandomPlane(7, 3, random));
  dest.SetPixelFormat(TPixelFormat::Bits32);
  EXPECT_THROW(EnlargeHorizontal(source, dest), EInvalidGraphic);
  TBitmap empty;
  EXPECT_THROW(ShrinkHorizontal(empty, dest), EInvalidGraphicOperation);
}

}  // namespace
