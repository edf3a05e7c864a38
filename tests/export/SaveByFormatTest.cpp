// The one save by format: BMP and GIF files exactly as their own writers make them, the
// PNG's band chunk, the palette PNG holding exactly the GIF save's halftone copy (the GIF
// file less its bevel ring), and the adaptive palette PNG, which keeps the hidden picture
// where the halftone palette loses it and gives a grey hidden picture's levels their own
// entries.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "base/Text.h"
#include "compose/Synthesis.h"
#include "export/AdaptivePalette.h"
#include "export/SaveAsGif.h"
#include "export/SaveByFormat.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "tests/common/PngFacts.h"
#include "tests/common/TestFiles.h"
#include "tests/gif/GifTestSupport.h"

namespace {

// A combined picture as the window makes one: coffee and chelsea's cat interleaved.
const TBitmap& Result() {
  static const TBitmap* result = [] {
    auto visible = LoadBitmap(Sample("chelsea.bmp"));
    auto* r = new TBitmap;
    r->Assign(visible.get());
    for (int y = 0; y < r->Height(); ++y) {
      uint8_t* row = r->Scanline(y);
      for (int x = (y + 1) % 2; x < r->Width(); x += 2)
        for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(200 + row[3 * x + c] / 8);
    }
    return r;
  }();
  return *result;
}

std::vector<uint8_t> BmpOf(const TBitmap& bitmap) {
  TBitmap copy;
  copy.Assign(&bitmap);
  TMemoryStream stream;
  copy.SaveToStream(stream);
  return Bytes(stream);
}

TEST(SaveByFormat, BmpAndGifAreTheirWritersOwnBytesUnderTheNameAsTyped) {
  TempDir dir;
  SaveByFormat(Result(), dir.File("combined"), TSaveFormat::sfBMP);
  EXPECT_TRUE(ReadBytes(dir.File("combined")) == BmpOf(Result()));

  TGifSaveTarget fresh;
  SaveAsGif(Result(), fresh, dir.File("direct.gif"));
  SaveByFormat(Result(), dir.File("by-format"), TSaveFormat::sfGIF);
  EXPECT_TRUE(ReadBytes(dir.File("by-format")) == ReadBytes(dir.File("direct.gif")));
  // With the window's target the save works on it and leaves its copy and sizes there.
  TGifSaveTarget target;
  TSaveOptions options(TSaveFormat::sfGIF);
  options.gif_target = &target;
  SaveByFormat(Result(), dir.File("window.gif"), options);
  EXPECT_TRUE(ReadBytes(dir.File("window.gif")) == ReadBytes(dir.File("direct.gif")));
  EXPECT_EQ(target.Chart.Width(), Result().Width());
  EXPECT_EQ(target.Chart.Height(), Result().Height());
  EXPECT_EQ(target.Image4.Width, Result().Width());
  EXPECT_EQ(dir.Entries().size(), 4u);
}

TEST(SaveByFormat, APictureGivenUpIsSavedAsTheSameBytesAndLeftEmpty) {
  // Every form, saved from a picture the caller keeps and from one it gives up: the same
  // file; the given-up picture is empty after it, and a copy sharing its pixels is whole.
  TempDir dir;
  TSaveOptions palette(TSaveFormat::sfPNG);
  palette.indexed = true;
  TSaveOptions adaptive = palette;
  adaptive.palette = TPaletteKind::pkAdaptive;
  TSaveOptions banded(TSaveFormat::sfPNG);
  banded.band = TToneBand{100, 60};
  const std::vector<uint8_t> pixels = BmpOf(Result());
  int n = 0;
  for (const TSaveOptions& options :
       {TSaveOptions(TSaveFormat::sfBMP), TSaveOptions(TSaveFormat::sfGIF), banded, palette,
        adaptive}) {
    SCOPED_TRACE(n);
    const std::string kept = dir.File("kept" + std::to_string(n));
    const std::string given = dir.File("given" + std::to_string(++n));
    SaveByFormat(Result(), kept, options);
    TBitmap mine, sharer;
    mine.Assign(&Result());
    sharer.Assign(&mine);
    SaveByFormat(std::move(mine), given, options);
    EXPECT_TRUE(mine.Empty());
    EXPECT_TRUE(ReadBytes(given) == ReadBytes(kept));
    EXPECT_TRUE(BmpOf(sharer) == pixels);
  }
  // Given up and held by nothing else, the pixels go as the GIF save goes on: the file is
  // still that of the picture kept.
  TBitmap alone;
  alone.Assign(&Result());
  alone.Changing();
  SaveByFormat(std::move(alone), dir.File("alone.gif"), TSaveFormat::sfGIF);
  EXPECT_TRUE(ReadBytes(dir.File("alone.gif")) == ReadBytes(dir.File("kept1")));
}

TEST(SaveByFormat, APngRecordsTheBandOnlyWhenGivenOne) {
  TempDir dir;
  TSaveOptions options(TSaveFormat::sfPNG);
  options.band = TToneBand{200, 55};
  SaveByFormat(Result(), dir.File("banded.png"), options);
  SaveByFormat(Result(), dir.File("plain.png"), TSaveFormat::sfPNG);
  const TPngFacts banded = ReadPngFacts(ReadBytes(dir.File("banded.png")));
  const TPngFacts plain = ReadPngFacts(ReadBytes(dir.File("plain.png")));
  ASSERT_EQ(banded.error, "");
  ASSERT_EQ(plain.error, "");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Lumiveil", "average=200 contrast=55 version=" LUMIVEIL_VERSION " width=" +
                       std::to_string(Result().Width()) +
                       " height=" + std::to_string(Result().Height())}};
  EXPECT_EQ(banded.texts, expected);
  EXPECT_EQ(BandText({200, 55}, Result().Width(), Result().Height()), expected[0].second);
  EXPECT_TRUE(plain.texts.empty());
  EXPECT_EQ(banded.color_type, PNG_COLOR_TYPE_RGB);
  EXPECT_TRUE(banded.rgb == RGBPixels(Result()));
  EXPECT_TRUE(plain.rgb == banded.rgb);
}

TEST(SaveByFormat, ThePalettePngIsTheGifSavesHalftoneCopy) {
  TempDir dir;
  TSaveOptions options(TSaveFormat::sfPNG);
  options.indexed = true;
  options.band = TToneBand{230, 25};
  SaveByFormat(Result(), dir.File("indexed.png"), options);
  const TPngFacts png = ReadPngFacts(ReadBytes(dir.File("indexed.png")));
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.color_type, PNG_COLOR_TYPE_PALETTE);
  EXPECT_LE(png.palette_entries, 256);
  EXPECT_EQ(png.texts.size(), 1u);
  // The halftone copy the GIF save makes of the result...
  TBitmap halftone;
  halftone.Assign(&Result());
  ReduceToHalftone(halftone);
  ASSERT_EQ(halftone.PixelFormat(), TPixelFormat::Bits8);
  EXPECT_TRUE(png.rgb == RGBPixels(halftone));
  // ...which is what the GIF file holds inside its one-pixel bevel ring.
  TGifSaveTarget target;
  SaveAsGif(Result(), target, dir.File("panel.gif"));
  const DecodedGif gif = DecodeGif(ReadBytes(dir.File("panel.gif")));
  ASSERT_EQ(gif.frames.size(), 1u);
  const std::vector<Rgb> panel = gif.frames[0].Pixels();
  const int w = png.width, h = png.height;
  ASSERT_EQ(gif.width, w);
  ASSERT_EQ(gif.height, h);
  int compared = 0;
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      const uint8_t* p = &png.rgb[3 * (static_cast<size_t>(y) * w + x)];
      ASSERT_EQ(panel[static_cast<size_t>(y) * w + x], (Rgb{p[0], p[1], p[2]})) << x << "," << y;
      ++compared;
    }
  EXPECT_EQ(compared, (w - 2) * (h - 2));
}

// The cat hidden in the coffee cup with a band, both at half size: the synthesis, and the
// hidden picture (grey: every channel its luminance).
struct TPair {
  TBitmap result, hidden;
};
void Combined(const TToneBand& band, bool grey, TPair& pair) {
  TBitmap size, visible;
  size.SetPixelFormat(TPixelFormat::Bits24);
  size.SetWidth(300);
  size.SetHeight(200);
  FitToResult(size, *LoadBitmap(Sample("coffee.bmp")), visible);
  FitToResult(size, *LoadBitmap(Sample("chelsea.bmp")), pair.hidden);
  if (grey)
    for (int y = 0; y < pair.hidden.Height(); ++y) {
      uint8_t* p = pair.hidden.Scanline(y);
      for (int x = 0; x < pair.hidden.Width(); ++x, p += 3) p[0] = p[1] = p[2] = Luma(p);
    }
  TBitmap inner;
  inner.Assign(&pair.hidden);
  Synthesize(pair.result, visible, inner, band.average, band.contrast);
}

TEST(SaveByFormat, TheAdaptivePaletteKeepsTheHiddenPictureWhereTheHalftoneLosesIt) {
  const TToneBand band{200, 40};
  TPair pair;
  Combined(band, false, pair);
  TempDir dir;
  TSaveOptions options(TSaveFormat::sfPNG);
  options.indexed = true;
  options.palette = TPaletteKind::pkAdaptive;
  options.band = band;
  SaveByFormat(pair.result, dir.File("adaptive.png"), options);
  const TPngFacts png = ReadPngFacts(ReadBytes(dir.File("adaptive.png")));
  ASSERT_EQ(png.error, "");
  EXPECT_EQ(png.color_type, PNG_COLOR_TYPE_PALETTE);
  EXPECT_LE(png.palette_entries, 256);
  EXPECT_EQ(png.texts.size(), 1u);
  TBitmap adaptive, halftone;
  adaptive.Assign(&pair.result);
  ReduceToAdaptivePalette(adaptive, band);
  EXPECT_TRUE(png.rgb == RGBPixels(adaptive));
  halftone.Assign(&pair.result);
  ReduceToHalftone(halftone);
  adaptive.SetPixelFormat(TPixelFormat::Bits24);
  halftone.SetPixelFormat(TPixelFormat::Bits24);
  const double ours = *HiddenPsnr(adaptive, pair.hidden, band);
  const double fixed = *HiddenPsnr(halftone, pair.hidden, band);
  EXPECT_GT(ours, fixed + 10) << ours << " against " << fixed;
  EXPECT_GT(ours, 35);
}

TEST(SaveByFormat, TheAdaptivePaletteGivesAGreyHiddenPictureExactEntries) {
  // At 230/25 (200/40) a grey hidden picture leaves at most 51 (81) colours in the odd
  // cells: each gets its own entry, and but for the few cells that a much busier entry next
  // to theirs draws away, they come back exactly as the full-colour result holds them.
  for (const TToneBand band : {TToneBand{230, 25}, TToneBand{200, 40}}) {
    TPair pair;
    Combined(band, true, pair);
    TBitmap adaptive;
    adaptive.Assign(&pair.result);
    ReduceToAdaptivePalette(adaptive, band);
    ASSERT_EQ(adaptive.PixelFormat(), TPixelFormat::Bits8);
    const std::vector<TRGBQuad> palette = adaptive.ColorTable();
    adaptive.SetPixelFormat(TPixelFormat::Bits24);
    int odd_changed = 0, even_changed = 0, odd_cells = 0, missing = 0;
    for (int y = 0; y < adaptive.Height(); ++y) {
      const uint8_t* a = adaptive.ConstScanline(y);
      const uint8_t* r = pair.result.ConstScanline(y);
      for (int x = 0; x < adaptive.Width(); ++x) {
        const bool changed = !std::equal(a + 3 * x, a + 3 * x + 3, r + 3 * x);
        if ((x + y) % 2 == 0) {
          even_changed += changed;
          continue;
        }
        ++odd_cells;
        odd_changed += changed;
        const TRGBQuad colour{r[3 * x], r[3 * x + 1], r[3 * x + 2], 0};
        missing += std::find(palette.begin(), palette.end(), colour) == palette.end();
      }
    }
    EXPECT_EQ(missing, 0) << band.average << "/" << band.contrast;
    EXPECT_LT(odd_changed, odd_cells / 1000) << band.average << "/" << band.contrast;
    EXPECT_GT(even_changed, 0);  // the visible picture has far more than 256 colours
    const double full = *HiddenPsnr(pair.result, pair.hidden, band);
    EXPECT_GT(*HiddenPsnr(adaptive, pair.hidden, band), full - 0.05);
  }
}

TEST(SaveByFormat, AnEmptyPictureHasNoPngAndLeavesNoFile) {
  TempDir dir;
  const TBitmap empty;
  for (const int form : {0, 1, 2}) {
    TSaveOptions options(TSaveFormat::sfPNG);
    options.indexed = form > 0;
    if (form == 2) options.palette = TPaletteKind::pkAdaptive;
    try {
      SaveByFormat(empty, dir.File("empty.png"), options);
      ADD_FAILURE() << "no error";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), SPNGEmptyPicture);
    }
  }
  EXPECT_TRUE(dir.Entries().empty());
}

// The tool chooses the format by the name's ending in any case.
TEST(SaveByFormat, ExtensionsMatchInAnyCase) {
  for (const char* name : {"a.png", "A.PNG", "dir.x/b.Png", ".png"})
    EXPECT_TRUE(EndsWithText(name, ".png")) << name;
  for (const char* name : {"a.png.bmp", "apng", "png", "", "a.pn", "a.gif"})
    EXPECT_FALSE(EndsWithText(name, ".png")) << name;
  EXPECT_TRUE(EndsWithText("x.GiF", ".gif"));
}

// A name asks for the format of its ending, in any case; the panel's GIF only where the
// command saves as the window does; every other name is BMP.
TEST(OutputFormats, ANameAsksForTheFormatOfItsEnding) {
  for (const char* name : {"a.png", "A.PNG", "dir.x/b.Png"}) {
    EXPECT_EQ(FormatForName(name, false), TSaveFormat::sfPNG) << name;
    EXPECT_EQ(FormatForName(name, true), TSaveFormat::sfPNG) << name;
  }
  EXPECT_EQ(FormatForName("a.GiF", true), TSaveFormat::sfGIF);
  EXPECT_EQ(FormatForName("a.gif", false), TSaveFormat::sfBMP);
  for (const char* name : {"a.png.bmp", "apng", "-", "", "a.bmp", "a.gif.txt"})
    EXPECT_EQ(FormatForName(name, true), TSaveFormat::sfBMP) << name;
}

// Every row of the table writes its file under the name as typed, and exactly the formats
// that say they record the band keep it in the file.
TEST(OutputFormats, EveryRowWritesItsFileAndTheBandWhereItSaysSo) {
  TempDir dir;
  for (const TOutputFormat& format : OutputFormats()) {
    ASSERT_FALSE(EndingsOf(format).empty()) << format.name;
    EXPECT_EQ(&OutputFormatOf(format.value), &format);
    for (const bool indexed : {false, true}) {
      if (indexed && !format.palette_form) continue;
      TSaveOptions options(format.value);
      options.indexed = indexed;
      options.band = TToneBand{201, 54};
      const std::string name = dir.File(std::string(format.name) + (indexed ? "-indexed" : ""));
      SaveByFormat(Result(), name, options);
      const std::vector<uint8_t> bytes = ReadBytes(name);
      ASSERT_GT(bytes.size(), 100u) << name;
      const std::string text = BandText({201, 54});
      const bool kept =
          std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
      EXPECT_EQ(kept, format.records_band) << name;
    }
  }
}

}  // namespace
