// Row bands over the processor's cores. The row kernels (resampling, the checkerboard and
// tone mapping, pixel-format conversion, colour lookups, the frame import, the panel render)
// compute every output row from input rows alone, so the rows can be cut into bands and
// each band given to a thread: the bytes are the same however the rows are cut.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The most threads the row kernels start, whatever the processor count or the setting.
inline constexpr int kMaxBandThreads = 16;

// The number of threads the row kernels use: the environment variable LUMIVEIL_THREADS
// when it holds a whole number from 1 up (1 makes every kernel run on the calling thread,
// for tests and measurements), else the processor count; at most kMaxBandThreads.
int BandThreads();
// A note for a LUMIVEIL_THREADS that is set but not taken as it stands (no whole number
// from 1 up, or above kMaxBandThreads), saying what is used instead; nothing otherwise.
std::optional<std::string> BandThreadsNote();
// Sets the thread count for this process (0: back to the environment or processor count).
void SetBandThreads(int threads);
// The least work (rows times the cost of a row, in bytes touched) worth a second thread;
// smaller jobs run on the calling thread. Tests set 0 to cut even a 1 x 1 picture.
int64_t MinBandWork();
void SetMinBandWork(int64_t work);

// How `rows` rows are cut: `count` consecutive bands, band b holding the rows First(b) up
// to Last(b) - 1, sizes differing by at most one row.
struct TBands {
  int rows = 0;
  int count = 1;
  int First(int band) const { return static_cast<int>(static_cast<int64_t>(rows) * band / count); }
  int Last(int band) const { return First(band + 1); }
};

// The bands for `rows` rows of `cost_per_row` bytes each: one per thread when the whole is
// at least MinBandWork(), never more than there are rows, else a single band.
TBands PlanBands(int rows, int64_t cost_per_row);

// Calls work(band, first, last) once for every band, each band on its own thread; the
// calling thread works on band 0 and returns when every band has ended. An exception of a
// band is raised again then (that of the lowest band when several failed).
void RunBands(const TBands& bands, const std::function<void(int band, int first, int last)>& work);

// PlanBands and RunBands in one, for work that needs no state of its own per band.
void ForEachBand(int rows, int64_t cost_per_row,
                 const std::function<void(int first, int last)>& work);

// Sets the thread count and the least work for its lifetime, then restores them (tests).
class TBandSettings {
 public:
  TBandSettings(int threads, int64_t min_work);
  ~TBandSettings();
  TBandSettings(const TBandSettings&) = delete;
  TBandSettings& operator=(const TBandSettings&) = delete;

 private:
  int threads_;
  int64_t min_work_;
};
