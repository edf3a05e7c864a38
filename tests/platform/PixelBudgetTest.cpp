// The bound on a run's picture memory: every block of the pixel allocator counts while it
// lives, and one that would pass the bound is refused before anything is allocated.
#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "platform/Memory.h"
#include "platform/MemoryStream.h"
#include "platform/PixelBudget.h"

namespace {

// Sets a bound for one test and takes it away again.
class Bound {
 public:
  explicit Bound(uint64_t bytes) { SetPixelMemoryBound(bytes); }
  ~Bound() { SetPixelMemoryBound(0); }
};

constexpr uint64_t kMiB = uint64_t{1} << 20;

}  // namespace

TEST(PixelBudget, BlocksCountWhileTheyLiveSmallAndLargeAlike) {
  const uint64_t start = PixelMemoryInUse();
  void* small = AllocatePixelMemory(1000);
  void* large = AllocatePixelMemory(8 * kMiB);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(PixelMemoryInUse() - start, 8 * kMiB + 1000);
  ReleasePixelMemory(large);
  // Taken again from the blocks kept for reuse, a block counts as a new one.
  void* again = AllocatePixelMemory(7 * kMiB);
  EXPECT_EQ(PixelMemoryInUse() - start, 7 * kMiB + 1000);
  ReleasePixelMemory(again);
  ReleasePixelMemory(small);
  EXPECT_EQ(PixelMemoryInUse(), start);
}

TEST(PixelBudget, ABlockThatWouldPassTheBoundIsRefusedAndNothingCounted) {
  const Bound bound(64 * kMiB);
  const uint64_t start = PixelMemoryInUse();
  void* first = AllocatePixelMemory(40 * kMiB);
  ASSERT_NE(first, nullptr);
  try {
    AllocatePixelMemory(30 * kMiB);
    FAIL() << "allocated past the bound";
  } catch (const EPixelMemoryBound& e) {
    EXPECT_EQ(e.Needed(), start + 70 * kMiB);
    EXPECT_EQ(e.Bound(), 64 * kMiB);
    EXPECT_EQ(e.Message(), "the pictures of this run would hold " +
                               std::to_string((start + 71 * kMiB - 1) / kMiB) +
                               " MiB at once; a run may hold at most 64 MiB of pictures");
  }
  EXPECT_EQ(PixelMemoryInUse() - start, 40 * kMiB);
  EXPECT_NO_THROW(CheckPixelMemory(24 * kMiB - start));
  EXPECT_THROW(CheckPixelMemory(25 * kMiB), EPixelMemoryBound);
  ReleasePixelMemory(first);
  // A memory stream grows through the same allocator, and meets the same bound.
  TMemoryStream stream;
  EXPECT_THROW(stream.SetSize(static_cast<int64_t>(65 * kMiB)), EPixelMemoryBound);
  EXPECT_NO_THROW(stream.SetSize(static_cast<int64_t>(10 * kMiB)));
}
