// The views of a 12-megapixel (4000 x 3000) combined picture, each made into a view
// picture kept from one run to the next (as a window redraws), against the yardstick of
// one read and one write pass over the picture: memcpy of its bytes in the same run. Also
// the band found from the picture, the scores, and the scores from a score basis (what
// the window does at each slider step). Every benchmark checks its result once before it
// is timed.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/BenchPictures.h"
#include "compose/ApplyInnerTone.h"
#include "compose/Synthesis.h"
#include "raster/Bitmap.h"
#include "reveal/Band.h"
#include "reveal/Scores.h"
#include "reveal/Sheet.h"
#include "reveal/ViewRows.h"
#include "reveal/Views.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr size_t kPictureBytes = size_t{kWidth} * 3 * kHeight;
constexpr TToneBand kBand{128, 60};

struct TPictures {
  TBitmap visible, hidden, result;
};

const TPictures& Pictures() {
  static const TPictures* pictures = [] {
    auto* p = new TPictures;
    MakePhotoPicture(p->visible, kWidth, kHeight, "coffee.bmp");
    MakePhotoPicture(p->hidden, kWidth, kHeight, "chelsea.bmp");
    Synthesize(p->result, p->visible, p->hidden, kBand.average, kBand.contrast);
    return p;
  }();
  return *pictures;
}

void BM_MemcpyOnePicture(benchmark::State& state) {
  std::vector<uint8_t> a(kPictureBytes, 1), b(kPictureBytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), kPictureBytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * int64_t{kPictureBytes});
}
BENCHMARK(BM_MemcpyOnePicture)->Unit(benchmark::kMillisecond);

// A few checks of what each view must hold, by construction of the result.
bool CheckView(const TViewOptions& o, const TBitmap& view) {
  const TPictures& p = Pictures();
  const TToneTable tone(kBand.average, kBand.contrast);
  const TInverseTone inverse(kBand);
  const TViewSize size = ViewSize(kWidth, kHeight, o);
  if (view.Width() != size.width || view.Height() != size.height) return false;
  for (int j = 0; j < size.height; j += 37) {
    const uint8_t* row = view.ConstScanline(j);
    for (int i = 0; i < size.width; i += 13)
      for (int c = 0; c < 3; ++c) {
        const int b = row[3 * i + c];
        switch (o.view) {
          case TRevealView::rvEven:
            if (b != p.visible.ConstScanline(2 * j)[6 * i + c]) return false;
            break;
          case TRevealView::rvOdd:
            if (b != tone.map[p.hidden.ConstScanline(2 * j)[6 * i + 3 + c]]) return false;
            break;
          case TRevealView::rvHidden:
            if ((i + j) % 2 == 1 &&
                std::abs(b - p.hidden.ConstScanline(j)[3 * i + c]) > 255 / (4 * kBand.contrast) + 1)
              return false;
            break;
          default:
            break;
        }
      }
  }
  return true;
}

void View(benchmark::State& state, TRevealView view, TThumbnailFilter filter) {
  TViewOptions o;
  o.view = view;
  o.filter = filter;
  o.band = kBand;
  TBitmap out;
  MakeView(Pictures().result, o, out);
  if (!CheckView(o, out)) {
    state.SkipWithError("the view does not hold what it must");
    return;
  }
  for (auto _ : state) {
    MakeView(Pictures().result, o, out);
    benchmark::ClobberMemory();
  }
}

void BM_ViewEven(benchmark::State& s) {
  View(s, TRevealView::rvEven, TThumbnailFilter::tfArea);
}
void BM_ViewOdd(benchmark::State& s) {
  View(s, TRevealView::rvOdd, TThumbnailFilter::tfArea);
}
void BM_ViewAverage(benchmark::State& s) {
  View(s, TRevealView::rvAverage, TThumbnailFilter::tfArea);
}
void BM_ViewThumbnailArea(benchmark::State& s) {
  View(s, TRevealView::rvThumbnail, TThumbnailFilter::tfArea);
}
void BM_ViewThumbnailBilinear(benchmark::State& s) {
  View(s, TRevealView::rvThumbnail, TThumbnailFilter::tfBilinear);
}
void BM_ViewThumbnailNearest(benchmark::State& s) {
  View(s, TRevealView::rvThumbnail, TThumbnailFilter::tfNearest);
}
void BM_ViewLevels(benchmark::State& s) {
  View(s, TRevealView::rvLevels, TThumbnailFilter::tfArea);
}
void BM_ViewHidden(benchmark::State& s) {
  View(s, TRevealView::rvHidden, TThumbnailFilter::tfArea);
}
void BM_ViewSheet(benchmark::State& s) {
  View(s, TRevealView::rvSheet, TThumbnailFilter::tfArea);
}
// The draft of the sheet that a slider step shows while the slider moves.
void BM_ViewSheetDraft(benchmark::State& state) {
  TViewOptions o;
  o.band = kBand;
  TBitmap out;
  if (!MakeDraftSheet(Pictures().result, o, out)) {
    state.SkipWithError("no draft for this picture");
    return;
  }
  for (auto _ : state) {
    MakeDraftSheet(Pictures().result, o, out);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_ViewEven)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewOdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewAverage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewThumbnailArea)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewThumbnailBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewThumbnailNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewLevels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewHidden)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewSheetDraft)->Unit(benchmark::kMillisecond);

// The same on processors without AVX-512 (its kernels turned off).
void BM_ViewLevels_Avx2(benchmark::State& s) {
  SetAvx512Allowed(false);
  View(s, TRevealView::rvLevels, TThumbnailFilter::tfArea);
  SetAvx512Allowed(true);
}
void BM_ViewHidden_Avx2(benchmark::State& s) {
  SetAvx512Allowed(false);
  View(s, TRevealView::rvHidden, TThumbnailFilter::tfArea);
  SetAvx512Allowed(true);
}
BENCHMARK(BM_ViewLevels_Avx2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewHidden_Avx2)->Unit(benchmark::kMillisecond);

void BM_FindBand(benchmark::State& state) {
  const TToneBand found = FindBand(Pictures().result).band;
  if (found.average - found.contrast < 128 - 60 || found.average + found.contrast > 128 + 60) {
    state.SkipWithError("the band found lies outside the band used");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(FindBand(Pictures().result));
}
BENCHMARK(BM_FindBand)->Unit(benchmark::kMillisecond);

void BM_ScoresDirect(benchmark::State& state) {
  const TPictures& p = Pictures();
  for (auto _ : state) {
    benchmark::DoNotOptimize(VisiblePsnr(p.result, p.visible));
    benchmark::DoNotOptimize(HiddenPsnr(p.result, p.hidden, kBand));
  }
}
BENCHMARK(BM_ScoresDirect)->Unit(benchmark::kMillisecond);

void BM_ScoreBasisBuild(benchmark::State& state) {
  const TPictures& p = Pictures();
  for (auto _ : state) benchmark::DoNotOptimize(TScoreBasis(p.visible, p.hidden));
}
BENCHMARK(BM_ScoreBasisBuild)->Unit(benchmark::kMillisecond);

void BM_ScoresFromBasis(benchmark::State& state) {
  const TPictures& p = Pictures();
  const TScoreBasis basis(p.visible, p.hidden);
  if (basis.VisiblePsnr(kBand) != VisiblePsnr(p.result, p.visible) ||
      basis.HiddenPsnr(kBand) != HiddenPsnr(p.result, p.hidden, kBand)) {
    state.SkipWithError("the basis gives other scores");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(basis.VisiblePsnr(kBand));
    benchmark::DoNotOptimize(basis.HiddenPsnr(kBand));
  }
}
BENCHMARK(BM_ScoresFromBasis)->Unit(benchmark::kMicrosecond);

void BM_IsSynthesisOf(benchmark::State& state) {
  const TPictures& p = Pictures();
  if (!IsSynthesisOf(p.result, p.visible, p.hidden, kBand)) {
    state.SkipWithError("the result is not seen as the synthesis");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(IsSynthesisOf(p.result, p.visible, p.hidden, kBand));
}
BENCHMARK(BM_IsSynthesisOf)->Unit(benchmark::kMillisecond);

}  // namespace
