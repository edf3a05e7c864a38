// Loading pictures through TSPIBitmap: the shipped PNG and JPEG plug-ins (decode, handles,
// wrapping into a BMP image, BMP reader) against the BMP reader alone.
#include <benchmark/benchmark.h>

#include <memory>

#include "susie/Spibmp.h"
#include "susie/Spis.h"

namespace {

TSPIs& Plugins() {
  static TSPIs plugins;
  static const bool searched = [] {
    plugins.Search(std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin/*.spi");
    return true;
  }();
  (void)searched;
  return plugins;
}

void LoadFile(benchmark::State& state, const std::string& name) {
  Plugins();
  const std::string file = std::string(LUMIVEIL_SAMPLES) + "/" + name;
  TSPIBitmap check;
  check.LoadFromFile(file);
  if (check.Empty()) {
    state.SkipWithError("the sample did not load");
    return;
  }
  for (auto _ : state) {
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(file);
    benchmark::DoNotOptimize(bitmap.ConstScanline(0));
  }
  state.SetLabel(std::to_string(check.Width()) + "x" + std::to_string(check.Height()) + " " +
                 (check.LoadedBy().empty() ? "BMP reader" : "plug-in"));
}

void BM_LoadPNGThroughPlugin(benchmark::State& state) {
  LoadFile(state, "astronaut.png");
}
void BM_LoadJPEGThroughPlugin(benchmark::State& state) {
  LoadFile(state, "rocket.jpg");
}
void BM_LoadBMPWithOwnReader(benchmark::State& state) {
  LoadFile(state, "coffee.bmp");
}

}  // namespace

BENCHMARK(BM_LoadPNGThroughPlugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJPEGThroughPlugin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBMPWithOwnReader)->Unit(benchmark::kMillisecond);
