// The steps against the real tools: the jpeg step gives exactly the pixels of cjpeg/djpeg
// and of Pillow's round trip, the webp step those of Pillow's (and of cwebp's with sharp),
// each fit filter stays within 40 dB of the library it names, and a libvips row within
// 35 dB of vipsthumbnail.
#include <gtest/gtest.h>

#include "targets/Catalogue.h"
#include "targets/Codecs.h"
#include "targets/Pipeline.h"
#include "targets/Resample.h"
#include "tests/targets/TargetsTestSupport.h"

namespace {

// A combined picture of odd size (edges of the codecs' blocks and of the chroma halving)
// and a photograph: what the steps meet.
struct TOraclePictures : testing::Test {
  void SetUp() override {
    TPair pair;
    LoadPair(pair, 301, 203);
    Combine(pair, {128, 60}, combined);
    photo.Assign(&pair.visible);
  }
  TBitmap combined, photo;
};

using JpegStep = TOraclePictures;

TEST_F(JpegStep, GivesExactlyThePixelsOfCjpegAndOfPillow) {
  for (TBitmap* picture : {&combined, &photo})
    for (const TJpegSettings s : {TJpegSettings{50, true}, TJpegSettings{85, true},
                                  TJpegSettings{85, false}, TJpegSettings{95, false}}) {
      SCOPED_TRACE(std::to_string(s.quality) + (s.subsample420 ? " 4:2:0" : " 4:4:4"));
      TBitmap ours, theirs;
      int64_t bytes = 0;
      JpegRoundTrip(*picture, s, ours, bytes);
      EXPECT_GT(bytes, 0);
      const std::string args = std::to_string(s.quality) + (s.subsample420 ? " 2" : " 0");
      RUN_ORACLE_OR_SKIP("cjpeg " + args, *picture, theirs);
      EXPECT_EQ(RGBPixels(ours), RGBPixels(theirs)) << "cjpeg";
      RUN_ORACLE_OR_SKIP("pil-jpeg " + args, *picture, theirs);
      EXPECT_EQ(RGBPixels(ours), RGBPixels(theirs)) << "Pillow";
    }
}

using WebpStep = TOraclePictures;

TEST_F(WebpStep, GivesThePixelsOfPillowsRoundTripAndOfCwebpWithSharpConversion) {
  for (const int quality : {80, 85}) {
    TBitmap ours, theirs;
    int64_t bytes = 0;
    WebpRoundTrip(combined, {quality, false, false}, ours, bytes);
    RUN_ORACLE_OR_SKIP("pil-webp " + std::to_string(quality), combined, theirs);
    EXPECT_EQ(RGBPixels(ours), RGBPixels(theirs)) << quality;
  }
  TBitmap ours, theirs;
  int64_t bytes = 0;
  WebpRoundTrip(combined, {0, true, false}, ours, bytes);
  EXPECT_EQ(RGBPixels(ours), RGBPixels(combined)) << "lossless keeps every pixel";
  WebpRoundTrip(combined, {85, false, true}, ours, bytes);
  RUN_ORACLE_OR_SKIP("cwebp 85 sharp", combined, theirs);
  EXPECT_EQ(RGBPixels(ours), RGBPixels(theirs)) << "sharp";
}

using FitFilters = TOraclePictures;

TEST_F(FitFilters, StayWithin40DecibelsOfTheLibraryTheyName) {
  const std::pair<TFitFilter, const char*> kPillow[] = {{TFitFilter::ffBox, "box"},
                                                        {TFitFilter::ffBilinear, "bilinear"},
                                                        {TFitFilter::ffBicubic, "bicubic"},
                                                        {TFitFilter::ffLanczos3, "lanczos"}};
  // An odd ratio and exactly half size, on the combined picture and the photograph.
  for (const TViewSize size : {TViewSize{97, 71}, TViewSize{150, 101}})
    for (TBitmap* picture : {&combined, &photo}) {
      SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
      for (const auto& [filter, name] : kPillow) {
        TBitmap ours, theirs;
        Shrink(*picture, size, filter, ours);
        RUN_ORACLE_OR_SKIP("pil-resize " + std::to_string(size.width) + " " +
                               std::to_string(size.height) + " " + name,
                           *picture, theirs);
        EXPECT_GE(PicturePsnr(ours, theirs), 40.0) << name;
      }
      TBitmap ours, theirs;
      Shrink(*picture, size, TFitFilter::ffPoint, ours);
      RUN_ORACLE_OR_SKIP(
          "magick-sample " + std::to_string(size.width) + " " + std::to_string(size.height),
          *picture, theirs);
      // The same rule as -sample, so the very same pixels.
      EXPECT_EQ(RGBPixels(ours), RGBPixels(theirs)) << "point";
    }
}

TEST(LibvipsRow, StaysWithin35DecibelsOfVipsthumbnailAtItsSize) {
  TPair pair;
  LoadPair(pair, 1200, 800);
  TBitmap combined;
  Combine(pair, {128, 60}, combined);
  // Mastodon's preview: a pixel budget of 230,400, libvips' thumbnail.
  const TNamedTarget row = ResolveTarget("mastodon");
  ASSERT_TRUE(row.spec.thumbnail);
  TPipelineRun ours;
  RunPipeline(combined, *row.spec.thumbnail, TUpload{}, ours);
  EXPECT_EQ(ours.picture.Width(), 588);
  EXPECT_EQ(ours.picture.Height(), 392);
  TBitmap theirs;
  RUN_ORACLE_OR_SKIP("vipsthumbnail 588 392", combined, theirs);
  ASSERT_EQ(theirs.Width(), ours.picture.Width());
  ASSERT_EQ(theirs.Height(), ours.picture.Height());
  EXPECT_GE(PicturePsnr(ours.picture, theirs), 35.0);
}

}  // namespace
