#include "compose/ResampleTables.h"

#include <cstdint>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "raster/Bitmap.h"

namespace {

TKernelPath& ChosenPath() {
  static TKernelPath path = Avx2Available() ? TKernelPath::kpAvx2 : TKernelPath::kpGeneric;
  return path;
}

// The cubic weights' constant factor 1/6, rounded once to extended precision.
constexpr TExtended kSixth = TExtended(1) / 6;

// 0.5 added, then truncated toward zero: a negative weight moves toward zero.
int32_t RoundWeight(const TExtended& w) {
  return static_cast<int32_t>(w + 0.5L);
}

}  // namespace

TKernelPath KernelPath() {
  return ChosenPath();
}

void SetKernelPath(TKernelPath path) {
  ChosenPath() = path == TKernelPath::kpAvx2 && !Avx2Available() ? TKernelPath::kpGeneric : path;
}

TEnlargeTap EnlargeTap(int source, int dest, int b) {
  TEnlargeTap tap;
  const int64_t span = source - 1;
  const int64_t steps = dest - 1;
  // pos = (S - 1) * b / (D - 1): the product is an exact integer, the division rounds
  // once. Its truncation is the integer quotient: a quotient that is not an integer lies
  // at least 1/(D - 1) below the next one, far more than the rounding error.
  const TExtended pos = TExtended(span * b) / TExtended(steps);
  tap.idx = static_cast<int32_t>(span * b / steps);
  tap.fr = pos - tap.idx;
  // The single sample of a one-sample source is also the last one: every destination
  // sample copies it (a one-pixel-wide picture enlarged horizontally copies its column,
  // as a one-row picture enlarged vertically copies its row).
  if (tap.idx == source - 1) {
    tap.kind = TEnlargeKind::ekCopy;
  } else if (tap.idx == 0 || tap.idx == source - 2) {
    tap.kind = TEnlargeKind::ekLinear;
  } else {
    tap.kind = TEnlargeKind::ekCubic;
    // Cubic Lagrange weights of samples idx - 1 .. idx + 2 at t = fr + 1, each in this
    // order of operations.
    const TExtended t = tap.fr + 1.0L;
    tap.w[0] = RoundWeight((t - 1) * 65536 * (t - 2) * (t - 3) * (-kSixth));
    tap.w[1] = RoundWeight((t - 0) * 65536 * (t - 2) * (t - 3) * 0.5L);
    tap.w[2] = RoundWeight((t - 0) * 65536 * (t - 1) * (t - 3) * (-0.5L));
    tap.w[3] = RoundWeight((t - 0) * 65536 * (t - 1) * (t - 2) * kSixth);
  }
  return tap;
}

std::vector<TEnlargeTap> MakeEnlargeTable(int source, int dest, int first, int count) {
  if (count < 0) count = dest - first;
  std::vector<TEnlargeTap> table(static_cast<size_t>(count));
  for (int j = 0; j < count; ++j)
    table[static_cast<size_t>(j)] = EnlargeTap(source, dest, first + j);
  return table;
}

TShrinkBoundary ShrinkBoundary(int source, int dest, int i) {
  // q = (S * i) / D: the exact integer product, then one division in extended precision.
  const TExtended q = TExtended(static_cast<int64_t>(source) * i) / TExtended(dest);
  const auto n = static_cast<int64_t>(q);
  return {static_cast<int32_t>(n), static_cast<int32_t>((q - n) * 65536)};
}

TShrinkTable MakeShrinkTable(int source, int dest, int first, int count) {
  if (count < 0) count = dest - first;
  TShrinkTable table;
  table.first = first;
  table.n.resize(static_cast<size_t>(count) + 1);
  table.f.resize(static_cast<size_t>(count) + 1);
  for (int j = 0; j <= count; ++j) {
    const TShrinkBoundary boundary = ShrinkBoundary(source, dest, first + j);
    table.n[static_cast<size_t>(j)] = boundary.n;
    table.f[static_cast<size_t>(j)] = boundary.f;
  }
  const TExtended scale = TExtended(static_cast<int64_t>(source) * 65536) / TExtended(dest);
  table.c = static_cast<int64_t>(scale + 0.5L);
  table.half = (table.c + 1) / 2;
  // Largest sum of one destination sample: 255 times its whole coverage, which spans at
  // most ceil(S / D) + 1 source samples, plus half.
  const int64_t samples = (static_cast<int64_t>(source) + dest - 1) / dest + 1;
  const int64_t largest = 255 * 65536 * samples + table.half;
  table.wide = source >= 32768 || largest > INT32_MAX;
  return table;
}

TCoverageDivider::TCoverageDivider(int64_t c) {
  // With l = ceil(log2 c), s = 31 + l and m = ceil(2^s / c) = (2^s + e) / c, 0 <= e < c:
  // n * m / 2^s = n / c + n * e / (c * 2^s), and for n < 2^31 the second term is below
  // 1 / c, too small to reach the next integer. As 2^(l - 1) < c <= 2^l, m lies between
  // 2^31 and 2^32 - 1 and fits 32 bits, so n * m < 2^63. Only used for c < 2^32 (the
  // 32-bit accumulators' c is below 2^23).
  int l = 0;
  while ((int64_t{1} << l) < c) ++l;
  shift_ = 31 + l;
  // ceil(2^s / c) = (2^s - 1) div c + 1, in 64 bits: s is at most 63 for c < 2^32.
  const uint64_t power_less_one = (uint64_t{1} << shift_) - 1;
  multiplier_ = static_cast<uint32_t>(power_less_one / static_cast<uint64_t>(c) + 1);
}

void CheckPassRasters(const TBitmap& source, const TBitmap& dest, bool width_pass, bool enlarge) {
  if (source.Empty() || dest.Empty()) throw EInvalidGraphicOperation(SScanLine);
  if (source.BitsPerPixel() != 24 || dest.BitsPerPixel() != 24)
    throw EInvalidGraphic(SInvalidPixelFormat);
  const int from = width_pass ? source.Width() : source.Height();
  const int to = width_pass ? dest.Width() : dest.Height();
  const bool kept = width_pass ? source.Height() == dest.Height() : source.Width() == dest.Width();
  if (!kept || (enlarge ? from >= to : from <= to)) throw EInvalidGraphicOperation(SScanLine);
}
