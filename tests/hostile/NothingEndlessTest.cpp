// Nothing endless: inputs made to hold the tool (a FIFO where the configuration file
// belongs, a JPEG of thousands of empty scans, a GIF frame of 900 megapixels inside a
// screen of one pixel) are refused or read in the time and memory their content needs.
// Each run is given seconds; a tool that hangs is killed, and the test fails.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/common/CraftedJpeg.h"
#include "tests/hostile/HostileSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 60;

ToolRun RunWithin(const std::vector<std::string>& args, const Environment& env = {}) {
  ToolOptions options;
  options.env = env;
  options.seconds = kSeconds;
  return RunTool(args, options);
}

std::string JpegPlugin() {
  return std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin/jpeg.spi";
}

// The offset of the first image descriptor of a GIF file (after the screen's colour table
// and any extensions).
size_t ImageDescriptor(const std::vector<uint8_t>& gif) {
  size_t pos = 13;
  if ((gif[10] & 0x80) != 0) pos += 3u << ((gif[10] & 7) + 1);
  while (pos < gif.size() && gif[pos] == 0x21) {
    pos += 2;
    while (pos < gif.size() && gif[pos] != 0) pos += gif[pos] + 1u;
    ++pos;
  }
  return pos;
}

}  // namespace

// A FIFO is opened without waiting for a writer, seen to be no regular file, and skipped
// with a note; the command does its work.
TEST(NothingEndless, AFifoAsTheConfigurationFileIsSkippedWithANote) {
  TempDir dir;
  fs::create_directories(dir.File("config/Quenbrook"));
  const std::string fifo = dir.File("config/Quenbrook/Susie.conf");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const char* command : {"info", "plugins"}) {
    std::vector<std::string> args = {command};
    if (std::string(command) == "info") args.push_back(Sample("coffee.bmp"));
    const ToolRun run = RunWithin(args, {{"XDG_CONFIG_HOME", dir.File("config")}});
    ASSERT_FALSE(run.killed) << command << " waited for the FIFO";
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, std::string("lumiveil ") + command + ": note: " + fifo +
                           ": not read: it is a FIFO; only a regular file is read\n");
  }
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
}

// Scans beyond the bound are refused from the file's markers, before the decoder runs; a
// file with as many as the bound allows is read. Each extra scan is a pass over all 262144
// blocks of the picture: 60000 of them took minutes.
TEST(NothingEndless, AJpegOfMoreScansThanTheBoundIsRefusedAtOnce) {
  TempDir dir;
  WriteBytes(dir.File("bound.jpg"), ProgressiveGreyJpeg(1024, 1024, 100));
  WriteBytes(dir.File("many.jpg"), ProgressiveGreyJpeg(4096, 4096, 60000));
  const ToolRun within = RunWithin({"convert", dir.File("bound.jpg"), dir.File("bound.bmp")});
  EXPECT_EQ(within.status, 0) << within.err;
  EXPECT_EQ(within.err, "");
  for (const char* command : {"info", "convert"}) {
    std::vector<std::string> args = {command, dir.File("many.jpg")};
    if (std::string(command) == "convert") args.push_back(dir.File("many.bmp"));
    const ToolRun run = RunWithin(args);
    ASSERT_FALSE(run.killed) << command;
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("lumiveil ") + command + ": " + dir.File("many.jpg") + ": " +
                           Shown(Format(SUnknownPictureFormat)) + ": plug-in " + JpegPlugin() +
                           " recognised the file's head, then failed: the file has more than "
                           "100 scans, the most a JPEG picture is read with\n");
  }
  EXPECT_FALSE(fs::exists(dir.File("many.bmp")));
}

// Only the part of a frame on the screen is decoded, row by row, and the rows below the
// screen not at all: the frame's 900 megapixels cost one row.
TEST(NothingEndless, AGifFrameIsClippedToItsScreenBeforeItIsDecoded) {
  TempDir dir;
  // A 30000 x 1 GIF of the tool's own, whose screen becomes 1 x 1 and whose frame claims
  // 30000 rows; only its first row has data.
  ASSERT_EQ(RunTool({"resize", Sample("coffee.bmp"), dir.File("row.bmp"), "30000", "1"}).status, 0);
  ASSERT_EQ(RunTool({"gif", dir.File("row.bmp"), dir.File("row.gif")}).status, 0);
  std::vector<uint8_t> gif = ReadBytes(dir.File("row.gif"));
  const size_t image = ImageDescriptor(gif);
  ASSERT_LT(image + 9, gif.size());
  ASSERT_EQ(gif[image], 0x2C);
  gif[6] = 1, gif[7] = 0, gif[8] = 1, gif[9] = 0;                                    // the screen
  gif[image + 7] = static_cast<uint8_t>(30000 & 0xFF), gif[image + 8] = 30000 >> 8;  // rows
  WriteBytes(dir.File("frame.gif"), gif);

  const ToolRun run = RunWithin({"convert", dir.File("frame.gif"), dir.File("frame.bmp")});
  ASSERT_FALSE(run.killed);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak";
  TBitmap picture;
  picture.LoadFromFile(dir.File("frame.bmp"));
  EXPECT_EQ(picture.Width(), 1);
  EXPECT_EQ(picture.Height(), 1);
  // The first pixel of the frame's row, as the GIF made of it holds it.
  const ToolRun row = RunTool({"convert", dir.File("row.gif"), dir.File("row-back.bmp")});
  ASSERT_EQ(row.status, 0);
  TBitmap whole;
  whole.LoadFromFile(dir.File("row-back.bmp"));
  EXPECT_EQ(picture.Pixel(0, 0), whole.Pixel(0, 0));
}
