// The byte map: every kernel the processor has gives the table's bytes.
#include "raster/ByteMap.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

// The byte map's vector kernels against the table, for random tables and data of every
// length around the vector widths.
TEST(ByteMap, EveryKernelGivesTheTablesBytes) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 20; ++round) {
    uint8_t table[256];
    for (uint8_t& t : table) t = static_cast<uint8_t>(byte(random));
    const TByteMap map(table);
    for (size_t n : {0, 1, 31, 32, 33, 63, 64, 65, 200, 1000}) {
      std::vector<uint8_t> in(n), out(n, 0);
      for (uint8_t& b : in) b = static_cast<uint8_t>(byte(random));
      for (TByteMapKernel k :
           {TByteMapKernel::bkGeneric, TByteMapKernel::bkAvx2, TByteMapKernel::bkAvx512}) {
        if (!ByteMapKernelAvailable(k)) continue;
        MapBytesWith(k, in.data(), out.data(), n, map);
        for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], table[in[i]]) << int(k) << " at " << i;
        // In place, as the callers that map a row onto itself do.
        std::vector<uint8_t> same = in;
        MapBytesWith(k, same.data(), same.data(), n, map);
        ASSERT_TRUE(same == out) << int(k);
      }
    }
  }
  EXPECT_TRUE(ByteMapKernelAvailable(WidestByteMapKernel()));
}

TEST(ByteMap, TheFirstFlaggedByteIsFoundWhereverItLies) {
  // Flags for a few values (none, one, several), rows of every length around the vector
  // widths with the first flagged byte anywhere or nowhere: every kernel finds the first.
  std::mt19937 random(9);
  for (int round = 0; round < 40; ++round) {
    uint8_t flags[256] = {};
    const int set = round % 4;
    for (int i = 0; i < set; ++i) flags[random() % 256] = static_cast<uint8_t>(1 + random() % 255);
    const TByteMap map(flags);
    for (size_t n : {0, 1, 31, 32, 33, 63, 64, 65, 127, 130, 1000}) {
      std::vector<uint8_t> in(n);
      for (uint8_t& b : in) {
        do b = static_cast<uint8_t>(random() % 256);
        while (flags[b] != 0);
      }
      // One flagged byte placed at random, in three rows of four (none in the others).
      if (n > 0 && set > 0 && round % 3 != 0) {
        uint8_t v = 0;
        while (flags[v] == 0) ++v;
        in[random() % n] = v;
      }
      size_t expected = 0;
      while (expected < n && flags[in[expected]] == 0) ++expected;
      for (TByteMapKernel k :
           {TByteMapKernel::bkGeneric, TByteMapKernel::bkAvx2, TByteMapKernel::bkAvx512}) {
        if (!ByteMapKernelAvailable(k)) continue;
        ASSERT_EQ(FirstFlagged(k, in.data(), n, map), expected) << int(k) << " n " << n;
      }
    }
  }
}
