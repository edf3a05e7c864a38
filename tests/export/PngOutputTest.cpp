// The command-line tool's PNG outputs, decoded by an independent decoder (python3-pil):
// synth, convert and resize write PNG files with exactly the pixels of the BMP the same
// command writes, which read back through our own PNG plug-in to the same pixels (synth's
// in the interlaced form); synth records its band; synth --indexed writes the GIF save's
// halftone copy as a palette PNG, and with --palette adaptive keeps the hidden picture at
// least as well as an independent palette tool (pngquant) in no more bytes; a failed save
// keeps the existing file. Linux only: the Windows build's files are compared with these
// by scripts/compare-win32.sh.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "export/SaveAsGif.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "tests/common/PngFacts.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"

namespace {

const char kPython[] = "/usr/bin/python3";

// What the independent decoder says of a file (see decode_picture.py).
struct TDecoded {
  std::map<std::string, std::string> facts;  // format, mode, size, palette, colours
  std::map<std::string, std::string> texts;  // text chunks
  std::vector<uint8_t> rgb;
};

class PngOutput : public testing::Test {
 protected:
  void SetUp() override {
    if (RunCommand(std::string(kPython) + " -c 'import PIL' 2>/dev/null") != 0)
      GTEST_SKIP() << "python3-pil is not installed (apt-get install python3-pil)";
  }

  // Runs lumiveil with the arguments in the test's folder; the exit status.
  int Tool(const std::string& arguments) {
    const int status = RunCommand("cd " + dir_.File("") + " && " + ToolPath() + " " + arguments +
                                  " >/dev/null 2>" + dir_.File("stderr"));
    err_ = ReadText(dir_.File("stderr"));
    return status;
  }

  TDecoded Decode(const std::string& name) {
    TDecoded d;
    const std::string out = dir_.File(name + ".rgb");
    const std::string facts = dir_.File(name + ".facts");
    EXPECT_EQ(RunCommand(std::string(kPython) + " " + LUMIVEIL_TEST_SOURCE + "/decode_picture.py " +
                         dir_.File(name) + " " + out + " >" + facts),
              0)
        << name;
    std::istringstream lines(ReadText(facts));
    std::string line;
    while (std::getline(lines, line)) {
      const size_t space = line.find(' ');
      const std::string key = line.substr(0, space), value = line.substr(space + 1);
      if (key == "text") {
        const size_t eq = value.find('=');
        d.texts[value.substr(0, eq)] = value.substr(eq + 1);
      } else {
        d.facts[key] = value;
      }
    }
    d.rgb = ReadBytes(out);
    return d;
  }

  // The pixels our own loader reads from a file (the PNG plug-in for a PNG), written by
  // `convert` as a BMP and read by the BMP reader.
  std::vector<uint8_t> OursRead(const std::string& name) {
    EXPECT_EQ(Tool("convert " + name + " " + name + ".back.bmp"), 0) << err_;
    TBitmap back;
    back.LoadFromFile(dir_.File(name + ".back.bmp"));
    return RGBPixels(back);
  }

  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  TempDir dir_;
  std::string err_;
};

struct TOutputCase {
  const char* name;
  std::string arguments;  // OUT stands for the output file's name
  std::string band;       // the text chunk synth writes, empty for none
};

std::string Replace(std::string s, const std::string& out) {
  const size_t at = s.find("OUT");
  return s.replace(at, 3, out);
}

const std::string kCoffee = Sample("coffee.bmp"), kChelsea = Sample("chelsea.bmp");
const std::string kVersion = LUMIVEIL_VERSION;

const TOutputCase kCases[] = {
    {"SynthDefaults", "synth " + kCoffee + " " + kChelsea + " -o OUT",
     "average=128 contrast=127 version=" + kVersion + " width=600 height=400"},
    {"SynthContrastLowered",
     "synth " + kCoffee + " " + kChelsea + " -o OUT --average 200 --contrast 100",
     "average=200 contrast=55 version=" + kVersion + " width=600 height=400"},
    {"SynthNarrowBandNewWidth",
     "synth " + kCoffee + " " + kChelsea + " -o OUT --average 230 --contrast 25 --width 333",
     "average=230 contrast=25 version=" + kVersion + " width=333 height=222"},
    {"SynthPreviewHasNoBand", "synth " + kCoffee + " " + kChelsea + " -o OUT --preview", ""},
    {"SynthThroughPlugins",
     "synth " + Sample("astronaut.png") + " " + Sample("rocket.jpg") + " -o OUT --average 30",
     "average=30 contrast=30 version=" + kVersion + " width=512 height=512"},
    {"ConvertBmp", "convert " + kChelsea + " OUT", ""},
    {"ConvertPng", "convert " + Sample("astronaut.png") + " OUT", ""},
    {"ConvertJpeg", "convert " + Sample("rocket.jpg") + " OUT", ""},
    {"ConvertPalettePng", "convert " + TestData("plugins/palette.png") + " OUT", ""},
    {"ConvertGif", "convert " + TestData("plugins/transparent.gif") + " OUT", ""},
    {"ResizeEnlarge", "resize " + kCoffee + " OUT 1001 77", ""},
    {"ResizeShrinkThroughAPlugin", "resize " + Sample("rocket.jpg") + " OUT 64 480", ""},
};

class PngOutputCommands : public PngOutput, public testing::WithParamInterface<TOutputCase> {};

TEST_P(PngOutputCommands, DecodeToTheBmpsPixelsAndReadBackThroughOurPlugin) {
  const TOutputCase& c = GetParam();
  ASSERT_EQ(Tool(Replace(c.arguments, "out.bmp")), 0) << err_;
  // .png in any case.
  ASSERT_EQ(Tool(Replace(c.arguments, "out.PNG")), 0) << err_;
  const TDecoded bmp = Decode("out.bmp");
  const TDecoded png = Decode("out.PNG");
  EXPECT_EQ(bmp.facts.at("format"), "BMP");
  EXPECT_EQ(png.facts.at("format"), "PNG");
  EXPECT_EQ(png.facts.at("mode"), "RGB");
  EXPECT_EQ(png.facts.at("size"), bmp.facts.at("size"));
  ASSERT_FALSE(png.rgb.empty());
  EXPECT_TRUE(png.rgb == bmp.rgb);
  // synth's combined pictures are written in the interlaced form, the photos without it:
  // our plug-in reads both.
  const TPngFacts facts = ReadPngFacts(ReadBytes(dir_.File("out.PNG")), false);
  EXPECT_EQ(facts.interlace, std::string(c.name).rfind("Synth", 0) == 0 ? 1 : 0);
  EXPECT_TRUE(OursRead("out.PNG") == png.rgb);
  if (c.band.empty()) {
    EXPECT_TRUE(png.texts.empty());
  } else {
    EXPECT_EQ(png.texts, (std::map<std::string, std::string>{{"Lumiveil", c.band}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PngOutputCommands, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<TOutputCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(PngOutput, IndexedIsTheHalftoneResultTheGifHoldsInsideItsBevel) {
  for (const char* options : {" --average 230 --contrast 25", " --height 201"}) {
    const std::string synth = "synth " + kCoffee + " " + kChelsea + std::string(options);
    ASSERT_EQ(Tool(synth + " -o result.bmp"), 0) << err_;
    ASSERT_EQ(Tool(synth + " -o panel.gif"), 0) << err_;
    ASSERT_EQ(Tool(synth + " -o indexed.png --indexed"), 0) << err_;
    const TDecoded png = Decode("indexed.png");
    const TDecoded gif = Decode("panel.gif");
    EXPECT_EQ(png.facts.at("mode"), "P");
    EXPECT_LE(std::stoi(png.facts.at("colours")), 256);
    // The palette holds exactly the colours used.
    EXPECT_EQ(png.facts.at("palette"), png.facts.at("colours"));
    EXPECT_EQ(png.texts.count("Lumiveil"), 1u);
    // The result reduced as the GIF save reduces its copy, every pixel.
    TBitmap halftone;
    halftone.LoadFromFile(dir_.File("result.bmp"));
    ReduceToHalftone(halftone);
    EXPECT_TRUE(png.rgb == RGBPixels(halftone));
    // The GIF file's pixels, less its one-pixel bevel ring.
    ASSERT_EQ(png.facts.at("size"), gif.facts.at("size"));
    const int w = halftone.Width(), h = halftone.Height();
    size_t differing = 0;
    for (int y = 1; y < h - 1; ++y)
      for (int x = 1; x < w - 1; ++x)
        for (int k = 0; k < 3; ++k) {
          const size_t i = 3 * (static_cast<size_t>(y) * w + x) + k;
          differing += png.rgb[i] != gif.rgb[i];
        }
    EXPECT_EQ(differing, 0u) << options;
    EXPECT_TRUE(OursRead("indexed.png") == png.rgb);
  }
}

// The adaptive palette against an independent palette tool (pngquant, with its defaults:
// 256 colours, dithered) given the full-colour result: the hidden picture comes back at
// least as well from ours, in a file no larger. A reduced copy of the demo's pair.
TEST_F(PngOutput, TheAdaptivePaletteKeepsTheHiddenPictureAsWellAsAPaletteToolInFewerBytes) {
  if (RunCommand("pngquant --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "pngquant is not installed (apt-get install pngquant)";
  const TToneBand band{200, 40};
  const std::string synth =
      "synth " + kCoffee + " " + kChelsea + " --width 300 --average 200 --contrast 40";
  ASSERT_EQ(Tool(synth + " -o full.png"), 0) << err_;
  ASSERT_EQ(Tool(synth + " -o ours.png --indexed --palette adaptive"), 0) << err_;
  ASSERT_EQ(RunCommand("cd " + dir_.File("") + " && pngquant --output peer.png -- full.png"), 0);
  const TDecoded ours = Decode("ours.png");
  EXPECT_EQ(ours.facts.at("mode"), "P");
  EXPECT_LE(std::stoi(ours.facts.at("colours")), 256);
  EXPECT_EQ(ours.texts.count("Lumiveil"), 1u);
  // Each file's hidden picture, recovered through the band, against the hidden picture
  // fitted to the result's size as synth fits it.
  TBitmap hidden, fitted;
  hidden.LoadFromFile(kChelsea);
  const auto score = [&](const std::string& name) {
    EXPECT_EQ(Tool("convert " + name + " " + name + ".bmp"), 0) << err_;
    TBitmap back;
    back.LoadFromFile(dir_.File(name + ".bmp"));
    FitToResult(back, hidden, fitted);
    return HiddenPsnr(back, fitted, band).value_or(0);
  };
  const double ours_psnr = score("ours.png"), peer_psnr = score("peer.png");
  EXPECT_GE(ours_psnr, peer_psnr);
  const auto ours_bytes = ReadBytes(dir_.File("ours.png")).size();
  const auto peer_bytes = ReadBytes(dir_.File("peer.png")).size();
  EXPECT_LE(ours_bytes, peer_bytes);
  std::printf("hidden-psnr %.2f dB in %zu bytes; the palette tool's %.2f dB in %zu bytes\n",
              ours_psnr, ours_bytes, peer_psnr, peer_bytes);
}

TEST_F(PngOutput, UsageErrorsWriteNothing) {
  const std::string synth = "synth " + kCoffee + " " + kChelsea;
  // --indexed writes a palette PNG only.
  EXPECT_EQ(Tool(synth + " -o a.bmp --indexed"), 1);
  EXPECT_NE(err_.find("--indexed"), std::string::npos) << err_;
  EXPECT_EQ(Tool(synth + " -o a.png --indexed --gif"), 1);
  EXPECT_EQ(Tool(synth + " -o a.gif --indexed"), 1);
  // --palette chooses the palette of --indexed, by name.
  EXPECT_EQ(Tool(synth + " -o a.png --palette adaptive"), 1);
  EXPECT_NE(err_.find("--palette"), std::string::npos) << err_;
  EXPECT_EQ(Tool(synth + " -o a.png --indexed --palette optimal"), 1);
  EXPECT_NE(err_.find("halftone, adaptive"), std::string::npos) << err_;
  EXPECT_EQ(dir_.Entries().size(), 1u);  // only the captured standard error
  // --gif still writes GIF whatever the name.
  ASSERT_EQ(Tool(synth + " -o g.png --gif"), 0) << err_;
  EXPECT_EQ(Decode("g.png").facts.at("format"), "GIF");
}

TEST_F(PngOutput, AFailedSaveKeepsTheExistingFileAndLeavesNoStrayFile) {
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  WriteBytes(dir_.File("keep.png"), old);
  const auto entries = [&] {
    auto names = dir_.Entries();
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::string synth = "synth " + kCoffee + " " + kChelsea + " -o keep.png";
  // A disk that is full after 16 KiB: the file size limit of the process makes every
  // write beyond it fail as a full disk does (the signal it would raise is ignored).
  for (const char* extra : {"", " --indexed"}) {
    const int status =
        RunCommand("cd " + dir_.File("") + " && (trap '' XFSZ; ulimit -f 16; exec " + ToolPath() +
                   " " + synth + std::string(extra) + ") 2>" + dir_.File("err"));
    EXPECT_EQ(status, 3) << extra << ReadText(dir_.File("err"));
    EXPECT_TRUE(ReadBytes(dir_.File("keep.png")) == old);
    EXPECT_EQ(entries(), (std::vector<std::string>{"err", "keep.png"}));
  }
  // A folder where no file can be made: a name under a regular file, and (for a user
  // other than root, whom permissions do not stop) a folder without write permission.
  EXPECT_EQ(Tool("convert " + kCoffee + " keep.png/out.png"), 3) << err_;
  if (geteuid() != 0) {
    ASSERT_EQ(::mkdir(dir_.File("locked").c_str(), 0755), 0);
    WriteBytes(dir_.File("locked/keep.png"), old);
    ASSERT_EQ(::chmod(dir_.File("locked").c_str(), 0555), 0);
    EXPECT_EQ(Tool("convert " + kCoffee + " locked/keep.png"), 3) << err_;
    EXPECT_TRUE(ReadBytes(dir_.File("locked/keep.png")) == old);
    ::chmod(dir_.File("locked").c_str(), 0755);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.File("locked"))) {
      EXPECT_EQ(e.path().filename(), "keep.png");
      ++files;
    }
    EXPECT_EQ(files, 1u);
  }
  EXPECT_TRUE(ReadBytes(dir_.File("keep.png")) == old);
}

}  // namespace
