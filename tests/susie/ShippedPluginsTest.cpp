// The shipped PNG, JPEG and GIF plug-ins against an independent decoder (ImageMagick),
// through the host as the program uses it; damaged files; and the command-line tool's
// convert and info commands on the sample photos.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/LocalMemory.h"
#include "raster/Canvas.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"
#include "tests/ImageReference.h"
#include "tests/common/CraftedJpeg.h"
#include "tests/common/RunTool.h"
#include "tests/susie/SusieTestSupport.h"

namespace {

class ShippedPlugins : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { spis_.Search(Join(ShippedPluginDir(), "*.spi")); }
  TSPIs spis_;
};

std::string Data(const std::string& name) {
  return std::string(LUMIVEIL_TESTDATA) + "/" + name;
}
std::string Sample(const std::string& name) {
  return std::string(LUMIVEIL_SAMPLES) + "/" + name;
}

}  // namespace

TEST_P(ShippedPlugins, GiveTheIndependentDecodersPixels) {
  SKIP_WITHOUT_REFERENCE_DECODER();
  const std::string file = GetParam();
  const TRGBPixels reference = ReferencePixels(file);
  ASSERT_FALSE(reference.rgb.empty()) << "convert-im6.q16 could not decode " << file;
  TSPIBitmap bitmap;
  bitmap.LoadFromFile(file);
  EXPECT_NE(bitmap.LoadedBy(), "") << "read by a plug-in";
  EXPECT_EQ(FirstDifference(PixelsOf(bitmap), reference), "") << file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ShippedPlugins,
    ::testing::Values(Sample("astronaut.png"), Sample("rocket.jpg"), Data("sdl2-image/sample.png"),
                      Data("sdl2-image/sample.jpg"), Data("sdl2-image/palette.gif"),
                      Data("plugins/rgb16.png"), Data("plugins/rgba8.png"),
                      Data("plugins/rgba16.png"), Data("plugins/grey1.png"),
                      Data("plugins/grey8.png"), Data("plugins/grey16.png"),
                      Data("plugins/greyalpha8.png"), Data("plugins/palette.png"),
                      Data("plugins/palette-trns.png"), Data("plugins/interlaced.png"),
                      Data("plugins/grey.jpg"), Data("plugins/progressive.jpg"),
                      Data("plugins/transparent.gif"), Data("plugins/interlaced.gif"),
                      Data("plugins/multiframe.gif"), Data("plugins/offset.gif")),
    [](const ::testing::TestParamInfo<std::string>& info) {
      std::string name = fs::path(info.param).filename().string();
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(ShippedPluginsPixels, APictureKeptFromThePluginsBlockOutlivesTheLoadAndItsCopies) {
  // The rows stay in the block the plug-in handed over: they must outlive the load and
  // the bitmap that read them, and a change to one holder must not reach another.
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  for (const std::string name : {"rocket.jpg", "astronaut.png"}) {
    auto first = std::make_unique<TSPIBitmap>();
    first->LoadFromFile(Sample(name));
    ASSERT_NE(first->LoadedBy(), "") << name;
    const auto before = PixelsOf(*first);
    TBitmap copy;
    copy.Assign(first.get());
    first->Canvas().Brush.Color = RGBColor(1, 2, 3);
    first->Canvas().FillRect(Rect(0, 0, 5, 5));
    EXPECT_EQ(first->Pixel(4, 4), RGBColor(1, 2, 3)) << name;
    first.reset();
    EXPECT_EQ(FirstDifference(PixelsOf(copy), before), "") << name;
    TSPIBitmap again;
    again.LoadFromFile(Sample(name));
    EXPECT_EQ(FirstDifference(PixelsOf(again), before), "") << name;
  }
}

TEST(ShippedPluginsInfo, AnswerTheirInfoAndPictureInformation) {
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  ASSERT_EQ(spis.Count(), 3);
  for (int i = 0; i < spis.Count(); ++i) {
    const TSPI& spi = spis.GetPlugins(i);
    EXPECT_EQ(spi.ApiVersion(), "00IN");
    EXPECT_FALSE(spi.Description().empty());
    EXPECT_FALSE(spi.GetExtNames().empty());
    EXPECT_EQ(spi.GetExtNames().size(), spi.GetFileTypes().size());
  }
  const TInSPI& png = static_cast<const TInSPI&>(spis.GetPlugins(2));
  ASSERT_EQ(png.GetExtNames()[0], "*.png");
  const std::vector<uint8_t> data = ReadFile(Data("sdl2-image/sample.png"));
  TPictureInfo info;
  ASSERT_EQ(png.GetPictureInfo(data.data(), static_cast<intptr_t>(data.size()), 1, &info), 0);
  EXPECT_EQ(info.width, 23);
  EXPECT_EQ(info.height, 42);
  const SPI_HLOCAL text = info.info_text;  // a copy: the packed member is not aligned
  EXPECT_EQ(text, nullptr);
  EXPECT_NE(png.GetPictureInfo(data.data(), static_cast<intptr_t>(data.size()), 0, &info), 0)
      << "input from a file is not offered";
}

namespace {

// The text of a picture information's text handle, freed.
std::string TakeInfoText(SPI_HLOCAL handle) {
  if (handle == nullptr) return "";
  std::string text(static_cast<const char*>(LocalLock(handle)));
  LocalUnlock(handle);
  LocalFree(handle);
  return text;
}

}  // namespace

// The JPEG plug-in reads at most 100 scans. Its picture information refuses a file of more
// (so that the host never asks for it), and GetPicture, asked anyway, stops the decoder at
// the 101st scan instead of passing over every block once a scan.
TEST(ShippedPluginsInfo, TheJpegPluginStopsAtItsBoundOnScans) {
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  ASSERT_EQ(spis.Count(), 3);
  const TInSPI& jpeg = static_cast<const TInSPI&>(spis.GetPlugins(1));
  ASSERT_EQ(jpeg.GetExtNames()[0], "*.jpg;*.jpeg;*.jpe");
  for (const int scans : {100, 101}) {
    const std::vector<uint8_t> data = ProgressiveGreyJpeg(1024, 1024, scans);
    const auto len = static_cast<intptr_t>(data.size());
    TPictureInfo info;
    ASSERT_EQ(jpeg.GetPictureInfo(data.data(), len, 1, &info), 0);
    EXPECT_EQ(info.width, 1024);
    EXPECT_EQ(TakeInfoText(info.info_text),
              scans > 100 ? "refused: the file has more than 100 scans, the most a JPEG picture "
                            "is read with"
                          : "");
    THLocal header = nullptr;
    THLocal bits = nullptr;
    const int result = jpeg.GetPicture(data.data(), len, 1, &header, &bits, nullptr, 0);
    EXPECT_EQ(result, scans > 100 ? 1 : 0) << scans << " scans";
    if (result == 0) {
      LocalFree(header);
      LocalFree(bits);
    }
  }
  // A file that ends inside its scan is described with a note, and read.
  std::vector<uint8_t> cut = ReadFile(Sample("rocket.jpg"));
  cut.resize(cut.size() / 2);
  TPictureInfo info;
  ASSERT_EQ(jpeg.GetPictureInfo(cut.data(), static_cast<intptr_t>(cut.size()), 1, &info), 0);
  EXPECT_EQ(TakeInfoText(info.info_text), "note: cut short: the missing rows are grey");
}

// `info` tells a picture from its headers; what they say must be what a whole read gives:
// the size, the pixel format and the reader, for every plug-in's forms (a GIF frame that
// fills the screen is 8 bits, any other 24) and every BMP form (run-length data is read
// into a device-dependent store), and the note of a BMP file cut short.
TEST(ShippedPluginsInfo, HeadersDescribeWhatAWholeReadGives) {
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  ASSERT_EQ(spis.Count(), 3);
  std::vector<std::string> files = {Sample("astronaut.png"), Sample("rocket.jpg"),
                                    Sample("coffee.bmp"), Data("sdl2-image/palette.gif")};
  for (const char* dir : {"plugins", "bmpsuite/g"})
    for (const auto& entry : fs::directory_iterator(Data(dir)))
      if (entry.path().extension() != ".md") files.push_back(entry.path().string());
  TempDir dir;
  const std::vector<uint8_t> bmp = ReadFile(Sample("coffee.bmp"));
  WriteFile(dir / "cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + bmp.size() / 3));
  files.push_back(dir / "cut.bmp");
  ASSERT_GT(files.size(), 40u);
  for (const std::string& file : files) {
    TSPIBitmap header;
    const TPictureDescription told = header.Describe(file);
    TSPIBitmap whole;
    whole.LoadFromFile(file);
    EXPECT_EQ(told.Width, whole.Width()) << file;
    EXPECT_EQ(told.Height, whole.Height()) << file;
    EXPECT_EQ(told.Format, whole.PixelFormat()) << file;
    EXPECT_EQ(told.ReadBy, whole.LoadedBy()) << file;
    EXPECT_EQ(header.LoadNotes(), whole.LoadNotes()) << file;
  }
}

TEST(ShippedPluginsInfo, DamagedFilesFailCleanly) {
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  TempDir dir;
  for (const std::string& name :
       {Data("sdl2-image/sample.png"), Sample("rocket.jpg"), Data("plugins/interlaced.gif")}) {
    const std::vector<uint8_t> whole = ReadFile(name);
    const std::string ext = fs::path(name).extension().string();
    // Cut short at several places, and with its body overwritten.
    for (size_t keep : {size_t{10}, size_t{40}, whole.size() / 2, whole.size() - 1}) {
      std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(keep));
      WriteFile(dir / ("cut" + ext), cut);
      TSPIBitmap bitmap;
      try {
        bitmap.LoadFromFile(dir / ("cut" + ext));
        // A decoder may show what it has of a cut picture; it must have the right size.
        EXPECT_GT(bitmap.Width(), 0) << name << " cut at " << keep;
      } catch (const EInvalidGraphic&) {
      }
    }
    std::vector<uint8_t> garbled = whole;
    for (size_t i = 20; i < garbled.size(); i += 7) garbled[i] = static_cast<uint8_t>(i * 31);
    WriteFile(dir / ("garbled" + ext), garbled);
    TSPIBitmap bitmap;
    try {
      bitmap.LoadFromFile(dir / ("garbled" + ext));
    } catch (const EInvalidGraphic&) {
    }
  }
}

TEST(CommandLine, ConvertGivesTheIndependentDecodersPixels) {
  SKIP_WITHOUT_REFERENCE_DECODER();
  TempDir dir;
  const std::string tool = ToolPath();
  for (const std::string& file :
       {Sample("astronaut.png"), Sample("rocket.jpg"), Data("plugins/transparent.gif")}) {
    const std::string out = dir / (fs::path(file).filename().string() + ".bmp");
    const std::string command = "\"" + tool + "\" convert \"" + file + "\" \"" + out + "\"";
    ASSERT_EQ(RunCommand(command), 0) << command;
    TBitmap result;
    result.LoadFromFile(out);
    EXPECT_EQ(result.PixelFormat(), TPixelFormat::Bits24);
    EXPECT_EQ(FirstDifference(PixelsOf(result), ReferencePixels(file)), "") << file;
  }
#ifndef _WIN32
  const std::string info = "'" + tool + "' info '" + Sample("rocket.jpg") + "'";
  FILE* pipe = popen(info.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_NE(text.find("width: 640\nheight: 427\n"), std::string::npos) << text;
  EXPECT_NE(text.find("read by: plug-in " + ShippedPluginDir() + "/jpeg.spi"), std::string::npos)
      << text;
#endif
}

#ifndef _WIN32
namespace {

// The peak of the process's virtual size, in KiB (VmPeak).
long PeakVirtualKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmPeak:", 0) == 0) return std::strtol(line.c_str() + 7, nullptr, 10);
  return -1;
}

// How far the peak virtual size grows, in MiB, while a child process runs fn (a fork
// starts its peak afresh at its current size). A claimed size that the decoder allocates
// shows here even when its pages are never touched.
long PeakGrowthMiB(const std::function<void()>& fn) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    const long before = PeakVirtualKiB();
    fn();
    const long growth = (PeakVirtualKiB() - before) / 1024;
    (void)!write(pipe_ends[1], &growth, sizeof growth);
    _exit(0);
  }
  close(pipe_ends[1]);
  long growth = -1;
  if (read(pipe_ends[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return growth;
}

}  // namespace

// Found by fuzzing: libpng allocates a chunk's claimed length before reading it, so a
// small file claiming a text chunk of 560 MiB cost 560 MiB. Such a file is refused before
// the decoder sees it, whether the chunk stands before or after the image data.
TEST(ShippedPluginsInfo, ChunksLongerThanTheFileAllocateNothing) {
  TSPIs spis;
  spis.Search(Join(ShippedPluginDir(), "*.spi"));
  ASSERT_EQ(spis.Count(), 3);
  const TInSPI& png = static_cast<const TInSPI&>(spis.GetPlugins(2));
  ASSERT_EQ(png.GetExtNames()[0], "*.png");

  std::vector<std::vector<uint8_t>> files;
  files.push_back(ReadFile(std::string(LUMIVEIL_TESTDATA) +
                           "/../../fuzz/regressions/fuzz_plugin_png/"
                           "text-chunk-longer-than-the-file.png"));
  // A whole picture followed by a text chunk that claims 500 MB, in place of the end chunk.
  std::vector<uint8_t> trailing = ReadFile(Data("sdl2-image/sample.png"));
  ASSERT_GT(trailing.size(), 12u);
  trailing.resize(trailing.size() - 12);           // the end chunk
  const char claim[] = "\x1D\xCD\x65\x00tEXtabc";  // 500 000 000 bytes of text
  trailing.insert(trailing.end(), claim, claim + sizeof claim - 1);
  trailing.resize(trailing.size() + 64, 0);
  files.push_back(trailing);

  for (size_t i = 0; i < files.size(); ++i) {
    const std::vector<uint8_t>& data = files[i];
    const long growth = PeakGrowthMiB([&] {
      TPictureInfo info;
      png.GetPictureInfo(data.data(), static_cast<intptr_t>(data.size()), 1, &info);
      THLocal header = nullptr;
      THLocal bits = nullptr;
      if (png.GetPicture(data.data(), static_cast<intptr_t>(data.size()), 1, &header, &bits,
                         nullptr, 0) == 0) {
        LocalFree(header);
        LocalFree(bits);
      }
    });
    ASSERT_GE(growth, 0) << "file " << i;
    EXPECT_LT(growth, 64) << "file " << i << ": MiB of address space taken";
  }
}
#endif
