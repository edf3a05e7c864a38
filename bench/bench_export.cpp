// The window's GIF save of a 4000 x 3000 result, whole and by stage: the halftone
// conversion, the panel render, the frame import, the run-length encoding, the writing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "base/Streams.h"
#include "bench/BenchPictures.h"
#include "export/SaveAsGif.h"
#include "export/TeePanel.h"
#include "gif/Gifimage.h"
#include "platform/Files.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

const TBitmap& Result() {
  return SharedPhotoPicture(kWidth, kHeight);
}

std::string OutFile() {
  return (std::filesystem::temp_directory_path() / "lumiveil-bench-save.gif").string();
}

void BM_WholeGifSave(benchmark::State& state) {
  TGifSaveTarget target;
  for (auto _ : state) SaveAsGif(Result(), target, OutFile());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(OutFile()));
  std::remove(OutFile().c_str());
}
BENCHMARK(BM_WholeGifSave)->Unit(benchmark::kMillisecond);

// The stages, each on the previous stage's output.
struct Stages {
  TBitmap reduced;
  TChart chart;
  std::unique_ptr<TBitmap> raster;
  TGIFImage gif;
  TMemoryStream file;
  Stages() {
    reduced.Assign(&Result());
    reduced.SetPixelFormat(TPixelFormat::Bits8);
    chart.SetWidth(kWidth);
    chart.SetHeight(kHeight);
    TPicture picture;
    picture.SetGraphic(&reduced);
    chart.SetBackImage(picture);
    raster = chart.TeeCreateBitmap(chart.Color, Rect(0, 0, kWidth, kHeight), TPixelFormat::Device);
    gif.SetCompression(gcRLE);
    gif.SetColorReduction(rmNone);
    gif.Assign(raster.get());
    gif.SaveToStream(file);
  }
};

Stages& Prepared() {
  static Stages* stages = new Stages;
  return *stages;
}

void BM_Stage1_HalftoneConversion(benchmark::State& state) {
  for (auto _ : state) {
    TBitmap copy;
    copy.Assign(&Result());
    copy.SetPixelFormat(TPixelFormat::Bits8);
    benchmark::DoNotOptimize(copy.ConstScanline(0));
  }
}
BENCHMARK(BM_Stage1_HalftoneConversion)->Unit(benchmark::kMillisecond);

void BM_Stage2_PanelRender(benchmark::State& state) {
  Stages& s = Prepared();
  for (auto _ : state) {
    auto raster =
        s.chart.TeeCreateBitmap(s.chart.Color, Rect(0, 0, kWidth, kHeight), TPixelFormat::Device);
    benchmark::DoNotOptimize(raster->ConstScanline(0));
  }
}
BENCHMARK(BM_Stage2_PanelRender)->Unit(benchmark::kMillisecond);

void BM_Stage3_FrameImport(benchmark::State& state) {
  Stages& s = Prepared();
  for (auto _ : state) {
    TGIFImage gif;
    gif.SetCompression(gcRLE);
    gif.SetColorReduction(rmNone);
    gif.Assign(s.raster.get());
    benchmark::DoNotOptimize(gif.Images().Count());
  }
}
BENCHMARK(BM_Stage3_FrameImport)->Unit(benchmark::kMillisecond);

void BM_Stage4_EncodeToMemory(benchmark::State& state) {
  Stages& s = Prepared();
  for (auto _ : state) {
    TMemoryStream stream;
    s.gif.SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.counters["bytes"] = static_cast<double>(s.file.Size());
}
BENCHMARK(BM_Stage4_EncodeToMemory)->Unit(benchmark::kMillisecond);

void BM_Stage5_WriteFileSafely(benchmark::State& state) {
  Stages& s = Prepared();
  for (auto _ : state)
    SaveFileSafely(OutFile(),
                   [&](TStream& out) { out.WriteBuffer(s.file.Memory(), s.file.Size()); });
  std::remove(OutFile().c_str());
}
BENCHMARK(BM_Stage5_WriteFileSafely)->Unit(benchmark::kMillisecond);

}  // namespace
