// The composition at 12 megapixels (4000 x 3000): a synthesis (checkerboard and tone
// mapping), one slider step (the tone mapping alone), enlarging 2000 x 1500 to 4000 x 3000
// and shrinking 4000 x 3000 to 1000 x 750; memcpy of the same bytes as the yardstick.
// Every benchmark checks its result once before it is timed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/BenchPictures.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr size_t kPictureBytes = size_t{kWidth} * 3 * kHeight;

const TBitmap& Visible() {
  return SharedPhotoPicture(kWidth, kHeight, "coffee.bmp");
}

const TBitmap& Hidden() {
  return SharedPhotoPicture(kWidth, kHeight, "chelsea.bmp");
}

// Even cells from the visible picture, odd cells the mapped (or untouched) hidden bytes.
bool CheckCells(const TBitmap& result, const TToneTable* tone) {
  if (result.Width() != kWidth || result.Height() != kHeight) return false;
  for (int y = 0; y < kHeight; ++y) {
    const uint8_t* r = result.ConstScanline(y);
    const uint8_t* v = Visible().ConstScanline(y);
    const uint8_t* h = Hidden().ConstScanline(y);
    for (int i = 0; i < kWidth * 3; ++i) {
      const bool odd = (i / 3 + y) % 2 == 1;
      const int expected = !odd ? v[i] : tone ? tone->map[h[i]] : h[i];
      if (r[i] != expected) return false;
    }
  }
  return true;
}

void CopyBytes(benchmark::State& state, int pictures) {
  const size_t bytes = kPictureBytes * static_cast<size_t>(pictures);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// The yardsticks: one picture's bytes (what a slider step rewrites at most) and the three
// pictures' bytes (what a synthesis reads and writes).
void BM_MemcpyOnePicture(benchmark::State& state) {
  CopyBytes(state, 1);
}
BENCHMARK(BM_MemcpyOnePicture)->Unit(benchmark::kMillisecond);

void BM_MemcpyThreePictures(benchmark::State& state) {
  CopyBytes(state, 3);
}
BENCHMARK(BM_MemcpyThreePictures)->Unit(benchmark::kMillisecond);

void BM_Synthesize(benchmark::State& state) {
  TBitmap result, inner;
  inner.Assign(&Hidden());
  Synthesize(result, Visible(), inner, 90, 60);
  const TToneTable tone(90, 60);
  if (!CheckCells(result, &tone)) state.SkipWithError("wrong synthesis");
  for (auto _ : state) {
    Synthesize(result, Visible(), inner, 90, 60);
    benchmark::DoNotOptimize(result.ConstScanline(0));
  }
}
BENCHMARK(BM_Synthesize)->Unit(benchmark::kMillisecond);

void BM_ComposeCheckerboard(benchmark::State& state) {
  TBitmap result;
  ComposeCheckerboard(result, Visible(), Hidden());
  if (!CheckCells(result, nullptr)) state.SkipWithError("wrong checkerboard");
  for (auto _ : state) {
    ComposeCheckerboard(result, Visible(), Hidden());
    benchmark::DoNotOptimize(result.ConstScanline(0));
  }
}
BENCHMARK(BM_ComposeCheckerboard)->Unit(benchmark::kMillisecond);

// One slider step: the odd cells mapped again from the hidden picture.
void BM_ApplyInnerTone(benchmark::State& state) {
  TBitmap result;
  ComposeCheckerboard(result, Visible(), Hidden());
  ApplyInnerTone(result, Hidden(), 200, 40);
  const TToneTable tone(200, 40);
  if (!CheckCells(result, &tone)) state.SkipWithError("wrong tone mapping");
  int step = 0;
  for (auto _ : state) {
    ApplyInnerTone(result, Hidden(), 128, 20 + (step++ % 100));
    benchmark::DoNotOptimize(result.ConstScanline(0));
  }
}
BENCHMARK(BM_ApplyInnerTone)->Unit(benchmark::kMillisecond);

void BM_Enlarge2000x1500To4000x3000(benchmark::State& state) {
  TBitmap source;
  MakePhotoPicture(source, 2000, 1500, "coffee.bmp");
  TBitmap check;
  check.Assign(&source);
  ResizeBitmap(check, kWidth, kHeight);
  // The corners sit on the source's corners; the interior stays within the byte range by
  // construction, so a wrong size or a skipped pass is what this catches.
  const bool ok = check.Width() == kWidth && check.Height() == kHeight &&
                  std::memcmp(check.ConstScanline(0), source.ConstScanline(0), 3) == 0 &&
                  std::memcmp(check.ConstScanline(kHeight - 1) + 3 * (kWidth - 1),
                              source.ConstScanline(1499) + 3 * 1999, 3) == 0;
  if (!ok) state.SkipWithError("wrong enlargement");
  for (auto _ : state) {
    TBitmap picture;
    picture.Assign(&source);
    ResizeBitmap(picture, kWidth, kHeight);
    benchmark::DoNotOptimize(picture.ConstScanline(0));
  }
}
BENCHMARK(BM_Enlarge2000x1500To4000x3000)->Unit(benchmark::kMillisecond);

void BM_Shrink4000x3000To1000x750(benchmark::State& state) {
  TBitmap check;
  check.Assign(&Visible());
  ResizeBitmap(check, 1000, 750);
  // Shrinking by exactly 4 averages 4 x 4 blocks; two rounded passes stay within 1 of the
  // block's mean.
  bool ok = check.Width() == 1000 && check.Height() == 750;
  for (int y = 0; ok && y < 750; ++y)
    for (int i = 0; ok && i < 3000; ++i) {
      int sum = 0;
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx)
          sum += Visible().ConstScanline(4 * y + dy)[(i / 3 * 4 + dx) * 3 + i % 3];
      ok = std::abs(check.ConstScanline(y)[i] * 16 - sum) <= 16;
    }
  if (!ok) state.SkipWithError("wrong shrinking");
  for (auto _ : state) {
    TBitmap picture;
    picture.Assign(&Visible());
    ResizeBitmap(picture, 1000, 750);
    benchmark::DoNotOptimize(picture.ConstScanline(0));
  }
}
BENCHMARK(BM_Shrink4000x3000To1000x750)->Unit(benchmark::kMillisecond);

}  // namespace
