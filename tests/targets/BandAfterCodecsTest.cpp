// What lossy codecs leave of the band and of the hidden picture: the band finder stays
// within 4 of the band used after JPEG q85 (4:2:0 and 4:4:4) when the hidden picture has
// black and white areas, and the grey recovery scores better than the colour one after
// 4:2:0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "reveal/Band.h"
#include "reveal/Scores.h"
#include "targets/Codecs.h"
#include "tests/targets/TargetsTestSupport.h"

namespace {

// The picture's tones stretched so that its darkest and lightest 1 % (in luminance) become
// black and white: a hidden picture that spans 0 .. 255.
void SpanWholeRange(TBitmap& picture) {
  uint64_t histogram[256] = {};
  const uint64_t cells = static_cast<uint64_t>(picture.Width()) * picture.Height();
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) ++histogram[Luma(picture.ConstScanline(y) + 3 * x)];
  int low = 0, high = 255;
  for (uint64_t seen = 0; (seen += histogram[low]) <= cells / 100;) ++low;
  for (uint64_t seen = 0; (seen += histogram[high]) <= cells / 100;) --high;
  for (int y = 0; y < picture.Height(); ++y) {
    uint8_t* row = picture.Scanline(y);
    for (int i = 0; i < 3 * picture.Width(); ++i)
      row[i] = static_cast<uint8_t>(
          std::clamp(static_cast<int>(std::lround((row[i] - low) * 255.0 / (high - low))), 0, 255));
  }
}

TEST(BandAfterJpeg, IsFoundWithin4ForHiddenPicturesThatSpanTheWholeRange) {
  for (const bool swap : {false, true}) {
    TPair pair;
    LoadPair(pair);
    if (swap) {
      TBitmap visible;
      visible.Assign(&pair.hidden);
      pair.hidden.Assign(&pair.visible);
      pair.visible.Assign(&visible);
    }
    SpanWholeRange(pair.hidden);
    for (const TToneBand band : {TToneBand{128, 64}, TToneBand{200, 40}, TToneBand{230, 25},
                                 TToneBand{50, 40}, TToneBand{128, 25}, TToneBand{100, 60}}) {
      TBitmap result;
      Combine(pair, band, result);
      EXPECT_EQ(FindBand(result).band, band) << "lossless";
      for (const bool subsample : {true, false}) {
        SCOPED_TRACE(std::to_string(band.average) + "/" + std::to_string(band.contrast) +
                     (subsample ? " 4:2:0" : " 4:4:4") + (swap ? " swapped" : ""));
        TBitmap jpeg;
        int64_t bytes = 0;
        JpegRoundTrip(result, {85, subsample}, jpeg, bytes);
        const TToneBand found = FindBand(jpeg).band;
        EXPECT_LE(std::abs(found.average - band.average), 4) << found.average;
        EXPECT_LE(std::abs(found.contrast - band.contrast), 4) << found.contrast;
      }
    }
  }
}

TEST(GreyRecovery, ScoresBetterThanColourAfterChromaHalvingJpeg) {
  TPair pair;
  LoadPair(pair);
  for (const TToneBand band : {TToneBand{128, 127}, TToneBand{200, 40}, TToneBand{230, 25}}) {
    TBitmap result, jpeg;
    Combine(pair, band, result);
    int64_t bytes = 0;
    JpegRoundTrip(result, {85, true}, jpeg, bytes);
    EXPECT_GT(*HiddenGreyPsnr(jpeg, pair.hidden, band), *HiddenPsnr(jpeg, pair.hidden, band) + 3)
        << band.average << "/" << band.contrast;
  }
}

}  // namespace
