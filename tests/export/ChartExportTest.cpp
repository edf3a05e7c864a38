// The chart panel's rendering (fill, back image, bevels) and the GIF export path that the
// window's "Save to File" with "GIF" ticked runs, checked by decoding the files with an
// independent decoder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "export/HalftoneRender.h"
#include "export/SaveAsGif.h"
#include "export/TeePanel.h"
#include "export/Teegif.h"
#include "gif/Gifimage.h"
#include "platform/Palettes.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"
#include "tests/gif/GifTestSupport.h"

namespace {

// A 24-bit picture of distinct, non-bevel colours: pixel (x, y) = (10 + x, 20 + y, 30).
std::unique_ptr<TBitmap> Numbered(int width, int height) {
  return MakeBitmap24(width, height, [](int x, int y) {
    return RGBColor(static_cast<uint8_t>(10 + x), static_cast<uint8_t>(20 + y), 30);
  });
}

// A chart of the given size whose back image is Numbered(width, height).
void SetUpChart(TChart& chart, int width, int height) {
  chart.SetWidth(width);
  chart.SetHeight(height);
  const auto picture = Numbered(width, height);
  TPicture back;
  back.SetGraphic(picture.get());
  chart.SetBackImage(back);
}

// The panel rendered as the export renders it, one letter per pixel: H highlight, S
// shadow, F face, P a picture pixel, ? anything else.
std::string Render(TChart& chart, const TGraphic* back_image) {
  TPicture picture;
  picture.SetGraphic(back_image);
  chart.SetBackImage(picture);
  const auto raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, chart.Width(), chart.Height()),
                                            TPixelFormat::Device);
  std::string s;
  for (int y = 0; y < raster->Height(); ++y) {
    for (int x = 0; x < raster->Width(); ++x) {
      const TColor c = raster->Pixel(x, y);
      s += c == clBtnHighlight                 ? 'H'
           : c == clBtnShadow                  ? 'S'
           : c == clBtnFace                    ? 'F'
           : c == RGBColor(10 + x, 20 + y, 30) ? 'P'
                                               : '?';
    }
    s += '\n';
  }
  return s;
}

std::string Render(int width, int height, const std::function<void(TChart&)>& setup = nullptr) {
  TChart chart;
  chart.SetWidth(width);
  chart.SetHeight(height);
  if (setup) setup(chart);
  const auto picture = Numbered(width, height);
  return Render(chart, picture.get());
}

std::vector<Rgb> ToRgb(const TBitmap& bitmap) {
  std::vector<Rgb> pixels;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor c = bitmap.Pixel(x, y);
      pixels.push_back(Rgb{GetRValue(c), GetGValue(c), GetBValue(c)});
    }
  return pixels;
}

}  // namespace

// The panel ----------------------------------------------------------------------------------

TEST(PanelRender, ARaisedOnePixelBevelRingsThePicture) {
  EXPECT_EQ(Render(3, 3),
            "HHS\n"
            "HPS\n"
            "SSS\n");
  EXPECT_EQ(Render(1, 1), "S\n");
  EXPECT_EQ(Render(1, 4), "S\nS\nS\nS\n");
  EXPECT_EQ(Render(4, 1), "SSSS\n");
}

TEST(PanelRender, EveryBevelKindAndWidth) {
  EXPECT_EQ(Render(4, 4, [](TChart& c) { c.BevelOuter = bvLowered; }),
            "SSSH\n"
            "SPPH\n"
            "SPPH\n"
            "HHHH\n");
  EXPECT_EQ(Render(4, 3, [](TChart& c) { c.BevelOuter = bvSpace; }),
            "HHHH\n"
            "HPPH\n"
            "HHHH\n");
  EXPECT_EQ(Render(4, 3, [](TChart& c) { c.BevelOuter = bvNone; }),
            "PPPP\n"
            "PPPP\n"
            "PPPP\n");
  // Two passes: the second frame lies inside the first.
  EXPECT_EQ(Render(6, 6, [](TChart& c) { c.BevelWidth = 2; }),
            "HHHHHS\n"
            "HHHHSS\n"
            "HHPPSS\n"
            "HHPPSS\n"
            "SSSSSS\n"
            "SSSSSS\n");
  // Outer raised, a border of the panel colour, inner lowered. Every bottom line starts one
  // pixel left of its frame, so an inner frame's bottom line reaches into the frame around
  // it (and the outer one's first pixel lies outside the raster).
  EXPECT_EQ(Render(7, 7,
                   [](TChart& c) {
                     c.BorderWidth = 1;
                     c.BevelInner = bvLowered;
                   }),
            "HHHHHHS\n"
            "HFFFFFS\n"
            "HFSSHFS\n"
            "HFSPHFS\n"
            "HHHHHFS\n"
            "FFFFFFS\n"
            "SSSSSSS\n");
}

TEST(PanelRender, TiledAndCentredBackImages) {
  TChart chart;
  chart.SetWidth(5);
  chart.SetHeight(4);
  chart.BevelOuter = bvNone;
  chart.BackImageMode = pbmTile;
  const auto tile =
      MakeBitmap24(2, 3, [](int x, int y) { return (x + y) % 2 ? clBlack : clWhite; });
  TPicture picture;
  picture.SetGraphic(tile.get());
  chart.SetBackImage(picture);
  auto raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, 5, 4), TPixelFormat::Device);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(raster->Pixel(x, y), ((x % 2) + (y % 3)) % 2 ? clBlack : clWhite) << x << "," << y;

  chart.BackImageMode = pbmCenter;
  raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, 5, 4), TPixelFormat::Device);
  // (5 - 2) / 2 = 1 across, (4 - 3) / 2 = 0 down; the rest is the panel colour.
  EXPECT_EQ(raster->Pixel(0, 0), clBtnFace);
  EXPECT_EQ(raster->Pixel(1, 0), clWhite);
  EXPECT_EQ(raster->Pixel(2, 0), clBlack);
  EXPECT_EQ(raster->Pixel(3, 2), clBtnFace);
  EXPECT_EQ(raster->Pixel(1, 3), clBtnFace);
}

TEST(PanelRender, BufferedDisplayIsRestoredAfterTheRender) {
  TChart chart;
  chart.SetWidth(2);
  chart.SetHeight(2);
  chart.BufferedDisplay = true;
  chart.TeeCreateBitmap(chart.Color, Rect(0, 0, 2, 2), TPixelFormat::Device);
  EXPECT_TRUE(chart.BufferedDisplay);
  EXPECT_EQ(chart.ChartBounds(), Rect(0, 0, 2, 2));
}

// The export format -------------------------------------------------------------------------

TEST(GIFExportFormat, DescribesItselfAndKeepsItsOptionsOnRLE) {
  TGIFExportFormat format;
  EXPECT_EQ(format.Description(), "as &GIF");
  EXPECT_EQ(format.FileFilter(), "GIF files (*.gif)|*.gif");
  EXPECT_EQ(format.FileExtension(), "gif");
  EXPECT_EQ(format.Options(false), nullptr);
  ASSERT_NE(format.Options(true), nullptr);
  TTeeGIFOptions& options = *format.Properties();
  EXPECT_EQ(options.CBDither.ItemIndex, 0);
  EXPECT_EQ(options.CBReduction.ItemIndex, 0);
  EXPECT_EQ(options.RGCompression.ItemIndex, 1);
  EXPECT_EQ(options.CBReduction.Items.size(), 9u);
  options.RGCompression.Click(0);  // "LZW" snaps back
  EXPECT_EQ(options.RGCompression.ItemIndex, 1);
  int counter = 4;
  format.IncFileFilterIndex(counter);
  EXPECT_EQ(counter, 5);
  EXPECT_EQ(format.FileFilterIndex(), 5);
  bool listed = false;
  for (const auto* cls : TeeExportFormats()) listed |= cls == &TGIFExportFormat::Class();
  EXPECT_TRUE(listed);
}

TEST(GIFExportFormat, TheBaseFormatsOperationsAreAbstract) {
  TTeeExportFormat base;
  TMemoryStream stream;
  EXPECT_THROW(base.Description(), EAbstractError);
  EXPECT_THROW(base.SaveToStream(stream), EAbstractError);
  EXPECT_THROW(base.DoCopyToClipboard(), EAbstractError);
  EXPECT_EQ(base.Options(true), nullptr);
}

TEST(GIFExportFormat, WithoutAPanelNothingIsTouched) {
  TempDir dir;
  const std::string file = dir.File("kept.gif");
  WriteBytes(file, {1, 2, 3});
  TGIFExportFormat format;
  try {
    format.SaveToFile(file);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Panel property is not set in Export format");
  }
  EXPECT_EQ(ReadBytes(file), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(GIFExportFormat, EveryPixelIsExactAndTheFileIsRunLengthCoded) {
  TChart chart;
  SetUpChart(chart, 9, 5);
  TGIFExportFormat format;
  format.Panel = &chart;
  format.Options(true);
  format.Properties()->RGCompression.Click(0);  // asks for LZW; the export codes run-length
  TMemoryStream stream;
  format.SaveToStream(stream);
  const std::vector<uint8_t> bytes = Bytes(stream);

  // The same render, coded by the GIF library with run-length codes, is the same file.
  const auto raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, 9, 5), TPixelFormat::Device);
  TGIFImage expected;
  expected.SetCompression(gcRLE);
  expected.SetColorReduction(rmNone);
  expected.Assign(raster.get());
  EXPECT_EQ(bytes, SaveGif(expected));
  const DecodedGif decoded = DecodeGif(bytes);
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].Pixels(), ToRgb(*raster));
}

// The window's GIF save ----------------------------------------------------------------------

TEST(SaveAsGif, APhotoGetsTheBevelRingAndTheHalftoneColoursInside) {
  TBitmap photo;
  photo.LoadFromFile(Sample("chelsea.bmp"));  // 451 x 300, 24 bits
  TempDir dir;
  TGifSaveTarget target;
  SaveAsGif(photo, target, dir.File("cat.gif"));
  const std::vector<uint8_t> bytes = ReadBytes(dir.File("cat.gif"));
  ASSERT_GT(bytes.size(), 13u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
  const DecodedGif decoded = DecodeGif(bytes);
  ASSERT_EQ(decoded.frames.size(), 1u);
  const DecodedFrame& frame = decoded.frames[0];
  EXPECT_TRUE(frame.local_table);
  EXPECT_TRUE(decoded.global_table.empty());
  EXPECT_EQ(frame.transparent_index, -1);
  ASSERT_EQ(frame.width, 451);
  ASSERT_EQ(frame.height, 300);

  TBitmap reduced;
  reduced.Assign(&photo);
  reduced.SetPixelFormat(TPixelFormat::Bits8);
  const std::vector<Rgb> pixels = frame.Pixels();
  const Rgb highlight{255, 255, 255}, shadow{128, 128, 128};
  int mismatches = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 451; ++x) {
      const Rgb got = pixels[static_cast<size_t>(y) * 451 + x];
      Rgb want;
      if (y == 299 || (x == 450 && y < 299))
        want = shadow;
      else if (x == 0 || y == 0)
        want = highlight;
      else {
        const TColor c = reduced.Pixel(x, y);
        want = Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
      }
      mismatches += !(got == want);
    }
  EXPECT_EQ(mismatches, 0);
  // The box and the chart keep the picture's size; the box keeps its 8-bit copy.
  EXPECT_EQ(target.Chart.Width(), 451);
  EXPECT_EQ(target.Image4.Height, 300);
  EXPECT_EQ(dynamic_cast<TBitmap*>(target.Image4.Picture().Graphic())->PixelFormat(),
            TPixelFormat::Bits8);
}

TEST(SaveAsGif, TwoSavesOfOnePictureAreIdentical) {
  const auto picture = Numbered(40, 30);
  TempDir dir;
  TGifSaveTarget target;
  SaveAsGif(*picture, target, dir.File("a.gif"));
  SaveAsGif(*picture, target, dir.File("b.gif"));
  EXPECT_EQ(ReadBytes(dir.File("a.gif")), ReadBytes(dir.File("b.gif")));
}

TEST(SaveAsGif, AnEmptyResultKeepsThePanelsSizeAndShowsItsColour) {
  TempDir dir;
  TGifSaveTarget target;
  const auto picture = Numbered(6, 4);
  SaveAsGif(*picture, target, dir.File("first.gif"));
  TBitmap empty;
  SaveAsGif(empty, target, dir.File("empty.gif"));
  const DecodedGif decoded = DecodeGif(ReadBytes(dir.File("empty.gif")));
  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.frames[0].width, 6);
  EXPECT_EQ(decoded.frames[0].height, 4);
  const std::vector<Rgb> pixels = decoded.frames[0].Pixels();
  EXPECT_EQ(pixels[1 * 6 + 1], (Rgb{192, 192, 192}));
  EXPECT_EQ(pixels[2 * 6 + 4], (Rgb{192, 192, 192}));
  EXPECT_EQ(pixels[0], (Rgb{255, 255, 255}));
  EXPECT_EQ(pixels[3 * 6 + 2], (Rgb{128, 128, 128}));

  // Before any save the box has its default size, which the chart then takes.
  TGifSaveTarget fresh;
  SaveAsGif(empty, fresh, dir.File("fresh.gif"));
  EXPECT_EQ(DecodeGif(ReadBytes(dir.File("fresh.gif"))).frames[0].width, 105);
}

TEST(SaveAsGif, AFailedSaveLeavesThePreviousFileAndNoStrayFiles) {
  TempDir dir;
  const std::string file = dir.File("result.gif");
  WriteBytes(file, {'o', 'l', 'd'});
  // A rendered panel of more than 256 colours: a 24-bit back image drawn without the
  // window's halftone step.
  TChart chart;
  SetUpChart(chart, 20, 20);
  TGIFExportFormat format;
  format.Panel = &chart;
  try {
    format.SaveToFile(file);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Color table overflow");
  }
  EXPECT_EQ(ReadBytes(file), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"result.gif"});

  TGifSaveTarget target;
  const auto many = Numbered(20, 20);
  EXPECT_THROW(SaveAsGif(*many, target, "/nonexistent/folder/x.gif"), EFCreateError);
}

TEST(SaveAsGif, TheCommandLineToolWritesTheSameFile) {
  TempDir dir;
  TBitmap photo;
  photo.LoadFromFile(Sample("coffee.bmp"));
  TGifSaveTarget target;
  SaveAsGif(photo, target, dir.File("library.gif"));
  const std::string command =
      ToolPath() + " gif " + Sample("coffee.bmp") + " " + dir.File("tool.gif") + " --panel";
  ASSERT_EQ(RunCommand(command), 0);
  EXPECT_EQ(ReadBytes(dir.File("tool.gif")), ReadBytes(dir.File("library.gif")));
}

// The render at 8 bits per pixel ------------------------------------------------------------

namespace {

// The file the export writes for `chart`, and the one the GIF library writes for the
// chart's true-colour render: the path every export took before the 8-bit render.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> ExportAndTrueColour(TChart& chart) {
  TGIFExportFormat format;
  format.Panel = &chart;
  TMemoryStream stream;
  format.SaveToStream(stream);
  const auto raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, chart.Width(), chart.Height()),
                                            TPixelFormat::Device);
  TGIFImage expected;
  expected.SetCompression(gcRLE);
  expected.SetColorReduction(rmNone);
  expected.Assign(raster.get());
  return {Bytes(stream), SaveGif(expected)};
}

void SetBack(TChart& chart, const TGraphic* graphic) {
  TPicture back;
  back.SetGraphic(graphic);
  chart.SetBackImage(back);
}

}  // namespace

TEST(HalftoneRender, AHalftoneBackImageRendersAtEightBitsToTheSameFile) {
  TBitmap photo;
  photo.LoadFromFile(Sample("chelsea.bmp"));
  photo.SetPixelFormat(TPixelFormat::Bits8);  // as the window's GIF save does
  for (const auto& [width, height] : {std::pair{451, 300}, std::pair{1, 1}, std::pair{1, 7},
                                      std::pair{7, 1}, std::pair{200, 333}}) {
    TChart chart;
    chart.SetWidth(width);
    chart.SetHeight(height);
    SetBack(chart, &photo);  // stretched when the sizes differ
    ASSERT_TRUE(RendersExactlyInHalftone(chart, chart.Color));
    for (int threads : {1, 2, 3}) {
      const TBandSettings settings(threads, 0);
      const auto [exported, true_colour] = ExportAndTrueColour(chart);
      EXPECT_EQ(exported, true_colour) << width << "x" << height << ", " << threads << " threads";
    }
  }
}

TEST(HalftoneRender, AnyColourOutsideTheTableKeepsTheTrueColourRender) {
  TBitmap halftone;
  halftone.Assign(Numbered(6, 4).get());
  halftone.SetPixelFormat(TPixelFormat::Bits8);
  const auto true_colour = Numbered(6, 4);
  const auto odd_palette = MakeBitmap8(6, 4, {{1, 2, 3, 0}, {255, 255, 255, 0}},
                                       [](int x, int) { return static_cast<uint8_t>(x & 1); });
  struct TCase {
    const char* name;
    std::function<void(TChart&)> setup;
    bool halftone;
  };
  const TCase cases[] = {
      {"a halftone picture", [&](TChart& c) { SetBack(c, &halftone); }, true},
      {"no picture", [&](TChart& c) { SetBack(c, nullptr); }, true},
      {"a true-colour picture", [&](TChart& c) { SetBack(c, true_colour.get()); }, false},
      {"a table with other colours", [&](TChart& c) { SetBack(c, odd_palette.get()); }, false},
      {"another panel colour",
       [&](TChart& c) {
         SetBack(c, &halftone);
         c.Color = RGBColor(1, 2, 3);
       },
       false},
  };
  for (const TCase& test : cases) {
    TChart chart;
    chart.SetWidth(6);
    chart.SetHeight(4);
    test.setup(chart);
    EXPECT_EQ(RendersExactlyInHalftone(chart, chart.Color), test.halftone) << test.name;
    const auto [exported, true_colour_file] = ExportAndTrueColour(chart);
    EXPECT_EQ(exported, true_colour_file) << test.name;
  }
}
