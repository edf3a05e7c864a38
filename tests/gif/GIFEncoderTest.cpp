// The image-data encoders: the worked byte examples, the code widths and clears a
// decoder must follow, sub-blocks, the interlaced walk and bad pixel values.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "gif/GIFException.h"
#include "gif/LZWEncoder.h"
#include "gif/RLEEncoder.h"
#include "platform/MemoryStream.h"
#include "tests/gif/GifTestSupport.h"

namespace {

using Bytes_ = std::vector<uint8_t>;

Bytes_ Encode(TGIFCompression compression, int bits, int width, int height,
              const std::vector<uint8_t>& pixels, int colors, bool interlaced = false) {
  TMemoryStream stream;
  const uint8_t* data = pixels.empty() ? nullptr : pixels.data();
  if (compression == gcLZW) {
    TLZWEncoder encoder;
    encoder.EncodeFrame(stream, bits, width, height, interlaced, data, colors);
  } else {
    TRLEEncoder encoder;
    encoder.EncodeFrame(stream, bits, width, height, interlaced, data, colors);
  }
  return Bytes(stream);
}

class EncoderTest : public testing::TestWithParam<TGIFCompression> {};

std::string EncoderName(const testing::TestParamInfo<TGIFCompression>& info) {
  return info.param == gcLZW ? "LZW" : "RLE";
}

TEST_P(EncoderTest, FrameWithoutPixelsIsCodeSizeEndCodeAndTerminator) {
  EXPECT_EQ(Encode(GetParam(), 2, 0, 0, {}, 4), (Bytes_{0x02, 0x01, 0x05, 0x00}));
  // Zero width or height with pixel data present is just as empty.
  EXPECT_EQ(Encode(GetParam(), 2, 0, 5, {1, 2, 3}, 4), (Bytes_{0x02, 0x01, 0x05, 0x00}));
}

TEST_P(EncoderTest, CodeSizeAndFirstCodesFollowTheTableBits) {
  // 1 bit is raised to 2: clear code 4, end code 5, 3-bit codes.
  auto codes = ReadCodes(Encode(GetParam(), 1, 4, 1, {0, 1, 1, 0}, 2));
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(Encode(GetParam(), 1, 4, 1, {0, 1, 1, 0}, 2)[0], 2);
  EXPECT_EQ(codes.front().value, 4u);
  EXPECT_EQ(codes.front().width, 3);
  EXPECT_EQ(codes.back().value, 5u);
  // 8 bits: clear code 256 in 9 bits.
  const Bytes_ data = Encode(GetParam(), 8, 3, 1, {255, 0, 7}, 256);
  EXPECT_EQ(data[0], 8);
  codes = ReadCodes(data);
  EXPECT_EQ(codes.front().value, 256u);
  EXPECT_EQ(codes.front().width, 9);
  EXPECT_EQ(codes.back().value, 257u);
}

TEST_P(EncoderTest, LongDataIsCutIntoFullSubBlocksAndTheLastShorter) {
  TestRandom random(7);
  std::vector<uint8_t> pixels(200 * 100);
  for (auto& p : pixels) p = static_cast<uint8_t>(random.Next());
  const Bytes_ data = Encode(GetParam(), 8, 200, 100, pixels, 256);
  std::vector<int> blocks;
  ReadCodes(data, &blocks);
  ASSERT_GT(blocks.size(), 2u);
  for (size_t i = 0; i + 1 < blocks.size(); ++i) ASSERT_EQ(blocks[i], 255) << "block " << i;
  EXPECT_GT(blocks.back(), 0);
  EXPECT_LE(blocks.back(), 255);
  const size_t total =
      1 + std::accumulate(blocks.begin(), blocks.end(), size_t{0}) + blocks.size() + 1;
  EXPECT_EQ(data.size(), total);
  EXPECT_EQ(data.back(), 0);
}

TEST_P(EncoderTest, PixelValueNotBelowTheColourCountStopsEncoding) {
  // The first pixel is bad: only the code size byte is out (the clear code's 3 bits
  // never fill a byte). A later one: the bytes completed so far are written as a block.
  const std::pair<std::vector<uint8_t>, size_t> cases[] = {{{3, 0, 0, 0}, 1}, {{0, 1, 2, 3}, 3}};
  for (const auto& [pixels, size] : cases) {
    TMemoryStream stream;
    try {
      if (GetParam() == gcLZW) {
        TLZWEncoder encoder;
        encoder.EncodeFrame(stream, 2, 4, 1, false, pixels.data(), 3);
      } else {
        TRLEEncoder encoder;
        encoder.EncodeFrame(stream, 2, 4, 1, false, pixels.data(), 3);
      }
      ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), "Color not in color table");
    }
    const Bytes_ bytes = Bytes(stream);
    ASSERT_EQ(bytes.size(), size);
    EXPECT_EQ(bytes[0], 2);
    if (size > 1) {
      EXPECT_EQ(bytes[1], bytes.size() - 2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothEncoders, EncoderTest, testing::Values(gcLZW, gcRLE), EncoderName);

TEST(LZWEncoder, AlternatingPixelsGiveTheWorkedExample) {
  const Bytes_ data = Encode(gcLZW, 1, 6, 1, {0, 1, 0, 1, 0, 1}, 2);
  EXPECT_EQ(data, (Bytes_{0x02, 0x03, 0x44, 0x6C, 0x05, 0x00}));
  const auto codes = ReadCodes(data);
  ASSERT_EQ(codes.size(), 6u);
  const int widths[] = {3, 3, 3, 3, 4, 4};
  const uint32_t values[] = {4, 0, 1, 6, 6, 5};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(codes[i].value, values[i]) << i;
    EXPECT_EQ(codes[i].width, widths[i]) << i;
  }
}

TEST(LZWEncoder, FullTableSendsTheCodeThenAClearAndStartsAgainAtTheInitialWidth) {
  // Noise never matches long strings, so the table fills every 3838 codes.
  TestRandom random(3);
  std::vector<uint8_t> pixels(400 * 300);
  for (auto& p : pixels) p = static_cast<uint8_t>(random.Next() >> 4);
  const auto codes = ReadCodes(Encode(gcLZW, 8, 400, 300, pixels, 256));
  std::vector<size_t> clears;
  for (size_t i = 0; i < codes.size(); ++i)
    if (codes[i].value == 256) clears.push_back(i);
  ASSERT_GE(clears.size(), 3u);
  EXPECT_EQ(clears[0], 0u) << "the first code of a frame is a clear";
  for (size_t c = 1; c < clears.size(); ++c) {
    // 258 .. 4094 are assigned (3837 codes that add an entry) and one more code is sent
    // when the next free code has reached 4095.
    EXPECT_EQ(clears[c] - clears[c - 1] - 1, 3838u) << "between clears " << c - 1 << " and " << c;
    EXPECT_EQ(codes[clears[c] - 1].width, 12) << "12 bits are kept until the clear";
    EXPECT_EQ(codes[clears[c]].width, 12);
    EXPECT_EQ(codes[clears[c] + 1].width, 9) << "after a clear the width starts again";
  }
  for (const Code& code : codes) EXPECT_LT(code.value, 4095u);
}

TEST(RLEEncoder, TenEqualPixelsGiveTheWorkedExample) {
  const Bytes_ data = Encode(gcRLE, 2, 10, 1, std::vector<uint8_t>(10, 0), 4);
  EXPECT_EQ(data, (Bytes_{0x02, 0x03, 0x84, 0x8F, 0x05, 0x00}));
  const auto codes = ReadCodes(data);
  EXPECT_EQ(Values(codes), (std::vector<uint32_t>{4, 0, 6, 7, 8, 5}));
  EXPECT_EQ(codes[4].width, 4);
  EXPECT_EQ(codes[5].width, 4);
}

TEST(RLEEncoder, SendsOnlyLiteralsAndRunCodesTheDecoderAlreadyHas) {
  // Runs of every length and value: each code is a pixel, a clear, the end code, or a
  // table code the decoder defined before (or defines with this very code).
  TestRandom random(11);
  std::vector<uint8_t> pixels;
  while (pixels.size() < 300000) {
    const uint8_t value = static_cast<uint8_t>(random.Next() % 5);
    const size_t length = 1 + random.Next() % (random.Next() % 4 == 0 ? 20000 : 40);
    pixels.insert(pixels.end(), length, value);
  }
  pixels.resize(300000);
  const auto codes = ReadCodes(Encode(gcRLE, 3, 600, 500, pixels, 5));
  uint32_t next = 10;
  bool first = true;
  int clears = 0;
  for (const Code& c : codes) {
    if (c.value == 8) {
      ++clears;
      next = 10;
      first = true;
      continue;
    }
    if (c.value == 9) break;
    if (first)
      ASSERT_LT(c.value, 5u) << "a clear is followed by a literal";
    else
      ASSERT_TRUE(c.value < 5 || (c.value >= 10 && c.value <= next)) << c.value;
    if (!first) ++next;
    first = false;
  }
  EXPECT_GT(clears, 10);
}

TEST(RLEEncoder, MostlyChangingPixelsDecodeBackAtEveryTableSize) {
  // Pixels that change at nearly every step, with short runs and repeats between them,
  // across code-width steps and clears, at every table size and with fewer colours than
  // the table holds: an independent decoder reads back each pixel.
  TestRandom random(5);
  for (int bits = 1; bits <= 8; ++bits) {
    const int colors = bits == 8 ? 256 : (1 << bits) - (bits > 2 ? 1 : 0);
    const int width = 997, height = 13;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height);
    uint8_t last = 0;
    for (uint8_t& v : pixels) {
      const uint32_t pick = random.Next() % 32;
      v = pick == 0 ? last : static_cast<uint8_t>(random.Next() % static_cast<uint32_t>(colors));
      last = v;
    }
    const Bytes_ data = Encode(gcRLE, bits, width, height, pixels, colors);
    // The frame in a file of its own, with a table of the frame's size.
    const int table_bits = std::max(bits, 1);
    Bytes_ file = {'G',
                   'I',
                   'F',
                   '8',
                   '9',
                   'a',
                   static_cast<uint8_t>(width & 255),
                   static_cast<uint8_t>(width >> 8),
                   static_cast<uint8_t>(height),
                   0,
                   static_cast<uint8_t>(0x80 | (table_bits - 1)),
                   0,
                   0};
    for (int i = 0; i < (1 << table_bits); ++i)
      file.insert(file.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(width & 255),
                             static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(height), 0, 0});
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(0x3B);
    const DecodedGif decoded = DecodeGif(file);
    ASSERT_EQ(decoded.frames.size(), 1u) << bits << " bits";
    ASSERT_EQ(decoded.frames[0].indices, pixels) << bits << " bits";
  }
}

TEST(RLEEncoder, RunLongerThanTheWholeTableClearsInsideTheRun) {
  // 1 + 2 + ... + 4089 = 8 362 005 pixels fill the table of a 2-bit frame; one more run of
  // codes follows the clear.
  const int width = 4000, height = 2100;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 2);
  const auto codes = ReadCodes(Encode(gcRLE, 2, width, height, pixels, 4));
  std::vector<size_t> clears;
  for (size_t i = 0; i < codes.size(); ++i)
    if (codes[i].value == 4) clears.push_back(i);
  ASSERT_GE(clears.size(), 2u);
  EXPECT_EQ(clears[1] - clears[0] - 1, 4089u) << "the first clear comes when the table is full";
  // After it the run starts again with a literal and run codes 6, 7, ...
  EXPECT_EQ(codes[clears[1] + 1].value, 2u);
  EXPECT_EQ(codes[clears[1] + 2].value, 6u);
  EXPECT_EQ(codes[clears[1] + 3].value, 7u);
  // The pixels come out right: count them as a decoder would.
  uint64_t total = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    const uint32_t v = codes[i].value;
    if (v == 4) continue;
    if (v == 5) break;
    if (v < 4) {
      total += 1;
    } else {
      total += v - 6 + 2;
    }
  }
  EXPECT_EQ(total, pixels.size());
}

TEST(RLEEncoder, TriangleCostCountsTheCodesOfRunsAfterAClear) {
  // Runs of 1, 2, 3, ... after each clear, at most `limit` codes between two clears.
  for (int64_t limit : {1, 2, 5, 60, 3837}) {
    for (int64_t count = 1; count <= 3000; ++count) {
      int64_t codes = 0, left = count, k = 1;
      while (left > 0) {
        left -= std::min(k, left);
        ++codes;
        k = k == limit ? 1 : k + 1;
      }
      ASSERT_EQ(TRLEEncoder::TriangleCost(count, limit), codes) << count << " " << limit;
    }
  }
  EXPECT_EQ(TRLEEncoder::TriangleCost(8362005, 4089), 4089);
  EXPECT_EQ(TRLEEncoder::TriangleCost(8362006, 4089), 4090);
  EXPECT_EQ(TRLEEncoder::TriangleCost(3 * 8362005 + 3, 4089), 3 * 4089 + 2);
}

TEST(PixelWalk, InterlacedRowsComeInTheFourPassOrder) {
  const auto rows = [](int height, bool interlaced) {
    std::vector<uint8_t> data(static_cast<size_t>(height));
    std::iota(data.begin(), data.end(), 0);
    TPixelWalk walk;
    walk.Start(data.data(), 1, height, interlaced);
    std::vector<int> order;
    const uint8_t* p;
    size_t n;
    while (walk.NextSpan(p, n))
      for (size_t i = 0; i < n; ++i) order.push_back(p[i]);
    return order;
  };
  EXPECT_EQ(rows(3, true), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(rows(5, true), (std::vector<int>{0, 4, 2, 1, 3}));
  EXPECT_EQ(rows(1, true), (std::vector<int>{0}));
  EXPECT_EQ(rows(0, true), std::vector<int>{});
  for (int height = 1; height <= 40; ++height) {
    std::vector<int> expected;
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int row = start[pass]; row < height; row += step[pass]) expected.push_back(row);
    EXPECT_EQ(rows(height, true), expected) << "height " << height;
    std::vector<int> straight(static_cast<size_t>(height));
    std::iota(straight.begin(), straight.end(), 0);
    EXPECT_EQ(rows(height, false), straight);
  }
}

// The table as the encoder uses it, keyed by prefix * 256 + pixel.
int Find(const THashTable& table, uint32_t key, uint32_t& cell) {
  return table.Find(key >> 8, key & 0xFF, cell);
}
void Insert(THashTable& table, uint32_t key, uint32_t code) {
  uint32_t cell = 0;
  if (Find(table, key, cell) < 0) table.Store(cell, key, code);
}
constexpr uint32_t kNoCell = 0xFFFFFFFF;
uint32_t HomeCell(uint32_t key) {
  return (key ^ (key >> 4)) % THashTable::kSize;
}

TEST(HashTable, AKeyGoesFirstToItsHomeCellTheKeyXorItsShiftModulo8009) {
  // In an empty table the search ends at once, on the key's home cell.
  const THashTable table;
  // Every key the encoder can make: prefixes up to 4094 (key 0xFFFFF marks an empty cell).
  for (uint32_t key = 0; key < (4095u << 8); ++key) {
    uint32_t cell = kNoCell;
    ASSERT_EQ(Find(table, key, cell), -1) << key;
    ASSERT_EQ(cell, HomeCell(key)) << key;
  }
}

TEST(HashTable, FindsWhatWasStoredAndStopsRatherThanCircleForever) {
  THashTable table;
  uint32_t cell = 0;
  EXPECT_EQ(Find(table, 0x12345, cell), -1);
  table.Store(cell, 0x12345, 300);
  EXPECT_EQ(Find(table, 0x12345, cell), 300);
  Insert(table, 0xFFFFE, 4094);
  EXPECT_EQ(Find(table, 0xFFFFE, cell), 4094);
  table.Clear();
  EXPECT_EQ(Find(table, 0x12345, cell), -1);

  // A table as full as an encoder ever makes it: every key is found again, also those
  // whose home cell is one of the first 256 (read through their copies at the end).
  TestRandom random(9);
  std::vector<uint32_t> keys;
  int low_homes = 0;
  while (keys.size() < 3837) {
    const uint32_t key = random.Next() % (4095u << 8);
    if (Find(table, key, cell) >= 0) continue;
    table.Store(cell, key, static_cast<uint32_t>(keys.size()));
    keys.push_back(key);
    low_homes += HomeCell(key) < 256;
  }
  EXPECT_GT(low_homes, 50);
  for (size_t i = 0; i < keys.size(); ++i)
    ASSERT_EQ(Find(table, keys[i], cell), static_cast<int>(i));
  table.Clear();
  for (const uint32_t key : keys) ASSERT_EQ(Find(table, key, cell), -1);

  // Doubling modulo 8009 runs in two circles of 4004 cells; fill the circle through cell
  // 1 with keys whose home cell lies on it, then look up one more such key.
  std::vector<bool> on_circle(THashTable::kSize, false);
  for (uint32_t h = 1, i = 0; i < 4004; ++i, h = h * 2 % THashTable::kSize) on_circle[h] = true;
  int stored = 0;
  uint32_t key = 0;
  for (; stored < 4004; ++key)
    if (on_circle[HomeCell(key)]) {
      Insert(table, key, 1);
      ++stored;
    }
  while (!on_circle[HomeCell(key)]) ++key;
  try {
    Find(table, key, cell);
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "LZW hash table full");
  }
}

}  // namespace
