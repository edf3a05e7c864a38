#include "base/Bands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

// Pieces used in order: every piece worked once, by workers numbered below the thread
// count, and consumed in order on the calling thread, each after its work.
TEST(Pieces, AreWorkedOnceAndConsumedInOrderOnTheCallingThread) {
  for (const auto& [count, threads] :
       {std::pair{0, 2}, std::pair{1, 2}, std::pair{2, 2}, std::pair{37, 2}, std::pair{37, 3},
        std::pair{5, 16}, std::pair{20, 1}}) {
    const TBandSettings settings(threads, 0);
    std::mutex mutex;
    std::vector<int> worked(static_cast<size_t>(count), 0), consumed;
    std::vector<bool> workers(static_cast<size_t>(threads), false);
    RunPiecesInOrder(
        count,
        [&](int worker, int piece) {
          // Uneven work, so that pieces finish out of order.
          std::this_thread::sleep_for(std::chrono::microseconds(piece % 3 == 0 ? 300 : 10));
          std::lock_guard<std::mutex> lock(mutex);
          ASSERT_GE(worker, 0);
          ASSERT_LT(worker, threads);
          workers[static_cast<size_t>(worker)] = true;
          ++worked[static_cast<size_t>(piece)];
        },
        [&](int piece) {
          std::lock_guard<std::mutex> lock(mutex);
          EXPECT_EQ(worked[static_cast<size_t>(piece)], 1) << "consumed before its work";
          consumed.push_back(piece);
        });
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
    EXPECT_EQ(consumed, order) << count << " pieces, " << threads << " threads";
    for (int i = 0; i < count; ++i) EXPECT_EQ(worked[static_cast<size_t>(i)], 1);
    // One thread: everything on the calling thread.
    if (threads == 1 && count > 0) {
      EXPECT_TRUE(workers[0]);
    }
  }
}

// A failure of a piece's work or of the consumer stops the handing out of pieces and is
// raised once every thread has ended; nothing after a failed piece is consumed.
TEST(Pieces, AFailureStopsTheWorkAndIsRaisedAfterTheThreadsEnded) {
  const TBandSettings settings(2, 0);
  std::atomic<int> running{0}, worked{0};
  std::vector<int> consumed;
  try {
    RunPiecesInOrder(
        1000,
        [&](int, int piece) {
          ++running;
          ++worked;
          if (piece == 5) throw std::runtime_error("piece 5");
          std::this_thread::sleep_for(std::chrono::microseconds(100));
          --running;
        },
        [&](int piece) { consumed.push_back(piece); });
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "piece 5");
  }
  EXPECT_EQ(running.load(), 1);  // only the failed piece never finished
  EXPECT_LT(worked.load(), 1000);
  for (const int piece : consumed) EXPECT_LT(piece, 5);

  consumed.clear();
  try {
    RunPiecesInOrder(
        50, [&](int, int) {},
        [&](int piece) {
          consumed.push_back(piece);
          if (piece == 3) throw std::logic_error("consumer");
        });
    FAIL() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "consumer");
  }
  EXPECT_EQ(consumed, (std::vector<int>{0, 1, 2, 3}));
}
