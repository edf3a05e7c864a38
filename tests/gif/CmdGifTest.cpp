// The command-line tool's gif command, run as a program.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/common/RunTool.h"
#include "tests/gif/GifTestSupport.h"

namespace {

namespace fs = std::filesystem;

struct CmdGifTest : testing::Test {
  fs::path dir;
  void SetUp() override {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / (std::string("lumiveil-gif-") + test->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the tool; returns its exit status, standard error in `err`.
  int Run(const std::string& args, std::string* err = nullptr) {
    const std::string err_file = (dir / "stderr.txt").string();
    const int status = RunCommand(ToolPath() + " gif " + args + " 2>" + err_file);
    if (err) {
      std::ifstream in(err_file);
      err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return status;
  }
  std::string Path(const std::string& name) { return (dir / name).string(); }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
  }
};

TEST_F(CmdGifTest, WritesExactColoursWithTheChosenEncoderAndInterlacing) {
  auto picture = MakeBitmap24(50, 40, [](int x, int y) {
    return RGBColor(static_cast<uint8_t>(x / 10 * 60), static_cast<uint8_t>(y / 10 * 60), 7);
  });
  picture->SaveToFile(Path("in.bmp"));
  ASSERT_EQ(Run(Path("in.bmp") + " " + Path("out.gif") +
                " --reduction none --compression rle --interlace"),
            0);
  const DecodedGif decoded = DecodeGif(Read(Path("out.gif")));
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_TRUE(decoded.frames[0].interlaced);
  EXPECT_EQ(decoded.frames[0].Pixels(), PixelsOf(*picture));

  // An 8-bit picture needs no reduction, whatever the default mode.
  auto palette = MakeBitmap8(30, 20, {{1, 2, 3, 0}, {200, 100, 50, 0}},
                             [](int x, int y) { return static_cast<uint8_t>((x ^ y) & 1); });
  palette->SaveToFile(Path("eight.bmp"));
  ASSERT_EQ(Run(Path("eight.bmp") + " " + Path("eight.gif")), 0);
  EXPECT_EQ(DecodeGif(Read(Path("eight.gif"))).frames.at(0).Pixels(), PixelsOf(*palette));
}

TEST_F(CmdGifTest, EveryReductionDitherAndBitsValueWritesTheReducedPicture) {
  auto photo = LoadBitmap(LUMIVEIL_SAMPLES "/chelsea.bmp");
  auto picture =
      MakeBitmap24(48, 32, [&](int x, int y) { return photo->Pixel(100 + 4 * x, 50 + 4 * y); });
  picture->SaveToFile(Path("in.bmp"));
  struct Case {
    const char* options;
    TColorReduction mode;
    TDitherMode dither;
    int bits;
  };
  const Case cases[] = {
      {"", rmNetscape, dmNearest, 8},  // the defaults
      {"--reduction windows20 --dither floydsteinberg", rmWindows20, dmFloydSteinberg, 8},
      {"--reduction windows256 --dither stucki", rmWindows256, dmStucki, 8},
      {"--reduction windowsgray --dither sierra", rmWindowsGray, dmSierra, 8},
      {"--reduction monochrome --dither jajuni", rmMonochrome, dmJaJuNI, 8},
      {"--reduction grayscale --dither stevearche", rmGrayScale, dmSteveArche, 8},
      {"--reduction netscape --dither burkes", rmNetscape, dmBurkes, 8},
      {"--reduction quantize --bits 3 --dither floydsteinberg", rmQuantize, dmFloydSteinberg, 3},
      {"--reduction quantize", rmQuantize, dmNearest, 8},
      {"--reduction quantize256 --dither burkes", rmQuantizeWindows, dmBurkes, 8},
  };
  for (const Case& c : cases) {
    std::string err;
    ASSERT_EQ(Run(Path("in.bmp") + " " + Path("out.gif") + " " + c.options, &err), 0)
        << c.options << ": " << err;
    TBitmap copy;
    copy.Assign(picture.get());
    const auto reduced = ReduceColors(copy, c.mode, c.dither, c.bits, nullptr);
    const DecodedGif decoded = DecodeGif(Read(Path("out.gif")));
    ASSERT_EQ(decoded.frames.size(), 1u) << c.options;
    EXPECT_EQ(decoded.frames[0].Pixels(), PixelsOf(*reduced)) << c.options;
  }
}

TEST_F(CmdGifTest, FailuresExitWithTheLibrarysMessageAndLeaveNoFile) {
  std::string err;
  // More than 256 colours without reduction; an existing file stays as it was.
  { std::ofstream(Path("b.gif")) << "old"; }
  EXPECT_EQ(Run(std::string(LUMIVEIL_SAMPLES "/chelsea.bmp ") + Path("b.gif") + " --reduction none",
                &err),
            3);
  EXPECT_NE(err.find("Color table overflow"), std::string::npos) << err;
  EXPECT_EQ(Read(Path("b.gif")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
      << "no temporary file left";
  EXPECT_EQ(
      Run(std::string(LUMIVEIL_SAMPLES "/chelsea.bmp ") + Path("c.gif") + " --dither fancy", &err),
      1);
  EXPECT_NE(err.find("--dither must be one of nearest,"), std::string::npos) << err;

  EXPECT_EQ(
      Run(std::string(LUMIVEIL_SAMPLES "/chelsea.bmp ") + Path("c.gif") + " --reduction fancy",
          &err),
      1);
  EXPECT_NE(err.find("--reduction must be one of none,"), std::string::npos) << err;
  EXPECT_EQ(Run(std::string(LUMIVEIL_SAMPLES "/chelsea.bmp ") + Path("c.gif") + " --bits 9", &err),
            1);
  EXPECT_EQ(Run(Path("missing.bmp") + " " + Path("c.gif"), &err), 2);
  EXPECT_FALSE(fs::exists(Path("c.gif")));
}

}  // namespace
