// The resampling passes, the checkerboard and the tone mapping in bands: one thread and
// several give the same bytes on every size, and the batch job's in-place result is the
// window's result.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "TestPictures.h"
#include "base/Bands.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "compose/Workflow.h"

namespace {

struct TSize {
  int width, height;
};

std::string Name(const TSize& s) {
  return std::to_string(s.width) + "x" + std::to_string(s.height);
}

// Runs make() with one thread and with 2, 3 and 5, each band as small as a row, and
// expects the same result from all.
void ExpectSameForAllThreadCounts(const std::function<TPlane()>& make) {
  TPlane one;
  {
    const TBandSettings settings(1, 0);
    one = make();
  }
  for (int threads : {2, 3, 5}) {
    const TBandSettings settings(threads, 0);
    ForEachKernelPath([&] { EXPECT_EQ(make(), one) << threads << " threads"; });
  }
}

TPlane Noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  return RandomPlane(width, height, random);
}

}  // namespace

class BandedKernels : public testing::TestWithParam<TSize> {};

TEST_P(BandedKernels, ResamplingBothWaysOnBothAxes) {
  const TSize s = GetParam();
  const TPlane source = Noise(s.width, s.height, 1);
  const TSize targets[] = {{s.width * 2 + 1, s.height},
                           {s.width, s.height * 3 + 2},
                           {std::max(1, s.width / 3), s.height},
                           {s.width, std::max(1, s.height / 2)},
                           {s.width * 5 + 3, std::max(1, s.height / 3)}};
  for (const TSize& t : targets) {
    SCOPED_TRACE(Name(s) + " to " + Name(t));
    ExpectSameForAllThreadCounts([&] {
      TBitmap bitmap;
      FillBitmap(bitmap, source);
      ResizeBitmap(bitmap, t.width, t.height);
      return PlaneOf(bitmap);
    });
  }
}

TEST_P(BandedKernels, CheckerboardSynthesisAndToneMapping) {
  const TSize s = GetParam();
  const TPlane visible = Noise(s.width, s.height, 2);
  const TPlane hidden = Noise(s.width, s.height, 3);
  ExpectSameForAllThreadCounts([&] {
    TBitmap result, external, inner;
    FillBitmap(external, visible);
    FillBitmap(inner, hidden);
    ComposeCheckerboard(result, external, inner);
    return PlaneOf(result);
  });
  ExpectSameForAllThreadCounts([&] {
    TBitmap result, external, inner;
    FillBitmap(external, visible);
    FillBitmap(inner, hidden);
    Synthesize(result, external, inner, 200, 40);
    return PlaneOf(result);
  });
  // The tone mapping on a result of its own and on one an image box shares.
  for (const bool shared : {false, true}) {
    ExpectSameForAllThreadCounts([&] {
      TBitmap result, inner, shown;
      FillBitmap(result, visible);
      FillBitmap(inner, hidden);
      if (shared) shown.Assign(&result);
      ApplyInnerTone(result, inner, 90, 60);
      if (shared) {
        EXPECT_EQ(PlaneOf(shown), visible);
      }
      return PlaneOf(result);
    });
  }
}

TEST_P(BandedKernels, TheInPlaceSynthesisIsTheOrdinaryOne) {
  const TSize s = GetParam();
  const TPlane visible = Noise(s.width, s.height, 4);
  const TPlane hidden = Noise(s.width / 2 + 1, s.height + 1, 5);  // refitted first
  for (const bool tone : {false, true}) {
    TBitmap ordinary, external, inner;
    FillBitmap(external, visible);
    FillBitmap(inner, hidden);
    if (tone) {
      Synthesize(ordinary, external, inner, 30, 25);
    } else {
      ResizeBitmap(inner, s.width, s.height);
      ComposeCheckerboard(ordinary, external, inner);
    }
    TBitmap in_place, external2, inner2;
    FillBitmap(external2, visible);
    FillBitmap(inner2, hidden);
    const uint8_t* store = external2.ConstScanline(0);
    bool taken;
    if (tone) {
      taken = SynthesizeConsuming(in_place, external2, inner2, 30, 25);
    } else {
      ResizeBitmap(inner2, s.width, s.height);
      taken = ComposeCheckerboardConsuming(in_place, external2, inner2);
    }
    EXPECT_TRUE(taken);
    EXPECT_TRUE(external2.Empty());
    EXPECT_EQ(in_place.ConstScanline(0), store);
    EXPECT_EQ(PlaneOf(in_place), PlaneOf(ordinary));
    EXPECT_EQ(std::memcmp(&in_place.DIBInfo().dsBmih, &ordinary.DIBInfo().dsBmih,
                          sizeof(TBitmapInfoHeader)),
              0);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BandedKernels,
                         testing::Values(TSize{1, 1}, TSize{1, 6}, TSize{6, 1}, TSize{2, 2},
                                         TSize{3, 5}, TSize{11, 7}, TSize{17, 13}, TSize{33, 4},
                                         TSize{101, 37}),
                         [](const auto& info) { return Name(info.param); });

TEST(InPlaceSynthesis, ASharedVisiblePictureIsLeftAloneAndTheResultMadeApart) {
  const TPlane visible = Noise(8, 6, 6);
  TBitmap result, external, inner, other;
  FillBitmap(external, visible);
  FillBitmap(inner, Noise(8, 6, 7));
  other.Assign(&external);
  EXPECT_FALSE(SynthesizeConsuming(result, external, inner, 128, 127));
  EXPECT_EQ(PlaneOf(external), visible);
  EXPECT_FALSE(result.SharesImageWith(external));
  TBitmap expected;
  Synthesize(expected, external, inner, 128, 127);
  EXPECT_EQ(PlaneOf(result), PlaneOf(expected));
}

// A hidden picture enlarged both ways goes into the odd cells row by row as the
// resampling makes them: the ordinary synthesis's bytes for any number of threads, in the
// visible picture's store, the hidden picture left at its size; one that is not 24-bit is
// refitted first as before.
TEST(InPlaceSynthesis, AHiddenPictureEnlargedBothWaysGoesStraightIntoTheCells) {
  const TPlane visible = Noise(150, 133, 10);
  const TPlane hidden = Noise(71, 66, 11);
  for (const bool eight_bits : {false, true}) {
    TBitmap external, inner, expected;
    FillBitmap(external, visible);
    FillBitmap(inner, hidden);
    if (eight_bits) inner.SetPixelFormat(TPixelFormat::Bits8);
    Synthesize(expected, external, inner, 200, 40);
    ExpectSameForAllThreadCounts([&] {
      TBitmap result, external2, inner2;
      FillBitmap(external2, visible);
      FillBitmap(inner2, hidden);
      if (eight_bits) inner2.SetPixelFormat(TPixelFormat::Bits8);
      const uint8_t* store = external2.ConstScanline(0);
      EXPECT_TRUE(SynthesizeConsuming(result, external2, inner2, 200, 40));
      EXPECT_EQ(result.ConstScanline(0), store);
      EXPECT_EQ(inner2.Width(), eight_bits ? 150 : 71);
      EXPECT_EQ(PlaneOf(result), PlaneOf(expected));
      return PlaneOf(result);
    });
  }
}

// The command-line tool's way through the model gives the window's result, with a hidden
// picture refitted in two passes and one enlarged both ways in one.
TEST(BatchJob, SkipsTheRefreshesAndGivesTheWindowsResult) {
  for (const auto& [visible_size, hidden_size] :
       {std::pair{TSize{40, 30}, TSize{23, 19}}, std::pair{TSize{150, 133}, TSize{71, 66}}}) {
    const TPlane visible = Noise(visible_size.width, visible_size.height, 8);
    const TPlane hidden = Noise(hidden_size.width, hidden_size.height, 9);
    for (const bool preview : {false, true}) {
      TPlane results[2];
      for (const bool batch : {false, true}) {
        TWorkflow w;
        w.BatchJob = batch;
        int shown_results = 0;
        w.OnShow = [&](TSlot slot) { shown_results += slot == TSlot::slResult; };
        ASSERT_TRUE(w.LoadExternalImage([&](TBitmap& slot) { FillBitmap(slot, visible); }));
        ASSERT_TRUE(w.LoadInnerImage([&](TBitmap& slot) { FillBitmap(slot, hidden); }));
        w.AverageTrackBarChange(200);
        w.MinMaxTrackBarChange(50);
        EXPECT_EQ(w.Contrast(), 50);
        if (batch) {
          EXPECT_TRUE(w.ResultBitmap().Empty());  // nothing made before it is asked for
        }
        if (preview)
          w.ComposePreview();
        else
          w.Synthesize();
        EXPECT_EQ(shown_results,
                  batch ? 1 : 5);  // preview, nested contrast, average, contrast, end
        if (batch) {
          EXPECT_TRUE(w.ExternalBitmap().Empty());
          EXPECT_TRUE(w.InnerBitmap().Empty());
        }
        results[batch] = PlaneOf(w.ResultBitmap());
      }
      EXPECT_EQ(results[1], results[0]) << (preview ? "preview" : "synthesis");
    }
  }
}
