// The picture windows' zoom: the steps and Fit, what a zoomed image box paints (area
// averages below 1:1, blocks above), and the three windows linked by their zoom and
// scroll position, through the zoom actions, Ctrl+wheel and the title bars' controls.
#include <cmath>
#include <memory>
#include <random>

#include <QAction>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "GuiTestSupport.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "app/gui/PictureWindow.h"
#include "app/gui/Zoom.h"
#include "base/Bands.h"
#include "compose/ResampleTables.h"
#include "tests/common/TestFiles.h"

namespace {

// The area average of the picture under screen pixel (sx, sy) at `scale`, worked out
// pixel by pixel: each picture pixel weighted by the part of it the screen pixel's square
// covers, the square's edges taken to 1/256 of a picture pixel.
std::array<int, 3> ReferenceAverage(const TBitmap& picture, double scale, int sx, int sy) {
  const auto edge = [scale](int i, int length) {
    return std::min<double>(length, std::llround(i * 256.0 / scale) / 256.0);
  };
  const double x0 = edge(sx, picture.Width()), x1 = edge(sx + 1, picture.Width());
  const double y0 = edge(sy, picture.Height()), y1 = edge(sy + 1, picture.Height());
  double sum[3] = {0, 0, 0}, area = 0;
  for (int y = int(y0); y < y1; ++y)
    for (int x = int(x0); x < x1; ++x) {
      const double w = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                       (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
      const auto bgr = Bgr(picture, x, y);
      for (int c = 0; c < 3; ++c) sum[c] += w * bgr[c];
      area += w;
    }
  return {int(std::floor(sum[0] / area + 0.5)), int(std::floor(sum[1] / area + 0.5)),
          int(std::floor(sum[2] / area + 0.5))};
}

QRgb Rgb(const std::array<int, 3>& bgr) {
  return qRgb(bgr[2], bgr[1], bgr[0]);
}

}  // namespace

class tst_Zoom : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  TScriptedDialogs* dialogs = nullptr;

  void LoadBoth(const char* visible, const char* hidden) {
    dialogs->open_answers.push_back(SamplePath(visible));
    form->LoadVisibleAction->trigger();
    dialogs->open_answers.push_back(SamplePath(hidden));
    form->LoadHiddenAction->trigger();
    QVERIFY(dialogs->errors.empty());
  }
  static QImage Viewport(TPictureView* view) { return view->viewport()->grab().toImage(); }
  static void CtrlWheel(TPictureView* view, QPoint at, int notches) {
    QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
  }

 private slots:
  void init() {
    ShowScriptedForm(form, dialogs);
    UseFormSize(*form);
  }
  void cleanup() { form.reset(); }

  void steps_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("in");
    QTest::addColumn<double>("out");
    QTest::newRow("1:1") << 1.0 << 2.0 << 0.5;
    QTest::newRow("1:2") << 0.5 << 1.0 << 1.0 / 3;
    QTest::newRow("1:3") << 1.0 / 3 << 0.5 << 0.25;
    QTest::newRow("between 1:3 and 1:2") << 0.4 << 0.5 << 1.0 / 3;
    QTest::newRow("a fit scale") << 0.04675 << 1.0 / 16 << 1.0 / 24;
    QTest::newRow("3") << 3.0 << 4.0 << 2.0;
    QTest::newRow("the top stays") << 32.0 << 32.0 << 24.0;
    QTest::newRow("the bottom stays") << 1.0 / 32 << 1.0 / 24 << 1.0 / 32;
    QTest::newRow("below the bottom") << 0.001 << 1.0 / 32 << 0.001;
  }
  void steps() {
    QFETCH(double, scale);
    QFETCH(double, in);
    QFETCH(double, out);
    QCOMPARE(ZoomInStep(scale), in);
    QCOMPARE(ZoomOutStep(scale), out);
  }

  void fitAndScaledSizes() {
    // Below 1:1 the exact fraction (the picture fills one side), above it whole numbers.
    const double s = FitScale(4000, 3000, 187, 196);
    QCOMPARE(ScaledLength(4000, s), 187);
    QVERIFY(ScaledLength(3000, s) <= 196);
    QCOMPARE(ScaledLength(3000, s), 141);
    QCOMPARE(FitScale(37, 23, 187, 196), 5.0);
    QCOMPARE(FitScale(187, 100, 187, 196), 1.0);
    QCOMPARE(FitScale(0, 0, 187, 196), 1.0);
    // Every picture pixel is covered: 601 pixels at 1:2 take 301 screen pixels.
    QCOMPARE(ScaledLength(601, 0.5), 301);
    QCOMPARE(ScaledLength(600, 0.5), 300);
    QCOMPARE(ScaledLength(1, 1.0 / 32), 1);
    QCOMPARE(ScaledLength(0, 0.5), 0);
    QCOMPARE(ScaledLength(5, 3.0), 15);
    // A box never grows beyond what a widget can be.
    QVERIFY(ScaledLength(1000000, 32.0) <= kMaxScaledLength);
    QVERIFY(MaxScaleFor(1000000) < 32);
    QCOMPARE(ZoomText(1.0), QString("100%"));
    QCOMPARE(ZoomText(0.25), QString("25%"));
    QCOMPARE(ZoomText(0.04675), QString("4.7%"));
    QCOMPARE(ZoomText(8.0), QString("800%"));
  }

  void belowOneToOneEveryPixelIsAveraged_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("eight_bits");
    QTest::newRow("1:2, odd sides") << 0.5 << 37 << 23 << false;
    QTest::newRow("1:3") << 1.0 / 3 << 40 << 31 << false;
    QTest::newRow("a fit fraction") << 0.37 << 53 << 29 << false;
    QTest::newRow("a small fraction") << 0.071 << 211 << 97 << false;
    QTest::newRow("one pixel for all") << 0.001 << 61 << 41 << false;
    QTest::newRow("1:2, 8 bits") << 0.5 << 33 << 20 << true;
    // Rows of many blocks of columns, a tail after the last, and the 8-bit rows converted a
    // few at a time.
    QTest::newRow("a fit fraction, wide") << 0.29 << 403 << 230 << false;
    QTest::newRow("a small fraction, 8 bits") << 0.01 << 611 << 300 << true;
  }
  void belowOneToOneEveryPixelIsAveraged() {
    QFETCH(double, scale);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, eight_bits);
    TBitmap picture;
    FillRandom24(picture, width, height, 7);
    if (eight_bits) picture.SetPixelFormat(TPixelFormat::Bits8);
    TBitmap truth;  // the 24-bit form the reference reads
    truth.Assign(&picture);
    truth.SetPixelFormat(TPixelFormat::Bits24);
    const QSize size(ScaledLength(width, scale), ScaledLength(height, scale));
    // On one thread, and with the screen rows cut into bands however small; in plain code
    // and in vector code.
    for (int threads : {1, 3})
      for (TKernelPath path : {TKernelPath::kpGeneric, TKernelPath::kpAvx2}) {
        const TBandSettings bands(threads, 0);
        SetKernelPath(path);
        const auto restore = qScopeGuard([] { SetKernelPath(TKernelPath::kpAvx2); });
        const QImage whole = ScaledRasterPart(picture, scale, QRect(QPoint(0, 0), size));
        QCOMPARE(whole.size(), size);
        for (int y = 0; y < size.height(); ++y)
          for (int x = 0; x < size.width(); ++x)
            QVERIFY2(whole.pixel(x, y) == Rgb(ReferenceAverage(truth, scale, x, y)),
                     qPrintable(QString("%1,%2, %3 threads, path %4")
                                    .arg(x)
                                    .arg(y)
                                    .arg(threads)
                                    .arg(int(path))));
        // An exposed part paints what the whole would have there.
        const QRect part(size.width() / 3, size.height() / 2, (size.width() + 1) / 2,
                         (size.height() + 1) / 2);
        QVERIFY(ScaledRasterPart(picture, scale, part) == whole.copy(part));
      }
  }

  void oneToTwoShowsTheTwoByTwoAverages() {
    // Exactly: the rounded mean of each 2 x 2 block.
    TBitmap picture;
    FillRandom24(picture, 40, 30, 11);
    const QImage shown = ScaledRasterPart(picture, 0.5, QRect(0, 0, 20, 15));
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x)
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) sum += Bgr(picture, 2 * x + dx, 2 * y + dy)[c];
          const QRgb p = shown.pixel(x, y);
          const int got = c == 0 ? qBlue(p) : c == 1 ? qGreen(p) : qRed(p);
          QCOMPARE(got, (sum + 2) / 4);
        }
    // A one-pixel checkerboard of black and white is grey at every even step: neither
    // picture is dropped.
    TBitmap board;
    board.SetPixelFormat(TPixelFormat::Bits24);
    board.SetWidth(48);
    board.SetHeight(48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) std::memset(board.Scanline(y) + 3 * x, (x + y) % 2 ? 255 : 0, 3);
    for (double scale : {0.5, 0.25, 1.0 / 6, 1.0 / 8}) {
      const int n = ScaledLength(48, scale);
      const QImage grey = ScaledRasterPart(board, scale, QRect(0, 0, n, n));
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) QCOMPARE(grey.pixel(x, y), qRgb(128, 128, 128));
    }
  }

  void aboveOneToOnePixelsAreBlocks() {
    TBitmap picture;
    FillRandom24(picture, 9, 7, 3);
    for (double scale : {2.0, 3.0, 8.0}) {
      const QRect part(5, 4, int(9 * scale) - 5, int(7 * scale) - 4);
      const QImage shown = ScaledRasterPart(picture, scale, part);
      for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
          const auto bgr = Bgr(picture, int((part.x() + x) / scale), int((part.y() + y) / scale));
          QCOMPARE(shown.pixel(x, y), qRgb(bgr[2], bgr[1], bgr[0]));
        }
    }
  }

  void theWindowAtOneToTwoShowsTheAverages() {
    LoadBoth("coffee.bmp", "chelsea.bmp");
    // At natural size (Ctrl+1), one step out from the result window is 1:2 in all three.
    form->ZoomActualSizeAction->trigger();
    for (TImageBox* box : {form->Image1, form->Image2, form->Image3}) {
      QCOMPARE(box->Scale(), 1.0);
      QCOMPARE(box->size(), QSize(600, 400));
    }
    form->ZoomOutAction->trigger();
    for (TPictureWindow* w : {form->ToolWindow972, form->ToolWindow973, form->ToolWindow974}) {
      QCOMPARE(w->View()->Box()->Scale(), 0.5);
      QCOMPARE(w->View()->Box()->size(), QSize(300, 200));
      QCOMPARE(w->TitleBar()->ZoomButton->text(), QString("50%"));
    }
    // What the visible window paints, scrolled, is the 2 x 2 averages of the picture.
    TPictureView* view = form->ScrollBox1;
    view->horizontalScrollBar()->setValue(70);
    view->verticalScrollBar()->setValue(33);
    const QImage shown = Viewport(view);
    const QPoint offset = -form->Image1->pos();
    QCOMPARE(offset, QPoint(70, 33));
    const TBitmap& picture = form->Work()->ExternalBitmap();
    for (int y = 0; y < shown.height() && offset.y() + y < 200; y += 7)
      for (int x = 0; x < shown.width() && offset.x() + x < 300; x += 5) {
        const int px = 2 * (offset.x() + x), py = 2 * (offset.y() + y);
        std::array<int, 3> mean{};
        for (int c = 0; c < 3; ++c)
          mean[c] = (Bgr(picture, px, py)[c] + Bgr(picture, px + 1, py)[c] +
                     Bgr(picture, px, py + 1)[c] + Bgr(picture, px + 1, py + 1)[c] + 2) /
                    4;
        QCOMPARE(shown.pixel(x, y), Rgb(mean));
      }
  }

  void fitShowsTheWholePictureAndFollowsIt() {
    LoadBoth("coffee.bmp", "chelsea.bmp");
    form->ZoomFitAction->trigger();
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox2, form->ScrollBox3}) {
      QVERIFY(view->Fitting());
      QVERIFY(view->Scale() < 1);
      const QSize box = view->Box()->size(), room = view->viewport()->size();
      QVERIFY(box.width() <= room.width() && box.height() <= room.height());
      // One side fills the window.
      QVERIFY(box.width() == room.width() || box.height() == room.height());
      QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }
    // A new visible picture of another shape is fitted in its turn.
    dialogs->open_answers.push_back(SamplePath("astronaut.png"));
    form->LoadVisibleAction->trigger();
    const QSize room = form->ScrollBox1->viewport()->size();
    QCOMPARE(form->Image1->size().height(), std::min(room.height(), room.width()));
    // So is a larger window; 1:1 leaves Fit.
    form->resize(900, 700);
    QTRY_VERIFY(form->ScrollBox1->viewport()->height() > room.height());
    QCOMPARE(form->Image1->size().height(), std::min(form->ScrollBox1->viewport()->height(),
                                                     form->ScrollBox1->viewport()->width()));
    form->ZoomActualSizeAction->trigger();
    QVERIFY(!form->ScrollBox3->Fitting());
    QCOMPARE(form->Image3->size(), QSize(600, 400));
  }

  void aPictureLargerThanItsWindowOpensAtFit() {
    // The window at the form's size: the 600 x 400 photo is larger than each picture window.
    dialogs->open_answers.push_back(SamplePath("coffee.bmp"));
    form->LoadVisibleAction->trigger();
    const auto whole = [](TPictureView* view) {
      const QSize box = view->Box()->size(), room = view->viewport()->size();
      return view->Fitting() && box.width() <= room.width() && box.height() <= room.height() &&
             (box.width() == room.width() || box.height() == room.height());
    };
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox2, form->ScrollBox3})
      QVERIFY(view->Fitting() && view->Automatic());
    QVERIFY(whole(form->ScrollBox1));
    QVERIFY(form->ToolWindow972->TitleBar()->ZoomButton->toolTip().contains("(Fit)"));
    // At 1:1 the person looks at a corner; the next picture of another size opens whole.
    form->ZoomActualSizeAction->trigger();
    QCOMPARE(form->Image1->Scale(), 1.0);
    dialogs->open_answers.push_back(SamplePath("rocket.jpg"));
    form->LoadVisibleAction->trigger();
    QVERIFY(whole(form->ScrollBox1));
    // A picture that fits opens at its natural size, from its top left.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TBitmap small;
    FillRandom24(small, 40, 30, 5);
    small.SaveToFile(dir.filePath("small.bmp").toStdString());
    dialogs->open_answers.push_back(dir.filePath("small.bmp"));
    form->LoadVisibleAction->trigger();
    QVERIFY(!form->ScrollBox1->Fitting());
    QCOMPARE(form->Image1->Scale(), 1.0);
    QCOMPARE(form->Image1->pos(), QPoint(0, 0));
    // A Fit the person chose keeps the next picture whole, enlarging a small one.
    form->ZoomFitAction->trigger();
    QVERIFY(form->ScrollBox1->Fitting() && !form->ScrollBox1->Automatic());
    // In whole blocks: the largest whole scale at which 40 x 30 fits the window.
    const double scale = form->Image1->Scale();
    const QSize room = form->ScrollBox1->viewport()->size();
    QVERIFY(scale >= 4 && scale == std::floor(scale));
    QVERIFY(40 * scale <= room.width() && 30 * scale <= room.height());
    QVERIFY(40 * (scale + 1) > room.width() || 30 * (scale + 1) > room.height());
    dialogs->open_answers.push_back(SamplePath("coffee.bmp"));
    form->LoadVisibleAction->trigger();
    QVERIFY(whole(form->ScrollBox1) && !form->ScrollBox1->Automatic());
  }

  void theOpeningZoomFollowsTheWindowUntilThePersonZooms() {
    // In a window whose picture windows are wider than the photo, it opens at 1:1; made
    // smaller, the window shows it whole; larger again, at 1:1.
    form->resize(2400, 1600);
    QTRY_VERIFY(form->ScrollBox1->viewport()->width() > 600);
    dialogs->open_answers.push_back(SamplePath("coffee.bmp"));
    form->LoadVisibleAction->trigger();
    QVERIFY(!form->ScrollBox1->Fitting() && form->ScrollBox1->Automatic());
    QCOMPARE(form->Image1->Scale(), 1.0);
    UseFormSize(*form);
    QTRY_VERIFY(form->ScrollBox1->Fitting());
    QVERIFY(form->Image1->Scale() < 1);
    form->resize(2400, 1600);
    QTRY_COMPARE(form->Image1->Scale(), 1.0);
    // Once the person zoomed, the window's size leaves the zoom alone.
    form->ZoomOutAction->trigger();
    UseFormSize(*form);
    QCOMPARE(form->Image1->Scale(), 0.5);
  }

  void aHiddenPictureOfTheSameSizeTakesTheZoomOfTheOthers() {
    dialogs->open_answers.push_back(SamplePath("coffee.bmp"));
    form->LoadVisibleAction->trigger();
    // The person zooms to 1:2 and scrolls; the hidden picture then loaded (fitted to the
    // same size) shows the same place at the same zoom, and the others keep it.
    form->ZoomActualSizeAction->trigger();
    form->ZoomOutAction->trigger();
    form->ScrollBox1->horizontalScrollBar()->setValue(60);
    dialogs->open_answers.push_back(SamplePath("chelsea.bmp"));
    form->LoadHiddenAction->trigger();
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox2, form->ScrollBox3}) {
      QCOMPARE(view->Scale(), 0.5);
      QCOMPARE(view->horizontalScrollBar()->value(), 60);
    }
  }

  void linkedViewsScrollAndZoomTogether() {
    LoadBoth("coffee.bmp", "chelsea.bmp");
    QVERIFY(form->LinkViewsAction->isChecked());
    form->ZoomActualSizeAction->trigger();
    form->ScrollBox1->horizontalScrollBar()->setValue(123);
    form->ScrollBox1->verticalScrollBar()->setValue(77);
    for (TPictureView* view : {form->ScrollBox2, form->ScrollBox3}) {
      QCOMPARE(view->horizontalScrollBar()->value(), 123);
      QCOMPARE(view->verticalScrollBar()->value(), 77);
    }
    // Ctrl+wheel over the hidden picture: one step in about the pointer, in all three.
    const QPoint at(40, 50);
    const QPointF under = (QPointF(at) + QPointF(123, 77)) / 1.0;
    CtrlWheel(form->ScrollBox2, at, 1);
    QCOMPARE(form->PictureViews->Current(), form->ScrollBox2);
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox2, form->ScrollBox3})
      QCOMPARE(view->Scale(), 2.0);
    // The picture point under the pointer stays under it.
    QCOMPARE(QPointF(at - form->Image2->pos()) / 2.0, under);
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox3})
      QCOMPARE(view->Box()->pos(), form->Image2->pos());
    CtrlWheel(form->ScrollBox2, at, -2);  // two steps out
    QCOMPARE(form->Image1->Scale(), 0.5);

    // Unlinked, each window keeps its own zoom and position.
    form->LinkViewsAction->trigger();
    QVERIFY(!form->PictureViews->Linked());
    form->ScrollBox1->SetZoom(false, 1.0);
    form->ScrollBox1->horizontalScrollBar()->setValue(10);
    QCOMPARE(form->Image2->Scale(), 0.5);
    QCOMPARE(form->ScrollBox3->Scale(), 0.5);
    // The title bar's zoom in acts on its own window.
    QTest::mouseClick(form->ToolWindow973->TitleBar()->ZoomInButton, Qt::LeftButton);
    QCOMPARE(form->PictureViews->Current(), form->ScrollBox2);
    QCOMPARE(form->Image2->Scale(), 1.0);
    QCOMPARE(form->Image3->Scale(), 0.5);
    form->ScrollBox2->horizontalScrollBar()->setValue(200);
    QCOMPARE(form->ScrollBox1->horizontalScrollBar()->value(), 10);
    // Linking again brings the others to the current window's zoom and place.
    form->LinkViewsAction->trigger();
    for (TPictureView* view : {form->ScrollBox1, form->ScrollBox3}) {
      QCOMPARE(view->Scale(), 1.0);
      QCOMPARE(view->horizontalScrollBar()->value(), 200);
    }
  }

  void theZoomMenuHoldsEveryZoomCommand() {
    QMenu* menu = form->ToolWindow972->TitleBar()->ZoomMenu;
    const QList<QAction*> actions = menu->actions();
    for (QAction* a : {form->ZoomFitAction, form->ZoomActualSizeAction, form->ZoomInAction,
                       form->ZoomOutAction, form->LinkViewsAction})
      QVERIFY(actions.contains(a));
    // Plain wheel turns scroll rather than zoom.
    LoadBoth("coffee.bmp", "chelsea.bmp");
    form->ZoomActualSizeAction->trigger();
    QWheelEvent wheel(QPointF(20, 20), form->ScrollBox1->viewport()->mapToGlobal(QPoint(20, 20)),
                      QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(form->ScrollBox1->viewport(), &wheel);
    QCOMPARE(form->Image1->Scale(), 1.0);
    QVERIFY(form->ScrollBox1->verticalScrollBar()->value() > 0);
  }
};

QTEST_MAIN(tst_Zoom)
#include "ZoomTest.moc"
