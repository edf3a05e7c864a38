// synth --target and --auto, run as programs: a fit box and byte limit give a picture the
// target keeps, made as --width makes it; a byte limit gives the largest size found whose
// file meets it; a limit no size meets writes nothing (exit 3); a target that keeps only
// palette PNGs gets one; the chosen band is the one written; bad usage writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"
#include "reveal/StoredBand.h"
#include "targets/AutoBand.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"
#include "tests/targets/TargetsTestSupport.h"

namespace {

class CliSynthTarget : public TToolTest {
 protected:
  static std::string Read(const std::string& file) { return Bytes(file); }
  // The bundled pair brought to width x height, as BMP files.
  std::string Pair(int width, int height) {
    const std::string names = dir_.File("v.bmp") + " " + dir_.File("h.bmp");
    for (const auto& [sample, file] :
         {std::pair{"coffee.bmp", "v.bmp"}, {"chelsea.bmp", "h.bmp"}}) {
      TBitmap b;
      b.LoadFromFile(Sample(sample));
      ResizeBitmap(b, width, height);
      b.SaveToFile(dir_.File(file));
    }
    return names;
  }
  // The width, height and colour type of a PNG file's header.
  static std::tuple<int, int, int> PngHeader(const std::string& file) {
    const std::string s = Read(file);
    if (s.size() < 26) return {0, 0, -1};
    const auto be = [&](size_t at) {
      return (static_cast<uint8_t>(s[at]) << 24) | (static_cast<uint8_t>(s[at + 1]) << 16) |
             (static_cast<uint8_t>(s[at + 2]) << 8) | static_cast<uint8_t>(s[at + 3]);
    };
    return {be(16), be(20), static_cast<uint8_t>(s[25])};
  }
};

TEST_F(CliSynthTarget, FitsTheBoxAndTheByteLimitAsWidthWouldMakeIt) {
  const std::string pair = Pair(4000, 3000);
  const std::string out = dir_.File("t.png");
  ASSERT_EQ(Run("synth " + pair + " -o " + out + " --target bytes:5000000,fit:1280x1280:lanczos3"),
            0)
      << err_;
  const auto [w, h, type] = PngHeader(out);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 960);
  EXPECT_EQ(type, 2) << "a full-colour PNG";
  EXPECT_LT(std::filesystem::file_size(out), 5000000u);
  EXPECT_NE(out_.find("form: full-colour PNG, 1280 x 960"), std::string::npos) << out_;
  // Made by the synthesis's own resampling, as typing the width does.
  ASSERT_EQ(Run("synth " + pair + " -o " + dir_.File("w.png") + " --width 1280"), 0) << err_;
  EXPECT_EQ(Read(out), Read(dir_.File("w.png")));
}

TEST_F(CliSynthTarget, ByteLimitGivesTheLargestSizeWhoseFileMeetsIt) {
  const std::string pair = Pair(600, 400);
  const std::string out = dir_.File("b.png");
  ASSERT_EQ(Run("synth " + pair + " -o " + out + " --target bytes:200000"), 0) << err_;
  EXPECT_LE(std::filesystem::file_size(out), 200000u);
  // The length told is that of the file written.
  std::smatch told;
  ASSERT_TRUE(std::regex_search(out_, told, std::regex(", (\\d+) bytes \\("))) << out_;
  EXPECT_EQ(std::stoull(told[1]), std::filesystem::file_size(out));
  const int w = std::get<0>(PngHeader(out));
  ASSERT_GT(w, 1);
  ASSERT_LT(w, 600);
  ASSERT_EQ(
      Run("synth " + pair + " -o " + dir_.File("b1.png") + " --width " + std::to_string(w + 1)), 0);
  EXPECT_GT(std::filesystem::file_size(dir_.File("b1.png")), 200000u) << "width " << w + 1;

  // A limit no size meets: exit status 3, a message naming the file, and no file.
  const std::string none = dir_.File("none.png");
  EXPECT_EQ(Run("synth " + pair + " -o " + none + " --target bytes:100"), 3);
  EXPECT_NE(err_.find(none), std::string::npos) << err_;
  EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(CliSynthTarget, PaletteFormWhereOnlyThatIsKeptAndTheChosenBandIsWritten) {
  // microblog keeps palette PNGs within 4096 x 4096 but full-colour ones only within 900
  // (a strip: the band search simulates the palette form for every band it tries).
  const std::string big = dir_.File("big.png"), small = dir_.File("small.png");
  std::string pair = Pair(904, 16);
  ASSERT_EQ(Run("synth " + pair + " -o " + big + " --target microblog --auto"), 0) << err_;
  EXPECT_EQ(std::get<2>(PngHeader(big)), 3) << "a palette PNG";
  EXPECT_NE(out_.find("form: palette PNG, 904 x 16"), std::string::npos) << out_;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(out_, m, std::regex("average: (\\d+)\ncontrast: (\\d+)\n")))
      << out_;
  const TStoredBand stored = StoredBandFor(big, 904, 16);
  ASSERT_EQ(stored.state, TStoredBandState::sbStored);
  EXPECT_EQ(stored.band.average, std::stoi(m[1]));
  EXPECT_EQ(stored.band.contrast, std::stoi(m[2]));
  EXPECT_NE(out_.find("visible-psnr: "), std::string::npos);
  EXPECT_NE(out_.find("why: "), std::string::npos);

  pair = Pair(900, 16);
  ASSERT_EQ(Run("synth " + pair + " -o " + small + " --target microblog"), 0) << err_;
  EXPECT_EQ(std::get<2>(PngHeader(small)), 2) << "kept whole in full colour";
}

TEST_F(CliSynthTarget, BadUsageWritesNothing) {
  const std::string pair = Pair(60, 40);
  for (const std::string& wrong :
       {std::string("bad.bmp --target jpeg85"), std::string("bad.png --target jpeg85 --gif"),
        std::string("bad.png --target jpeg85 --indexed"),
        std::string("bad.png --auto --average 100"), std::string("bad.png --min-visible 12"),
        std::string("bad.png --auto --min-visible lots"),
        std::string("bad.png --target nowhere")}) {
    const std::string name = wrong.substr(0, wrong.find(' '));
    EXPECT_EQ(Run("synth " + pair + " -o " + dir_.File(wrong)), 1) << wrong << ": " << err_;
    EXPECT_FALSE(std::filesystem::exists(dir_.File(name))) << wrong;
  }
  // A bound no band meets: exit status 3 and no file.
  EXPECT_EQ(Run("synth " + pair + " -o " + dir_.File("bad.png") + " --auto --min-visible 60"), 3);
  EXPECT_NE(err_.find("No band keeps"), std::string::npos) << err_;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("bad.png")));
}

}  // namespace
