// Where a store's pixels come from and go: rows kept from a file image in memory, stores
// taken over, stores made for a writer, freed blocks reused, and the conversions and the
// drawing that run in bands giving the bytes of one thread.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Streams.h"
#include "platform/BlockCache.h"
#include "platform/Memory.h"
#include "platform/MemoryStream.h"
#include "platform/NearestColor.h"
#include "platform/Palettes.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"
#include "raster/Canvas.h"

namespace {

// A 24-bit picture of random pixels.
void MakeNoise(TBitmap& bitmap, int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  bitmap.Assign(nullptr);
  bitmap.SetPixelFormat(TPixelFormat::Bits24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int i = 0; i < 3 * width; ++i) row[i] = static_cast<uint8_t>(random());
  }
}

// The whole store: every row as the store holds it, fill bytes included.
std::vector<uint8_t> StoreBytes(const TBitmap& bitmap) {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = bitmap.ConstScanline(y);
    bytes.insert(bytes.end(), row, row + bitmap.RowStride());
  }
  return bytes;
}

void SaveTo(TBitmap& bitmap, TMemoryStream& stream) {
  stream.Clear();
  bitmap.SaveToStream(stream);
  stream.SetPosition(0);
}

}  // namespace

TEST(KeptRows, AStoreReadFromAMemoryStreamKeepsItsRowsThereUntilOneSideChanges) {
  TBitmap original;
  MakeNoise(original, 37, 5, 1);
  TMemoryStream stream;
  SaveTo(original, stream);
  const std::vector<uint8_t> file(stream.Memory(), stream.Memory() + stream.Size());

  TBitmap read;
  read.LoadFromStream(stream);
  EXPECT_TRUE(read.StoreShared());  // the rows are the stream's
  EXPECT_EQ(read.ConstScanline(read.Height() - 1),
            static_cast<const TMemoryStream&>(stream).Memory() + 54);
  EXPECT_EQ(StoreBytes(read), StoreBytes(original));

  // The stream writes on a copy of its block: the picture keeps its pixels.
  stream.SetPosition(54);
  const uint8_t zeros[16] = {};
  stream.WriteBuffer(zeros, sizeof zeros);
  EXPECT_FALSE(read.StoreShared());
  EXPECT_EQ(StoreBytes(read), StoreBytes(original));

  // And a picture that changes copies first: the stream keeps its bytes.
  TMemoryStream second;
  SaveTo(original, second);
  TBitmap changed;
  changed.LoadFromStream(second);
  changed.Scanline(0)[0] ^= 0xFF;
  EXPECT_FALSE(changed.StoreShared());
  EXPECT_TRUE(
      std::equal(file.begin(), file.end(), static_cast<const TMemoryStream&>(second).Memory()));
}

TEST(KeptRows, RowsWithFillBytesOrMissingBytesAreCopiedAsBefore) {
  TBitmap original;
  MakeNoise(original, 5, 3, 2);  // 15 bytes of pixels in 16-byte rows
  TMemoryStream stream;
  SaveTo(original, stream);
  // Fill bytes that are not zero in the file are not kept: the store has them zero.
  uint8_t* p = stream.Memory();
  p[54 + 15] = 0xAB;
  TBitmap read;
  read.LoadFromStream(stream);
  EXPECT_FALSE(read.StoreShared());
  EXPECT_EQ(StoreBytes(read), StoreBytes(original));

  // A file that ends inside its pixels: the rows it lacks are zero.
  TMemoryStream cut;
  cut.WriteBuffer(stream.Memory(), stream.Size() - 20);
  cut.SetPosition(0);
  TBitmap short_read;
  short_read.LoadFromStream(cut);
  EXPECT_FALSE(short_read.StoreShared());
  EXPECT_EQ(short_read.ConstScanline(0)[15], 0);
  EXPECT_EQ(short_read.ConstScanline(0)[0], 0);
}

TEST(TakePixels, APlainSectionIsTakenOverAsAFreshPicture) {
  TBitmap source;
  MakeNoise(source, 9, 4, 3);
  source.SetPalette(CreateHalftonePalette());
  TMemoryStream stream;
  SaveTo(source, stream);
  TBitmap loaded;
  loaded.LoadFromStream(stream);
  stream.Clear();  // nothing else holds the rows now
  const std::vector<uint8_t> pixels = StoreBytes(loaded);
  const uint8_t* store = loaded.ConstScanline(0);

  TBitmap result;
  ASSERT_TRUE(result.TakePixelsOf(loaded));
  EXPECT_TRUE(loaded.Empty());
  EXPECT_EQ(result.ConstScanline(0), store);  // not copied
  EXPECT_EQ(StoreBytes(result), pixels);
  // As a new 24-bit raster of that size: no palette, no colour counts.
  TBitmap fresh;
  fresh.SetPixelFormat(TPixelFormat::Bits24);
  fresh.SetWidth(9);
  fresh.SetHeight(4);
  EXPECT_FALSE(result.Palette());
  EXPECT_EQ(
      std::memcmp(&result.DIBInfo().dsBmih, &fresh.DIBInfo().dsBmih, sizeof(TBitmapInfoHeader)), 0);
}

TEST(TakePixels, SharedTopDownOrOtherFormatsAreRefused) {
  TBitmap shared;
  MakeNoise(shared, 4, 4, 4);
  TBitmap copy;
  copy.Assign(&shared);
  TBitmap result;
  EXPECT_FALSE(result.TakePixelsOf(shared));
  EXPECT_FALSE(shared.Empty());
  copy.Assign(nullptr);
  TBitmap eight;
  eight.Assign(&shared);
  shared.Assign(nullptr);
  eight.SetPixelFormat(TPixelFormat::Bits8);
  EXPECT_FALSE(result.TakePixelsOf(eight));
  EXPECT_TRUE(result.Empty());
}

TEST(ForOverwrite, TheStoreIsDescribedAsAfterSettingWidthAndHeight) {
  for (const TPixelFormat format :
       {TPixelFormat::Device, TPixelFormat::Bits8, TPixelFormat::Bits24}) {
    TBitmap a, b;
    for (TBitmap* bitmap : {&a, &b}) {
      bitmap->SetPixelFormat(format);
      bitmap->SetWidth(6);
      bitmap->SetHeight(2);
    }
    a.SetWidth(11);
    a.SetHeight(7);
    b.SetSizeForOverwrite(11, 7);
    EXPECT_EQ(a.PixelFormat(), b.PixelFormat());
    EXPECT_EQ(a.RowStride(), b.RowStride());
    EXPECT_EQ(a.ColorTable(), b.ColorTable());
    EXPECT_EQ(std::memcmp(&a.DIBInfo().dsBmih, &b.DIBInfo().dsBmih, sizeof(TBitmapInfoHeader)), 0);
    // Fill bytes are zero in both.
    const int used = (11 * b.BitsPerPixel() + 7) / 8;
    for (int y = 0; y < 7; ++y)
      for (int i = used; i < b.RowStride(); ++i) EXPECT_EQ(b.ConstScanline(y)[i], 0);
  }
}

TEST(ForOverwrite, ASharedStoreIsReplacedWithoutTouchingTheOtherBitmap) {
  TBitmap a;
  MakeNoise(a, 8, 3, 5);
  TBitmap b;
  b.Assign(&a);
  const std::vector<uint8_t> before = StoreBytes(a);
  const TRows rows = b.RowsForOverwrite();
  EXPECT_FALSE(b.SharesImageWith(a));
  for (int y = 0; y < rows.Height(); ++y) std::memset(rows[y], 7, 24);
  EXPECT_EQ(StoreBytes(a), before);
  EXPECT_EQ(b.ConstScanline(2)[23], 7);
  EXPECT_THROW((void)rows[3], EInvalidGraphicOperation);
}

TEST(BlockCache, AFreedBlockServesTheNextStoreOfItsSizeOnly) {
  static std::vector<void*> released;
  released.clear();
  TBlockCache cache([](void* block) { released.push_back(block); });
  int a = 0, b = 0, c = 0;
  cache.Keep(&a, 1000);
  cache.Keep(&b, 4000);
  EXPECT_EQ(cache.Take(900), &a);  // the smallest that fits; the other one goes
  EXPECT_EQ(released, std::vector<void*>{&b});
  cache.Keep(&c, 4000);
  EXPECT_EQ(cache.Take(1000), nullptr);  // more than twice the size asked for: released
  EXPECT_EQ(released, (std::vector<void*>{&b, &c}));
  cache.Keep(&a, TBlockCache::kBytes + 1);  // too large to keep
  EXPECT_EQ(released.back(), &a);
  cache.Keep(&a, 10);
  cache.Keep(&b, 10);
  cache.Keep(&c, 10);  // a third pushes the oldest out
  EXPECT_EQ(released.back(), &a);
}

TEST(BlockCache, BlocksThatCanBeCutServeSmallerStoresAndStayForTheNextOfThatSize) {
  static std::vector<void*> released;
  static std::vector<std::pair<void*, size_t>> cuts;
  released.clear();
  cuts.clear();
  TBlockCache cache([](void* block) { released.push_back(block); },
                    [](void* block, size_t bytes) {
                      cuts.emplace_back(block, bytes);
                      return bytes;
                    });
  int a = 0, b = 0, c = 0;
  cache.Keep(&a, 1000);
  cache.Keep(&b, 9000);
  cache.Keep(&c, 3000);  // the oldest, a, makes room
  EXPECT_EQ(released, std::vector<void*>{&a});
  // Three times the size asked for still serves; the other block, which would serve
  // another store of this size, stays, cut to it at once.
  EXPECT_EQ(cache.Take(1000), &c);
  EXPECT_EQ(cuts, (std::vector<std::pair<void*, size_t>>{{&b, 1000}, {&c, 1000}}));
  EXPECT_EQ(released, std::vector<void*>{&a});
  EXPECT_EQ(cache.Take(1000), &b);  // the next store of that size finds it
  cache.Keep(&a, 500);
  EXPECT_EQ(cache.Take(800), nullptr);  // too small to serve: released
  EXPECT_EQ(released, (std::vector<void*>{&a, &a}));
}

TEST(BlockCache, TheRestOfABlockSplitForASmallerStoreServesTheNextOfThatSize) {
  static std::vector<void*> released;
  static std::vector<std::pair<void*, size_t>> cuts;
  static char area[100];
  released.clear();
  cuts.clear();
  // The whole area splits after the bytes asked for; other blocks do not split.
  const auto split = [](void* block, size_t bytes, size_t* rest) -> void* {
    if (block != area) return nullptr;
    const size_t capacity = sizeof area;
    *rest = capacity - bytes;
    return static_cast<char*>(block) + bytes;
  };
  TBlockCache cache([](void* block) { released.push_back(block); },
                    [](void* block, size_t bytes) {
                      cuts.emplace_back(block, bytes);
                      return bytes;
                    },
                    split);
  cache.Keep(area, 100);
  EXPECT_EQ(cache.Take(30), area);
  // The rest, 70 bytes, would serve another store of 30: kept, cut to that size.
  EXPECT_EQ(cuts, (std::vector<std::pair<void*, size_t>>{{area + 30, 30}}));
  EXPECT_EQ(cache.Take(30), area + 30);
  EXPECT_TRUE(released.empty());
  // A rest too small to serve another store of the size asked for is given back, and a
  // block that does not split is cut as before.
  cache.Keep(area, 100);
  EXPECT_EQ(cache.Take(60), area);
  EXPECT_EQ(released, std::vector<void*>{area + 60});
  cache.Keep(area + 50, 50);
  EXPECT_EQ(cache.Take(45), area + 50);
  EXPECT_EQ(cuts.back(), (std::pair<void*, size_t>{area + 50, 45}));
  EXPECT_EQ(released.size(), 1u);
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// This platform's blocks are mappings that can be cut.

namespace {

// A pixel block of `bytes`, every byte set to `value` (so that all its pages are there), or
// nullptr.
uint8_t* Written(size_t bytes, uint8_t value) {
  auto* block = static_cast<uint8_t*>(AllocatePixelMemory(bytes));
  if (block != nullptr) std::memset(block, value, bytes);
  return block;
}

}  // namespace

TEST(BlockCache, APixelBlockCutForASmallerStoreIsWholeAndTheNextLargeOneIsNew) {
  // The platform's own blocks: a freed large block serves a smaller store; its pages up to
  // that size are all there (written and read back), and the part given back is not
  // offered again.
  constexpr size_t kLarge = size_t{40} << 20, kSmall = size_t{9} << 20;
  uint8_t* const large = Written(kLarge, 1);
  ASSERT_NE(large, nullptr);
  ReleasePixelMemory(large);
  uint8_t* const small = Written(kSmall, 2);
  ASSERT_EQ(small, large);
  EXPECT_EQ(small[0], 2);
  EXPECT_EQ(small[kSmall - 1], 2);
  ReleasePixelMemory(small);
  // The cut block no longer holds 40 MB: a store of that size is mapped anew.
  uint8_t* const again = Written(kLarge, 3);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[kLarge - 1], 3);
  ReleasePixelMemory(again);
}

TEST(BlockCache, AFreedPixelBlockServesSeveralSmallerStoresAndOneALittleLarger) {
  // What a GIF job does: a 9 MB picture freed, then a 12 MB store, which the block serves
  // with the 2 MiB it was mapped with beyond its size; and the 36 MB result freed, then two
  // stores of 12 MB in a row, both inside the freed block, every byte of each its own.
  constexpr size_t kResult = 36000054, kStore = 12000000, kHidden = 9000054;
  uint8_t* const hidden = Written(kHidden, 5);
  ASSERT_NE(hidden, nullptr);
  ReleasePixelMemory(hidden);
  uint8_t* const larger = Written(kStore, 6);
  ASSERT_NE(larger, nullptr);
  EXPECT_EQ(larger, hidden);
  EXPECT_EQ(larger[kStore - 1], 6);
  ReleasePixelMemory(larger);

  uint8_t* const result = Written(kResult, 1);
  ASSERT_NE(result, nullptr);
  ReleasePixelMemory(result);
  uint8_t* const first = Written(kStore, 2);
  uint8_t* const second = Written(kStore, 3);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first, result);
  EXPECT_GE(second, first + kStore);
  EXPECT_LE(second + kStore, result + kResult + (size_t{2} << 20));
  EXPECT_EQ(first[kStore - 1], 2);
  EXPECT_EQ(second[0], 3);
  // Freed in either order, each goes back whole: a store of its size is served again.
  ReleasePixelMemory(second);
  ReleasePixelMemory(first);
  uint8_t* const again = Written(kStore, 4);
  EXPECT_TRUE(again == first || again == second);
  ReleasePixelMemory(again);
}
#endif

TEST(SizeChange, KeptRowsOfAPartFilledLastByteEndInZeroBits) {
  for (const TPixelFormat format : {TPixelFormat::Bits1, TPixelFormat::Bits4}) {
    TBitmap bitmap;
    MakeNoise(bitmap, 5, 3, 4);
    bitmap.SetPixelFormat(format);
    bitmap.SetHeight(4);  // the width stays: every old row is copied whole
    const int bits = format == TPixelFormat::Bits1 ? 1 : 4;
    const uint8_t fill_bits = static_cast<uint8_t>(0xFF >> (5 * bits % 8));
    for (int y = 0; y < 3; ++y)
      EXPECT_EQ(bitmap.ConstScanline(y)[5 * bits / 8] & fill_bits, 0) << bits << " bits, row " << y;
  }
}

// The conversions and drawings below run in bands; each gives the bytes of one thread.
class BandedRaster : public testing::TestWithParam<std::pair<int, int>> {
 protected:
  template <class Make>
  static void ExpectSameForAllThreadCounts(Make make) {
    std::vector<uint8_t> one;
    {
      const TBandSettings settings(1, 0);
      one = make();
    }
    for (int threads : {2, 3, 5}) {
      const TBandSettings settings(threads, 0);
      EXPECT_EQ(make(), one) << threads << " threads";
    }
  }
};

TEST_P(BandedRaster, PixelFormatConversions) {
  const auto [width, height] = GetParam();
  for (const TPixelFormat from :
       {TPixelFormat::Bits24, TPixelFormat::Bits8, TPixelFormat::Device}) {
    for (const TPixelFormat to :
         {TPixelFormat::Device, TPixelFormat::Bits1, TPixelFormat::Bits4, TPixelFormat::Bits8,
          TPixelFormat::Bits15, TPixelFormat::Bits16, TPixelFormat::Bits24, TPixelFormat::Bits32}) {
      if (from == to) continue;
      ExpectSameForAllThreadCounts([&, width = width, height = height] {
        TBitmap bitmap;
        MakeNoise(bitmap, width, height, 6);
        bitmap.SetPixelFormat(from);
        bitmap.SetPixelFormat(to);
        return StoreBytes(bitmap);
      });
    }
  }
}

TEST_P(BandedRaster, SizeChangesFillAndKeep) {
  const auto [width, height] = GetParam();
  for (const TPixelFormat format :
       {TPixelFormat::Bits4, TPixelFormat::Bits8, TPixelFormat::Bits24}) {
    ExpectSameForAllThreadCounts([&, width = width, height = height] {
      TBitmap bitmap;
      MakeNoise(bitmap, width, height, 7);
      bitmap.SetPixelFormat(format);
      bitmap.SetWidth(width + 3);
      bitmap.SetHeight(height * 2 + 1);
      return StoreBytes(bitmap);
    });
  }
}

TEST_P(BandedRaster, FillsAndPicturesDrawnStretched) {
  const auto [width, height] = GetParam();
  for (const TPixelFormat target :
       {TPixelFormat::Device, TPixelFormat::Bits8, TPixelFormat::Bits4}) {
    for (const TPixelFormat picture : {TPixelFormat::Bits24, TPixelFormat::Bits8}) {
      ExpectSameForAllThreadCounts([&, width = width, height = height] {
        TBitmap back;
        MakeNoise(back, width, height, 8);
        back.SetPixelFormat(picture);
        TBitmap canvas_bitmap;
        canvas_bitmap.SetPixelFormat(target);
        canvas_bitmap.SetWidth(width + 2);
        canvas_bitmap.SetHeight(height + 1);
        TCanvas& canvas = canvas_bitmap.Canvas();
        canvas.Brush.Color = RGBColor(10, 200, 30);
        canvas.FillRect(TRect{1, 0, width + 1, height});
        canvas.StretchDraw(TRect{0, 1, width + 2, height + 1}, back);
        canvas.StretchDraw(TRect{1, 0, width / 2 + 1, height / 2 + 1}, back);
        return StoreBytes(canvas_bitmap);
      });
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BandedRaster,
                         testing::Values(std::pair{1, 1}, std::pair{1, 9}, std::pair{9, 1},
                                         std::pair{3, 5}, std::pair{17, 13}, std::pair{64, 7},
                                         std::pair{101, 37}),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" +
                                  std::to_string(info.param.second);
                         });

TEST(Draw, EightBitsOntoEightBitsTakeTheNearestEntryOfEachColour) {
  // Each source colour goes to the target's nearest entry, duplicates of a colour to its
  // lowest index, exactly as a pixel drawn by colour.
  TBitmap back;
  MakeNoise(back, 40, 30, 9);
  back.SetPixelFormat(TPixelFormat::Bits8);
  TBitmap target;
  target.SetPixelFormat(TPixelFormat::Bits8);
  target.SetWidth(40);
  target.SetHeight(30);
  target.Canvas().StretchDraw(TRect{0, 0, 40, 30}, back);
  TNearestColorMap map(target.ColorTable());
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const TColor c = back.Pixel(x, y);
      ASSERT_EQ(target.ConstScanline(y)[x], map.Find(GetRValue(c), GetGValue(c), GetBValue(c)))
          << x << "," << y;
    }
}

TEST(Draw, EightBitsAtTheirSizeClippedOnEveryEdgeKeepTheirPlace) {
  // Drawn at its own size but hanging over the left and top edges and past the right and
  // bottom: each target pixel is the source pixel under it, its colour's nearest entry.
  TBitmap back;
  MakeNoise(back, 23, 11, 4);
  back.SetPixelFormat(TPixelFormat::Bits8);
  for (const auto& [left, top] : {std::pair{-5, -3}, std::pair{4, 2}, std::pair{0, 0}}) {
    TBitmap target;
    target.SetPixelFormat(TPixelFormat::Bits8);
    target.SetWidth(20);
    target.SetHeight(9);
    target.Canvas().Brush.Color = RGBColor(0, 0, 255);
    target.Canvas().FillRect(TRect{0, 0, 20, 9});
    target.Canvas().Draw(left, top, back);
    TNearestColorMap map(target.ColorTable());
    const uint8_t blue = map.Find(0, 0, 255);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 20; ++x) {
        const int sx = x - left, sy = y - top;
        const bool inside = sx >= 0 && sx < 23 && sy >= 0 && sy < 11;
        const TColor c = inside ? back.Pixel(sx, sy) : 0;
        const uint8_t want = inside ? map.Find(GetRValue(c), GetGValue(c), GetBValue(c)) : blue;
        ASSERT_EQ(target.ConstScanline(y)[x], want) << left << "," << top << ": " << x << "," << y;
      }
  }
}
