// Building frames from pictures: image and frame assignment, the exact-colour import,
// palette pictures, other graphics, the DIB reader and writer, ReduceColors and settings.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "gif/Gifimage.h"
#include "platform/PixelBudget.h"
#include "raster/Icon.h"
#include "raster/Picture.h"
#include "tests/gif/GifTestSupport.h"

namespace {

TColor Colour(uint32_t i) {
  return RGBColor(static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i >> 3),
                  static_cast<uint8_t>(i * 11 + 5));
}

// A picture of n distinct colours in a scrambled order, each appearing more than once.
std::unique_ptr<TBitmap> DistinctColours(int n, int width, int height) {
  return MakeBitmap24(width, height, [n, width](int x, int y) {
    return Colour(static_cast<uint32_t>((y * width + x) * 7919 % n));
  });
}

TEST(FrameImport, ExactColoursAreListedInOrderOfFirstAppearance) {
  auto picture = DistinctColours(256, 40, 20);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(picture.get());
  ASSERT_EQ(gif.Images().Count(), 1);
  const TGIFSubImage& frame = gif.Images()[0];
  EXPECT_EQ(gif.Width(), 40);
  EXPECT_EQ(gif.Height(), 20);
  ASSERT_EQ(frame.ColorMap().Count(), 256);
  const auto pixels = PixelsOf(*picture);
  std::vector<Rgb> first_seen;
  for (const Rgb& p : pixels)
    if (std::find(first_seen.begin(), first_seen.end(), p) == first_seen.end())
      first_seen.push_back(p);
  for (int i = 0; i < 256; ++i) {
    const TGIFColor& c = frame.ColorMap().Entry(i);
    EXPECT_EQ((Rgb{c.Red, c.Green, c.Blue}), first_seen[static_cast<size_t>(i)]) << i;
  }
  for (size_t i = 0; i < pixels.size(); ++i) {
    const TGIFColor& c = frame.ColorMap().Entry(frame.Data()[i]);
    ASSERT_EQ((Rgb{c.Red, c.Green, c.Blue}), pixels[i]) << "pixel " << i;
  }
  ASSERT_NE(frame.WorkingBitmap(), nullptr);
  EXPECT_EQ(frame.WorkingBitmap()->PixelFormat(), TPixelFormat::Bits24);
  EXPECT_EQ(picture->PixelFormat(), TPixelFormat::Bits24);
}

TEST(FrameImport, OneColourTooManyOverflowsAndTheImageKeepsWhatItHad) {
  auto good = DistinctColours(3, 5, 5);
  auto too_many = DistinctColours(257, 40, 20);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(good.get());
  const std::vector<uint8_t> before = SaveGif(gif);
  try {
    gif.Assign(too_many.get());
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color table overflow");
  }
  EXPECT_EQ(SaveGif(gif), before);

  // A frame assigned directly is left empty, not half filled.
  TGIFSubImage frame(gif);
  EXPECT_THROW(frame.Assign(too_many.get()), GIFException);
  EXPECT_TRUE(frame.Empty());
  EXPECT_EQ(frame.ColorMap().Count(), 0);
}

struct PaletteCase {
  const char* name;
  std::string file;
  int table_entries;
};

void PrintTo(const PaletteCase& c, std::ostream* os) {
  *os << c.name;
}

class PalettePictureTest : public testing::TestWithParam<PaletteCase> {};

TEST_P(PalettePictureTest, IsNeverReducedWhateverTheMode) {
  auto picture = LoadBitmap(GetParam().file);
  TGIFImage gif;
  gif.SetColorReduction(rmMonochrome);  // a palette picture never gets there
  gif.SetDitherMode(dmBurkes);
  gif.Assign(picture.get());
  ASSERT_EQ(gif.Images().Count(), 1);
  const TGIFSubImage& frame = gif.Images()[0];
  EXPECT_EQ(frame.ColorMap().Count(), GetParam().table_entries);
  const auto pixels = PixelsOf(*picture);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const TGIFColor& c = frame.ColorMap().Entry(frame.Data()[i]);
    ASSERT_EQ((Rgb{c.Red, c.Green, c.Blue}), pixels[i]) << "pixel " << i;
  }
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    gif.SetCompression(compression);
    const DecodedGif decoded = DecodeGif(SaveGif(gif));
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(decoded.frames[0].Pixels(), pixels);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PalettePictureTest,
    testing::Values(
        PaletteCase{"OneBit", LUMIVEIL_TESTDATA "/bmpsuite/g/pal1.bmp", 2},
        PaletteCase{"OneBitColoured", LUMIVEIL_TESTDATA "/bmpsuite/g/pal1bg.bmp", 2},
        PaletteCase{"FourBits", LUMIVEIL_TESTDATA "/bmpsuite/g/pal4.bmp", 12},
        PaletteCase{"EightBits", LUMIVEIL_TESTDATA "/bmpsuite/g/pal8.bmp", 256},
        PaletteCase{"EightBitsTopDown", LUMIVEIL_TESTDATA "/bmpsuite/g/pal8topdown.bmp", 256},
        PaletteCase{"EightBitsFewColours", LUMIVEIL_TESTDATA "/sdl2-image/palette.bmp", 256}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameImport, TransparencyNeedsRoomInTheTableAndAPixelOfThatColour) {
  // 256 colours: no room for the transparent entry. The table has been sorted by use all
  // the same, which makes the frame a GIF89a one.
  auto full = DistinctColours(256, 32, 16);
  full->SetTransparent(true);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.Assign(full.get());
  EXPECT_EQ(gif.Images()[0].GraphicControlExtension(), nullptr);
  EXPECT_EQ(gif.Images()[0].ColorMap().Count(), 256);
  EXPECT_TRUE(gif.Images()[0].ColorMap().Optimized());
  EXPECT_EQ(gif.Version(), gv89a);
  EXPECT_EQ(DecodeGif(SaveGif(gif)).frames.at(0).Pixels(), PixelsOf(*full));

  // A fixed transparent colour that no pixel has: the entry is taken back.
  auto picture = DistinctColours(5, 10, 10);
  picture->SetTransparent(true);
  picture->SetTransparentColor(RGBColor(1, 2, 3));
  gif.Assign(picture.get());
  EXPECT_EQ(gif.Images()[0].GraphicControlExtension(), nullptr);
  EXPECT_EQ(gif.Images()[0].ColorMap().Count(), 5);

  // A fixed colour that pixels have.
  picture->SetTransparentColor(Colour(2));
  gif.Assign(picture.get());
  const TGIFSubImage& frame = gif.Images()[0];
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(control->Transparent);
  EXPECT_EQ(control->TransparentColorIndex, 5);
  EXPECT_EQ(frame.ColorMap().Color(5), clBlack);
  const auto pixels = PixelsOf(*picture);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const bool transparent =
        pixels[i] == Rgb{GetRValue(Colour(2)), GetGValue(Colour(2)), GetBValue(Colour(2))};
    EXPECT_EQ(frame.Data()[i] == 5, transparent) << i;
  }
  const DecodedGif decoded = DecodeGif(SaveGif(gif));
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].transparent_index, 5);

  // A frame that has a graphic control block keeps that one block.
  TGIFSubImage& own = gif.Images()[0];
  own.GraphicControlExtension()->Delay = 25;
  std::vector<uint8_t> mask(own.DataSize(), 0);
  mask[0] = 1;
  own.ApplyMask(mask);
  EXPECT_EQ(own.Extensions().size(), 1u);
  EXPECT_EQ(own.GraphicControlExtension()->Delay, 25);
  EXPECT_EQ(own.Data()[0], own.GraphicControlExtension()->TransparentColorIndex);
  EXPECT_THROW(own.ApplyMask(std::vector<uint8_t>(3, 1)), GIFException);
}

// A graphic that is no bitmap: it can paint itself into a bitmap, or not.
class TTestGraphic : public TGraphic {
 public:
  static const TGraphicClass& Class() {
    static const TGraphicClass cls{"TTestGraphic", &TGraphic::Class(), nullptr};
    return cls;
  }
  const TGraphicClass& ClassType() const override { return Class(); }
  bool Empty() const override { return width_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return 2; }
  void SetWidth(int value) override { width_ = value; }
  void SetHeight(int) override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  bool AssignTo(TGraphic& dest) const override {
    auto* bitmap = dynamic_cast<TBitmap*>(&dest);
    if (!paints_ || bitmap == nullptr) return false;
    auto picture = MakeBitmap24(width_, 2, [](int x, int) { return x % 2 ? clWhite : clBlack; });
    bitmap->Assign(picture.get());
    return true;
  }
  bool paints_ = true;
  int width_ = 3;
};

TEST(ImageAssign, OtherGraphicsComeThroughABitmapOrAreRefused) {
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  TTestGraphic graphic;
  gif.Assign(&graphic);
  ASSERT_EQ(gif.Images().Count(), 1);
  EXPECT_EQ(gif.Images()[0].Width(), 3);
  EXPECT_EQ(std::vector<uint8_t>(gif.Images()[0].Data(), gif.Images()[0].Data() + 6),
            (std::vector<uint8_t>{0, 1, 0, 0, 1, 0}));

  graphic.paints_ = false;
  try {
    gif.Assign(&graphic);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("TTestGraphic"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("TGIFImage"), std::string::npos) << e.what();
  }
  EXPECT_EQ(gif.Images().Count(), 1) << "the image keeps its frame";

  graphic.width_ = 0;  // empty: an empty frame
  gif.Assign(&graphic);
  ASSERT_EQ(gif.Images().Count(), 1);
  EXPECT_TRUE(gif.Images()[0].Empty());
}

TEST(FrameAssign, PictureContainerGivesItsGraphic) {
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  auto picture = DistinctColours(6, 9, 4);
  TPicture container;
  container.SetGraphic(picture.get());
  TGIFSubImage frame(gif);
  frame.Assign(container);
  EXPECT_EQ(frame.Width(), 9);
  EXPECT_EQ(frame.ColorMap().Count(), 6);
  container.SetGraphic(nullptr);
  frame.Assign(container);
  EXPECT_TRUE(frame.Empty());

  // An icon cannot be drawn or turned into a bitmap here: the conversion error.
  TIcon icon;
  const uint8_t directory[] = {0, 0,  1, 0, 1, 0, 16, 16, 0, 0, 1,
                               0, 32, 0, 8, 0, 0, 0,  22, 0, 0, 0};
  TMemoryStream bytes;
  bytes.WriteBuffer(directory, sizeof directory);
  bytes.SetPosition(0);
  icon.LoadFromStream(bytes);
  ASSERT_FALSE(icon.Empty());
  container.SetGraphic(&icon);
  EXPECT_THROW(frame.Assign(container), EConvertError);
  EXPECT_TRUE(frame.Empty());
  EXPECT_THROW(gif.Assign(&icon), EConvertError);
}

TEST(ImageAssign, NothingClearsItselfKeepsAnotherImageIsCopiedFrameByFrame) {
  auto picture = DistinctColours(17, 30, 20);
  picture->SetTransparent(true);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.SetCompression(gcRLE);
  gif.Assign(picture.get());
  gif.Images()[0].SetInterlaced(true);
  TGIFSubImage& second = gif.Images().Add();
  second.SetSize(2, 2);
  second.ColorMap().Add(clWhite);
  const std::vector<uint8_t> file = SaveGif(gif);

  gif.Assign(&gif);
  EXPECT_EQ(SaveGif(gif), file);

  TGIFImage copy;
  copy.SetCompression(gcRLE);
  std::vector<std::string> messages;
  copy.OnProgress = [&](TGraphic&, TProgressStage, int, bool, const std::string& msg) {
    messages.push_back(msg);
  };
  copy.Assign(&gif);
  EXPECT_EQ(SaveGif(copy), file);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "Copying...");
  ASSERT_NE(copy.Images()[0].WorkingBitmap(), nullptr);

  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Empty());
  EXPECT_EQ(copy.Width(), 0);
  EXPECT_THROW(SaveGif(copy), GIFException);
}

TEST(ImageAssign, ConversionReportsProgressEvery32Rows) {
  auto picture = DistinctColours(4, 3, 100);
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  std::vector<std::pair<TProgressStage, int>> progress;
  gif.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const std::string& msg) {
    EXPECT_EQ(msg, "Converting...");
    progress.emplace_back(stage, percent);
  };
  gif.Assign(picture.get());
  EXPECT_EQ(progress,
            (std::vector<std::pair<TProgressStage, int>>{{TProgressStage::psStarting, 0},
                                                         {TProgressStage::psRunning, 32},
                                                         {TProgressStage::psRunning, 64},
                                                         {TProgressStage::psRunning, 96},
                                                         {TProgressStage::psEnding, 100}}));
  progress.clear();
  EXPECT_THROW(gif.Assign(DistinctColours(300, 30, 30).get()), GIFException);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), std::make_pair(TProgressStage::psEnding, 0));
}

TEST(ImageSettings, StartFromTheLibraryDefaultsAndCheckTheBits) {
  {
    TGIFImage gif;
    EXPECT_EQ(gif.ColorReduction(), rmNetscape);
    EXPECT_EQ(gif.DitherMode(), dmNearest);
    EXPECT_EQ(gif.ReductionBits(), 8);
    EXPECT_EQ(gif.Compression(), gcLZW);
  }
  GIFImageDefaultCompression = gcRLE;
  GIFImageDefaultColorReduction = rmNone;
  TGIFImage gif;
  GIFImageDefaultCompression = gcLZW;
  GIFImageDefaultColorReduction = rmNetscape;
  EXPECT_EQ(gif.Compression(), gcRLE);
  EXPECT_EQ(gif.ColorReduction(), rmNone);
  for (int bits = 3; bits <= 8; ++bits) EXPECT_NO_THROW(gif.SetReductionBits(bits));
  for (int bits : {-1, 0, 2, 9, 256}) {
    try {
      gif.SetReductionBits(bits);
      ADD_FAILURE() << bits;
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Invalid Bits Per Pixel value");
    }
  }
  EXPECT_EQ(gif.ReductionBits(), 8);
  EXPECT_STREQ(TGIFImage::Class().name, "TGIFImage");
  EXPECT_TRUE(gif.InheritsFrom(TGraphic::Class()));
  auto made = TGIFImage::Class().create();
  EXPECT_NE(dynamic_cast<TGIFImage*>(made.get()), nullptr);
}

TEST(ImageSettings, ReadingIsRefusedAndSizesAreChecked) {
  TGIFImage gif;
  TMemoryStream stream;
  EXPECT_EQ(ErrorMessage<GIFException>([&] { gif.LoadFromStream(stream); }),
            "Reading GIF files is not supported");
  EXPECT_THROW(gif.SetWidth(65536), GIFException);
  EXPECT_THROW(gif.Images().Add().SetSize(-1, 4), GIFException);
  // A picture wider than a GIF frame can be.
  auto wide = MakeBitmap24(65536, 1, [](int, int) { return clWhite; });
  gif.SetColorReduction(rmNone);
  try {
    gif.Assign(wide.get());
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid image dimensions");
  }
}

TEST(ImageSettings, AFrameCountsAgainstTheRunsPictureMemoryAndKeepsWhatItHad) {
  // A frame's indices are picture memory: where the run's bound does not leave room for
  // them (a GIF of large dimensions), the size is refused and the frame stays as it was.
  TGIFImage gif;
  TGIFSubImage& frame = gif.Images().Add();
  frame.SetSize(3, 2);
  frame.Data()[5] = 9;
  SetPixelMemoryBound(PixelMemoryInUse() + (uint64_t{1} << 20));
  EXPECT_THROW(frame.SetSize(4096, 4096), EPixelMemoryBound);
  SetPixelMemoryBound(0);
  EXPECT_EQ(frame.Width(), 3);
  EXPECT_EQ(frame.DataSize(), 6u);
  EXPECT_EQ(frame.Data()[5], 9);
  // A new size starts cleared, and a copied frame has its own indices.
  frame.SetSize(2, 2);
  EXPECT_EQ(std::vector<uint8_t>(frame.Data(), frame.Data() + 4), std::vector<uint8_t>(4, 0));
  frame.Data()[0] = 7;
  TGIFSubImage& copy = gif.Images().Add();
  copy.Assign(frame);
  frame.Data()[0] = 8;
  EXPECT_EQ(copy.Data()[0], 7);
}

// A lookup that maps a colour to (red >> 6), serving 4 colours.
class TQuarterLookup : public TColorLookup {
 public:
  TQuarterLookup() : TColorLookup(4) {}
  uint8_t FindIndex(uint8_t red, uint8_t, uint8_t, uint8_t& r, uint8_t& g, uint8_t& b) override {
    calls.push_back(red);
    r = g = b = static_cast<uint8_t>((red >> 6) * 64);
    return static_cast<uint8_t>(red >> 6);
  }
  std::vector<uint8_t> calls;
};

TEST(ReduceColors, DitherRowsWalksASerpentineIntoTheEightBitPicture) {
  // Pixel (x, y) has red = 10 * (y * 5 + x): its place in the picture.
  auto picture = MakeBitmap24(
      5, 3, [](int x, int y) { return RGBColor(static_cast<uint8_t>(10 * (y * 5 + x)), 0, 0); });
  TDIBReader reader(*picture, TPixelFormat::Bits24);
  TQuarterLookup lookup;
  TDitherEngine engine(5, lookup);
  TBitmap result;
  TDIBWriter writer(result, TPixelFormat::Bits8, 5, 3,
                    CreatePalette({{0, 0, 0, 0}, {64, 64, 64, 0}, {128, 128, 128, 0}}));
  DitherRows(reader, engine, writer);
  writer.Finish();
  const std::vector<uint8_t> order = {0,  10, 20,  30,  40,  90,  80, 70,
                                      60, 50, 100, 110, 120, 130, 140};
  EXPECT_EQ(lookup.calls, order);
  ASSERT_EQ(result.PixelFormat(), TPixelFormat::Bits8);
  ASSERT_EQ(result.ColorTable().size(), 256u);
  EXPECT_EQ(result.ColorTable()[2], (TRGBQuad{128, 128, 128, 0}));
  EXPECT_EQ(result.ColorTable()[3], (TRGBQuad{0, 0, 0, 0}));
  EXPECT_EQ(result.DIBInfo().dsBmih.biClrImportant, 3u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(result.ConstScanline(y)[x], (10 * (y * 5 + x)) >> 6) << x << "," << y;
}

TEST(ReduceColors, NoneGivesATwentyFourBitCopyAndValuesOutsideTheEnumerationsGiveNothing) {
  auto picture = MakeBitmap8(4, 4, {{1, 2, 3, 0}, {4, 5, 6, 0}},
                             [](int x, int y) { return static_cast<uint8_t>((x + y) % 2); });
  auto copy = ReduceColors(*picture, rmNone, dmNearest, 8, nullptr);
  EXPECT_EQ(copy->PixelFormat(), TPixelFormat::Bits24);
  EXPECT_EQ(PixelsOf(*copy), PixelsOf(*picture));
  EXPECT_EQ(picture->PixelFormat(), TPixelFormat::Bits8) << "rmNone leaves the source as it is";

  // Every other mode gives an 8-bit picture with a 256-entry colour table (rmPalette only
  // with a palette to copy).
  for (TColorReduction mode : {rmWindows20, rmWindows256, rmWindowsGray, rmMonochrome, rmGrayScale,
                               rmNetscape, rmQuantize, rmQuantizeWindows, rmPalette}) {
    TBitmap source;
    source.Assign(picture.get());
    auto reduced =
        ReduceColors(source, mode, dmNearest, 8, CreatePalette({{1, 2, 3, 0}, {4, 5, 6, 0}}));
    EXPECT_EQ(reduced->PixelFormat(), TPixelFormat::Bits8) << ColorReductionLabel(mode);
    EXPECT_EQ(reduced->ColorTable().size(), 256u) << ColorReductionLabel(mode);
    EXPECT_EQ(source.PixelFormat(), TPixelFormat::Bits24) << "converted in place";
  }
  TBitmap source;
  source.Assign(picture.get());
  EXPECT_TRUE(
      ReduceColors(source, static_cast<TColorReduction>(42), dmNearest, 8, nullptr)->Empty());
  EXPECT_TRUE(
      ReduceColors(source, rmWindows256, static_cast<TDitherMode>(42), 8, nullptr)->Empty());

  TQuarterLookup lookup;
  EXPECT_NE(CreateDitherEngine(dmNearest, 3, lookup), nullptr);
  EXPECT_NE(CreateDitherEngine(dmFloydSteinberg, 3, lookup), nullptr);
  EXPECT_EQ(CreateDitherEngine(static_cast<TDitherMode>(42), 3, lookup), nullptr);

  // Through the image: a picture of more than 8 bits under a mode outside the enumeration
  // cannot become a frame. The image reduces a copy: the caller's picture keeps its format.
  TGIFImage gif;
  gif.SetColorReduction(static_cast<TColorReduction>(42));
  copy->SetPixelFormat(TPixelFormat::Bits32);
  try {
    gif.Assign(copy.get());
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color reduction \"?\" with dither mode \"Nearest\" gave no picture");
  }
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(copy->PixelFormat(), TPixelFormat::Bits32);
}

TEST(DIBWriter, AcceptsOnlyEightOrTwentyFourBitsOfSomeSize) {
  TBitmap bitmap;
  const auto message = [&](const std::function<void()>& f) -> std::string {
    try {
      f();
    } catch (const Exception& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(message([&] { TDIBWriter(bitmap, TPixelFormat::Bits4, 2, 2, nullptr); }),
            "Unsupported PixelFormat");
  EXPECT_EQ(message([&] { TDIBWriter(bitmap, TPixelFormat::Bits32, 2, 2, nullptr); }),
            "Unsupported PixelFormat");
  EXPECT_EQ(message([&] { TDIBWriter(bitmap, TPixelFormat::Bits8, 0, 2, nullptr); }),
            "Invalid image dimensions");
  EXPECT_EQ(message([&] { TDIBWriter(bitmap, TPixelFormat::Bits24, 2, -1, nullptr); }),
            "Invalid image dimensions");
  EXPECT_EQ(message([&] {
              TDIBWriter(bitmap, TPixelFormat::Bits24, 100000, 100000, nullptr).RowPointer(0);
            }),
            "Failed to allocate memory for GIF DIB");

  TDIBWriter writer(bitmap, TPixelFormat::Bits24, 3, 2, nullptr);
  EXPECT_THROW(writer.RowPointer(2), EInvalidGraphicOperation);
  EXPECT_THROW(writer.RowPointer(-1), EInvalidGraphicOperation);
  EXPECT_EQ(writer.RowStride(), 12);
  uint8_t* top = writer.RowPointer(0);
  top[0] = 1, top[1] = 2, top[2] = 3;  // blue, green, red of the top-left pixel
  EXPECT_TRUE(bitmap.Empty()) << "the picture is handed over at the end only";
  writer.Finish();
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bits24);
  EXPECT_EQ(bitmap.Pixel(0, 0), RGBColor(3, 2, 1));
  EXPECT_EQ(bitmap.Pixel(0, 1), clBlack);
  EXPECT_EQ(message([&] { writer.RowPointer(0); }), "Image has no DIB");
}

}  // namespace
