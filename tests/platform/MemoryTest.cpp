#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include "plugins/common/plugin_huge_pages.h"
#endif

#ifndef _WIN32
// The free 2 MiB blocks are read from the kernel's table of free blocks per order (4 KiB
// << order): orders 9 and up count 1 << (order - 9) each, over every zone and node but the
// DMA zone; lines of another kind are passed over.
TEST(Memory, FreeHugeBlocksAreCountedFromTheKernelsFreeLists) {
  const std::string table =
      "Node 0, zone      DMA      0      0      0      0      0      0      0      0      1      "
      "1      3 \n"
      "Node 0, zone    DMA32      2      3      4      2      2      3      3      1      1      "
      "2    753 \n"
      "Node 0, zone   Normal  12666  72293  72417  52954  35323  20583   8764   2402    507     "
      "23    228 \n"
      "Node 1, zone   Normal      0      0      0      0      0      0      0      0      0      "
      "5\n"
      "something else 1 2 3\n";
  EXPECT_EQ(FreeHugeBlocks(table), size_t{2 + 2 * 753 + 23 + 2 * 228 + 5});
  EXPECT_EQ(FreeHugeBlocks(""), 0u);
  // Fewer orders than usual (a kernel built with smaller blocks): none of 2 MiB.
  EXPECT_EQ(FreeHugeBlocks("Node 0, zone Normal 5 6 7\n"), 0u);
  // The plug-ins ask the same table the same question, in C of their own.
  for (const std::string& text :
       {table, std::string(""), std::string("Node 0, zone Normal 5 6 7\n"),
        std::string("Node 0, zone   Normal  1 2 3 4 5 6 7 8 9 10 11"),
        std::string("Node 0, zone    DMA32  0 0 0 0 0 0 0 0 0 7 1\nNode 0, zone DMA 9 9 9 9 9 9 "
                    "9 9 9 9 9\n\n")})
    EXPECT_EQ(PluginFreeHugeBlocks(text.c_str()), FreeHugeBlocks(text)) << text;
  EXPECT_EQ(PluginFreeHugeBlocks("Node 0, zone   Normal  1 2 3 4 5 6 7 8 9 10 11"),
            uint64_t{10 + 2 * 11});
}
#endif
