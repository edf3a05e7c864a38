// The BMP reader against a published suite of good and bad files: every good file loads
// and converts to 24 bits with the reference pixels its manifest records; every bad file
// either loads as the reading rules say or fails with its kind of error (malformed,
// unsupported, over the limit), and nothing crashes, hangs or allocates without bound.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "raster/Bitmap.h"
#include "tests/common/Sha256.h"
#include "tests/common/TestFiles.h"

namespace {

struct ManifestRow {
  std::string sha;        // independent decoder's RGB checksum
  std::string reference;  // the suite's own reference rendering, when it differs
};

// Reads the g/ and b/ rows of the suite's manifest: file, checksum, reference note.
std::map<std::string, ManifestRow> ReadManifest() {
  std::map<std::string, ManifestRow> rows;
  std::ifstream in(TestData("bmpsuite/MANIFEST.md"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 8 || line.compare(0, 2, "| ") != 0 ||
        line.find(".bmp |") == std::string::npos)
      continue;
    const char kind = line[2];
    if ((kind != 'g' && kind != 'b' && kind != 'x') || line[3] != '/') continue;
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    ManifestRow r;
    // The first checksum in backquotes is the decoder's RGB checksum.
    const size_t tick = line.find('`');
    if (tick != std::string::npos && line.size() > tick + 65 && line[tick + 65] == '`')
      r.sha = line.substr(tick + 1, 64);
    const size_t png = line.find(".png: `");
    if (png != std::string::npos) r.reference = line.substr(png + 7, 64);
    rows[name] = r;
  }
  return rows;
}

// A parameter as a test name: letters and digits only.
std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

const std::map<std::string, ManifestRow>& Manifest() {
  static const auto rows = ReadManifest();
  return rows;
}

std::string LoadAndHash(const std::string& relative, TBitmap& bitmap) {
  bitmap.LoadFromFile(TestData("bmpsuite/" + relative));
  return Sha256Hex(RGBPixels(bitmap));
}

}  // namespace

class GoodFile : public testing::TestWithParam<std::string> {};

TEST_P(GoodFile, ConvertsToTheReferencePixels) {
  const std::string name = "g/" + GetParam() + ".bmp";
  const auto it = Manifest().find(name);
  ASSERT_NE(it, Manifest().end()) << name << " is not in the manifest";
  // Where the suite's reference differs from the other decoder (the 16-bit files, which
  // widen 5- and 6-bit channels differently), the suite's own reference is the target.
  const std::string expected = it->second.reference.empty() ? it->second.sha : it->second.reference;
  TBitmap bitmap;
  EXPECT_EQ(LoadAndHash(name, bitmap), expected);
  EXPECT_EQ(bitmap.Width() > 0, true);
}

INSTANTIATE_TEST_SUITE_P(BmpSuite, GoodFile,
                         testing::Values("pal1", "pal1bg", "pal1wb", "pal4", "pal4gs", "pal4rle",
                                         "pal8-0", "pal8", "pal8gs", "pal8nonsquare", "pal8os2",
                                         "pal8rle", "pal8topdown", "pal8v4", "pal8v5", "pal8w124",
                                         "pal8w125", "pal8w126", "rgb16-565", "rgb16-565pal",
                                         "rgb16", "rgb16bfdef", "rgb24", "rgb24pal", "rgb32",
                                         "rgb32bf", "rgb32bfdef"),
                         TestName);

TEST(GoodFile, PixelFormatsAreRecognisedFromTheHeader) {
  const std::pair<const char*, TPixelFormat> cases[] = {
      {"pal1", TPixelFormat::Bits1},        {"pal4", TPixelFormat::Bits4},
      {"pal8", TPixelFormat::Bits8},        {"rgb16", TPixelFormat::Bits15},
      {"rgb16-565", TPixelFormat::Bits16},  {"rgb16-565pal", TPixelFormat::Bits16},
      {"rgb16bfdef", TPixelFormat::Custom}, {"rgb24", TPixelFormat::Bits24},
      {"rgb32", TPixelFormat::Bits32},      {"rgb32bf", TPixelFormat::Custom},
      {"rgb32bfdef", TPixelFormat::Custom}, {"pal8rle", TPixelFormat::Device},
      {"pal4rle", TPixelFormat::Device},    {"pal8os2", TPixelFormat::Bits8},
  };
  for (const auto& [name, format] : cases) {
    TBitmap bitmap;
    bitmap.LoadFromFile(TestData(std::string("bmpsuite/g/") + name + ".bmp"));
    EXPECT_EQ(bitmap.PixelFormat(), format) << name;
  }
}

// Files that the reading rules accept although they are odd: fields the reader does not
// consult, header sizes it keeps whole, short pixel data.
TEST(BadFile, FieldsTheReaderDoesNotConsultDoNotMatter) {
  const std::string pal1 = Manifest().at("g/pal1.bmp").sha;
  for (const char* name : {"badbitssize", "baddens1", "baddens2", "badfilesize", "badheadersize"}) {
    TBitmap bitmap;
    EXPECT_EQ(LoadAndHash(std::string("b/") + name + ".bmp", bitmap), pal1) << name;
  }
}

TEST(BadFile, EightAndEightBitMasksDecodeAsTheOtherDecoderDoes) {
  TBitmap bitmap;
  EXPECT_EQ(LoadAndHash("b/rgb16-880.bmp", bitmap), Manifest().at("b/rgb16-880.bmp").sha);
}

TEST(BadFile, ShortPixelDataLeavesTheMissingRowsAtZero) {
  TBitmap good, cut;
  good.LoadFromFile(TestData("bmpsuite/g/pal1.bmp"));
  cut.LoadFromFile(TestData("bmpsuite/b/shortfile.bmp"));
  ASSERT_EQ(cut.Width(), 127);
  ASSERT_EQ(cut.Height(), 64);
  // 273 - 62 = 211 pixel bytes of 16-byte rows: 13 whole rows from the bottom, then 3 bytes.
  for (int y = 0; y < 64; ++y) {
    const uint8_t* a = good.ConstScanline(y);
    const uint8_t* b = cut.ConstScanline(y);
    const int from_bottom = 63 - y;
    if (from_bottom < 13) {
      EXPECT_EQ(std::vector<uint8_t>(a, a + 16), std::vector<uint8_t>(b, b + 16)) << "row " << y;
    } else if (from_bottom > 13) {
      EXPECT_EQ(std::vector<uint8_t>(b, b + 16), std::vector<uint8_t>(16, 0)) << "row " << y;
    }
  }
}

TEST(BadFile, BrokenRunLengthDataIsClippedToThePicture) {
  for (const char* name :
       {"badrle", "badrlebis", "badrleter", "badrle4", "badrle4bis", "badrle4ter"}) {
    TBitmap bitmap;
    bitmap.LoadFromFile(TestData(std::string("bmpsuite/b/") + name + ".bmp"));
    EXPECT_EQ(bitmap.Width(), 127) << name;
    EXPECT_EQ(bitmap.Height(), 64) << name;
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Device) << name;
  }
}

TEST(BadFile, IndicesBeyondTheColourTableReadAsBlack) {
  TBitmap bitmap;
  bitmap.LoadFromFile(TestData("bmpsuite/b/pal8badindex.bmp"));
  const uint8_t* row = bitmap.ConstScanline(0);
  int beyond = 0;
  for (int x = 0; x < bitmap.Width(); ++x) {
    if (row[x] < 101) continue;
    ++beyond;
    EXPECT_EQ(bitmap.Pixel(x, 0), clBlack) << "x " << x;
  }
  EXPECT_GT(beyond, 0);
}

// A file the reader refuses, and how: the class of the error (malformed, unsupported or
// over the limit) and its text.
struct Rejected {
  const char* file;
  const char* error;  // class name: message
};

void PrintTo(const Rejected& r, std::ostream* os) {
  *os << r.file;
}

class RejectedFile : public testing::TestWithParam<Rejected> {};

TEST_P(RejectedFile, FailsWithItsKindOfErrorAndKeepsThePreviousPicture) {
  TBitmap bitmap;
  bitmap.LoadFromFile(TestData("bmpsuite/g/rgb24.bmp"));
  const std::vector<uint8_t> before = RGBPixels(bitmap);
  try {
    bitmap.LoadFromFile(TestData(std::string("bmpsuite/") + GetParam().file + ".bmp"));
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(std::string(e.ClassName()) + ": " + e.Message(), GetParam().error);
  }
  EXPECT_EQ(RGBPixels(bitmap), before);
}

// The reader rejects each of these before any allocation for its pixels.
INSTANTIATE_TEST_SUITE_P(
    BmpSuite, RejectedFile,
    testing::Values(
        Rejected{"b/badbitcount",
                 "EUnsupportedBitmap: 30000 ビット/ピクセルのビットマップには対応していません"},
        Rejected{"b/badpalettesize",
                 "EInvalidBitmap: ビットマップイメージが不正です (使用色数 305402420, 256 まで)"},
        Rejected{"b/badplanes", "EInvalidBitmap: ビットマップイメージが不正です"},
        Rejected{"b/badwidth", "EInvalidBitmap: ビットマップイメージが不正です (大きさ -127 x 64)"},
        Rejected{"b/reallybig",
                 "EPictureTooLarge: 画像が大きすぎます (3000000 x 2000000, 24 ビット/ピクセル, "
                 "上限 1073741824 バイト)"},
        Rejected{"b/rletopdown",
                 "EInvalidBitmap: ビットマップイメージが不正です (上から下へのランレングス圧縮)"},
        // An OS/2 bitmap array: its type field is "BA", not "BM".
        Rejected{"x/ba-bm", "EInvalidBitmap: ビットマップイメージが不正です"}),
    [](const testing::TestParamInfo<Rejected>& info) {
      std::string name = info.param.file;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });
