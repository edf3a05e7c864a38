// The literal-only deflate coder: its codes are complete prefix codes within deflate's
// length limits whatever the counts, and its pieces, joined, inflate (by zlib) to the
// data: one or several blocks, pieces that end the stream or run on into the next, and
// data that a block of literals finds hard (every byte value, one value only, nothing).
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "raster/DeflateLiterals.h"

namespace {

// The Kraft sum of the lengths, in units of 2^-max_length: 2^max_length for a complete
// code.
uint64_t KraftSum(const std::vector<uint8_t>& lengths, int max_length) {
  uint64_t sum = 0;
  for (const uint8_t length : lengths)
    if (length > 0) sum += uint64_t{1} << (max_length - length);
  return sum;
}

TEST(HuffmanLengths, AreCompleteCodesWithinTheLimitForAnyCounts) {
  // Counts growing as the Fibonacci numbers make the deepest tree: 30 symbols would need
  // codes of 29 bits unlimited.
  std::vector<uint32_t> fibonacci(30);
  fibonacci[0] = fibonacci[1] = 1;
  for (size_t i = 2; i < fibonacci.size(); ++i) fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
  std::vector<uint32_t> all_ones(257, 1), with_gaps(19, 0);
  with_gaps[3] = 500;
  with_gaps[8] = 2;
  with_gaps[18] = 1;
  std::mt19937 random(7);
  std::vector<uint32_t> skewed(257);
  for (uint32_t& c : skewed) c = random() % 2 == 0 ? 0 : 1u << (random() % 24);
  for (const auto& [counts, limit] : std::vector<std::pair<std::vector<uint32_t>, int>>{
           {fibonacci, 15}, {fibonacci, 7}, {all_ones, 15}, {with_gaps, 7}, {skewed, 15}}) {
    const std::vector<uint8_t> lengths = HuffmanLengths(counts, limit);
    ASSERT_EQ(lengths.size(), counts.size());
    for (size_t s = 0; s < counts.size(); ++s) {
      EXPECT_EQ(lengths[s] > 0, counts[s] > 0) << s;
      EXPECT_LE(lengths[s], limit) << s;
    }
    EXPECT_EQ(KraftSum(lengths, limit), uint64_t{1} << limit);
  }
  // Where the limit does not bind, the code is optimal: 250 bits for these counts (as
  // lengths 1, 2, 3, 4, 5, 5 or 2, 2, 2, 3, 4, 4 give).
  const std::vector<uint32_t> counts = {40, 30, 20, 10, 5, 5};
  const std::vector<uint8_t> optimal = HuffmanLengths(counts, 15);
  EXPECT_EQ(std::inner_product(counts.begin(), counts.end(), optimal.begin(), 0u), 250u);
  EXPECT_EQ(KraftSum(optimal, 15), uint64_t{1} << 15);
  // One symbol counted: a second beside it keeps the code complete; none: no code.
  EXPECT_EQ(HuffmanLengths({0, 0, 9}, 15), (std::vector<uint8_t>{1, 0, 1}));
  EXPECT_EQ(HuffmanLengths({9, 0}, 15), (std::vector<uint8_t>{1, 1}));
  EXPECT_EQ(HuffmanLengths({0, 0}, 15), (std::vector<uint8_t>{0, 0}));
}

// Inflates a raw deflate stream; the data, or an error text.
std::string Inflate(const std::vector<uint8_t>& stream, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return "init";
  out.assign(1 << 22, 0);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  const bool whole = z.avail_in == 0;
  inflateEnd(&z);
  if (status != Z_STREAM_END) return "inflate says " + std::to_string(status);
  return whole ? "" : "bytes after the stream's end";
}

TEST(DeflateLiterals, JoinedPiecesInflateToTheData) {
  std::mt19937 random(11);
  std::vector<uint8_t> noise(70000), small(50000), one_value(3000, 0xAB), every_value(256);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  for (uint8_t& b : small) b = static_cast<uint8_t>(random() % 7 - 3);  // filtered rows
  std::iota(every_value.begin(), every_value.end(), 0);
  struct TPiece {
    const std::vector<uint8_t>* data;
    std::vector<size_t> ends;
  };
  const std::vector<uint8_t> nothing;
  const std::vector<std::vector<TPiece>> streams = {
      {{&small, {}}},
      {{&noise, {}}},
      {{&every_value, {}}},
      {{&nothing, {}}},
      // Several blocks in a piece, an empty block among them.
      {{&small, {10, 10, 20000, 50000}}},
      // Pieces that run on into the next, each of one or several blocks, one empty.
      {{&small, {25000, 50000}}, {&one_value, {}}, {&nothing, {}}, {&noise, {1, 70000}}},
      {{&every_value, {}}, {&small, {}}},
  };
  int number = 0;
  for (const auto& pieces : streams) {
    std::vector<uint8_t> stream, expected, buffer(5, 0x55);  // kept from piece to piece
    for (size_t p = 0; p < pieces.size(); ++p) {
      const std::vector<uint8_t>& data = *pieces[p].data;
      const size_t n =
          DeflateLiterals(data.data(), data.size(), pieces[p].ends, p + 1 == pieces.size(), buffer);
      ASSERT_LE(n, buffer.size());
      stream.insert(stream.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
      expected.insert(expected.end(), data.begin(), data.end());
    }
    std::vector<uint8_t> inflated;
    EXPECT_EQ(Inflate(stream, inflated), "") << "stream " << number;
    EXPECT_TRUE(inflated == expected) << "stream " << number;
    ++number;
  }
  // A code fitted to the bytes: seven values take about three bits each, not eight.
  std::vector<uint8_t> buffer;
  EXPECT_LT(DeflateLiterals(small.data(), small.size(), {}, true, buffer),
            small.size() * 3 / 8 + 400);
}

}  // namespace
