// The frame import and the reductions without error diffusion in bands: the colour table,
// the indices and the errors of one thread, on every size; and a palette picture read
// through its table gives the frame of its 24-bit copy.
#include <gtest/gtest.h>

#include "GifTestSupport.h"
#include "base/Bands.h"
#include "gif/GIFException.h"
#include "gif/Gifimage.h"
#include "gif/ReduceColors.h"
#include "platform/Palettes.h"

namespace {

struct TFrame {
  std::vector<TGIFColor> table;
  std::vector<uint8_t> data;
  friend bool operator==(const TFrame&, const TFrame&) = default;
};

// The frame made by `assign`, or the message of the error it raised.
struct TOutcome {
  TFrame frame;
  std::string error;
  friend bool operator==(const TOutcome&, const TOutcome&) = default;
};

TOutcome Outcome(TColorReduction reduction, const std::function<void(TGIFImage&)>& assign) {
  TGIFImage gif;
  gif.SetColorReduction(reduction);
  TOutcome outcome;
  outcome.error = ErrorMessage([&] { assign(gif); });
  if (gif.Images().Count() > 0) {
    const TGIFSubImage& frame = gif.Images()[0];
    outcome.frame.table = frame.ColorMap().Entries();
    outcome.frame.data.assign(frame.Data(), frame.Data() + frame.DataSize());
  }
  return outcome;
}

template <class T>
void ExpectSameForAllThreadCounts(const std::function<T()>& make) {
  T one;
  {
    const TBandSettings settings(1, 0);
    one = make();
  }
  for (int threads : {2, 3, 5}) {
    const TBandSettings settings(threads, 0);
    EXPECT_TRUE(make() == one) << threads << " threads";
  }
}

// A 24-bit picture of `colours` colours (some of them repeated in runs), colour k at
// random places.
std::unique_ptr<TBitmap> FewColours(int width, int height, int colours, uint32_t seed) {
  TestRandom random(seed);
  std::vector<TColor> list;
  for (int i = 0; i < colours; ++i) list.push_back(random.Next() & 0xFFFFFF);
  return MakeBitmap24(width, height, [&](int x, int) {
    return list[(x % 3 == 0 ? random.Next() : x) % list.size()];
  });
}

struct TSize {
  int width, height;
};

}  // namespace

class BandedImport : public testing::TestWithParam<TSize> {};

TEST_P(BandedImport, TrueColourImportInOrderOfFirstAppearance) {
  const TSize s = GetParam();
  for (const int colours : {1, 7, 256, 300}) {
    const auto picture = FewColours(s.width, s.height, colours, 11);
    SCOPED_TRACE(std::to_string(colours) + " colours");
    ExpectSameForAllThreadCounts<TOutcome>(
        [&] { return Outcome(rmNone, [&](TGIFImage& gif) { gif.Assign(picture.get()); }); });
  }
}

TEST_P(BandedImport, APalettePictureReadThroughItsTableIsItsTrueColourCopy) {
  const TSize s = GetParam();
  // The halftone table holds some colours twice; the 4-bit table is shorter than 16.
  const std::vector<TPaletteEntry> halftone(HalftonePaletteEntries().begin(),
                                            HalftonePaletteEntries().end());
  const std::vector<TPaletteEntry> short_table = {{255, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}};
  TestRandom random(12);
  const auto eight = MakeBitmap8(s.width, s.height, halftone,
                                 [&](int, int) { return static_cast<uint8_t>(random.Next()); });
  for (const auto& [bits, table] :
       {std::pair{8, halftone}, std::pair{4, short_table}, std::pair{1, short_table}}) {
    TBitmap picture;
    picture.Assign(eight.get());
    if (bits != 8) {
      picture.SetPixelFormat(bits == 4 ? TPixelFormat::Bits4 : TPixelFormat::Bits1);
      picture.SetPalette(CreatePalette(table));
    }
    SCOPED_TRACE(std::to_string(bits) + " bits");
    TBitmap copy;
    copy.Assign(&picture);
    copy.SetPixelFormat(TPixelFormat::Bits24);
    for (const TColorReduction reduction : {rmNone, rmNetscape}) {
      const TOutcome expected = Outcome(reduction, [&](TGIFImage& gif) { gif.Assign(&copy); });
      ExpectSameForAllThreadCounts<TOutcome>([&] {
        const TOutcome got =
            Outcome(reduction, [&](TGIFImage& gif) { gif.AssignTrueColour(picture); });
        EXPECT_EQ(got, expected);
        return got;
      });
    }
  }
}

TEST_P(BandedImport, ReductionsWithoutErrorDiffusion) {
  const TSize s = GetParam();
  TestRandom random(13);
  // Colours near each other, so that cells of the fast lookup meet several of them.
  const auto picture = MakeBitmap24(s.width, s.height, [&](int x, int y) {
    return RGBColor(static_cast<uint8_t>(x * 7 + (random.Next() & 15)),
                    static_cast<uint8_t>(y * 5 + (random.Next() & 15)),
                    static_cast<uint8_t>(random.Next() & 63));
  });
  for (const TColorReduction reduction : {rmWindows20, rmWindows256, rmWindowsGray, rmMonochrome,
                                          rmGrayScale, rmNetscape, rmQuantize, rmQuantizeWindows}) {
    SCOPED_TRACE(ColorReductionLabel(reduction));
    ExpectSameForAllThreadCounts<std::vector<Rgb>>([&] {
      TBitmap copy;
      copy.Assign(picture.get());
      const auto reduced = ReduceColors(copy, reduction, dmNearest, 8, nullptr);
      std::vector<Rgb> pixels = PixelsOf(*reduced);
      // The indices, not only their colours.
      for (int y = 0; y < reduced->Height(); ++y)
        for (int x = 0; x < reduced->Width(); ++x)
          pixels.push_back(Rgb{reduced->ConstScanline(y)[x], 0, 0});
      return pixels;
    });
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BandedImport,
                         testing::Values(TSize{1, 1}, TSize{1, 9}, TSize{9, 1}, TSize{3, 5},
                                         TSize{17, 13}, TSize{64, 7}, TSize{101, 37}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

TEST(BandedImport, AnOverflowSpreadOverBandsIsStillAnOverflow) {
  // 257 colours, none of the bands holding all of them.
  std::vector<TColor> list;
  for (int i = 0; i < 257; ++i)
    list.push_back(RGBColor(static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 2));
  const auto picture = MakeBitmap24(257, 4, [&](int x, int y) {
    return list[static_cast<size_t>(y < 2 ? x % 200 : 200 + x % 57)];
  });
  for (int threads : {1, 2, 4}) {
    const TBandSettings settings(threads, 0);
    const TOutcome outcome = Outcome(rmNone, [&](TGIFImage& gif) { gif.Assign(picture.get()); });
    EXPECT_EQ(outcome.error, "Color table overflow") << threads << " threads";
    EXPECT_TRUE(outcome.frame.data.empty());
  }
}

TEST(BandedImport, ProgressIsReportedAsByOneThread) {
  const auto picture = FewColours(20, 100, 50, 14);
  using TEvents = std::vector<std::pair<TProgressStage, int>>;
  ExpectSameForAllThreadCounts<TEvents>([&] {
    TGIFImage gif;
    gif.SetColorReduction(rmNone);
    TEvents events;
    gif.OnProgress = [&](TGraphic&, TProgressStage stage, int percent, bool, const std::string&) {
      events.emplace_back(stage, percent);
    };
    gif.Assign(picture.get());
    return events;
  });
}
