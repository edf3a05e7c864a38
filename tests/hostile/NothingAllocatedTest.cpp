// Nothing allocated: a file larger than any picture needs is refused by its size before it
// is read, and a header that claims a picture over the limit is refused, by the BMP reader
// and by every shipped plug-in, with a message that names the size, without the memory.
#include <gtest/gtest.h>

#include "raster/BmpFormat.h"
#include "tests/hostile/HostileSupport.h"

namespace {

// The tool's peak memory when it reads a small picture: what a run costs anyway (the
// program, its libraries, the plug-ins; under a sanitizer its shadow memory too).
long BaselinePeakKiB() {
  static const long peak = RunTool({"info", Sample("coffee.bmp")}).peak_kib;
  return peak;
}

// A run's peak, in KiB, that the test compares with a limit: the whole peak in an ordinary
// build, what it takes beyond a small picture's run under a sanitizer.
long MeasuredPeakKiB(const ToolRun& run) {
  return kSanitized ? run.peak_kib - BaselinePeakKiB() : run.peak_kib;
}

}  // namespace

TEST(NothingAllocated, AThreeGiBFileIsRefusedByItsSizeBeforeItIsRead) {
  TempDir dir;
  const std::string sparse = dir.File("z.png");
  WriteText(sparse, "");
  ASSERT_EQ(truncate(sparse.c_str(), int64_t{3} << 30), 0);  // a sparse file: no disk used
  for (const char* command : {"info", "convert"}) {
    std::vector<std::string> args = {command, sparse};
    if (std::string(command) == "convert") args.push_back(dir.File("out.bmp"));
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("lumiveil ") + command + ": " + sparse +
                           ": the file is 3 GiB (3221225472 bytes); a picture file may have at "
                           "most 2049 MiB\n");
    ASSERT_GT(run.peak_kib, 0);
    EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak of " << command;
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"z.png"});
  // The limit itself: twice the pixel store and 1 MiB for headers.
  EXPECT_EQ(MaxPictureFileBytes(), 2 * kMaxPixelStoreBytes + (1u << 20));
}

struct OverLimitCase {
  const char* name;  // the file's name, whose extension picks the reader first
  std::vector<uint8_t> (*make)();
  const char* reader;  // who recognised the head: "the BMP reader" or a plug-in's file name
  int width;           // the claimed size
  int height;
};

class OverLimit : public testing::TestWithParam<OverLimitCase> {};

// A well-formed picture over the limit is not "unrecognised" only: the message goes on with
// who recognised it and the picture's size with the limit.
TEST_P(OverLimit, IsToldWithItsSizeAndTheLimitWithoutTheMemory) {
  TempDir dir;
  const std::string file = dir.File(GetParam().name);
  WriteBytes(file, GetParam().make());
  const ToolRun run = RunTool({"info", file});
  EXPECT_EQ(run.status, 2);
  const std::string reader =
      std::string(GetParam().reader).rfind(".spi") != std::string::npos
          ? "plug-in " + std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin/" + GetParam().reader
          : GetParam().reader;
  EXPECT_EQ(run.err,
            "lumiveil info: " + file + ": " + Shown(Format(SUnknownPictureFormat)) + ": " + reader +
                " recognised the file's head, then failed: " +
                EPictureTooLarge(GetParam().width, GetParam().height, 24, kMaxPixelStoreBytes)
                    .MessageWithSense() +
                "\n");
  EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak";
}

INSTANTIATE_TEST_SUITE_P(
    NothingAllocated, OverLimit,
    testing::Values(OverLimitCase{"huge.png", [] { return PngClaiming(100000, 100000); }, "png.spi",
                                  100000, 100000},
                    OverLimitCase{"big.png", [] { return PngClaiming(60000, 60000); }, "png.spi",
                                  60000, 60000},
                    OverLimitCase{"big.bmp", [] { return BmpClaiming(60000, 60000); },
                                  "the BMP reader", 60000, 60000},
                    OverLimitCase{"big.pic", [] { return BmpClaiming(60000, 60000); },
                                  "the BMP reader", 60000, 60000},
                    OverLimitCase{"big.jpg", [] { return JpegClaiming(60000, 60000); }, "jpeg.spi",
                                  60000, 60000},
                    OverLimitCase{"big.gif", [] { return GifClaiming(40000, 30000); }, "gif.spi",
                                  40000, 30000}),
    [](const testing::TestParamInfo<OverLimitCase>& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (c == '.') c = '_';
      return name;
    });
