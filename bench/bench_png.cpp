// Writing 4000 x 3000 pictures as PNG. The combined pictures: the coffee cup with the cat
// hidden in it (both photos tiled and mirrored to 12 megapixels), with the narrow band
// (A 230, C 25) and with the default band (A 128, C 127). The photos as `lumiveil convert`
// saves them: the cup enlarged to 12 megapixels (smooth, as a resampled picture is) and the
// cup tiled at its own resolution (the detail of a camera's photo). The encoder alone into
// memory with the setting chosen for the picture and with each fixed setting, the palette
// form, and the whole save to a file. bench/peer_png.py runs these side by side with
// python3-pil writing the same pixels.
//
//   bench_png [benchmark options]
//   bench_png --write-results DIR   the pictures the peer encodes, as BMP, and our PNGs
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "base/Streams.h"
#include "bench/BenchPictures.h"
#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "export/SaveAsGif.h"
#include "export/SaveByFormat.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/PngWriter.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

struct TBandCase {
  const char* name;
  TToneBand band;
};
const TBandCase kBands[] = {{"A230C25", {230, 25}}, {"A128C127", {128, 127}}};

// The result of each band, made once.
const TBitmap& Result(int band) {
  static std::map<int, TBitmap*> results;
  TBitmap*& result = results[band];
  if (result == nullptr) {
    TBitmap visible, hidden;
    MakePhotoPicture(visible, kWidth, kHeight, "coffee.bmp");
    MakePhotoPicture(hidden, kWidth, kHeight, "chelsea.bmp");
    result = new TBitmap;
    Synthesize(*result, visible, hidden, kBands[band].band.average, kBands[band].band.contrast);
  }
  return *result;
}

// The photos: the cup enlarged, the cup tiled.
const char* const kPhotos[] = {"photo-enlarged", "photo-tiled"};

const TBitmap& Photo(int kind) {
  static std::map<int, TBitmap*> photos;
  TBitmap*& photo = photos[kind];
  if (photo == nullptr) {
    photo = new TBitmap;
    if (kind == 0) {
      photo->LoadFromFile(std::string(LUMIVEIL_SAMPLES) + "/coffee.bmp");
      ResizeBitmap(*photo, kWidth, kHeight);
    } else {
      MakePhotoPicture(*photo, kWidth, kHeight, "coffee.bmp");
    }
  }
  return *photo;
}

// The result reduced to the halftone palette as the palette PNG holds it.
const TBitmap& Halftone(int band) {
  static std::map<int, TBitmap*> reduced;
  TBitmap*& picture = reduced[band];
  if (picture == nullptr) {
    picture = new TBitmap;
    picture->Assign(&Result(band));
    ReduceToHalftone(*picture);
  }
  return *picture;
}

void Report(benchmark::State& state, const TBitmap& picture, TPngCompression compression,
            int64_t bytes) {
  if (compression == TPngCompression::pcAuto) compression = ChoosePngCompression(picture);
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["level"] = PngZlibLevel(compression);
  state.counters["adaptive_filter"] = PngAdaptiveFilter(compression) ? 1 : 0;
  state.counters["interlaced"] = PngInterlaced(compression) ? 1 : 0;
}

void Encode(benchmark::State& state, const TBitmap& picture, TPngCompression compression,
            bool band_chunk = true) {
  TPngOptions options;
  options.compression = compression;
  if (band_chunk) options.texts = {{kBandKeyword, BandText(kBands[state.range(0)].band)}};
  int64_t bytes = 0;
  for (auto _ : state) {
    TMemoryStream stream;
    WritePng(picture, stream, options);
    bytes = stream.Size();
  }
  Report(state, picture, compression, bytes);
}

// The encoder alone, into memory: the setting chosen for the picture (the tool's), then
// each fixed setting.
void BM_PngEncode(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcAuto);
}
void BM_PngEncodeNoFilterLevel1(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcNoFilterLevel1);
}
void BM_PngEncodeAdaptiveLevel6(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcAdaptiveLevel6);
}
void BM_PngEncodeNoFilterLevel6(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcNoFilterLevel6);
}
void BM_PngEncodeInterlacedLiterals(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcInterlacedLiterals);
}
void BM_PngEncodeInterlacedLevel1(benchmark::State& state) {
  Encode(state, Result(static_cast<int>(state.range(0))), TPngCompression::pcInterlacedLevel1);
}
// The palette form's encoder, from the halftone picture.
void BM_PngEncodeIndexed(benchmark::State& state) {
  Encode(state, Halftone(static_cast<int>(state.range(0))), TPngCompression::pcAuto);
}
void BM_PngEncodeIndexedNoFilterLevel1(benchmark::State& state) {
  Encode(state, Halftone(static_cast<int>(state.range(0))), TPngCompression::pcNoFilterLevel1);
}
void BM_PngEncodeIndexedAdaptiveLevel6(benchmark::State& state) {
  Encode(state, Halftone(static_cast<int>(state.range(0))), TPngCompression::pcAdaptiveLevel6);
}

// A photo as `convert` writes it (no band chunk).
void BM_PngEncodePhoto(benchmark::State& state) {
  Encode(state, Photo(static_cast<int>(state.range(0))), TPngCompression::pcAuto, false);
}

std::string OutFile() {
  return (std::filesystem::temp_directory_path() / "lumiveil-bench-save.png").string();
}

// The whole save as `synth` makes it: the PNG with its band chunk through the safe save
// (temporary file, flushed to disk, renamed).
void BM_PngSave(benchmark::State& state) {
  const int band = static_cast<int>(state.range(0));
  TSaveOptions options(TSaveFormat::sfPNG);
  options.band = kBands[band].band;
  for (auto _ : state) SaveByFormat(Result(band), OutFile(), options);
  Report(state, Result(band), TPngCompression::pcAuto,
         static_cast<int64_t>(std::filesystem::file_size(OutFile())));
  std::remove(OutFile().c_str());
}

// The writer may use every core: CPU time is the whole process's, wall time is what a
// person waits.
void Bands(benchmark::internal::Benchmark* b) {
  b->ArgName("band")
      ->Arg(0)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
}

BENCHMARK(BM_PngEncode)->Apply(Bands);
BENCHMARK(BM_PngEncodeNoFilterLevel1)->Apply(Bands);
BENCHMARK(BM_PngEncodeAdaptiveLevel6)->Apply(Bands);
BENCHMARK(BM_PngEncodeNoFilterLevel6)->Apply(Bands);
BENCHMARK(BM_PngEncodeInterlacedLiterals)->Apply(Bands);
BENCHMARK(BM_PngEncodeInterlacedLevel1)->Apply(Bands);
BENCHMARK(BM_PngEncodeIndexed)->Apply(Bands);
BENCHMARK(BM_PngEncodeIndexedNoFilterLevel1)->Apply(Bands);
BENCHMARK(BM_PngEncodeIndexedAdaptiveLevel6)->Apply(Bands);
BENCHMARK(BM_PngSave)->Apply(Bands);
BENCHMARK(BM_PngEncodePhoto)
    ->ArgName("photo")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Writes, for every band, result-NAME.bmp and result-NAME-indexed.bmp (the pictures), for
// every photo NAME.bmp, and the PNG files the tool writes of them.
int WriteResults(const std::string& folder) {
  for (int band = 0; band < 2; ++band) {
    const std::string base = folder + "/result-" + kBands[band].name;
    TBitmap copy;
    copy.Assign(&Result(band));
    copy.SaveToFile(base + ".bmp");
    copy.Assign(&Halftone(band));
    copy.SaveToFile(base + "-indexed.bmp");
    TSaveOptions options(TSaveFormat::sfPNG);
    options.band = kBands[band].band;
    SaveByFormat(Result(band), base + ".png", options);
    options.indexed = true;
    SaveByFormat(Result(band), base + "-indexed.png", options);
  }
  for (int kind = 0; kind < 2; ++kind) {
    const std::string base = folder + "/" + kPhotos[kind];
    TBitmap copy;
    copy.Assign(&Photo(kind));
    copy.SaveToFile(base + ".bmp");
    SaveByFormat(Photo(kind), base + ".png", TSaveOptions(TSaveFormat::sfPNG));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-results") == 0) return WriteResults(argv[2]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
