// Synthesis: the checkerboard's cells, the tone mapping read from the hidden picture, the
// refit of a hidden picture of another size, and the failures without pictures.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceKernels.h"
#include "TestPictures.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/Synthesis.h"

namespace {

// The combined picture computed pixel by pixel from its definition.
TPlane Expected(const TPlane& visible, const TPlane& hidden, const TToneTable* tone) {
  TPlane out = MakePlane(visible.width, visible.height);
  for (int y = 0; y < visible.height; ++y)
    for (int x = 0; x < visible.width; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const int h = hidden.At(x, y, ch);
        out.At(x, y, ch) = (x + y) % 2 == 0 ? visible.At(x, y, ch) : tone ? tone->map[h] : h;
      }
  return out;
}

struct TPictures {
  TBitmap result, external, inner;
  TPictures(const TPlane& visible, const TPlane& hidden) {
    FillBitmap(external, visible);
    FillBitmap(inner, hidden);
  }
};

TEST(Synthesize, OnePixelIsTheVisiblePixel) {
  const TPlane visible = PlaneFrom(1, 1, [](int, int, int ch) { return 10 + ch; });
  TPictures p(visible, PlaneFrom(1, 1, [](int, int, int) { return 200; }));
  Synthesize(p.result, p.external, p.inner, 0, 0);
  EXPECT_EQ(PlaneOf(p.result), visible);
}

TEST(Synthesize, TwoByTwoHasVisibleCellsOnTheDiagonalFromTheTopLeft) {
  // Visible bytes 1..12, hidden bytes 0, 128, 255: with A = 128, C = 127 those become 1,
  // 128 and 255.
  const TPlane visible =
      PlaneFrom(2, 2, [](int x, int y, int ch) { return 1 + (y * 2 + x) * 3 + ch; });
  const int hidden_bytes[3] = {0, 128, 255};
  TPictures p(visible, PlaneFrom(2, 2, [&](int, int, int ch) { return hidden_bytes[ch]; }));
  Synthesize(p.result, p.external, p.inner, 128, 127);
  const TPlane r = PlaneOf(p.result);
  for (int ch = 0; ch < 3; ++ch) {
    EXPECT_EQ(r.At(0, 0, ch), visible.At(0, 0, ch));
    EXPECT_EQ(r.At(1, 1, ch), visible.At(1, 1, ch));
  }
  for (const auto& [x, y] : {std::pair{1, 0}, {0, 1}}) {
    EXPECT_EQ(r.At(x, y, 0), 1);
    EXPECT_EQ(r.At(x, y, 1), 128);
    EXPECT_EQ(r.At(x, y, 2), 255);
  }
}

TEST(Synthesize, OnePixelWideAlternatesWholeRows) {
  const TPlane visible = PlaneFrom(1, 6, [](int, int y, int) { return y; });
  TPictures p(visible, PlaneFrom(1, 6, [](int, int y, int) { return 100 + y; }));
  ComposeCheckerboard(p.result, p.external, p.inner);
  const TPlane r = PlaneOf(p.result);
  for (int y = 0; y < 6; ++y) EXPECT_EQ(r.At(0, y, 1), y % 2 ? 100 + y : y) << "row " << y;
}

TEST(Synthesize, ExtremeSlidersGiveFlatOrFullBands) {
  ForEachKernelPath([] {
    std::mt19937 random(21);
    const TPlane visible = RandomPlane(45, 4, random);
    TPlane hidden = RandomPlane(45, 4, random);
    hidden.At(1, 0, 0) = 0;
    hidden.At(0, 1, 2) = 255;
    TPictures p(visible, hidden);
    // C = 0: every odd cell is the grey (A, A, A).
    Synthesize(p.result, p.external, p.inner, 77, 0);
    TPlane r = PlaneOf(p.result);
    for (int y = 0; y < 4; ++y)
      for (int x = (y + 1) % 2; x < 45; x += 2)
        for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(r.At(x, y, ch), 77);
    // A = 128, C = 128: 0 stays 0 and 255 stays 255, nothing wraps; the scale is just above
    // 1 there.
    Synthesize(p.result, p.external, p.inner, 128, 128);
    r = PlaneOf(p.result);
    EXPECT_EQ(r.At(1, 0, 0), 0);
    EXPECT_EQ(r.At(0, 1, 2), 255);
    const TToneTable full(128, 128);
    EXPECT_EQ(r, Expected(visible, hidden, &full));
  });
}

TEST(Synthesize, RandomPicturesFollowTheDefinition) {
  ForEachKernelPath([] {
    std::mt19937 random(22);
    for (int round = 0; round < 40; ++round) {
      const int w = 1 + static_cast<int>(random() % 80), h = 1 + static_cast<int>(random() % 20);
      const TPlane visible = RandomPlane(w, h, random);
      const TPlane hidden = RandomPlane(w, h, random);
      TPictures p(visible, hidden);
      // A result left from an earlier synthesis of another size must not matter.
      FillBitmap(p.result, RandomPlane(1 + w / 2, 3 + h, random));
      const int average = static_cast<int>(random() % 256);
      const int contrast = static_cast<int>(random() % (ContrastLimit(average) + 1));
      Synthesize(p.result, p.external, p.inner, average, contrast);
      const TToneTable tone(average, contrast);
      ASSERT_EQ(PlaneOf(p.result), Expected(visible, hidden, &tone)) << w << "x" << h;
      ASSERT_EQ(p.result.PixelFormat(), TPixelFormat::Bits24);
      // Synthesizing again gives the same bytes; the hidden picture is never changed.
      Synthesize(p.result, p.external, p.inner, average, contrast);
      ASSERT_EQ(PlaneOf(p.result), Expected(visible, hidden, &tone));
      ASSERT_EQ(PlaneOf(p.inner), hidden);
      // The preview: odd cells hold the hidden bytes untouched.
      ComposeCheckerboard(p.result, p.external, p.inner);
      ASSERT_EQ(PlaneOf(p.result), Expected(visible, hidden, nullptr));
    }
  });
}

TEST(Synthesize, RefitsAHiddenPictureOfAnotherSizeFirst) {
  std::mt19937 random(23);
  const TPlane visible = RandomPlane(12, 9, random);
  const TPlane hidden = RandomPlane(20, 5, random);
  TPictures p(visible, hidden);
  Synthesize(p.result, p.external, p.inner, 128, 127);
  const TPlane fitted = ReferenceResize(hidden, 12, 9);
  EXPECT_EQ(PlaneOf(p.inner), fitted);
  const TToneTable tone(128, 127);
  EXPECT_EQ(PlaneOf(p.result), Expected(visible, fitted, &tone));
}

TEST(Synthesize, WithoutPictures) {
  // No visible picture: the result becomes empty, without an error.
  TBitmap result, external, inner;
  std::mt19937 random(24);
  FillBitmap(result, RandomPlane(3, 3, random));
  FillBitmap(inner, RandomPlane(3, 3, random));
  EXPECT_NO_THROW(Synthesize(result, external, inner, 128, 127));
  EXPECT_TRUE(result.Empty());

  // A visible picture but no hidden one: the scan-line error; the result has its new size.
  FillBitmap(external, RandomPlane(4, 2, random));
  TBitmap no_inner;
  try {
    Synthesize(result, external, no_inner, 128, 127);
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), SScanLine);
  }
  EXPECT_EQ(result.Width(), 4);
  EXPECT_EQ(result.Height(), 2);
  EXPECT_THROW(ComposeCheckerboard(result, external, no_inner), EInvalidGraphicOperation);

  // Tone values outside a byte's range change nothing at all.
  TBitmap kept;
  kept.Assign(&result);
  EXPECT_THROW(Synthesize(result, external, inner, 300, 0), EInvalidGraphicOperation);
  EXPECT_TRUE(result.SharesImageWith(kept));
  EXPECT_EQ(inner.Width(), 3);
}

TEST(ComposeCheckerboard, RefusesAHiddenPictureSmallerThanTheVisibleOne) {
  std::mt19937 random(25);
  TPictures p(RandomPlane(6, 6, random), RandomPlane(6, 5, random));
  FillBitmap(p.result, PlaneFrom(6, 6, [](int, int, int) { return 9; }));
  EXPECT_THROW(ComposeCheckerboard(p.result, p.external, p.inner), EInvalidGraphicOperation);
  // Nothing was written: the check comes before the first row.
  EXPECT_EQ(PlaneOf(p.result), PlaneFrom(6, 6, [](int, int, int) { return 9; }));
}

}  // namespace
