// The dither engines: worked single-error cases for every kernel (weights, offsets in the
// scan direction, divisor, rounding toward zero, clamping, errors beyond a row's ends
// lost), the serpentine order, and a slow reference written from the kernels' tables that
// every engine must match on random pictures through each lookup.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "gif/Gifimage.h"
#include "platform/Palettes.h"
#include "tests/gif/GifTestSupport.h"

namespace {

// Reveals the adjusted red value of every pixel as its index. The colour it chooses is the
// adjusted colour itself, so no pixel has an error, except a pixel whose adjusted red is
// `trigger`: its red becomes `chosen`, and its error is the only one in the picture.
class TRevealLookup : public TColorLookup {
 public:
  TRevealLookup(uint8_t trigger, uint8_t chosen)
      : TColorLookup(256), trigger_(trigger), chosen_(chosen) {}
  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    r = red == trigger_ ? chosen_ : red;
    g = green;
    b = blue;
    return red;
  }

 private:
  uint8_t trigger_, chosen_;
};

// Runs an engine over a picture whose red values are `reds` (rows from the top), green
// and blue 0; returns the index of every pixel.
std::vector<int> Dither(TDitherMode mode, int width, int height, const std::vector<int>& reds,
                        TColorLookup& lookup) {
  auto picture = MakeBitmap24(width, height, [&](int x, int y) {
    return RGBColor(static_cast<uint8_t>(reds[static_cast<size_t>(y * width + x)]), 0, 0);
  });
  TDIBReader reader(*picture, TPixelFormat::Bits24);
  auto engine = CreateDitherEngine(mode, width, lookup);
  TBitmap result;
  TDIBWriter writer(result, TPixelFormat::Bits8, width, height, GrayScalePalette());
  DitherRows(reader, *engine, writer);
  writer.Finish();
  std::vector<int> indices;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) indices.push_back(result.ConstScanline(y)[x]);
  return indices;
}

struct WorkedCase {
  const char* name;
  TDitherMode mode;
  int width, height;
  // A picture of red 50 with one pixel of red 200 in the middle of the top row (scanned
  // left to right) that chooses red 0: error +200.
  std::vector<int> positive;
  // A picture of red 100 with one pixel of red 120 in the middle of the second row
  // (scanned right to left) that chooses red 255: error -135.
  std::vector<int> negative;
};

void PrintTo(const WorkedCase& c, std::ostream* os) {
  *os << c.name;
}

// Every pixel shows base + trunc((weight x error + divisor / 2) / divisor) for the weight
// the kernel gives its place relative to the erring pixel, offsets taken in the direction
// of the erring pixel's row; trunc rounds toward zero. For example Stucki, one row below,
// same column: 50 + trunc((8 x 200 + 21) / 42) = 50 + 38 = 88, and with the negative error
// 100 + trunc((8 x -135 + 21) / 42) = 100 + trunc(-25.2) = 75 (rounding down would give
// 74). Pixels outside the kernel, before the erring one, or in columns the kernel would
// place beyond the row keep their value.
const WorkedCase kWorkedCases[] = {
    {"FloydSteinberg",
     dmFloydSteinberg,
     5,
     3,
     // 7/16 ahead in the row; 3/16 behind, 5/16 below, 1/16 ahead in the row below.
     {50, 50, 200, 138, 50, /**/ 50, 88, 113, 63, 50, /**/ 50, 50, 50, 50, 50},
     {100, 100, 100, 100, 100, /**/ 100, 42, 120, 100, 100, /**/ 100, 93, 59, 76, 100}},
    {"Stucki",
     dmStucki,
     5,
     4,
     {50,      50, 200, 88, 69, /**/ 60, 69, 88, 69, 60,
      /**/ 55, 60, 69,  60, 55, /**/ 50, 50, 50, 50, 50},
     {100,     100, 100, 100, 100, /**/ 88, 75, 120, 100, 100,
      /**/ 95, 88,  75,  88,  95,  /**/ 98, 95, 88,  95,  98}},
    {"Sierra",
     dmSierra,
     5,
     4,
     {50,      50, 200, 81, 69, /**/ 63, 75, 81, 75, 63,
      /**/ 50, 63, 69,  63, 50, /**/ 50, 50, 50, 50, 50},
     {100,     100, 100, 100, 100, /**/ 88,  80, 120, 100, 100,
      /**/ 93, 84,  80,  84,  93,  /**/ 100, 93, 88,  93,  100}},
    {"JaJuNi",
     dmJaJuNI,
     5,
     4,
     {50,      50, 200, 79, 71, /**/ 63, 71, 79, 71, 63,
      /**/ 54, 63, 71,  63, 54, /**/ 50, 50, 50, 50, 50},
     {100,     100, 100, 100, 100, /**/ 87, 81, 120, 100, 100,
      /**/ 93, 87,  81,  87,  93,  /**/ 98, 93, 87,  93,  98}},
    {"SteveArche",
     dmSteveArche,
     7,
     5,
     // Ahead +2 only in the row; -3, -1, +1, +3 (12, 26, 30, 16) in the next row, which
     // is not symmetric, so the direction shows there too.
     {50,      50, 50, 200, 50, 82, 50, /**/ 62, 50, 76, 50, 80, 50, 66,
      /**/ 50, 62, 50, 76,  50, 62, 50,
      /**/ 55, 50, 62, 50,  62, 50, 55, /**/ 50, 50, 50, 50, 50, 50, 50},
     {100, 100, 100,     100, 100,     100, 100, /**/ 100, 79, 100,      120, 100,
      100, 100, /**/ 90, 100, 81,      100, 83,  100,      93, /**/ 100, 93,  100,
      83,  100, 93,      100, /**/ 98, 100, 93,  100,      93, 100,      98}},
    {"Burkes",
     dmBurkes,
     5,
     3,
     {50, 50, 200, 100, 75, /**/ 63, 75, 100, 75, 63, /**/ 50, 50, 50, 50, 50},
     {100, 100, 100, 100, 100, /**/ 84, 67, 120, 100, 100, /**/ 93, 84, 67, 84, 93}},
};

class WorkedDitherTest : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedDitherTest, SpreadsOneErrorWithTheKernelsWeightsInTheScanDirection) {
  const WorkedCase& c = GetParam();
  const int w = c.width, h = c.height, mid = w / 2;
  {
    std::vector<int> reds(static_cast<size_t>(w * h), 50);
    reds[static_cast<size_t>(mid)] = 200;
    TRevealLookup lookup(200, 0);
    EXPECT_EQ(Dither(c.mode, w, h, reds, lookup), c.positive) << "error +200 in the top row";
  }
  {
    std::vector<int> reds(static_cast<size_t>(w * h), 100);
    reds[static_cast<size_t>(w + mid)] = 120;
    TRevealLookup lookup(120, 255);
    EXPECT_EQ(Dither(c.mode, w, h, reds, lookup), c.negative) << "error -135 in the second row";
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, WorkedDitherTest, testing::ValuesIn(kWorkedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Dither, EveryErrorDiffusionModeHasAWorkedCase) {
  for (const TDitherModeName& name : DitherModeNames()) {
    if (name.value == dmNearest) continue;
    EXPECT_TRUE(std::any_of(std::begin(kWorkedCases), std::end(kWorkedCases),
                            [&](const WorkedCase& c) { return c.mode == name.value; }))
        << name.label;
  }
}

TEST(Dither, AdjustedValuesAreClampedAndErrorsLeavingTheRowAreLost) {
  // Floyd-Steinberg: red 250 receives 7/16 of +200 = 88 and becomes 255, not 338.
  TRevealLookup lookup(200, 0);
  EXPECT_EQ(Dither(dmFloydSteinberg, 3, 1, {50, 200, 250}, lookup),
            (std::vector<int>{50, 200, 255}));
  // One pixel wide: only "same column" weights stay in the picture. The 5/16 below gives
  // 50 + 63; the 3/16 and 1/16 (and everything a wider kernel sends aside) are lost, and so
  // is what would come back from outside on the following rows.
  EXPECT_EQ(Dither(dmFloydSteinberg, 1, 3, {200, 50, 50}, lookup),
            (std::vector<int>{200, 113, 50}));
  EXPECT_EQ(Dither(dmStucki, 1, 4, {200, 50, 50, 50}, lookup),
            (std::vector<int>{200, 88, 69, 50}));  // 8/42 then 4/42 straight down
  EXPECT_EQ(Dither(dmSteveArche, 1, 4, {200, 50, 50, 50}, lookup),
            (std::vector<int>{200, 50, 76, 50}));  // only the second row below has a 0 offset
  EXPECT_EQ(Dither(dmBurkes, 1, 3, {200, 50, 50}, lookup), (std::vector<int>{200, 100, 50}));
}

// Records the red value of every pixel asked for, and chooses each colour as it is (so no
// error is ever spread and the red values arrive unchanged).
class TRecordingLookup : public TColorLookup {
 public:
  TRecordingLookup() : TColorLookup(256) {}
  uint8_t FindIndex(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                    uint8_t& b) override {
    calls.push_back(red);
    r = red, g = green, b = blue;
    return red;
  }
  std::vector<int> calls;
};

TEST(Dither, EveryEngineScansTheSecondRowRightToLeft) {
  for (const TDitherModeName& name : DitherModeNames()) {
    const TDitherMode mode = name.value;
    std::vector<int> reds;
    for (int i = 0; i < 12; ++i) reds.push_back(10 * i);  // red = 10 x the pixel's place
    TRecordingLookup lookup;
    const auto indices = Dither(mode, 4, 3, reds, lookup);
    EXPECT_EQ(lookup.calls, (std::vector<int>{0, 10, 20, 30, 70, 60, 50, 40, 80, 90, 100, 110}))
        << DitherModeLabel(mode);
    EXPECT_EQ(indices, reds) << DitherModeLabel(mode);
  }
}

// ---- The slow reference ----

struct Tap {
  int dy, dx, weight;  // dx in the scan direction
};
struct Kernel {
  int divisor;
  std::vector<Tap> taps;
};

// The kernels as their tables give them (Floyd-Steinberg's 7/16 to the next pixel is what
// its carry holds; the row below gets 3, 5, 1 behind, below and ahead).
Kernel KernelOf(TDitherMode mode) {
  switch (mode) {
    case dmFloydSteinberg:
      return {16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
    case dmStucki:
      return {42,
              {{0, 1, 8},
               {0, 2, 4},
               {1, -2, 2},
               {1, -1, 4},
               {1, 0, 8},
               {1, 1, 4},
               {1, 2, 2},
               {2, -2, 1},
               {2, -1, 2},
               {2, 0, 4},
               {2, 1, 2},
               {2, 2, 1}}};
    case dmSierra:
      return {32,
              {{0, 1, 5},
               {0, 2, 3},
               {1, -2, 2},
               {1, -1, 4},
               {1, 0, 5},
               {1, 1, 4},
               {1, 2, 2},
               {2, -1, 2},
               {2, 0, 3},
               {2, 1, 2}}};
    case dmJaJuNI:
      return {48,
              {{0, 1, 7},
               {0, 2, 5},
               {1, -2, 3},
               {1, -1, 5},
               {1, 0, 7},
               {1, 1, 5},
               {1, 2, 3},
               {2, -2, 1},
               {2, -1, 3},
               {2, 0, 5},
               {2, 1, 3},
               {2, 2, 1}}};
    case dmSteveArche:
      return {200,
              {{0, 2, 32},
               {1, -3, 12},
               {1, -1, 26},
               {1, 1, 30},
               {1, 3, 16},
               {2, -2, 12},
               {2, 0, 26},
               {2, 2, 12},
               {3, -3, 5},
               {3, -1, 12},
               {3, 1, 12},
               {3, 3, 5}}};
    case dmBurkes:
      return {32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};
    default:
      return {1, {}};
  }
}

// Error diffusion over whole-picture error sums: a pixel's adjusted value is its colour
// plus its error sum divided (toward zero) by the divisor with rounding, clamped; its
// error goes to every tap that lies inside the picture.
std::vector<uint8_t> ReferenceDither(const std::vector<Rgb>& pixels, int width, int height,
                                     TDitherMode mode, TColorLookup& lookup,
                                     std::vector<Rgb>& chosen) {
  chosen.assign(pixels.size(), Rgb{});
  const Kernel kernel = KernelOf(mode);
  std::vector<std::array<long long, 3>> errors(pixels.size(), {0, 0, 0});
  std::vector<uint8_t> indices(pixels.size());
  for (int y = 0; y < height; ++y) {
    const int d = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < width; ++i) {
      const int x = d > 0 ? i : width - 1 - i;
      const size_t at = static_cast<size_t>(y * width + x);
      const int value[3] = {pixels[at].r, pixels[at].g, pixels[at].b};
      int adjusted[3];
      for (int c = 0; c < 3; ++c)
        adjusted[c] = static_cast<int>(std::clamp<long long>(
            value[c] + (errors[at][c] + kernel.divisor / 2) / kernel.divisor, 0, 255));
      uint8_t r, g, b;
      indices[at] =
          lookup.FindIndex(static_cast<uint8_t>(adjusted[0]), static_cast<uint8_t>(adjusted[1]),
                           static_cast<uint8_t>(adjusted[2]), r, g, b);
      chosen[at] = Rgb{r, g, b};
      const int error[3] = {adjusted[0] - r, adjusted[1] - g, adjusted[2] - b};
      for (const Tap& tap : kernel.taps) {
        const int tx = x + tap.dx * d, ty = y + tap.dy;
        if (tx < 0 || tx >= width || ty >= height) continue;
        for (int c = 0; c < 3; ++c)
          errors[static_cast<size_t>(ty * width + tx)][c] += tap.weight * error[c];
      }
    }
  }
  return indices;
}

struct LookupKind {
  const char* name;
  std::function<std::unique_ptr<TColorLookup>()> make;
};

TEST(Dither, EveryEngineMatchesTheReferenceThroughEveryLookup) {
  const LookupKind lookups[] = {
      {"halftone", [] { return std::make_unique<TFastColorLookup>(Windows256Palette()); }},
      {"twenty", [] { return std::make_unique<TFastColorLookup>(Windows20Palette()); }},
      {"web", [] { return std::make_unique<TNetscapeColorLookup>(); }},
      {"grey", [] { return std::make_unique<TGrayScaleLookup>(); }},
      {"mono", [] { return std::make_unique<TMonochromeLookup>(); }},
      // Not one of the library's lookups: the engines walk it through FindIndex's slot.
      {"other", [] { return std::make_unique<TRevealLookup>(3, 250); }},
  };
  const std::pair<int, int> sizes[] = {{1, 7}, {2, 5}, {3, 4}, {4, 6}, {7, 3}, {31, 17}};
  TestRandom random(2024);
  for (const TDitherModeName& name : DitherModeNames()) {
    const TDitherMode mode = name.value;
    if (mode == dmNearest) continue;
    for (const LookupKind& kind : lookups) {
      for (const auto& [width, height] : sizes) {
        // Half the pictures noise, half smooth ramps with a little noise.
        const bool noise = random.Next() % 2 == 0;
        std::vector<Rgb> pixels;
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x) {
            const auto v = [&](int base) {
              return static_cast<uint8_t>(
                  noise ? random.Next() % 256 : std::clamp<int>(base + random.Next() % 9, 0, 255));
            };
            pixels.push_back(Rgb{v(x * 8), v(y * 12), v(128 + x * 3 - y * 5)});
          }
        auto picture = MakeBitmap24(width, height, [&](int x, int y) {
          const Rgb& p = pixels[static_cast<size_t>(y * width + x)];
          return RGBColor(p.r, p.g, p.b);
        });
        const std::string what = std::string(DitherModeLabel(mode)) + " " + kind.name + " " +
                                 std::to_string(width) + "x" + std::to_string(height);
        auto reference_lookup = kind.make();
        std::vector<Rgb> expected_colours;
        const auto expected =
            ReferenceDither(pixels, width, height, mode, *reference_lookup, expected_colours);

        // Whole rows (as ReduceColors walks them).
        auto lookup = kind.make();
        TDIBReader reader(*picture, TPixelFormat::Bits24);
        auto engine = CreateDitherEngine(mode, width, *lookup);
        TBitmap result;
        TDIBWriter writer(result, TPixelFormat::Bits8, width, height, nullptr);
        DitherRows(reader, *engine, writer);
        writer.Finish();
        std::vector<uint8_t> rows;
        for (int y = 0; y < height; ++y)
          rows.insert(rows.end(), result.ConstScanline(y), result.ConstScanline(y) + width);
        ASSERT_EQ(rows, expected) << what;

        // Pixel by pixel through ProcessPixel, which also gives the chosen colours.
        auto pixel_lookup = kind.make();
        auto pixel_engine = CreateDitherEngine(mode, width, *pixel_lookup);
        std::vector<uint8_t> by_pixel(pixels.size());
        std::vector<Rgb> colours(pixels.size());
        for (int y = 0; y < height; ++y) {
          for (int x = pixel_engine->Column(); x >= 0 && x < width; x = pixel_engine->Column()) {
            const Rgb& p = pixels[static_cast<size_t>(y * width + x)];
            uint8_t r, g, b;
            by_pixel[static_cast<size_t>(y * width + x)] =
                pixel_engine->ProcessPixel(p.r, p.g, p.b, r, g, b);
            colours[static_cast<size_t>(y * width + x)] = Rgb{r, g, b};
          }
          pixel_engine->AdvanceRow();
        }
        ASSERT_EQ(by_pixel, expected) << what << " pixel by pixel";
        ASSERT_EQ(colours, expected_colours) << what << " pixel by pixel";
      }
    }
  }
}

}  // namespace
