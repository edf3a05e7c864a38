// The command-line tool's synth and resize commands, run as programs: they must write the
// same bytes as the library does for the same inputs, and fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "compose/ResizeBitmap.h"
#include "compose/Workflow.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "tests/common/RunTool.h"

namespace {

namespace fs = std::filesystem;

const std::string kVisible = std::string(LUMIVEIL_SAMPLES) + "/coffee.bmp";  // 600 x 400
const std::string kHidden = std::string(LUMIVEIL_SAMPLES) + "/chelsea.bmp";  // 451 x 300

class CliCompose : public testing::Test {
 protected:
  void SetUp() override {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("lumiveil-cli-") + test->name());
    fs::remove_all(dir_);
    ASSERT_TRUE(fs::create_directories(dir_));
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs lumiveil with the arguments; returns the exit status, standard error in err_.
  int Run(const std::string& arguments) {
    const std::string err = (dir_ / "stderr.txt").string();
    const int status = RunCommand(ToolPath() + " " + arguments + " >" + NullDevice() + " 2>" + err);
    err_ = Read(err);
    // Lines as the tool means them: on Windows standard error is a text stream ending its
    // lines in CR LF.
    err_.erase(std::remove(err_.begin(), err_.end(), '\r'), err_.end());
    return status;
  }

  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static std::string BmpBytes(TBitmap& bitmap) {
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()),
                       static_cast<size_t>(stream.Size()));
  }

  static TWorkflow::TLoader FromFile(const std::string& name) {
    return [name](TBitmap& slot) { slot.LoadFromFile(name); };
  }

  std::string Out(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::string err_;
};

TEST_F(CliCompose, SynthWritesTheLibrarysBytes) {
  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("a.bmp") +
                " --average 90 --contrast 60"),
            0)
      << err_;
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(FromFile(kVisible)));
  ASSERT_TRUE(w.LoadInnerImage(FromFile(kHidden)));
  w.AverageTrackBarChange(90);
  w.MinMaxTrackBarChange(60);
  w.Synthesize();
  const std::string expected = BmpBytes(w.ResultBitmap());
  ASSERT_EQ(expected.size(), 54u + 600 * 3 * 400);
  EXPECT_TRUE(Read(Out("a.bmp")) == expected);
  // The file is bottom-up: its last row is the top row, whose first pixel is an even cell
  // and so the visible picture's top-left pixel.
  TBitmap visible;
  visible.LoadFromFile(kVisible);
  const std::string top_left = expected.substr(54 + 600 * 3 * 399, 3);
  EXPECT_EQ(top_left, std::string(reinterpret_cast<const char*>(visible.ConstScanline(0)), 3));
}

TEST_F(CliCompose, SynthWithAWidthAndAPreview) {
  ASSERT_EQ(
      Run("synth " + kVisible + " " + kHidden + " -o " + Out("b.bmp") + " --width 300 --preview"),
      0)
      << err_;
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(FromFile(kVisible)));
  w.SetXEditText("300");
  w.XEditChange();
  ASSERT_TRUE(w.LoadInnerImage(FromFile(kHidden)));
  EXPECT_EQ(w.ResultBitmap().Height(), 200);
  EXPECT_TRUE(Read(Out("b.bmp")) == BmpBytes(w.ResultBitmap()));
}

TEST_F(CliCompose, SynthLowersAContrastAboveTheLimitWithANote) {
  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("c.bmp") +
                " --average 200 --contrast 100 --height 100"),
            0)
      << err_;
  EXPECT_NE(err_.find("contrast 100 lowered to 55"), std::string::npos) << err_;
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(FromFile(kVisible)));
  w.SetYEditText("100");
  w.YEditChange();
  ASSERT_TRUE(w.LoadInnerImage(FromFile(kHidden)));
  w.AverageTrackBarChange(200);
  w.Synthesize();
  EXPECT_EQ(w.Contrast(), 55);
  EXPECT_TRUE(Read(Out("c.bmp")) == BmpBytes(w.ResultBitmap()));
}

TEST_F(CliCompose, SynthWritesGifForAGifNameOrTheGifOption) {
  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("g.GIF")), 0) << err_;
  const auto gif = Read(Out("g.GIF"));
  ASSERT_GT(gif.size(), 6u);
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF87a");
  // --gif writes GIF whatever the name says; the name is used as typed.
  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("g.bmp") + " --gif"), 0) << err_;
  EXPECT_TRUE(Read(Out("g.bmp")) == gif);
}

TEST_F(CliCompose, SynthRefusesBadInputsWithoutWritingAFile) {
  EXPECT_EQ(Run("synth " + kVisible + " " + Out("missing.bmp") + " -o " + Out("d.bmp")), 2);
  EXPECT_NE(err_.find("missing.bmp"), std::string::npos) << err_;
  EXPECT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("d.bmp") + " --average 256"), 1);
  EXPECT_EQ(
      Run("synth " + kVisible + " " + kHidden + " -o " + Out("d.bmp") + " --width 10 --height 10"),
      1);
  EXPECT_EQ(Run("synth " + kVisible + " " + kHidden), 1);
  // --width 1 makes the height 400 * 1 / 600 = 0: refused before anything is written.
  EXPECT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("d.bmp") + " --width 1"), 3);
  EXPECT_FALSE(fs::exists(Out("d.bmp")));
}

TEST_F(CliCompose, AJapaneseMessageIsFollowedByItsEnglishSense) {
  // The work failed (exit 3): the exception's message, then its sense.
  EXPECT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + Out("d.bmp") + " --width 1"), 3);
  EXPECT_NE(err_.find("画像のサイズが不正です (1 x 0) [invalid picture size (1 x 0)]"),
            std::string::npos)
      << err_;
  // An unreadable input (exit 2): the file, the loader's message, then its sense.
  {
    std::ofstream junk(Out("junk.bmp"), std::ios::binary);
    junk << "not a picture";
  }
  EXPECT_EQ(Run("convert " + Out("junk.bmp") + " " + Out("e.bmp")), 2);
  EXPECT_NE(err_.find("junk.bmp: 認識できない画像形式です [unrecognised picture format]"),
            std::string::npos)
      << err_;
}

TEST_F(CliCompose, ResizeWritesTheLibrarysBytes) {
  ASSERT_EQ(Run("resize " + kHidden + " " + Out("e.bmp") + " 1000 123"), 0) << err_;
  TBitmap picture;
  picture.LoadFromFile(kHidden);
  ResizeBitmap(picture, 1000, 123);
  EXPECT_TRUE(Read(Out("e.bmp")) == BmpBytes(picture));
  EXPECT_EQ(Run("resize " + kHidden + " " + Out("f.bmp") + " 0 10"), 1);
  EXPECT_EQ(Run("resize " + kHidden + " " + Out("f.bmp") + " 10"), 1);
  EXPECT_FALSE(fs::exists(Out("f.bmp")));
}

}  // namespace
