// The PNG writer: every pixel format and shape decodes to the raster's own colours (read
// back by libpng's simplified reader), palette pictures keep only the colours they use in
// the fewest bits, text chunks come before the image data, the compression choice, and
// failures (empty picture, libpng's refusal, a stream that stops) leave no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <tuple>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/MemoryStream.h"
#include "platform/Palettes.h"
#include "raster/Bitmap.h"
#include "raster/PngFilter.h"
#include "raster/PngWriter.h"
#include "tests/common/PngFacts.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"

namespace {

std::vector<uint8_t> Write(const TBitmap& bitmap, const TPngOptions& options = {}) {
  TMemoryStream stream;
  WritePng(bitmap, stream, options);
  const auto* p = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(p, p + stream.Size());
}

void Fill24(TBitmap& bitmap, int width, int height,
            const std::function<void(int, int, uint8_t*)>& bgr) {
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x) bgr(x, y, row + 3 * x);
  }
}

// An 8-bit picture with the given palette and index(x, y).
void Fill8(TBitmap& bitmap, int width, int height, const std::vector<TPaletteEntry>& palette,
           const std::function<uint8_t(int, int)>& index) {
  bitmap.SetPixelFormat(TPixelFormat::Bits8);
  bitmap.SetPalette(CreatePalette(palette));
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x) row[x] = index(x, y);
  }
}

// Pixel (x, y) of a photo tiled with mirrored copies to any size: smooth across the seams.
const uint8_t* Tiled(const TBitmap& photo, int x, int y) {
  const int w = photo.Width(), h = photo.Height();
  x %= 2 * w;
  y %= 2 * h;
  if (x >= w) x = 2 * w - 1 - x;
  if (y >= h) y = 2 * h - 1 - y;
  return photo.ConstScanline(y) + 3 * x;
}

// The cup photo tiled to width x height.
void TiledPhoto(TBitmap& bitmap, int width, int height) {
  TBitmap cup;
  cup.LoadFromFile(Sample("coffee.bmp"));
  Fill24(bitmap, width, height,
         [&](int x, int y, uint8_t* p) { std::copy_n(Tiled(cup, x, y), 3, p); });
}

// A combined picture's one-pixel checkerboard: the cup in the even cells, the cat in the
// odd ones with its tones as the default band keeps them.
void Checkerboard(TBitmap& bitmap, int width, int height) {
  TBitmap cup, cat;
  cup.LoadFromFile(Sample("coffee.bmp"));
  cat.LoadFromFile(Sample("chelsea.bmp"));
  Fill24(bitmap, width, height, [&](int x, int y, uint8_t* p) {
    std::copy_n(Tiled((x + y) % 2 != 0 ? cat : cup, x, y), 3, p);
  });
}

struct TPictureCase {
  const char* name;
  std::function<void(TBitmap&)> make;
};

const TPictureCase kPictures[] = {
    {"Photo24", [](TBitmap& b) { b.LoadFromFile(Sample("coffee.bmp")); }},
    {"Checkerboard24", [](TBitmap& b) { Checkerboard(b, 301, 203); }},
    {"Device",
     [](TBitmap& b) {
       FillRandom24(b, 37, 11, 5);
       b.SetPixelFormat(TPixelFormat::Device);
     }},
    {"Bits32",
     [](TBitmap& b) {
       FillRandom24(b, 19, 7, 6);
       b.SetPixelFormat(TPixelFormat::Bits32);
     }},
    {"Bits16",
     [](TBitmap& b) {
       FillRandom24(b, 19, 7, 7);
       b.SetPixelFormat(TPixelFormat::Bits16);
     }},
    {"Bits15",
     [](TBitmap& b) {
       FillRandom24(b, 20, 3, 8);
       b.SetPixelFormat(TPixelFormat::Bits15);
     }},
    {"Halftone8",
     [](TBitmap& b) {
       b.LoadFromFile(Sample("chelsea.bmp"));
       b.SetPixelFormat(TPixelFormat::Bits8);
     }},
    {"Bits4",
     [](TBitmap& b) {
       FillRandom24(b, 33, 9, 9);
       b.SetPixelFormat(TPixelFormat::Bits4);
     }},
    {"Bits1",
     [](TBitmap& b) {
       FillRandom24(b, 13, 5, 10);
       b.SetPixelFormat(TPixelFormat::Bits1);
     }},
    // Entries 1 and 3 are one colour; entries 4 and up are never used.
    {"RepeatedAndUnusedEntries",
     [](TBitmap& b) {
       Fill8(b, 9, 4, {{10, 20, 30}, {200, 0, 0}, {0, 0, 0}, {200, 0, 0}, {1, 2, 3}, {4, 5, 6}},
             [](int x, int y) { return static_cast<uint8_t>((x + 2 * y) % 4); });
     }},
    // An index beyond the four-entry table shows black.
    {"IndexBeyondTheTable",
     [](TBitmap& b) {
       Fill8(b, 5, 5, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}},
             [](int x, int y) { return static_cast<uint8_t>(x == y ? 200 : x % 4); });
     }},
    // 17 colours need 8 bits; 16 would fit in 4.
    {"SeventeenColours",
     [](TBitmap& b) {
       std::vector<TPaletteEntry> palette;
       for (int i = 0; i < 17; ++i) palette.push_back({uint8_t(i * 15), uint8_t(255 - i), 7});
       Fill8(b, 17, 3, palette, [](int x, int) { return static_cast<uint8_t>(x); });
     }},
    {"OnePixel", [](TBitmap& b) { FillRandom24(b, 1, 1, 11); }},
    {"OneColumn", [](TBitmap& b) { FillRandom24(b, 1, 300, 12); }},
    {"OneRow", [](TBitmap& b) { FillRandom24(b, 1000, 1, 13); }},
    // Taller than one sample period, so that the trial samples several bands.
    {"TallPalette",
     [](TBitmap& b) {
       Fill8(b, 7, 400, {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}},
             [](int x, int y) { return static_cast<uint8_t>((x * y) % 3); });
     }},
};

const TPngCompression kCompressions[] = {TPngCompression::pcAuto,
                                         TPngCompression::pcNoFilterLevel1,
                                         TPngCompression::pcAdaptiveLevel6,
                                         TPngCompression::pcNoFilterLevel6,
                                         TPngCompression::pcInterlacedLiterals,
                                         TPngCompression::pcInterlacedLevel1};

class PngWriterPixels : public testing::TestWithParam<std::tuple<TPictureCase, TPngCompression>> {};

TEST_P(PngWriterPixels, DecodeToTheRastersColours) {
  const auto& [picture, compression] = GetParam();
  TBitmap bitmap;
  picture.make(bitmap);
  const bool palette = bitmap.BitsPerPixel() <= 8;
  const std::vector<uint8_t> expected = RGBPixels(bitmap);
  TPngOptions options;
  options.compression = compression;
  const TPngFacts png = ReadPngFacts(Write(bitmap, options));
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.width, bitmap.Width());
  EXPECT_EQ(png.height, bitmap.Height());
  const TPngCompression written =
      compression == TPngCompression::pcAuto ? ChoosePngCompression(bitmap) : compression;
  EXPECT_EQ(png.interlace, PngInterlaced(written) ? 1 : 0);
  EXPECT_TRUE(png.rgb == expected);
  // Never an alpha channel or a transparent colour.
  EXPECT_EQ(png.IndexOf("tRNS"), png.chunks.size());
  if (!palette) {
    EXPECT_EQ(png.color_type, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.bit_depth, 8);
    EXPECT_EQ(png.palette_entries, 0);
    return;
  }
  // A palette of exactly the distinct colours used, numbered in the fewest bits.
  std::set<std::tuple<uint8_t, uint8_t, uint8_t>> colours;
  for (size_t i = 0; i < expected.size(); i += 3)
    colours.emplace(expected[i], expected[i + 1], expected[i + 2]);
  const int n = static_cast<int>(colours.size());
  EXPECT_EQ(png.color_type, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(png.palette_entries, n);
  EXPECT_EQ(png.bit_depth, n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8);
}

std::string PictureCaseName(const testing::TestParamInfo<PngWriterPixels::ParamType>& info) {
  static const char* const kNames[] = {"Auto",           "NoFilterLevel1", "AdaptiveLevel6",
                                       "NoFilterLevel6", "Interlaced",     "InterlacedLevel1"};
  return std::string(std::get<0>(info.param).name) +
         kNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Pictures, PngWriterPixels,
                         testing::Combine(testing::ValuesIn(kPictures),
                                          testing::ValuesIn(kCompressions)),
                         PictureCaseName);

// The Paeth filter of every left and upper byte, with upper-left bytes at the ends, the
// middle and spread between, against the format's own definition of the predictor: the
// vector code works on bytes with a shortcut for the third distance. Odd positions take
// the triples (with one byte a pixel, the left byte is the even one before), one row for
// each upper-left value.
TEST(PngFilter, PaethIsTheDefinitionsPredictorForEveryTriple) {
  const auto predictor = [](int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
  };
  const size_t bytes = 2 * 65536;
  std::vector<uint8_t> row(bytes), prior(bytes), out(bytes + 1);
  for (const int c : {0, 1, 2, 31, 63, 64, 100, 126, 127, 128, 129, 160, 200, 223, 253, 254, 255}) {
    for (size_t j = 0; j < 65536; ++j) {
      row[2 * j] = static_cast<uint8_t>(j);              // a
      row[2 * j + 1] = static_cast<uint8_t>(j * 7 + c);  // the byte filtered
      prior[2 * j] = static_cast<uint8_t>(c);
      prior[2 * j + 1] = static_cast<uint8_t>(j >> 8);  // b
    }
    FilterPngRowWith(pfPaeth, row.data(), prior.data(), bytes, 1, out.data());
    for (size_t j = 0; j < 65536; ++j) {
      const int a = row[2 * j], b = prior[2 * j + 1];
      if (out[2 * j + 2] != static_cast<uint8_t>(row[2 * j + 1] - predictor(a, b, c)))
        FAIL() << "a " << a << " b " << b << " c " << c;
    }
  }
}

TEST(PngWriter, TextChunksComeBeforeTheImageDataInTheirOrder) {
  TBitmap bitmap;
  FillRandom24(bitmap, 8, 8, 1);
  TPngOptions options;
  options.texts = {{"Lumiveil", "average=230 contrast=25 version=9.9.9"}, {"Comment", "caf\xe9"}};
  const TPngFacts png = ReadPngFacts(Write(bitmap, options));
  ASSERT_EQ(png.error, "");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Lumiveil", "average=230 contrast=25 version=9.9.9"}, {"Comment", "caf\xe9"}};
  EXPECT_EQ(png.texts, expected);
  const size_t text = png.IndexOf("tEXt");
  EXPECT_EQ(png.chunks.front(), "IHDR");
  EXPECT_LT(text, png.IndexOf("IDAT"));
  // Nothing else: no time stamp or gamma that would make two saves differ or change tones.
  for (const std::string& name : png.chunks)
    EXPECT_TRUE(name == "IHDR" || name == "tEXt" || name == "IDAT" || name == "IEND") << name;
}

TEST(PngWriter, AutoTakesTheSmallerSettingForCombinedPicturesPhotosAndPalettes) {
  // A combined picture: no filter beats the adaptive filters (which predict from the other
  // picture's cells), and the interlaced form with blocks of literals beats both. A photo:
  // the adaptive filters win. A palette picture: no filter, level 6. Pictures of tiles
  // repeated have repeats that only zlib finds: a combined one of two patterns is smaller
  // interlaced at level 1, a plain one of one tile unfiltered at level 1.
  TBitmap combined, photo, palette, tiles, combined_tiles;
  Checkerboard(combined, 451, 300);
  photo.LoadFromFile(Sample("coffee.bmp"));
  palette.Assign(&combined);
  palette.SetPixelFormat(TPixelFormat::Bits8);
  TBitmap tile;
  FillRandom24(tile, 16, 16, 4);
  Fill24(tiles, 451, 300, [&](int x, int y, uint8_t* p) {
    std::copy_n(tile.ConstScanline(y % 16) + 3 * (x % 16), 3, p);
  });
  TBitmap cup;
  cup.LoadFromFile(Sample("coffee.bmp"));
  Fill24(combined_tiles, 451, 300, [&](int x, int y, uint8_t* p) {
    std::copy_n(
        (x + y) % 2 != 0 ? Tiled(cup, x % 50, y % 40) : Tiled(cup, x % 64 + 100, y % 48 + 100), 3,
        p);
  });
  const auto size = [](const TBitmap& bitmap, TPngCompression compression) {
    TPngOptions options;
    options.compression = compression;
    return Write(bitmap, options).size();
  };
  const TPngCompression none1 = TPngCompression::pcNoFilterLevel1,
                        adaptive6 = TPngCompression::pcAdaptiveLevel6,
                        none6 = TPngCompression::pcNoFilterLevel6,
                        interlaced = TPngCompression::pcInterlacedLiterals;
  EXPECT_EQ(ChoosePngCompression(combined), interlaced);
  EXPECT_LT(size(combined, none1), size(combined, adaptive6));
  // Well below (a tenth at this small size of detailed photos; about half at 12 megapixels).
  EXPECT_LT(size(combined, interlaced) * 10, size(combined, none1) * 9);
  const TPngCompression interlaced1 = TPngCompression::pcInterlacedLevel1;
  EXPECT_EQ(ChoosePngCompression(combined_tiles), interlaced1);
  EXPECT_LT(size(combined_tiles, interlaced1), size(combined_tiles, none1));
  EXPECT_LT(size(combined_tiles, none1), size(combined_tiles, interlaced));
  EXPECT_EQ(ChoosePngCompression(tiles), none1);
  EXPECT_LT(size(tiles, none1), size(tiles, interlaced1));
  EXPECT_LT(size(tiles, interlaced1), size(tiles, interlaced));
  EXPECT_EQ(ChoosePngCompression(photo), adaptive6);
  EXPECT_LT(size(photo, adaptive6), size(photo, none1));
  EXPECT_EQ(ChoosePngCompression(palette), none6);
  EXPECT_LT(size(palette, none6), size(palette, none1));
  EXPECT_LT(size(palette, none6), size(palette, adaptive6));
  // pcAuto writes exactly what the chosen setting writes.
  for (const TBitmap* bitmap : {&combined, &photo, &palette, &tiles, &combined_tiles}) {
    TPngOptions chosen;
    chosen.compression = ChoosePngCompression(*bitmap);
    EXPECT_TRUE(Write(*bitmap) == Write(*bitmap, chosen));
  }
}

// A stream that takes `room` bytes and then refuses every write, as a full disk does.
class TFullStream : public TMemoryStream {
 public:
  explicit TFullStream(int64_t room) : room_(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    if (Size() + count > room_) return 0;
    return TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t room_;
};

TEST(PngWriter, FailuresRaiseAndLeaveNoFile) {
  TBitmap empty, picture;
  FillRandom24(picture, 300, 200, 2);
  TempDir dir;
  // An empty picture has no PNG form.
  try {
    SavePngToFile(empty, dir.File("empty.png"));
    ADD_FAILURE() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), SPNGEmptyPicture);
  }
  // A keyword that libpng would shorten or mend is refused, whole text and all.
  for (const std::string& keyword : {std::string(80, 'k'), std::string(), std::string(" lead"),
                                     std::string("two  spaces"), std::string("tab\there")}) {
    TPngOptions bad;
    bad.texts = {{keyword, "text"}};
    try {
      SavePngToFile(picture, dir.File("bad.png"), bad);
      ADD_FAILURE() << "no error for '" << keyword << "'";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), Format(SPNGInvalidText, keyword.c_str()));
    }
  }
  TPngOptions zero;
  zero.texts = {{"Comment", std::string("a\0b", 3)}};
  EXPECT_THROW(SavePngToFile(picture, dir.File("bad.png"), zero), EInvalidGraphic);
  EXPECT_TRUE(dir.Entries().empty());
  // A stream that stops taking bytes: its own error passes on.
  for (const int64_t room : {0, 40, 5000}) {
    TFullStream stream(room);
    EXPECT_THROW(WritePng(picture, stream), EWriteError) << room;
  }
}

TEST(PngWriter, PicturesWiderThanAMillionPixelsAreWritten) {
  // libpng's default limit is a million pixels a side; the writer lifts it.
  TBitmap wide;
  FillRandom24(wide, 1000001, 1, 3);
  const TPngFacts png = ReadPngFacts(Write(wide), false);
  EXPECT_EQ(png.error, "");
  EXPECT_EQ(png.width, 1000001);
  EXPECT_EQ(png.height, 1);
}

// The interlaced form of every shape up to 9 x 9, where passes have no pixels (a width or
// height below 5 empties some) or hold one: full colour and two-bit palette pictures,
// whose pass rows are packed four pixels a byte.
TEST(PngWriter, InterlacedSmallShapesReadBackWhole) {
  TPngOptions options;
  options.compression = TPngCompression::pcInterlacedLiterals;
  for (int height = 1; height <= 9; ++height) {
    for (int width = 1; width <= 9; ++width) {
      TBitmap rgb, palette;
      FillRandom24(rgb, width, height, static_cast<uint32_t>(100 + 10 * height + width));
      Fill8(palette, width, height, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
            [](int x, int y) { return static_cast<uint8_t>((x * 3 + y) % 4); });
      for (const TBitmap* bitmap : {&rgb, &palette}) {
        const TPngFacts png = ReadPngFacts(Write(*bitmap, options));
        ASSERT_EQ(png.error, "") << width << " x " << height;
        EXPECT_EQ(png.interlace, 1);
        EXPECT_TRUE(png.rgb == RGBPixels(*bitmap))
            << width << " x " << height << " bits " << bitmap->BitsPerPixel();
      }
    }
  }
}

// Pictures whose image data spans several pieces (about a megabyte of rows each), the last
// one shorter: a photo, a combined picture, an 8-bit halftone and a 4-bit palette.
const TPictureCase kPiecedPictures[] = {
    {"Photo", [](TBitmap& b) { TiledPhoto(b, 1000, 400); }},
    {"Combined", [](TBitmap& b) { Checkerboard(b, 1000, 400); }},
    {"Halftone",
     [](TBitmap& b) {
       TiledPhoto(b, 1500, 800);
       b.SetPixelFormat(TPixelFormat::Bits8);
     }},
    // 16 colours used: packed two pixels a byte, the odd width leaving half a byte.
    {"FourBits",
     [](TBitmap& b) {
       std::vector<TPaletteEntry> palette;
       for (int i = 0; i < 16; ++i) palette.push_back({uint8_t(i * 16), uint8_t(255 - i), 9});
       Fill8(b, 3001, 750, palette,
             [](int x, int y) { return static_cast<uint8_t>((x / 7 + y / 5 + x * y % 3) % 16); });
     }},
};

class PngWriterPieces : public testing::TestWithParam<TPictureCase> {};

// The pieces are cut by rows alone, so 1 and 2 threads write the same bytes; the joined
// stream reads back whole with every setting.
TEST_P(PngWriterPieces, AreTheSameForAnyThreadCountAndReadBackWhole) {
  TBitmap bitmap;
  GetParam().make(bitmap);
  const std::vector<uint8_t> expected = RGBPixels(bitmap);
  for (const TPngCompression compression :
       {TPngCompression::pcNoFilterLevel1, TPngCompression::pcAdaptiveLevel6,
        TPngCompression::pcNoFilterLevel6, TPngCompression::pcInterlacedLiterals,
        TPngCompression::pcInterlacedLevel1}) {
    TPngOptions options;
    options.compression = compression;
    std::vector<uint8_t> one;
    {
      const TBandSettings settings(1, 0);
      one = Write(bitmap, options);
    }
    {
      const TBandSettings settings(2, 0);
      EXPECT_TRUE(Write(bitmap, options) == one) << "setting " << static_cast<int>(compression);
    }
    const TPngFacts png = ReadPngFacts(one);
    ASSERT_EQ(png.error, "") << static_cast<int>(compression);
    EXPECT_TRUE(png.rgb == expected) << static_cast<int>(compression);
    // Several pieces: one chunk of image data each.
    EXPECT_GT(std::count(png.chunks.begin(), png.chunks.end(), "IDAT"), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, PngWriterPieces, testing::ValuesIn(kPiecedPictures),
                         [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// Two decoders independent of ours and of libpng's simplified reader, python3-pil and
// ImageMagick, read the files to the pixels written: pictures of several pieces and the
// smallest shapes.
TEST(PngWriterOracles, PillowAndImageMagickReadThePixelsWritten) {
  if (RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0 ||
      RunCommand("convert -version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs python3-pil and imagemagick (scripts/install-deps.sh tests)";
  // Each as pcAuto writes it; those of the second list also in the interlaced form (the
  // combined picture already is), with a shape whose passes 2 and 3 are empty.
  std::vector<std::pair<TPictureCase, TPngCompression>> cases;
  const auto add = [&](const char* name, const auto& list, bool interlaced) {
    for (const TPictureCase& c : list) {
      if (std::string(c.name) != name) continue;
      cases.push_back({c, TPngCompression::pcAuto});
      if (interlaced) cases.push_back({c, TPngCompression::pcInterlacedLiterals});
    }
  };
  for (const char* name : {"Photo", "Combined"}) add(name, kPiecedPictures, false);
  add("FourBits", kPiecedPictures, true);
  for (const char* name : {"OnePixel", "OneRow", "OneColumn"}) add(name, kPictures, true);
  add("Bits1", kPictures, false);
  cases.push_back({{"ThreeByFour", [](TBitmap& b) { Checkerboard(b, 3, 4); }},
                   TPngCompression::pcInterlacedLiterals});
  TempDir dir;
  std::vector<std::string> files;
  std::vector<std::vector<uint8_t>> expected;
  for (const auto& [c, compression] : cases) {
    TBitmap bitmap;
    c.make(bitmap);
    files.push_back(
        dir.File(std::string(c.name) + std::to_string(static_cast<int>(compression)) + ".png"));
    TPngOptions options;
    options.compression = compression;
    SavePngToFile(bitmap, files.back(), options);
    expected.push_back(RGBPixels(bitmap));
  }
  // One run of python3-pil decodes every file (it starts slowly); each file's pixels to
  // FILE.pil.
  std::string list;
  for (const std::string& png : files) list += " " + png;
  EXPECT_EQ(RunCommand("/usr/bin/python3 -c 'import sys; from PIL import Image\n"
                       "for f in sys.argv[1:]: open(f + \".pil\", \"wb\").write(Image.open(f)"
                       ".convert(\"RGB\").tobytes())'" +
                       list),
            0);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& png = files[i];
    EXPECT_EQ(RunCommand("convert " + png + " -depth 8 rgb:" + png + ".magick"), 0) << png;
    EXPECT_TRUE(ReadBytes(png + ".pil") == expected[i]) << png << " by python3-pil";
    EXPECT_TRUE(ReadBytes(png + ".magick") == expected[i]) << png << " by ImageMagick";
  }
}
#endif

}  // namespace
