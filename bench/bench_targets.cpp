// What the targets cost on a 12-megapixel (4000 x 3000) combined picture: one target's
// check (the generic JPEG q85 target, and Mastodon's, which shrinks the picture twice) and
// the whole catalogue's, against the floor of libjpeg-turbo's own encode and decode of the
// same picture at the same settings in the same run. The upload is a full-colour PNG. And
// the automatic band's search at that size.
#include <benchmark/benchmark.h>

#include <optional>

#include "bench/BenchPictures.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "targets/AutoBand.h"
#include "targets/Catalogue.h"
#include "targets/Check.h"
#include "targets/Codecs.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr TToneBand kBand{128, 60};

struct TPictures {
  TBitmap visible, hidden, result;
  TCheckPictures check;
  TUpload upload;
};

const TPictures& Pictures() {
  static const TPictures* pictures = [] {
    auto* p = new TPictures;
    MakePhotoPicture(p->visible, kWidth, kHeight, "coffee.bmp");
    MakePhotoPicture(p->hidden, kWidth, kHeight, "chelsea.bmp");
    TBitmap hidden;
    hidden.Assign(&p->hidden);
    Synthesize(p->result, p->visible, hidden, kBand.average, kBand.contrast);
    PrepareCheck(p->result, &p->visible, &p->hidden, kBand, p->check);
    p->upload.kind = TUploadKind::ukPng;
    p->upload.bytes = 24'000'000;  // about what the full-colour PNG takes
    p->upload.has_text = true;
    return p;
  }();
  return *pictures;
}

// The floor: libjpeg-turbo's encode and decode of the picture at quality 85, 4:2:0.
void BM_JpegEncodeDecodeAlone(benchmark::State& state) {
  TBitmap out;
  int64_t bytes = 0;
  for (auto _ : state) {
    JpegRoundTrip(Pictures().result, {85, true}, out, bytes);
    benchmark::DoNotOptimize(out.ConstScanline(0));
  }
}
BENCHMARK(BM_JpegEncodeDecodeAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void CheckOne(benchmark::State& state, const char* name) {
  const TNamedTarget target = ResolveTarget(name);
  for (auto _ : state) {
    TTargetCheck check;
    CheckTarget(target, Pictures().check, Pictures().upload, check);
    benchmark::DoNotOptimize(check.hidden_psnr);
  }
}

void BM_CheckJpeg85(benchmark::State& state) {
  CheckOne(state, "jpeg85");
}
BENCHMARK(BM_CheckJpeg85)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CheckMastodon(benchmark::State& state) {
  CheckOne(state, "mastodon");
}
BENCHMARK(BM_CheckMastodon)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every target of the catalogue, sharing the pictures of the steps they have in common.
void BM_CheckCatalogue(benchmark::State& state) {
  std::vector<TNamedTarget> targets;
  for (const TTarget& t : Targets()) targets.push_back(ResolveTarget(t.name));
  for (auto _ : state) {
    TPipelineCache cache;
    for (const TNamedTarget& target : targets) {
      TTargetCheck check;
      CheckTarget(target, Pictures().check, Pictures().upload, check, &cache);
      benchmark::DoNotOptimize(check.hidden_psnr);
    }
  }
}
BENCHMARK(BM_CheckCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime();

// The automatic band for a target: the search on the reduced copy and the chosen band
// scored at full size (one JPEG round trip of the whole picture, as BM_CheckJpeg85 runs);
// without a target, the exact sums alone.
void ChooseFor(benchmark::State& state, const char* name) {
  std::optional<TNamedTarget> target;
  TBandGoal goal;
  if (name != nullptr) {
    target = ResolveTarget(name);
    goal.pipeline = &target->recipe.full;
  }
  int tried = 0;
  for (auto _ : state) {
    const TChosenBand chosen = ChooseBand(Pictures().visible, Pictures().hidden, goal);
    tried = chosen.tried;
    benchmark::DoNotOptimize(chosen.hidden_psnr);
  }
  state.counters["bands"] = tried;
}

void BM_AutoBandJpeg85(benchmark::State& state) {
  ChooseFor(state, "jpeg85");
}
BENCHMARK(BM_AutoBandJpeg85)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AutoBandLossless(benchmark::State& state) {
  ChooseFor(state, nullptr);
}
BENCHMARK(BM_AutoBandLossless)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
