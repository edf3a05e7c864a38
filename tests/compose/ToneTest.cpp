// Tone mapping: the exact values of the scale, the band the sliders allow, and what a
// mapping touches (odd cells only, within both pictures, never the hidden picture).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "TestPictures.h"
#include "base/Exceptions.h"
#include "compose/ApplyInnerTone.h"
#include "compose/CellRows.h"

namespace {

// t = truncate(v * s) computed with integers only: s = m * 2^e with an integer m of 53
// bits, so v * m is exact in 64 bits and the shift truncates.
int ExactScaledByte(int v, int contrast) {
  const double s = static_cast<double>(2 * contrast) * 0.00392156862745098;
  if (s == 0) return 0;
  int e = 0;
  const double fraction = std::frexp(s, &e);  // s = fraction * 2^e, 0.5 <= fraction < 1
  const auto m = static_cast<uint64_t>(std::ldexp(fraction, 53));
  const int shift = 53 - e;  // s = m * 2^-shift
  return static_cast<int>((static_cast<uint64_t>(v) * m) >> shift);
}

TEST(ToneTable, GivesTheListedValues) {
  // (v, C, t): with A = C the offset is 0 and the table holds t itself. A double product
  // would give 2, 2 and 256 for the first three.
  const int cases[][3] = {{255, 1, 1},   {85, 3, 1},   {255, 128, 255}, {255, 127, 254},
                          {255, 35, 70}, {51, 35, 14}, {200, 64, 100}};
  for (const auto& c : cases)
    EXPECT_EQ(TToneTable(c[1], c[1]).map[c[0]], c[2]) << "v = " << c[0] << ", C = " << c[1];
}

TEST(ToneTable, MatchesAnIntegerComputationForEveryContrastAndByte) {
  for (int contrast = 0; contrast <= 255; ++contrast) {
    const int average = 255 - contrast / 2;
    const TToneTable table(average, contrast);
    for (int v = 0; v < 256; ++v)
      ASSERT_EQ(table.map[v], (ExactScaledByte(v, contrast) + average - contrast) & 0xFF)
          << "v = " << v << ", C = " << contrast;
  }
}

TEST(ToneTable, HasAVectorMultiplierForEverySliderPosition) {
  // Not needed for the right bytes (the table is used otherwise), but a slider step would
  // be slower without it.
  for (int average = 0; average <= 255; ++average)
    for (int contrast = 0; contrast <= ContrastLimit(average); ++contrast)
      ASSERT_GE(TToneTable(average, contrast).multiplier, 0) << average << ", " << contrast;
}

TEST(ToneTable, StaysInTheBandForEverySliderPosition) {
  for (int average = 0; average <= 255; ++average)
    for (int contrast = 0; contrast <= ContrastLimit(average); ++contrast) {
      const TToneTable table(average, contrast);
      for (int v = 0; v < 256; ++v) {
        ASSERT_GE(table.map[v], average - contrast);
        ASSERT_LE(table.map[v], average + contrast);
        if (v > 0) {
          ASSERT_GE(table.map[v], table.map[v - 1]);
        }
      }
    }
}

TEST(ToneTable, StartAndFullContrastValues) {
  const TToneTable start(128, 127);
  EXPECT_EQ(start.map[0], 1);
  EXPECT_EQ(start.map[128], 128);
  EXPECT_EQ(start.map[255], 255);
  const TToneTable full(128, 128);
  EXPECT_EQ(full.map[0], 0);
  EXPECT_EQ(full.map[255], 255);
  for (int a : {0, 77, 255}) {
    const TToneTable flat(a, 0);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(flat.map[v], a);
  }
}

TEST(ToneTable, RefusesValuesOutsideABytesRange) {
  EXPECT_THROW(TToneTable(-1, 0), EInvalidGraphicOperation);
  EXPECT_THROW(TToneTable(256, 0), EInvalidGraphicOperation);
  EXPECT_THROW(TToneTable(128, -1), EInvalidGraphicOperation);
  EXPECT_THROW(TToneTable(128, 256), EInvalidGraphicOperation);
}

TEST(ApplyInnerTone, MapsOddCellsFromTheHiddenPictureOnly) {
  ForEachKernelPath([] {
    std::mt19937 random(12);
    for (int round = 0; round < 40; ++round) {
      const int w = 1 + static_cast<int>(random() % 70), h = 1 + static_cast<int>(random() % 9);
      const TPlane before = RandomPlane(w, h, random);
      const TPlane hidden = RandomPlane(w, h, random);
      TBitmap result, inner;
      FillBitmap(result, before);
      FillBitmap(inner, hidden);
      const int average = static_cast<int>(random() % 256);
      const int contrast = static_cast<int>(random() % (ContrastLimit(average) + 1));
      ApplyInnerTone(result, inner, average, contrast);
      const TToneTable table(average, contrast);
      const TPlane after = PlaneOf(result);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int ch = 0; ch < 3; ++ch)
            ASSERT_EQ(after.At(x, y, ch),
                      (x + y) % 2 ? table.map[hidden.At(x, y, ch)] : before.At(x, y, ch))
                << x << "," << y;
      EXPECT_EQ(PlaneOf(inner), hidden);
    }
  });
}

// The sums a view takes of mapped bytes, for every contrast (the multiplier, and with it
// the vector code's narrow or wide products, depends on it alone) with averages that put
// the band low, in the middle and high, beyond the sliders' band too, where the table's
// value wraps: every byte value, a count that leaves a part shorter than a vector, sums
// that were not zero.
TEST(AddMappedBytes, AddsTheTablesValueForEveryContrast) {
  std::vector<uint8_t> bytes(256 + 19);
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(k * 97 + 5);
  std::vector<uint16_t> sums(bytes.size());
  for (const int average : {0, 1, 64, 127, 128, 129, 200, 255})
    for (int contrast = 0; contrast <= 255; ++contrast) {
      const TToneTable table(average, contrast);
      for (size_t k = 0; k < sums.size(); ++k) sums[k] = static_cast<uint16_t>(65000 - k * 3);
      AddMappedBytes(bytes.data(), static_cast<int>(bytes.size()), table, sums.data());
      for (size_t k = 0; k < sums.size(); ++k)
        ASSERT_EQ(sums[k], 65000 - k * 3 + table.map[bytes[k]])
            << "A = " << average << ", C = " << contrast << ", byte " << k;
    }
}

TEST(ApplyInnerTone, ReadsTheHiddenPictureWithoutCopyingIt) {
  std::mt19937 random(13);
  TBitmap result, inner, shown;
  FillBitmap(result, RandomPlane(9, 7, random));
  FillBitmap(inner, RandomPlane(9, 7, random));
  shown.Assign(&inner);  // an image box's copy shares the hidden picture's store
  ApplyInnerTone(result, inner, 100, 50);
  EXPECT_TRUE(inner.SharesImageWith(shown));
}

TEST(ApplyInnerTone, StaysWithinTheCellsBothPicturesHave) {
  std::mt19937 random(14);
  const TPlane before = RandomPlane(10, 8, random);
  const TPlane hidden = RandomPlane(6, 5, random);
  TBitmap result, inner;
  FillBitmap(result, before);
  FillBitmap(inner, hidden);
  ApplyInnerTone(result, inner, 128, 0);  // every mapped cell becomes 128
  const TPlane after = PlaneOf(result);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool mapped = (x + y) % 2 == 1 && x < 6 && y < 5;
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_EQ(after.At(x, y, ch), mapped ? 128 : before.At(x, y, ch)) << x << "," << y;
    }
  // An empty result or an empty hidden picture: nothing to map, no error.
  TBitmap empty;
  EXPECT_NO_THROW(ApplyInnerTone(empty, inner, 128, 127));
  EXPECT_NO_THROW(ApplyInnerTone(result, empty, 128, 127));
  EXPECT_EQ(PlaneOf(result), after);
}

}  // namespace
