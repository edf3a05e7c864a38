// ReduceColors with every mode: the colour tables the frames get, the mapping of chosen
// colours, the optimized palettes' sizes and static colours, the caller's palette, and
// GIF files of every mode and ditherer read back by giflib.
#include <gtest/gtest.h>

#include <set>

#include "gif/Gifimage.h"
#include "platform/Palettes.h"
#include "tests/gif/GifTestSupport.h"

namespace {

std::unique_ptr<TBitmap> Reduce(const TBitmap& picture, TColorReduction mode,
                                TDitherMode dither = dmNearest, int bits = 8,
                                const TPaletteHandle& palette = nullptr) {
  TBitmap copy;
  copy.Assign(&picture);
  return ReduceColors(copy, mode, dither, bits, palette);
}

std::vector<int> Indices(const TBitmap& reduced) {
  std::vector<int> indices;
  for (int y = 0; y < reduced.Height(); ++y)
    for (int x = 0; x < reduced.Width(); ++x) indices.push_back(reduced.ConstScanline(y)[x]);
  return indices;
}

std::vector<TPaletteEntry> Table(const TBitmap& reduced) {
  std::vector<TPaletteEntry> table;
  for (const TRGBQuad& q : reduced.ColorTable()) table.push_back(ToPaletteEntry(q));
  return table;
}

// A part of a photo, for pictures with real colours.
std::unique_ptr<TBitmap> PhotoPart(int width, int height) {
  auto photo = LoadBitmap(LUMIVEIL_SAMPLES "/chelsea.bmp");
  return MakeBitmap24(width, height,
                      [&](int x, int y) { return photo->Pixel(150 + x * 3, 60 + y * 3); });
}

TEST(ReduceModes, MonochromeGivesA256EntryTableAndOnlyIndicesZeroAndOne) {
  auto photo = PhotoPart(40, 30);
  for (TDitherMode dither : {dmNearest, dmFloydSteinberg, dmSteveArche}) {
    TGIFImage gif;
    gif.SetColorReduction(rmMonochrome);
    gif.SetDitherMode(dither);
    gif.Assign(photo.get());
    const TGIFSubImage& frame = gif.Images()[0];
    ASSERT_EQ(frame.ColorMap().Count(), 256);
    EXPECT_EQ(frame.ColorMap().Entry(0), (TGIFColor{0, 0, 0}));
    EXPECT_EQ(frame.ColorMap().Entry(1), (TGIFColor{255, 255, 255}));
    for (int i = 2; i < 256; ++i) EXPECT_EQ(frame.ColorMap().Entry(i), (TGIFColor{0, 0, 0})) << i;
    const std::set<uint8_t> used(frame.Data(), frame.Data() + 40 * 30);
    EXPECT_EQ(used, (std::set<uint8_t>{0, 1})) << DitherModeLabel(dither);
  }
  auto pixels = MakeBitmap24(3, 1, [](int x, int) {
    return x == 0 ? clWhite : x == 1 ? RGBColor(127, 127, 127) : RGBColor(128, 128, 128);
  });
  EXPECT_EQ(Indices(*Reduce(*pixels, rmMonochrome)), (std::vector<int>{1, 0, 1}));
}

TEST(ReduceModes, NetscapeAndGrayScaleMapByTheirFormulas) {
  auto ramp =
      MakeBitmap24(256, 1, [](int x, int) { return RGBColor(static_cast<uint8_t>(x), 0, 0); });
  const auto web = Reduce(*ramp, rmNetscape);
  const auto indices = Indices(*web);
  EXPECT_EQ(indices[47], 0);
  EXPECT_EQ(indices[48], 36);
  EXPECT_EQ(indices[98], 36);
  EXPECT_EQ(indices[99], 72);
  EXPECT_EQ(indices[255], 180);
  const auto table = Table(*web);
  EXPECT_EQ(table[215], E(255, 255, 255));
  EXPECT_EQ(table[216], E(0, 0, 0)) << "black after the 216 entries";
  EXPECT_EQ(web->DIBInfo().dsBmih.biClrImportant, 216u);

  auto ends = MakeBitmap24(2, 1, [](int x, int) { return x == 0 ? clWhite : clBlack; });
  const auto grey = Reduce(*ends, rmGrayScale);
  EXPECT_EQ(Indices(*grey), (std::vector<int>{255, 0}));
  EXPECT_EQ(Table(*grey)[128], E(128, 128, 128));
}

TEST(ReduceModes, TwoColoursOfOneCellGetTheIndexOfWhicheverCameFirst) {
  // (72,72,72) and (79,79,79) share a 5-5-5 cell holding no halftone entry; alone the
  // first is nearest to the grey 71, the second to the grey 82.
  const TColor a = RGBColor(72, 72, 72), b = RGBColor(79, 79, 79);
  auto ab = MakeBitmap24(2, 1, [&](int x, int) { return x == 0 ? a : b; });
  auto ba = MakeBitmap24(2, 1, [&](int x, int) { return x == 0 ? b : a; });
  const auto first = Reduce(*ab, rmWindows256);
  const auto second = Reduce(*ba, rmWindows256);
  const auto halftone = HalftonePaletteEntries();
  const auto i71 = Indices(*first), i82 = Indices(*second);
  EXPECT_EQ(i71[0], i71[1]);
  EXPECT_EQ(i82[0], i82[1]);
  EXPECT_EQ(halftone[static_cast<size_t>(i71[0])], E(71, 71, 71));
  EXPECT_EQ(halftone[static_cast<size_t>(i82[0])], E(82, 82, 82));
}

TEST(ReduceModes, QuantizeKeepsAFewColoursExactlyInAPaletteOf2PowBitsEntries) {
  // 8 colours for 3 bits: each one is an entry. (100,100,100) and (101,101,101) share a
  // cell, so both pixels get the entry that comes first in the palette.
  const std::vector<TColor> colours = {RGBColor(0, 0, 0),       RGBColor(255, 0, 0),
                                       RGBColor(0, 255, 0),     RGBColor(0, 0, 255),
                                       RGBColor(255, 255, 255), RGBColor(100, 100, 100),
                                       RGBColor(200, 50, 10),   RGBColor(101, 101, 101)};
  auto picture = MakeBitmap24(8, 3, [&](int x, int y) { return colours[(x + y) % 8]; });
  for (TDitherMode dither : {dmNearest, dmFloydSteinberg, dmBurkes}) {
    const auto reduced = Reduce(*picture, rmQuantize, dither, 3);
    EXPECT_EQ(reduced->DIBInfo().dsBmih.biClrImportant, 8u);
    const auto table = Table(*reduced);
    std::set<TColor> entries;
    for (int i = 0; i < 8; ++i) {
      const TPaletteEntry& e = table[static_cast<size_t>(i)];
      entries.insert(RGBColor(e.peRed, e.peGreen, e.peBlue));
    }
    EXPECT_EQ(entries, std::set<TColor>(colours.begin(), colours.end()));
    // Exact colours leave no error, so every ditherer maps them as nearest does.
    const auto indices = Indices(*reduced);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 8; ++x) {
        const TColor want = colours[static_cast<size_t>((x + y) % 8)];
        const TPaletteEntry& got =
            table[static_cast<size_t>(indices[static_cast<size_t>(y * 8 + x)])];
        const TColor have = RGBColor(got.peRed, got.peGreen, got.peBlue);
        if (want == RGBColor(101, 101, 101))
          EXPECT_EQ(have, RGBColor(100, 100, 100));
        else
          EXPECT_EQ(have, want) << x << "," << y;
      }
  }
  // Bits outside 1..8 have no palette size.
  EXPECT_EQ(ErrorMessage([&] { Reduce(*picture, rmQuantize, dmNearest, 9); }),
            "Invalid Bits Per Pixel value");
  EXPECT_EQ(ErrorMessage([&] { Reduce(*picture, rmQuantize, dmNearest, 0); }),
            "Invalid Bits Per Pixel value");
}

TEST(ReduceModes, QuantizeWindowsKeepsTheStaticColoursAtBothEnds) {
  const auto& statics = DefaultPaletteEntries();
  auto few =
      MakeBitmap24(5, 5, [](int x, int y) { return (x + y) % 2 ? RGBColor(1, 2, 3) : clBlack; });
  for (const auto& picture : {PhotoPart(40, 30), std::move(few)}) {
    const auto reduced = Reduce(*picture, rmQuantizeWindows, dmFloydSteinberg);
    const auto table = Table(*reduced);
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(reduced->DIBInfo().dsBmih.biClrImportant, 256u);
    for (size_t i = 0; i < 10; ++i) {
      EXPECT_EQ(table[i], statics[i]) << i;
      EXPECT_EQ(table[246 + i], statics[10 + i]) << 246 + i;
    }
  }
}

TEST(ReduceModes, PaletteCopiesTheCallersPaletteOrGivesNothingWithoutOne) {
  const auto palette = CreatePalette({E(10, 20, 30), E(200, 100, 0), E(0, 0, 250)});
  auto picture = MakeBitmap24(3, 2, [](int x, int y) {
    return y == 0 ? RGBColor(static_cast<uint8_t>(x * 100), 50, 40) : RGBColor(0, 10, 200);
  });
  const auto reduced = Reduce(*picture, rmPalette, dmNearest, 8, palette);
  const auto table = Table(*reduced);
  EXPECT_EQ(table[0], E(10, 20, 30));
  EXPECT_EQ(table[1], E(200, 100, 0));
  EXPECT_EQ(table[2], E(0, 0, 250));
  EXPECT_EQ(table[3], E(0, 0, 0));
  EXPECT_EQ(reduced->DIBInfo().dsBmih.biClrImportant, 3u);
  // (0,50,40) is 70 from entry 0, (100,50,40) 120 from entry 0 and 190 from entry 1,
  // (200,50,40) 90 from entry 1; (0,10,200) 60 from entry 2.
  EXPECT_EQ(Indices(*reduced), (std::vector<int>{0, 0, 1, 2, 2, 2}));

  EXPECT_TRUE(Reduce(*picture, rmPalette, dmNearest, 8, nullptr)->Empty());
  EXPECT_TRUE(Reduce(*picture, rmPalette, dmFloydSteinberg, 8, CreatePalette({}))->Empty());
  // The image has no palette to give: the frame cannot be made and the image stays empty.
  TGIFImage gif;
  gif.SetColorReduction(rmPalette);
  EXPECT_EQ(ErrorMessage([&] { gif.Assign(picture.get()); }),
            "Color reduction \"Palette\" with dither mode \"Nearest\" gave no picture");
  EXPECT_TRUE(gif.Empty());
}

// Every mode with every ditherer, on a part of a photo and on a one-pixel-wide strip:
// the file giflib reads has the reduction's indices and colour table.
TEST(ReduceModes, EveryModeAndDithererWritesTheReducedPixels) {
  const auto halftone = CreateHalftonePalette();
  std::vector<std::unique_ptr<TBitmap>> pictures;
  pictures.push_back(PhotoPart(37, 23));
  pictures.push_back(PhotoPart(1, 9));
  for (const auto& picture : pictures) {
    for (int m = rmWindows20; m <= rmPalette; ++m) {
      const auto mode = static_cast<TColorReduction>(m);
      for (int d = dmNearest; d < kDitherModeCount; ++d) {
        const auto dither = static_cast<TDitherMode>(d);
        const std::string what = std::string(ColorReductionLabel(mode)) + " / " +
                                 DitherModeLabel(dither) + " " + std::to_string(picture->Width());
        const auto reduced = Reduce(*picture, mode, dither, 5, halftone);
        ASSERT_EQ(reduced->PixelFormat(), TPixelFormat::Bits8) << what;
        TGIFImage gif;
        gif.SetColorReduction(mode);
        gif.SetDitherMode(dither);
        gif.SetReductionBits(5);
        // The image has no palette for rmPalette: it takes the reduced picture as it is.
        gif.Assign(mode == rmPalette ? static_cast<const TGraphic*>(reduced.get())
                                     : static_cast<const TGraphic*>(picture.get()));
        const DecodedGif decoded = DecodeGif(SaveGif(gif));
        ASSERT_EQ(decoded.frames.size(), 1u) << what;
        const DecodedFrame& frame = decoded.frames[0];
        const auto indices = Indices(*reduced);
        ASSERT_EQ(std::vector<int>(frame.indices.begin(), frame.indices.end()), indices) << what;
        const auto table = Table(*reduced);
        ASSERT_EQ(frame.table.size(), 256u) << what;
        for (size_t i = 0; i < 256; ++i)
          ASSERT_EQ(frame.table[i], (Rgb{table[i].peRed, table[i].peGreen, table[i].peBlue}))
              << what << " entry " << i;
        // Only entries of the target palette are used.
        const int entries = static_cast<int>(reduced->DIBInfo().dsBmih.biClrImportant);
        for (const int index : indices) ASSERT_LT(index, entries) << what;
      }
    }
  }
}

}  // namespace
