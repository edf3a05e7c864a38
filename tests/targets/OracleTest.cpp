// The steps against the real tools: the jpeg step gives exactly the pixels of cjpeg/djpeg,
// of Pillow's round trip and of libvips' (at its default chroma), the webp step those of Pillow's
// (and of cwebp's with sharp), each fit filter stays within 40 dB of the library it names, and a
// libvips row within 35 dB of vipsthumbnail.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>

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

TEST_F(JpegStep, GivesExactlyThePixelsOfCjpegPillowAndLibvips) {
  struct TCase {
    std::string name;
    TBitmap ours;
    size_t cjpeg, pillow;
    std::optional<size_t> vips;
  };
  std::deque<TCase> cases;  // a TBitmap stays where it is made
  TOracleBatch oracles;
  for (TBitmap* picture : {&combined, &photo})
    for (const TJpegSettings s : {TJpegSettings{50, true}, TJpegSettings{85, true},
                                  TJpegSettings{85, false}, TJpegSettings{95, false}}) {
      TCase& c = cases.emplace_back();
      c.name = std::string(picture == &photo ? "photo " : "combined ") + std::to_string(s.quality) +
               (s.subsample420 ? " 4:2:0" : " 4:4:4");
      int64_t bytes = 0;
      JpegRoundTrip(*picture, s, c.ours, bytes);
      EXPECT_GT(bytes, 0) << c.name;
      const std::string args = std::to_string(s.quality) + (s.subsample420 ? " 2" : " 0");
      c.cjpeg = oracles.Add("cjpeg " + args, *picture);
      c.pillow = oracles.Add("pil-jpeg " + args, *picture);
      // libvips (its start is slow): the common case, q85 with its default 4:2:0.
      if (picture == &combined && s.quality == 85 && s.subsample420)
        c.vips = oracles.Add("vips-jpeg 85", *picture);
    }
  RUN_ORACLES_OR_SKIP(oracles);
  for (const TCase& c : cases) {
    EXPECT_EQ(RGBPixels(c.ours), RGBPixels(oracles.Result(c.cjpeg))) << "cjpeg " << c.name;
    EXPECT_EQ(RGBPixels(c.ours), RGBPixels(oracles.Result(c.pillow))) << "Pillow " << c.name;
    if (c.vips) {
      EXPECT_EQ(RGBPixels(c.ours), RGBPixels(oracles.Result(*c.vips))) << "libvips " << c.name;
    }
  }
}

using WebpStep = TOraclePictures;

TEST_F(WebpStep, GivesThePixelsOfPillowsRoundTripAndOfCwebpWithSharpConversion) {
  TBitmap ours[3], lossless;
  int64_t bytes = 0;
  WebpRoundTrip(combined, {80, false, false}, ours[0], bytes);
  WebpRoundTrip(combined, {85, false, false}, ours[1], bytes);
  WebpRoundTrip(combined, {85, false, true}, ours[2], bytes);
  WebpRoundTrip(combined, {0, true, false}, lossless, bytes);
  EXPECT_EQ(RGBPixels(lossless), RGBPixels(combined)) << "lossless keeps every pixel";
  TOracleBatch oracles;
  const size_t theirs[3] = {oracles.Add("pil-webp 80", combined),
                            oracles.Add("pil-webp 85", combined),
                            oracles.Add("cwebp 85 sharp", combined)};
  RUN_ORACLES_OR_SKIP(oracles);
  EXPECT_EQ(RGBPixels(ours[0]), RGBPixels(oracles.Result(theirs[0]))) << "Pillow q80";
  EXPECT_EQ(RGBPixels(ours[1]), RGBPixels(oracles.Result(theirs[1]))) << "Pillow q85";
  EXPECT_EQ(RGBPixels(ours[2]), RGBPixels(oracles.Result(theirs[2]))) << "cwebp q85 sharp";
}

using FitFilters = TOraclePictures;

TEST_F(FitFilters, StayWithin40DecibelsOfTheLibraryTheyName) {
  const std::pair<TFitFilter, const char*> kFilters[] = {{TFitFilter::ffBox, "box"},
                                                         {TFitFilter::ffBilinear, "bilinear"},
                                                         {TFitFilter::ffBicubic, "bicubic"},
                                                         {TFitFilter::ffLanczos3, "lanczos"},
                                                         {TFitFilter::ffPoint, "point"}};
  struct TCase {
    std::string name;
    bool exact;  // point: the same rule as -sample, so the very same pixels
    TBitmap ours;
    size_t theirs;
  };
  std::deque<TCase> cases;  // a TBitmap stays where it is made
  TOracleBatch oracles;
  // An odd ratio and exactly half size, on the combined picture and the photograph.
  for (const TViewSize size : {TViewSize{97, 71}, TViewSize{150, 101}})
    for (TBitmap* picture : {&combined, &photo})
      for (const auto& [filter, name] : kFilters) {
        const std::string w = std::to_string(size.width), h = std::to_string(size.height);
        TCase& c = cases.emplace_back();
        c.name =
            std::string(name) + " " + w + "x" + h + (picture == &photo ? " photo" : " combined");
        c.exact = filter == TFitFilter::ffPoint;
        Shrink(*picture, size, filter, c.ours);
        c.theirs = oracles.Add(
            c.exact ? "magick-sample " + w + " " + h : "pil-resize " + w + " " + h + " " + name,
            *picture);
      }
  RUN_ORACLES_OR_SKIP(oracles);
  for (const TCase& c : cases) {
    if (c.exact)
      EXPECT_EQ(RGBPixels(c.ours), RGBPixels(oracles.Result(c.theirs))) << c.name;
    else
      EXPECT_GE(PicturePsnr(c.ours, oracles.Result(c.theirs)), 40.0) << c.name;
  }
}

TEST(LibvipsRow, StaysWithin35DecibelsOfVipsthumbnailAtItsSize) {
  TPair pair;
  LoadPair(pair, 1200, 800);
  TBitmap combined;
  Combine(pair, {128, 60}, combined);
  // Mastodon's preview: a pixel budget of 230,400, libvips' thumbnail.
  const TNamedTarget row = ResolveTarget("mastodon");
  ASSERT_TRUE(row.recipe.thumbnail);
  TPipelineRun ours;
  RunPipeline(combined, *row.recipe.thumbnail, TUpload{}, ours);
  EXPECT_EQ(ours.picture.Width(), 588);
  EXPECT_EQ(ours.picture.Height(), 392);
  TOracleBatch oracles;
  oracles.Add("vipsthumbnail 588 392", combined);
  RUN_ORACLES_OR_SKIP(oracles);
  const TBitmap& theirs = oracles.Result(0);
  ASSERT_EQ(theirs.Width(), ours.picture.Width());
  ASSERT_EQ(theirs.Height(), ours.picture.Height());
  EXPECT_GE(PicturePsnr(ours.picture, theirs), 35.0);
}

}  // namespace
