// lumiveil check, targets and synth --check, run as programs: the JSON's hidden score for
// jpeg:85:420 is reveal's on the real JPEG round trip (cjpeg), filtering thumbnails blend
// the two pictures, a point thumbnail at exactly half size keeps the even cells, -o writes
// each target's pictures, and bad usage writes nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"
#include "tests/targets/TargetsTestSupport.h"

namespace {

const std::string kVisible = Sample("coffee.bmp"), kHidden = Sample("chelsea.bmp");

class CliCheck : public TToolTest {
 protected:
  static std::string Read(const std::string& file) { return Text(file); }
  // The value of `key` in the JSON object of `target` (the text after "key": up to , or }).
  std::string Field(const std::string& target, const std::string& key) const {
    const size_t object = out_.find("{\"target\": \"" + target + "\"");
    if (object == std::string::npos) return "";
    const size_t end = out_.find('\n', object);
    const std::string line = out_.substr(object, end - object);
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\": (\\[[^\\]]*\\]|[^,}]*)")))
      return "";
    return m[1];
  }
  std::string Synth(int average, int contrast, const std::string& name = "r.png") {
    EXPECT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + dir_.File(name) + " --average " +
                  std::to_string(average) + " --contrast " + std::to_string(contrast)),
              0)
        << err_;
    return dir_.File(name);
  }
};

TEST_F(CliCheck, HiddenScoreAfterJpegIsRevealsOnTheRealRoundTrip) {
  if (RunCommand("command -v cjpeg >/dev/null") != 0)
    GTEST_SKIP() << "cjpeg is not installed (libjpeg-turbo-progs; scripts/install-deps.sh)";
  for (const auto& [average, contrast] : {std::pair{128, 127}, {200, 40}, {230, 25}}) {
    SCOPED_TRACE(std::to_string(average) + "/" + std::to_string(contrast));
    const std::string result = Synth(average, contrast);
    ASSERT_EQ(Run("check " + result + " --target jpeg:85:420 --json --visible " + kVisible +
                  " --hidden " + kHidden),
              0)
        << err_;
    const double ours = std::atof(Field("jpeg:85:420", "hidden_psnr").c_str());
    EXPECT_NE(out_.find("\"band\": {\"average\": " + std::to_string(average) + ", \"contrast\": " +
                        std::to_string(contrast) + ", \"source\": \"stored\"}"),
              std::string::npos)
        << out_;
    // The real JPEG: our BMP through cjpeg, revealed with the same band.
    ASSERT_EQ(Run("convert " + result + " " + dir_.File("r.bmp")), 0) << err_;
    ASSERT_EQ(
        RunCommand("cjpeg -quality 85 -outfile " + dir_.File("r.jpg") + " " + dir_.File("r.bmp")),
        0);
    ASSERT_EQ(Run("reveal " + dir_.File("r.jpg") + " -o " + dir_.File("h.bmp") +
                  " --view hidden --average " + std::to_string(average) + " --contrast " +
                  std::to_string(contrast) + " --hidden " + kHidden),
              0)
        << err_;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out_, m, std::regex("hidden-psnr: ([0-9.]+)"))) << out_;
    EXPECT_NEAR(ours, std::atof(m[1].str().c_str()), 0.1);
  }
}

TEST_F(CliCheck, FilteringThumbnailsBlendAndAHalfSizePointThumbnailKeepsTheEvenCells) {
  const std::string result = Synth(200, 40);
  ASSERT_EQ(Run("check " + result + " --json --target misskey --target danbooru --target vichan" +
                " --target imageboard --target '|fit:300x200:point' --target '|fit:301x201:point'" +
                " --target jpeg85 --visible " + kVisible + " --hidden " + kHidden),
            0)
      << err_;
  for (const char* row : {"misskey", "danbooru", "vichan", "imageboard"})
    EXPECT_EQ(Field(row, "thumbnail_shows"), "\"blend\"") << row;
  EXPECT_EQ(Field("|fit:300x200:point", "thumbnail_shows"), "\"visible\"");
  EXPECT_EQ(Field("|fit:300x200:point", "thumbnail_phase"), "\"even\"");
  EXPECT_EQ(Field("|fit:300x200:point", "thumbnail_size"), "[300, 200]");
  EXPECT_EQ(Field("|fit:301x201:point", "thumbnail_phase"), "null");
  EXPECT_EQ(Field("jpeg85", "thumbnail_shows"), "\"none\"");
  // The lossless file keeps the band chunk through a keeping target, not through JPEG.
  EXPECT_EQ(Field("danbooru", "band_survives"), "true");
  EXPECT_EQ(Field("jpeg85", "band_survives"), "false");
  EXPECT_EQ(Field("danbooru", "hidden_verdict"), "\"survives\"");
  // JPEG q85 4:2:0 at C = 40: the forms come back in grey, tinted in colour; at C = 25 not.
  EXPECT_EQ(Field("jpeg85", "hidden_verdict"), "\"degraded\"");
  Synth(230, 25);
  ASSERT_EQ(Run("check " + result + " --json --target jpeg85 --visible " + kVisible + " --hidden " +
                kHidden),
            0);
  EXPECT_EQ(Field("jpeg85", "hidden_verdict"), "\"destroyed\"");
}

TEST_F(CliCheck, WritesEachTargetsPicturesAndListsTheCatalogue) {
  const std::string result = Synth(128, 60);
  ASSERT_EQ(Run("check " + result + " -o " + dir_.File("seen") + " --target lemmy --target " +
                "'jpeg:50|fit:100x100:box'"),
            0)
      << err_;
  EXPECT_NE(out_.find("lemmy: visible-psnr"), std::string::npos) << out_;
  for (const char* file : {"lemmy-full.png", "lemmy-thumbnail.png", "lemmy-levels.png",
                           "lemmy-hidden.png", "jpeg_50_fit_100x100_box-thumbnail.png"})
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_.File("seen/") + file)) << file;
  // Without originals the hidden picture is the one the file holds: a lossless target
  // loses nothing of it.
  EXPECT_NE(out_.find("lemmy: visible-psnr"), std::string::npos);
  EXPECT_NE(out_.find("hidden-psnr inf survives"), std::string::npos) << out_;

  ASSERT_EQ(Run("targets"), 0);
  EXPECT_NE(out_.find("mastodon\n"), std::string::npos);
  EXPECT_NE(out_.find("source: mastodon/mastodon"), std::string::npos);

  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + dir_.File("s.bmp") +
                " --check jpeg85 --check lossless"),
            0)
      << err_;
  EXPECT_NE(out_.find("jpeg85: "), std::string::npos) << out_;
  EXPECT_NE(out_.find("lossless: "), std::string::npos) << out_;
}

TEST_F(CliCheck, RefusesUnknownTargetsAndBadUsageWithoutWork) {
  const std::string result = Synth(128, 60);
  EXPECT_EQ(Run("check " + result + " --target nowhere"), 1);
  EXPECT_NE(err_.find("nowhere"), std::string::npos) << err_;
  EXPECT_EQ(Run("check " + result + " --target 'jpeg:0'"), 1);
  EXPECT_EQ(Run("check " + result + " --average 10"), 1);
  EXPECT_EQ(Run("check " + dir_.File("missing.png")), 2);
  EXPECT_EQ(
      Run("synth " + kVisible + " " + kHidden + " -o " + dir_.File("n.bmp") + " --check nowhere"),
      1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("n.bmp")));
}

}  // namespace
