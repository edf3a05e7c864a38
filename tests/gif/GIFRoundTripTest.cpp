// Every file written here is decoded by giflib to exactly the colours that went in, for
// both encoders, interlaced and not: tiny and large pictures, 1 to 256 colours, noise,
// long runs, and photos.
#include <gtest/gtest.h>

#include "gif/Gifimage.h"
#include "tests/gif/GifTestSupport.h"

namespace {

struct RoundTripCase {
  std::string name;
  // Either a picture to assign (with rmNone) ...
  std::function<std::unique_ptr<TBitmap>()> picture;
  // ... or a frame to fill directly: size, table and indices.
  std::function<void(TGIFSubImage&)> frame;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

TColor Scattered(uint32_t i) {
  return RGBColor(static_cast<uint8_t>(i * 97), static_cast<uint8_t>(i * 13 + (i >> 2)),
                  static_cast<uint8_t>(255 - i));
}

RoundTripCase Colours(int n) {
  return {std::to_string(n) + "Colours",
          [n] {
            TestRandom random(static_cast<uint32_t>(n));
            return MakeBitmap24(97, 61, [n, &random](int x, int y) {
              // Every colour once in the first row(s), then at random.
              const int i = y * 97 + x;
              return Scattered(static_cast<uint32_t>(
                  i < n ? i : static_cast<int>(random.Next() % static_cast<uint32_t>(n))));
            });
          },
          nullptr};
}

// A frame of the given size and table whose pixels come from index(i).
std::function<void(TGIFSubImage&)> Frame(int width, int height, int colours,
                                         std::function<uint8_t(size_t)> index) {
  return [=](TGIFSubImage& frame) {
    frame.SetSize(width, height);
    for (int i = 0; i < colours; ++i) frame.ColorMap().Add(Scattered(static_cast<uint32_t>(i)));
    for (size_t i = 0; i < frame.DataSize(); ++i) frame.Data()[i] = index(i);
  };
}

// Runs of random values and lengths (up to `longest`).
std::function<uint8_t(size_t)> Runs(uint32_t seed, int colours, uint32_t longest) {
  auto random = std::make_shared<TestRandom>(seed);
  auto left = std::make_shared<uint32_t>(0);
  auto value = std::make_shared<uint8_t>(0);
  return [=](size_t) {
    if (*left == 0) {
      *value = static_cast<uint8_t>(random->Next() % static_cast<uint32_t>(colours));
      *left = 1 + random->Next() % longest;
    }
    --*left;
    return *value;
  };
}

// A photo brought to the halftone palette (8 bits, nearest colours).
std::unique_ptr<TBitmap> Halftone(const std::string& file) {
  auto picture = LoadBitmap(file);
  picture->SetPixelFormat(TPixelFormat::Bits8);
  return picture;
}

std::vector<RoundTripCase> Cases() {
  std::vector<RoundTripCase> cases = {
      {"OnePixel", [] { return MakeBitmap24(1, 1, [](int, int) { return RGBColor(9, 8, 7); }); },
       nullptr},
      {"RedBlueRed",
       [] {
         return MakeBitmap24(
             3, 1, [](int x, int) { return x == 1 ? RGBColor(0, 0, 255) : RGBColor(255, 0, 0); });
       },
       nullptr},
      {"OneColumn",
       [] {
         return MakeBitmap24(1, 300,
                             [](int, int y) { return Scattered(static_cast<uint32_t>(y % 17)); });
       },
       nullptr},
      {"OneRow",
       [] {
         return MakeBitmap24(700, 1,
                             [](int x, int) { return Scattered(static_cast<uint32_t>(x % 255)); });
       },
       nullptr},
      Colours(1),
      Colours(2),
      Colours(3),
      Colours(17),
      Colours(255),
      Colours(256),
      {"Noise256Colours", nullptr,
       Frame(600, 400, 256,
             [r = std::make_shared<TestRandom>(5)](size_t) {
               return static_cast<uint8_t>(r->Next());
             })},
      {"Noise3Colours", nullptr,
       Frame(333, 211, 3,
             [r = std::make_shared<TestRandom>(6)](size_t) {
               return static_cast<uint8_t>(r->Next() % 3);
             })},
      {"LongRuns4Colours", nullptr, Frame(3000, 1000, 4, Runs(7, 4, 50000))},
      {"MixedRuns200Colours", nullptr, Frame(1000, 800, 200, Runs(8, 200, 300))},
      // Long runs of one value broken by single pixels: the run codes are used again.
      {"RunsBrokenBySinglePixels", nullptr,
       Frame(1000, 500, 2, [](size_t i) { return static_cast<uint8_t>(i % 101 == 100); })},
      {"OneColour8Megapixels", nullptr, Frame(4000, 2100, 4, [](size_t) { return uint8_t{3}; })},
      {"CoffeeHalftone", [] { return Halftone(LUMIVEIL_SAMPLES "/coffee.bmp"); }, nullptr},
      {"CoffeeHalftoneAs24Bits",
       [] {
         auto picture = Halftone(LUMIVEIL_SAMPLES "/coffee.bmp");
         picture->SetPixelFormat(TPixelFormat::Bits24);
         return picture;
       },
       nullptr},
      {"ChelseaHalftone", [] { return Halftone(LUMIVEIL_SAMPLES "/chelsea.bmp"); }, nullptr},
      {"SampleHalftone", [] { return Halftone(LUMIVEIL_TESTDATA "/sdl2-image/sample.bmp"); },
       nullptr},
      {"CoffeeHalftone3Megapixels",
       [] {
         // Scaled up by repeating pixels: 2000 x 1500.
         auto small = Halftone(LUMIVEIL_SAMPLES "/coffee.bmp");
         std::vector<TPaletteEntry> palette = GetPaletteEntries(small->Palette());
         return MakeBitmap8(2000, 1500, palette, [&small](int x, int y) {
           return small->ConstScanline(y * small->Height() / 1500)[x * small->Width() / 2000];
         });
       },
       nullptr},
  };
  return cases;
}

using Param = std::tuple<RoundTripCase, TGIFCompression, bool>;

class RoundTripTest : public testing::TestWithParam<Param> {};

TEST_P(RoundTripTest, DecodesToTheSameColours) {
  const auto& [c, compression, interlaced] = GetParam();
  TGIFImage gif;
  gif.SetColorReduction(rmNone);
  gif.SetCompression(compression);
  std::vector<Rgb> expected;
  if (c.picture) {
    auto picture = c.picture();
    gif.Assign(picture.get());
    expected = PixelsOf(*picture);
  } else {
    TGIFSubImage& frame = gif.Images().Add();
    c.frame(frame);
    gif.Header().Width = static_cast<uint16_t>(frame.Width());
    gif.Header().Height = static_cast<uint16_t>(frame.Height());
    for (size_t i = 0; i < frame.DataSize(); ++i) {
      const TGIFColor& e = frame.ColorMap().Entry(frame.Data()[i]);
      expected.push_back(Rgb{e.Red, e.Green, e.Blue});
    }
  }
  ASSERT_EQ(gif.Images().Count(), 1);
  TGIFSubImage& frame = gif.Images()[0];
  frame.SetInterlaced(interlaced);

  const DecodedGif decoded = DecodeGif(SaveGif(gif));
  ASSERT_EQ(decoded.frames.size(), 1u);
  const DecodedFrame& out = decoded.frames[0];
  EXPECT_EQ(decoded.width, frame.Width());
  EXPECT_EQ(decoded.height, frame.Height());
  EXPECT_EQ(out.interlaced, interlaced);
  ASSERT_EQ(out.table.size(), size_t{1} << frame.ColorMap().BitsPerPixel());
  for (int i = 0; i < frame.ColorMap().Count(); ++i) {
    const TGIFColor& e = frame.ColorMap().Entry(i);
    ASSERT_EQ(out.table[static_cast<size_t>(i)], (Rgb{e.Red, e.Green, e.Blue})) << "entry " << i;
  }
  ASSERT_EQ(out.indices.size(), frame.DataSize());
  const auto pixels = out.Pixels();
  for (size_t i = 0; i < pixels.size(); ++i) {
    ASSERT_EQ(out.indices[i], frame.Data()[i]) << "pixel " << i;
    ASSERT_EQ(pixels[i], expected[i]) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, RoundTripTest,
                         testing::Combine(testing::ValuesIn(Cases()), testing::Values(gcLZW, gcRLE),
                                          testing::Bool()),
                         [](const testing::TestParamInfo<Param>& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) == gcLZW ? "LZW" : "RLE") +
                                  (std::get<2>(info.param) ? "Interlaced" : "");
                         });

}  // namespace
