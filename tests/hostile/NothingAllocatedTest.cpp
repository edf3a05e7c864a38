// Nothing allocated: a file larger than any picture needs is refused by its size before it
// is read, and a header that claims a picture over the limit is refused, by the BMP reader
// and by every shipped plug-in, with a message that names the size, without the memory.
// Within the limit, memory follows the pixels that matter: `info` reads headers, a run's
// pictures are held to a bound before they are allocated, and a configuration file is
// read only when it is a small regular file.
#include <gtest/gtest.h>
#include <ostream>

#include <filesystem>

#include "raster/BmpFormat.h"
#include "tests/common/CraftedJpeg.h"
#include "tests/hostile/HostileSupport.h"

namespace fs = std::filesystem;

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
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const OverLimitCase& c, std::ostream* os) { *os << c.name; }
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
    testing::Values(
        OverLimitCase{"huge.png", [] { return PngClaiming(100000, 100000); }, "png.spi", 100000,
                      100000},
        OverLimitCase{"big.png", [] { return PngClaiming(60000, 60000); }, "png.spi", 60000, 60000},
        OverLimitCase{"big.bmp", [] { return BmpClaiming(60000, 60000); }, "the BMP reader", 60000,
                      60000},
        OverLimitCase{"big.pic", [] { return BmpClaiming(60000, 60000); }, "the BMP reader", 60000,
                      60000},
        OverLimitCase{"big.jpg", [] { return JpegClaiming(60000, 60000); }, "jpeg.spi", 60000,
                      60000},
        OverLimitCase{"big.gif", [] { return GifClaiming(40000, 30000); }, "gif.spi", 40000, 30000},
        // A screen of 0 x 0 takes the frame's extent: the frame over the limit
        // is told as a picture too large, not as memory that ran out.
        OverLimitCase{"frame.gif",
                      [] {
                        std::vector<uint8_t> gif = GifClaiming(40000, 30000);
                        gif[6] = gif[7] = gif[8] = gif[9] = 0;
                        return gif;
                      },
                      "gif.spi", 40000, 30000}),
    [](const testing::TestParamInfo<OverLimitCase>& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (c == '.') c = '_';
      return name;
    });

// A valid picture of 16000 x 16000 in 31 KB: `info` tells its size from its header, where
// decoding it took 768 MB for the picture and as much again for the plug-in's copy.
TEST(NothingAllocated, InfoReadsOnlyTheHeaderOfAHugeValidPicture) {
  TempDir dir;
  const std::string file = dir.File("huge.png");
  WriteBytes(file, BlackPng(16000, 16000));
  ASSERT_LT(fs::file_size(file), 100u << 10);
  const ToolRun run = RunTool({"info", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.find("width")),
            "width: 16000\nheight: 16000\npixel format: Bits24\nread by: plug-in " +
                std::string(LUMIVEIL_BIN_DIR) +
                "/SusiePlugin/png.spi (PNG import plug-in (libpng) for Lumiveil Maker)\n");
  EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak";
}

// Two files of a couple of hundred bytes that claim pictures of 16000 x 16000 (each within
// the limit of one picture): the run's bound refuses the first before the plug-in makes
// it, where the two once took 3 GB.
TEST(NothingAllocated, ARunOfTinyFilesClaimingHugePicturesIsRefusedBeforeAllocating) {
  TempDir dir;
  WriteBytes(dir.File("a.jpg"), JpegWithoutData(16000, 16000));
  WriteBytes(dir.File("b.jpg"), JpegWithoutData(16000, 16000));
  ASSERT_LT(fs::file_size(dir.File("a.jpg")), 300u);
  const ToolRun run =
      RunTool({"synth", dir.File("a.jpg"), dir.File("b.jpg"), "-o", dir.File("s.bmp")});
  EXPECT_EQ(run.status, 2);
  const std::string told = "lumiveil synth: " + dir.File("a.jpg") + ": " +
                           Shown(Format(SUnknownPictureFormat)) + ": plug-in " +
                           std::string(LUMIVEIL_BIN_DIR) +
                           "/SusiePlugin/jpeg.spi recognised the file's head, then failed: the "
                           "pictures of this run would hold ";
  EXPECT_EQ(run.err.substr(0, told.size()), told);
  EXPECT_NE(run.err.find(" MiB at once; a run may hold at most 2 GiB of pictures\n"),
            std::string::npos)
      << run.err;
  EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak";
  EXPECT_FALSE(fs::exists(dir.File("s.bmp")));
  // Within the bound the same files are read (grey, their scans hold nothing).
  WriteBytes(dir.File("small.jpg"), JpegWithoutData(64, 48));
  const ToolRun small = RunTool({"convert", dir.File("small.jpg"), dir.File("small.bmp")});
  EXPECT_EQ(small.status, 0) << small.err;
}

struct ConfigCase {
  const char* name;
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const ConfigCase& c, std::ostream* os) { *os << c.name; }
  void (*make)(const std::string& path);
  const char* why;  // after "not read: "
};

class ConfigFile : public testing::TestWithParam<ConfigCase> {};

// A configuration file that is no small regular file is skipped with a note, unread: a link
// to /dev/zero once cost 2 GB, a sparse file of 3 GiB as much and seconds.
TEST_P(ConfigFile, ThatIsNoSmallRegularFileIsSkippedWithANote) {
  TempDir dir;
  fs::create_directories(dir.File("config/Quenbrook"));
  const std::string conf = dir.File("config/Quenbrook/Susie.conf");
  GetParam().make(conf);
  ToolOptions options;
  options.env = {{"XDG_CONFIG_HOME", dir.File("config")}};
  options.seconds = 60;
  const ToolRun run = RunTool({"info", Sample("coffee.bmp")}, options);
  ASSERT_FALSE(run.killed);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "lumiveil info: note: " + conf + ": not read: " + GetParam().why + "\n");
  EXPECT_LT(MeasuredPeakKiB(run), 20 * 1024) << "KiB at the peak";
}

INSTANTIATE_TEST_SUITE_P(
    NothingAllocated, ConfigFile,
    testing::Values(
        ConfigCase{"link_to_dev_zero",
                   [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
                   "it is a character device; only a regular file is read"},
        ConfigCase{"sparse_3_gib",
                   [](const std::string& path) {
                     WriteText(path, "[Plug-in]\nPath=/nowhere\n");
                     ASSERT_EQ(truncate(path.c_str(), int64_t{3} << 30), 0);
                   },
                   "it holds 3 GiB; a configuration file is read up to 64 KiB"},
        ConfigCase{"directory", [](const std::string& path) { fs::create_directory(path); },
                   "it is a directory; only a regular file is read"}),
    [](const testing::TestParamInfo<ConfigCase>& info) { return std::string(info.param.name); });
