// The raster store: reading and writing a 4000 x 3000 24-bit BMP, the halftone
// conversion of such a photo, and memcpy of the same bytes as the yardstick.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "bench/BenchPictures.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

const TBitmap& Photo() {
  return SharedPhotoPicture(kWidth, kHeight);
}

std::string BmpFile() {
  static const std::string file = [] {
    const std::string name =
        (std::filesystem::temp_directory_path() / "lumiveil-bench.bmp").string();
    TBitmap copy;
    copy.Assign(&Photo());
    copy.SaveToFile(name);
    return name;
  }();
  return file;
}

void BM_Memcpy36MB(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(kWidth) * 3 * kHeight;
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_Memcpy36MB)->Unit(benchmark::kMillisecond);

void BM_ReadBmpFile(benchmark::State& state) {
  const std::string file = BmpFile();
  for (auto _ : state) {
    TBitmap bitmap;
    bitmap.LoadFromFile(file);
    if (bitmap.Width() != kWidth) state.SkipWithError("wrong picture");
    benchmark::DoNotOptimize(bitmap.ConstScanline(0));
  }
}
BENCHMARK(BM_ReadBmpFile)->Unit(benchmark::kMillisecond);

// A file of that name in the temporary folder.
std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_WriteBmpFile(benchmark::State& state) {
  TBitmap bitmap;
  bitmap.Assign(&Photo());
  const std::string file = TempFile("lumiveil-bench-out.bmp");
  for (auto _ : state) {
    TFileStream stream(file, fmCreate);
    bitmap.SaveToStream(stream);
    stream.Close();
  }
  std::remove(file.c_str());
}
BENCHMARK(BM_WriteBmpFile)->Unit(benchmark::kMillisecond);

void BM_WriteBmpMemory(benchmark::State& state) {
  TBitmap bitmap;
  bitmap.Assign(&Photo());
  for (auto _ : state) {
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
}
BENCHMARK(BM_WriteBmpMemory)->Unit(benchmark::kMillisecond);

// The safe save: temporary file, flushed to disk, renamed over the target.
void BM_SaveToFileSafely(benchmark::State& state) {
  TBitmap bitmap;
  bitmap.Assign(&Photo());
  const std::string file = TempFile("lumiveil-bench-safe.bmp");
  for (auto _ : state) bitmap.SaveToFile(file);
  std::remove(file.c_str());
}
BENCHMARK(BM_SaveToFileSafely)->Unit(benchmark::kMillisecond);

void BM_ReadBmpMemory(benchmark::State& state) {
  TMemoryStream stream;
  stream.LoadFromFile(BmpFile());
  for (auto _ : state) {
    stream.SetPosition(0);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    benchmark::DoNotOptimize(bitmap.ConstScanline(0));
  }
}
BENCHMARK(BM_ReadBmpMemory)->Unit(benchmark::kMillisecond);

void BM_HalftoneConversion(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TBitmap bitmap;
    bitmap.Assign(&Photo());
    state.ResumeTiming();
    bitmap.SetPixelFormat(TPixelFormat::Bits8);
    benchmark::DoNotOptimize(bitmap.ConstScanline(0));
  }
}
BENCHMARK(BM_HalftoneConversion)->Unit(benchmark::kMillisecond);

}  // namespace
