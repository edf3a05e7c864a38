#include "base/Bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(Bands, SmallJobsStayOnTheCallingThread) {
  const TBandSettings settings(4, 1000);
  EXPECT_EQ(PlanBands(10, 99).count, 1);   // 990 bytes
  EXPECT_EQ(PlanBands(10, 100).count, 4);  // 1000 bytes
  EXPECT_EQ(PlanBands(3, 1000).count, 3);  // never more bands than rows
  EXPECT_EQ(PlanBands(1, 1 << 30).count, 1);
  EXPECT_EQ(PlanBands(0, 1000).count, 1);
}

TEST(Bands, OneThreadMeansOneBand) {
  const TBandSettings settings(1, 0);
  EXPECT_EQ(BandThreads(), 1);
  EXPECT_EQ(PlanBands(1000, 1000).count, 1);
}

// Every row in exactly one band, bands in order and of sizes differing by at most one.
class BandCuts : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(BandCuts, CoverEveryRowOnce) {
  const auto [rows, threads] = GetParam();
  const TBandSettings settings(threads, 0);
  const TBands bands = PlanBands(rows, 1);
  EXPECT_EQ(bands.count, std::min(threads, std::max(rows, 1)));
  std::vector<int> seen(static_cast<size_t>(rows), 0);
  std::vector<std::thread::id> ids(static_cast<size_t>(bands.count));
  std::mutex mutex;
  RunBands(bands, [&](int band, int first, int last) {
    std::lock_guard<std::mutex> lock(mutex);
    ids[static_cast<size_t>(band)] = std::this_thread::get_id();
    EXPECT_EQ(first, bands.First(band));
    EXPECT_EQ(last, bands.Last(band));
    for (int y = first; y < last; ++y) ++seen[static_cast<size_t>(y)];
  });
  for (int y = 0; y < rows; ++y) EXPECT_EQ(seen[static_cast<size_t>(y)], 1) << "row " << y;
  for (int b = 0; b < bands.count; ++b) {
    const int size = bands.Last(b) - bands.First(b);
    EXPECT_GE(size, rows / bands.count);
    EXPECT_LE(size, rows / bands.count + 1);
  }
  if (rows > 0) {
    EXPECT_EQ(ids[0], std::this_thread::get_id());  // band 0 on the caller
  }
  for (int b = 1; b < bands.count; ++b) EXPECT_NE(ids[static_cast<size_t>(b)], ids[0]);
}

INSTANTIATE_TEST_SUITE_P(RowsAndThreads, BandCuts,
                         testing::Values(std::pair{0, 2}, std::pair{1, 2}, std::pair{2, 2},
                                         std::pair{7, 2}, std::pair{7, 3}, std::pair{100, 3},
                                         std::pair{5, 16}, std::pair{1001, 4}),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "rows_" +
                                  std::to_string(info.param.second) + "threads";
                         });

TEST(Bands, AFailingBandIsReportedAfterAllBandsEnded) {
  const TBandSettings settings(3, 0);
  std::atomic<int> ended{0};
  try {
    RunBands(PlanBands(30, 1), [&](int band, int, int) {
      ++ended;
      if (band == 2) throw std::runtime_error("band 2");
      if (band == 1) throw std::logic_error("band 1");
    });
    FAIL() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "band 1");  // the lowest failing band's
  }
  EXPECT_EQ(ended.load(), 3);
}

TEST(Bands, SettingsAreRestored) {
  const int threads = BandThreads();
  const int64_t work = MinBandWork();
  {
    const TBandSettings settings(threads == 1 ? 2 : 1, work + 7);
    EXPECT_NE(BandThreads(), threads);
    EXPECT_EQ(MinBandWork(), work + 7);
  }
  EXPECT_EQ(BandThreads(), threads);
  EXPECT_EQ(MinBandWork(), work);
}
