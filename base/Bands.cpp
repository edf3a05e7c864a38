#include "base/Bands.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Format.h"
#include "base/Messages.h"

namespace {

// 0 while no count was set: the environment or the processor count decides.
std::atomic<int> chosen_threads{0};
// About 256 KiB of pixels: less takes less time than starting and joining a thread.
std::atomic<int64_t> min_band_work{int64_t{256} << 10};

// The setting LUMIVEIL_THREADS as a number from 1 up, or nothing when it is not set or
// holds anything else.
std::optional<long> ThreadsSetting() {
  const char* text = std::getenv("LUMIVEIL_THREADS");
  if (text == nullptr) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || errno != 0) return std::nullopt;
  return value;
}

int ProcessorThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp<unsigned>(cores, 1, kMaxBandThreads));
}

int DefaultThreads() {
  static const int threads = [] {
    if (const auto value = ThreadsSetting())
      return static_cast<int>(std::min<long>(*value, kMaxBandThreads));
    return ProcessorThreads();
  }();
  return threads;
}

}  // namespace

std::optional<std::string> BandThreadsNote() {
  const char* text = std::getenv("LUMIVEIL_THREADS");
  if (text == nullptr) return std::nullopt;
  const auto value = ThreadsSetting();
  if (!value) return Format(SThreadsInvalid, text, ProcessorThreads()).text;
  if (*value > kMaxBandThreads) return Format(SThreadsTooMany, text, kMaxBandThreads).text;
  return std::nullopt;
}

int BandThreads() {
  const int chosen = chosen_threads.load(std::memory_order_relaxed);
  return chosen > 0 ? chosen : DefaultThreads();
}

void SetBandThreads(int threads) {
  chosen_threads.store(std::clamp(threads, 0, kMaxBandThreads), std::memory_order_relaxed);
}

int64_t MinBandWork() {
  return min_band_work.load(std::memory_order_relaxed);
}

void SetMinBandWork(int64_t work) {
  min_band_work.store(std::max<int64_t>(work, 0), std::memory_order_relaxed);
}

TBands PlanBands(int rows, int64_t cost_per_row) {
  TBands bands;
  bands.rows = std::max(rows, 0);
  const int threads = BandThreads();
  if (threads < 2 || bands.rows < 2) return bands;
  const int64_t work = static_cast<int64_t>(bands.rows) * std::max<int64_t>(cost_per_row, 1);
  if (work < MinBandWork()) return bands;
  bands.count = std::min(threads, bands.rows);
  return bands;
}

void RunBands(const TBands& bands, const std::function<void(int band, int first, int last)>& work) {
  if (bands.count <= 1) {
    if (bands.rows > 0) work(0, 0, bands.rows);
    return;
  }
  std::vector<std::exception_ptr> failures(static_cast<size_t>(bands.count));
  const auto run = [&](int band) {
    try {
      work(band, bands.First(band), bands.Last(band));
    } catch (...) {
      failures[static_cast<size_t>(band)] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(bands.count - 1));
  try {
    for (int band = 1; band < bands.count; ++band) threads.emplace_back(run, band);
  } catch (...) {
    // No thread to be had: the bands that have none run here.
    for (int band = static_cast<int>(threads.size()) + 1; band < bands.count; ++band) run(band);
  }
  run(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

void ForEachBand(int rows, int64_t cost_per_row,
                 const std::function<void(int first, int last)>& work) {
  RunBands(PlanBands(rows, cost_per_row), [&](int, int first, int last) { work(first, last); });
}

namespace {

// What the threads of RunPiecesInOrder share.
class TPieceQueue {
 public:
  TPieceQueue(int count, const std::function<void(int, int)>& work)
      : count_(count), work_(work), done_(static_cast<size_t>(count), false) {}

  // Takes the lowest piece not yet taken; -1 when none is left or the work stopped.
  int Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_ || next_ >= count_) return -1;
    return next_++;
  }

  void Work(int worker, int piece) {
    try {
      work_(worker, piece);
      std::lock_guard<std::mutex> lock(mutex_);
      done_[static_cast<size_t>(piece)] = true;
    } catch (...) {
      Fail(std::current_exception(), piece);
    }
    changed_.notify_all();
  }

  // Works pieces until none is left (the threads besides the calling one).
  void WorkAll(int worker) {
    for (int piece = Take(); piece >= 0; piece = Take()) Work(worker, piece);
  }

  // Waits until `piece` was worked, working pieces meanwhile while there are any; false
  // when the work stopped.
  bool AwaitPiece(int piece) {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopped_) return false;
        if (done_[static_cast<size_t>(piece)]) return true;
      }
      const int own = Take();
      if (own >= 0) {
        Work(0, own);
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stopped_ || done_[static_cast<size_t>(piece)]; });
    }
  }

  // Records the failure of `piece` (INT_MIN: of the consumer, which goes first) and stops.
  void Fail(std::exception_ptr failure, int piece) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!failure_ || piece < failed_piece_) {
        failure_ = failure;
        failed_piece_ = piece;
      }
      stopped_ = true;
    }
    changed_.notify_all();
  }

  std::exception_ptr Failure() const { return failure_; }

 private:
  const int count_;
  const std::function<void(int, int)>& work_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> done_;
  int next_ = 0;
  bool stopped_ = false;
  std::exception_ptr failure_;
  int failed_piece_ = INT_MAX;
};

}  // namespace

void RunPiecesInOrder(int count, const std::function<void(int worker, int piece)>& work,
                      const std::function<void(int piece)>& consume) {
  if (count <= 0) return;
  TPieceQueue queue(count, work);
  std::vector<std::thread> threads;
  const int helpers = std::min(BandThreads(), count) - 1;
  try {
    for (int worker = 1; worker <= helpers; ++worker)
      threads.emplace_back([&queue, worker] { queue.WorkAll(worker); });
  } catch (...) {
    // No further thread to be had: the threads started and this one do the work.
  }
  for (int piece = 0; piece < count; ++piece) {
    if (!queue.AwaitPiece(piece)) break;
    try {
      consume(piece);
    } catch (...) {
      queue.Fail(std::current_exception(), INT_MIN);
      break;
    }
  }
  for (std::thread& thread : threads) thread.join();
  if (queue.Failure()) std::rethrow_exception(queue.Failure());
}

TBandSettings::TBandSettings(int threads, int64_t min_work)
    : threads_(chosen_threads.load()), min_work_(MinBandWork()) {
  SetBandThreads(threads);
  SetMinBandWork(min_work);
}

TBandSettings::~TBandSettings() {
  chosen_threads.store(threads_);
  SetMinBandWork(min_work_);
}
