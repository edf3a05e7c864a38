// A slider step in the window at 12 megapixels (4000 x 3000): the change handler (the
// model's tone mapping of the odd cells and the result box taking its copy) plus the
// result box's repaint of what is exposed, on the offscreen platform. Timed for the
// window at its start size and for a result window floated and enlarged to 1200 x 800,
// each at 1:1 (a part of the picture exposed) and at Fit (the whole picture, every pixel
// averaged into the window at each repaint), and the repaint at Fit alone. The result is
// checked once before timing. With the Reveal window open, the same step for each kind of
// view, and for the hidden view at Fit; for the sheet also the time until the exact sheet
// replaces the draft shown while the slider moves.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QPaintEvent>
#include <QScrollArea>
#include <QSlider>

#include "app/gui/Dialogs.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "app/gui/RevealWindow.h"
#include "bench/BenchPictures.h"
#include "compose/ApplyInnerTone.h"
#include "raster/Bitmap.h"
#include "reveal/Sheet.h"
#include "reveal/Views.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

class TNoDialogs : public TFormDialogs {
 public:
  std::optional<QString> OpenPicture(QWidget*, const QString&, const QStringList&) override {
    return {};
  }
  std::optional<QString> SaveFile(QWidget*, const QString&) override { return {}; }
  std::optional<TExportChoice> Export(QWidget*) override { return {}; }
  void ShowException(QWidget*, const QString& message, const QString&) override {
    qFatal("unexpected error: %s", qPrintable(message));
  }
};

// Counts the pixels the result box paints.
class TPaintCounter : public QObject {
 public:
  long long pixels = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const QRect r = static_cast<QPaintEvent*>(event)->rect();
      pixels += static_cast<long long>(r.width()) * r.height();
    }
    return false;
  }
};

enum class TZoom { zActualSize, zFit };

std::unique_ptr<TMainForm> MakeForm(bool large_result_window, TZoom zoom) {
  auto form = std::make_unique<TMainForm>(std::make_unique<TNoDialogs>());
  form->show();
  TWorkflow& w = *form->Work();
  w.LoadExternalImage([](TBitmap& slot) { MakePhotoPicture(slot, kWidth, kHeight, "coffee.bmp"); });
  w.LoadInnerImage([](TBitmap& slot) { MakePhotoPicture(slot, kWidth, kHeight, "chelsea.bmp"); });
  w.Synthesize();
  if (large_result_window) {
    form->ToolWindow974->setFloating(true);
    form->ToolWindow974->resize(1200, 800);
  }
  QApplication::processEvents();
  // The three windows are linked: Fit fits each of them, 1:1 shows each at natural size
  // (a picture larger than its window opens at Fit).
  (zoom == TZoom::zFit ? form->ZoomFitAction : form->ZoomActualSizeAction)->trigger();
  QApplication::processEvents();
  return form;
}

bool CheckStep(const TMainForm& form, TZoom zoom, int average, int contrast) {
  const TWorkflow& w = *form.Work();
  const TBitmap* shown = form.Image3->Bitmap();
  if (shown == nullptr || shown->Width() != kWidth || !shown->SharesImageWith(w.ResultBitmap()))
    return false;
  // At Fit the whole picture lies in the viewport.
  const QSize box = form.Image3->size(), room = form.ScrollBox3->viewport()->size();
  if (zoom == TZoom::zFit &&
      (form.Image3->Scale() >= 1 || box.width() > room.width() || box.height() > room.height()))
    return false;
  const TToneTable tone(average, contrast);
  for (int y = 0; y < kHeight; y += 7) {
    const uint8_t* r = shown->ConstScanline(y);
    const uint8_t* h = w.InnerBitmap().ConstScanline(y);
    for (int x = (y + 1) % 2; x < kWidth; x += 2)
      for (int c = 0; c < 3; ++c)
        if (r[3 * x + c] != tone.map[h[3 * x + c]]) return false;
  }
  return true;
}

void SliderStep(benchmark::State& state, bool large_result_window, bool repaint,
                TZoom zoom = TZoom::zActualSize, bool step = true) {
  auto form = MakeForm(large_result_window, zoom);
  TPaintCounter counter;
  form->Image3->installEventFilter(&counter);
  QSlider* slider = form->MinMaxTrackBar;
  slider->setValue(60);
  form->Image3->repaint();
  if (!CheckStep(*form, zoom, 128, 60)) {
    state.SkipWithError("the result box does not show the mapped result");
    return;
  }
  counter.pixels = 0;
  int steps = 0;
  for (auto _ : state) {
    if (step) slider->setValue(slider->value() == 60 ? 61 : 60);  // one step of a drag
    if (repaint) form->Image3->repaint();
    ++steps;
  }
  state.counters["painted_px_per_step"] = steps ? double(counter.pixels) / steps : 0;
}

void BM_ContrastStep_HandlerOnly(benchmark::State& state) {
  SliderStep(state, false, false);
}
void BM_ContrastStep_StartWindow(benchmark::State& state) {
  SliderStep(state, false, true);
}
void BM_ContrastStep_Result1200x800(benchmark::State& state) {
  SliderStep(state, true, true);
}
void BM_ContrastStep_StartWindowFit(benchmark::State& state) {
  SliderStep(state, false, true, TZoom::zFit);
}
void BM_ContrastStep_Result1200x800Fit(benchmark::State& state) {
  SliderStep(state, true, true, TZoom::zFit);
}
void BM_RepaintOnly_StartWindowFit(benchmark::State& state) {
  SliderStep(state, false, true, TZoom::zFit, false);
}

// With the Reveal window open beside the picture windows (the window 1400 x 800), showing
// one view at 1:1 (or at Fit, where it opens for a view larger than its pane): the step,
// the Reveal window's refresh (band, scores from the score basis) and the repaint of what
// both boxes show.
void RevealStep(benchmark::State& state, TRevealView view, TZoom zoom = TZoom::zActualSize) {
  auto form = MakeForm(false, TZoom::zActualSize);
  form->resize(1400, 800);
  form->RevealAction->trigger();
  form->RevealWindow->ViewBox->setCurrentText(ViewName(view));
  QApplication::processEvents();
  form->RevealWindow->ScrollBox->SetZoom(zoom == TZoom::zFit, 1.0);
  QApplication::processEvents();
  QSlider* slider = form->MinMaxTrackBar;
  slider->setValue(60);
  QApplication::processEvents();
  if (!CheckStep(*form, TZoom::zActualSize, 128, 60) || !form->RevealWindow->ScoresFromBasis() ||
      !form->RevealWindow->BandLabel->text().contains("contrast 60")) {
    state.SkipWithError("the Reveal window does not follow the step");
    return;
  }
  for (auto _ : state) {
    slider->setValue(slider->value() == 60 ? 61 : 60);
    QApplication::processEvents();  // the Reveal window's refresh
    form->Image3->repaint();
    form->RevealWindow->Box->repaint();
  }
  state.counters["reveal_px"] = double(form->RevealWindow->ScrollBox->viewport()->width()) *
                                form->RevealWindow->ScrollBox->viewport()->height();
}

void BM_ContrastStep_RevealHidden(benchmark::State& s) {
  RevealStep(s, TRevealView::rvHidden);
}
void BM_ContrastStep_RevealHiddenFit(benchmark::State& s) {
  RevealStep(s, TRevealView::rvHidden, TZoom::zFit);
}
void BM_ContrastStep_RevealLevels(benchmark::State& s) {
  RevealStep(s, TRevealView::rvLevels);
}
void BM_ContrastStep_RevealOdd(benchmark::State& s) {
  RevealStep(s, TRevealView::rvOdd);
}
void BM_ContrastStep_RevealAverage(benchmark::State& s) {
  RevealStep(s, TRevealView::rvAverage);
}
void BM_ContrastStep_RevealThumbnail(benchmark::State& s) {
  RevealStep(s, TRevealView::rvThumbnail);
}
void BM_ContrastStep_RevealSheet(benchmark::State& s) {
  RevealStep(s, TRevealView::rvSheet);
}

// The sheet while the slider moves shows a draft at each step (BM_ContrastStep_RevealSheet);
// the exact sheet follows once the slider has rested. Timed here: from a step until the
// exact sheet is painted, the wait of TRevealWindow::kExactAfter included.
void BM_ContrastStep_RevealSheetExactAfterRest(benchmark::State& state) {
  auto form = MakeForm(false, TZoom::zActualSize);
  form->resize(1400, 800);
  form->RevealAction->trigger();
  form->RevealWindow->ViewBox->setCurrentText(ViewName(TRevealView::rvSheet));
  QApplication::processEvents();
  QSlider* slider = form->MinMaxTrackBar;
  TRevealBox* box = form->RevealWindow->Box;
  const auto step_and_rest = [&] {
    slider->setValue(slider->value() == 60 ? 61 : 60);
    QApplication::processEvents();
    const bool draft = box->ShowsDraft();
    while (box->ShowsDraft()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    box->repaint();
    return draft;
  };
  if (!step_and_rest() || box->WholeView() == nullptr) {
    state.SkipWithError("the step shows no draft of the sheet");
    return;
  }
  TViewOptions options = box->Options();
  TBitmap exact;
  MakeSheet(form->Work()->ResultBitmap(), options, exact);
  if (std::memcmp(exact.ConstScanline(exact.Height() - 1),
                  box->WholeView()->ConstScanline(exact.Height() - 1), 3 * exact.Width()) != 0 ||
      std::memcmp(exact.ConstScanline(exact.Height() / 2),
                  box->WholeView()->ConstScanline(exact.Height() / 2), 3 * exact.Width()) != 0) {
    state.SkipWithError("the sheet shown after the rest is not the exact sheet");
    return;
  }
  for (auto _ : state) step_and_rest();
}

BENCHMARK(BM_ContrastStep_HandlerOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_StartWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_StartWindowFit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_Result1200x800)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_Result1200x800Fit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RepaintOnly_StartWindowFit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealHidden)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealHiddenFit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealLevels)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealOdd)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealAverage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealThumbnail)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ContrastStep_RevealSheet)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ContrastStep_RevealSheetExactAfterRest)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
