#include "base/Bands.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
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

TBandSettings::TBandSettings(int threads, int64_t min_work)
    : threads_(chosen_threads.load()), min_work_(MinBandWork()) {
  SetBandThreads(threads);
  SetMinBandWork(min_work);
}

TBandSettings::~TBandSettings() {
  chosen_threads.store(threads_);
  SetMinBandWork(min_work_);
}
