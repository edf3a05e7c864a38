// The tables of the resampling passes, shared by the width and the height kernels: one
// entry per destination position for enlarging, one per boundary for shrinking. All
// positions are computed in extended precision (TExtended, 64-bit significand) and
// truncated toward zero, as the pixel arithmetic of the tool requires.
//
// A table covers at most kTableSpan destination positions at a time, and a height pass
// computes the entry of each destination row when it reaches it, so the temporaries of a
// pass stay small whatever the picture's size (a row of 300 million pixels, which the
// store allows for a picture one pixel high, would otherwise need gigabytes of taps).
#pragma once

#include <cstdint>
#include <vector>

#include "base/Extended.h"
#include "platform/Processor.h"

class TBitmap;

// The instruction sets of the pixel kernels: the generic code builds and runs everywhere;
// the AVX2 code (which includes SSE4.1) runs where the processor has it
// (platform/Processor.h). Both give the same bytes; tests run both.
enum class TKernelPath { kpGeneric, kpAvx2 };
// The path in use: AVX2 where the processor has it, unless a test chose the generic one.
TKernelPath KernelPath();
// Chooses a path (for tests and benchmarks); AVX2 is taken only where it is available.
void SetKernelPath(TKernelPath path);

// How an enlarged sample is made from its source neighbourhood.
enum class TEnlargeKind : uint8_t {
  ekCopy,    // idx = S - 1: the last source sample, copied
  ekLinear,  // idx = 0 or idx = S - 2: linear within the first or last interval
  ekCubic,   // 1 <= idx <= S - 3: four-tap cubic in 16.16 fixed point
};

struct TEnlargeTap {
  int32_t idx = 0;  // source index: truncate((S - 1) * b / (D - 1))
  TEnlargeKind kind = TEnlargeKind::ekCopy;
  int32_t w[4] = {0, 0, 0, 0};  // 16.16 weights of samples idx - 1 .. idx + 2
  TExtended fr = 0;             // position - idx, for the linear intervals
};

inline constexpr int kTableSpan = 4096;

// The tap of destination position b for enlarging S samples to D (S < D).
TEnlargeTap EnlargeTap(int source, int dest, int b);
// The taps of destination positions first .. first + count - 1 (count -1: up to D - 1).
std::vector<TEnlargeTap> MakeEnlargeTable(int source, int dest, int first = 0, int count = -1);

// Linear sample of the first and last intervals, evaluated in extended precision in
// exactly this form: truncate(p0 * (1 - fr) + p1 * fr + 0.5).
inline uint8_t LinearSample(int p0, int p1, const TExtended& fr) {
  const TExtended value = p0 * (1.0L - fr) + p1 * fr + 0.5L;
  return static_cast<uint8_t>(static_cast<int>(value));
}

// The largest cubic sum that is a sample: 255 in 16.16 fixed point. The kernel's lobes
// overshoot below 0 and above it near hard edges; those sums clamp to black and white.
constexpr int32_t kCubicMaxSum = 255 << 16;

// Cubic sample from the 16.16 sum (which already includes the 32768 for rounding):
// clamped to 0 .. kCubicMaxSum, then shifted down by 16 bits.
inline uint8_t CubicSample(int32_t sum) {
  if (sum < 0) sum = 0;
  if (sum > kCubicMaxSum) sum = kCubicMaxSum;
  return static_cast<uint8_t>(sum >> 16);
}

// The boundary i of shrinking S samples to D (S > D): n(i) = truncate(q(i)) and
// f(i) = truncate((q(i) - n(i)) * 65536) with q(i) = (S * i) / D. So n(0) = 0, f(0) = 0,
// n(D) = S, f(D) = 0.
struct TShrinkBoundary {
  int32_t n = 0;
  int32_t f = 0;
};
TShrinkBoundary ShrinkBoundary(int source, int dest, int i);

// The scale and the boundaries first .. first + count of shrinking S samples to D: the
// boundaries of destination positions first .. first + count - 1 (count -1: up to D - 1).
struct TShrinkTable {
  int first = 0;
  std::vector<int32_t> n;  // n[j] = n(first + j)
  std::vector<int32_t> f;  // f[j] = f(first + j)
  int64_t c = 0;           // truncate(S * 65536 / D + 0.5): the coverage of one pixel
  int64_t half = 0;        // (c + 1) div 2
  // Whether the 16.16 sums of one destination sample may exceed 32 bits. They reach about
  // 255 * 65536 * (S / D + 1), so a single pass shrinking by more than about 127, or a
  // source of 32768 or more, needs 64-bit accumulators.
  bool wide = false;
};

TShrinkTable MakeShrinkTable(int source, int dest, int first = 0, int count = -1);

// Exact division of a non-negative 16.16 sum by the coverage c, done by a multiplication
// and a shift (a division per output byte would dominate the shrink kernels). Exact for
// every numerator below 2^31, which the 32-bit accumulators guarantee.
class TCoverageDivider {
 public:
  explicit TCoverageDivider(int64_t c);
  uint32_t Divide(uint32_t numerator) const {
    return static_cast<uint32_t>((static_cast<uint64_t>(numerator) * multiplier_) >> shift_);
  }
  uint32_t Multiplier() const { return multiplier_; }
  int Shift() const { return shift_; }

 private:
  uint32_t multiplier_ = 0;
  int shift_ = 0;
};

// Checks what every pass kernel relies on: both rasters hold 24-bit pixels, the
// destination has the source's size along the axis the pass keeps, and along the pass's
// axis it is larger (enlarging) or smaller (shrinking) than the source. Raises
// EInvalidGraphic for another pixel format and EInvalidGraphicOperation (the scan-line
// error: the tables would address samples that are not there) for sizes that do not fit,
// before anything is written.
void CheckPassRasters(const TBitmap& source, const TBitmap& dest, bool width_pass, bool enlarge);
