// The Reveal tool window: closed at start, opened by its action and shortcut; it shows the
// chosen view of the current result as painted pixels, and follows a slider step, a
// synthesis and a load, with the band and the scores.
#include <QComboBox>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <cmath>

#include "GuiTestSupport.h"
#include "app/gui/MainForm.h"
#include "app/gui/RevealWindow.h"
#include "app/gui/ScaledPart.h"
#include "app/gui/Zoom.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "reveal/ScoreWords.h"
#include "reveal/Scores.h"
#include "reveal/Views.h"
#include "targets/AutoBand.h"
#include "targets/Catalogue.h"
#include "targets/Codecs.h"

namespace {

QString Decibels(double psnr) {
  return std::isinf(psnr) ? QStringLiteral("inf") : QString::number(psnr, 'f', 2) + " dB";
}

}  // namespace

class tst_RevealWindow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;

  TRevealWindow& Reveal() { return *form->RevealWindow; }
  const TWorkflow& Work() { return *form->Work(); }

  void LoadBoth() {
    QVERIFY(form->LoadVisibleFile(SamplePath("coffee.bmp")));
    QVERIFY(form->LoadHiddenFile(SamplePath("chelsea.bmp")));
  }

  void Open(TRevealView view) {
    if (!form->RevealAction->isChecked()) form->RevealAction->trigger();
    Reveal().ViewBox->setCurrentText(ViewName(view));
    QApplication::processEvents();
  }

  // The box's painted pixels at 1:1 against the view made by the library for the result
  // as it is now with the band it holds (or for `source`, the picture after a target).
  void CheckShownView(TToneBand band, const TBitmap* source = nullptr) {
    QApplication::processEvents();
    Reveal().ScrollBox->SetZoom(false, 1.0);
    TViewOptions o;
    o.view = static_cast<TRevealView>(Reveal().ViewBox->currentData().toInt());
    o.filter = static_cast<TThumbnailFilter>(Reveal().FilterBox->currentIndex());
    o.size = Reveal().SizeBox->value();
    o.band = band;
    TBitmap expected;
    MakeView(source != nullptr ? *source : Work().ResultBitmap(), o, expected);
    QCOMPARE(Reveal().Box->size(), QSize(expected.Width(), expected.Height()));
    const QImage painted = Reveal().Box->grab().toImage().convertToFormat(QImage::Format_RGB888);
    QCOMPARE(painted.size(), QSize(expected.Width(), expected.Height()));
    for (int y = 0; y < expected.Height(); ++y)
      for (int x = 0; x < expected.Width(); ++x) {
        const auto bgr = Bgr(expected, x, y);
        const uint8_t* p = painted.constScanLine(y) + 3 * x;
        if (p[0] != bgr[2] || p[1] != bgr[1] || p[2] != bgr[0])
          QFAIL(qPrintable(QString("pixel %1, %2 differs").arg(x).arg(y)));
      }
  }

  void CheckScores(TToneBand band) {
    const TWorkflow& w = Work();
    const QString expected =
        QString("Visible PSNR %1    Hidden PSNR %2")
            .arg(Decibels(VisiblePsnr(w.ResultBitmap(), w.ExternalBitmap())))
            .arg(Decibels(*HiddenPsnr(w.ResultBitmap(), w.InnerBitmap(), band)));
    QCOMPARE(Reveal().ScoreLabel->text(), expected);
  }

  // What the box paints at its scale against the library's view, made whole and scaled as
  // the image boxes scale a picture.
  void CheckScaledView() {
    QApplication::processEvents();
    TBitmap whole;
    MakeView(Work().ResultBitmap(), Reveal().Box->Options(), whole);
    const double scale = Reveal().ScrollBox->Scale();
    const QSize size(ScaledLength(whole.Width(), scale), ScaledLength(whole.Height(), scale));
    QCOMPARE(Reveal().Box->size(), size);
    // The part the viewport shows, as painted.
    const QRect shown =
        QRect(-Reveal().Box->pos(), Reveal().ScrollBox->viewport()->size()) & QRect({}, size);
    const QImage painted =
        Reveal().Box->grab(shown).toImage().convertToFormat(QImage::Format_BGR888);
    const QImage expected = ScaledRasterPart(whole, scale, shown);
    QVERIFY2(painted == expected, qPrintable(QString("at %1").arg(scale)));
  }

 private slots:
  void init() {
    form = std::make_unique<TMainForm>(std::make_unique<TScriptedDialogs>());
    form->show();
  }
  void cleanup() { form.reset(); }

  void isClosedAtStartAndOpensWithItsActionAndShortcut() {
    TMainForm* fresh = form.get();
    QVERIFY(QTest::qWaitForWindowExposed(fresh));
    QVERIFY(fresh->RevealWindow->isHidden());
    QCOMPARE(fresh->RevealAction->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    QVERIFY(!fresh->RevealAction->toolTip().isEmpty());
    QTest::keyClick(fresh, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!fresh->RevealWindow->isHidden());
    QCOMPARE(fresh->RevealWindow->BandLabel->text(),
             QString("No combined picture yet: load a visible and a hidden picture."));
    QTest::keyClick(fresh, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(fresh->RevealWindow->isHidden());
    // It also sits in the dock windows' menu.
    const std::unique_ptr<QMenu> menu(fresh->createPopupMenu());
    QVERIFY(menu->actions().contains(fresh->RevealAction));
  }

  void showsTheUnmappedPreviewAfterALoad() {
    LoadBoth();
    Open(TRevealView::rvHidden);
    QVERIFY(Reveal().BandLabel->text().contains("not tone-mapped"));
    CheckShownView(kIdentityBand);
    // Unmapped, the hidden picture comes back exactly.
    QVERIFY(Reveal().ScoreLabel->text().endsWith("Hidden PSNR inf"));
  }

  void followsASliderStep() {
    LoadBoth();
    Open(TRevealView::rvOdd);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    CheckShownView({128, 127});
    form->MinMaxTrackBar->setValue(60);
    QApplication::processEvents();
    QVERIFY(Reveal().BandLabel->text().contains("contrast 60"));
    CheckShownView({128, 60});
    // The odd view holds the hidden cells mapped with the new contrast.
    const TToneTable tone(128, 60);
    TBitmap shown;
    Reveal().Box->PaintedPart(QRect(0, 0, 10, 10), shown);
    QCOMPARE(Bgr(shown, 3, 2)[1], tone.map[Bgr(Work().InnerBitmap(), 7, 4)[1]]);
    CheckScores({128, 60});
    QVERIFY(Reveal().ScoresFromBasis());
    // And a step of the average, which lowers the contrast too.
    form->AverageTrackBar->setValue(220);
    QApplication::processEvents();
    QVERIFY(Reveal().BandLabel->text().contains("average 220, contrast 35"));
    CheckShownView({220, 35});
    CheckScores({220, 35});
  }

  void followsASynthesisAfterANewVisiblePicture() {
    LoadBoth();
    Open(TRevealView::rvLevels);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    QVERIFY(Reveal().ScoresFromBasis());
    // A new visible picture of the same size: the result still holds the old one's cells
    // until Synthesize, so its scores are made from the result itself.
    QVERIFY(form->Work()->LoadExternalImage([](TBitmap& slot) {
      slot.LoadFromFile(std::string(LUMIVEIL_SAMPLES) + "/chelsea.bmp");
      ResizeBitmap(slot, 600, 400);
    }));
    form->MinMaxTrackBar->setValue(30);
    QApplication::processEvents();
    QVERIFY(!Reveal().ScoresFromBasis());
    CheckScores({128, 30});
    form->synthesizeButtonClick();
    QApplication::processEvents();
    QVERIFY(Reveal().ScoresFromBasis());
    CheckScores({128, 30});
    CheckShownView({128, 30});
  }

  void showsTheSheetAndTheThumbnailWithItsFilter() {
    LoadBoth();
    Open(TRevealView::rvSheet);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    QVERIFY(Reveal().Box->WholeView() != nullptr);
    CheckShownView({128, 127});
    Reveal().ViewBox->setCurrentText("thumbnail");
    Reveal().FilterBox->setCurrentText("nearest");
    Reveal().SizeBox->setValue(100);
    QApplication::processEvents();
    QCOMPARE(Reveal().Box->size(), QSize(100, 67));
    CheckShownView({128, 127});
  }

  // While a slider moves, the sheet of a large picture follows each step with a draft,
  // the band and scores exact; the exact sheet replaces it by itself once the slider
  // rests. A step of another kind (Synthesize) shows the exact sheet at once.
  void theSheetFollowsADragWithADraftAndTheExactSheetAfterIt() {
    const auto enlarged = [](const char* name) {
      return [name](TBitmap& slot) {
        slot.LoadFromFile(SamplePath(name).toStdString());
        ResizeBitmap(slot, 2401, 1603);
      };
    };
    QVERIFY(form->Work()->LoadExternalImage(enlarged("coffee.bmp")));
    QVERIFY(form->Work()->LoadInnerImage(enlarged("chelsea.bmp")));
    Open(TRevealView::rvSheet);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    QVERIFY(!Reveal().Box->ShowsDraft());
    for (int contrast : {60, 61, 62}) {
      form->MinMaxTrackBar->setValue(contrast);
      QApplication::processEvents();
      QVERIFY(Reveal().Box->ShowsDraft());
      QVERIFY(Reveal().BandLabel->text().contains(QString("contrast %1").arg(contrast)));
      CheckScores({128, contrast});
    }
    QTRY_VERIFY_WITH_TIMEOUT(!Reveal().Box->ShowsDraft(), 5000);
    CheckShownView({128, 62});
    // The area thumbnail, made whole, the same way.
    Reveal().ViewBox->setCurrentText(ViewName(TRevealView::rvThumbnail));
    form->MinMaxTrackBar->setValue(55);
    QApplication::processEvents();
    QVERIFY(Reveal().Box->ShowsDraft());
    QTRY_VERIFY_WITH_TIMEOUT(!Reveal().Box->ShowsDraft(), 5000);
    CheckShownView({128, 55});
    // A view at Fit, painted from the view made whole at rest, the same way.
    Reveal().ViewBox->setCurrentText(ViewName(TRevealView::rvLevels));
    Reveal().ScrollBox->SetZoom(true, 1.0);
    QApplication::processEvents();
    QVERIFY(Reveal().ScrollBox->Scale() <= TRevealBox::kDraftScale);
    form->MinMaxTrackBar->setValue(50);
    QApplication::processEvents();
    QVERIFY(Reveal().Box->ShowsDraft());
    QVERIFY(Reveal().BandLabel->text().contains("contrast 50"));
    QTRY_VERIFY_WITH_TIMEOUT(!Reveal().Box->ShowsDraft(), 5000);
    CheckScaledView();
  }

  // A target (none at start) shows the view of the picture after it, with its verdict,
  // and follows a slider step.
  void aTargetShowsThePictureAfterItAndFollowsASliderStep() {
    LoadBoth();
    Open(TRevealView::rvHidden);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    QCOMPARE(Reveal().TargetBox->currentText(), QString("none"));
    QVERIFY(Reveal().TargetLabel->text().isEmpty());
    Reveal().TargetBox->setCurrentText("jpeg85");
    QApplication::processEvents();
    TBitmap jpeg;
    int64_t bytes = 0;
    JpegRoundTrip(Work().ResultBitmap(), {85, true}, jpeg, bytes);
    CheckShownView({128, 127}, &jpeg);
    QVERIFY(Reveal().TargetLabel->text().startsWith("jpeg85: hidden picture degraded"));
    form->MinMaxTrackBar->setValue(25);
    QApplication::processEvents();
    JpegRoundTrip(Work().ResultBitmap(), {85, true}, jpeg, bytes);
    CheckShownView({128, 25}, &jpeg);
    QVERIFY(Reveal().TargetLabel->text().startsWith("jpeg85: hidden picture destroyed"));
    // Back to none: the result itself.
    Reveal().TargetBox->setCurrentText("none");
    QApplication::processEvents();
    CheckShownView({128, 25});
    QVERIFY(Reveal().TargetLabel->text().isEmpty());
  }

  // Auto moves the sliders (and their number boxes and limit) to the band the library
  // chooses for the same pictures and the Reveal window's target; without both pictures it
  // says so and moves nothing.
  void autoMovesTheSlidersToTheBandChosenForTheTarget() {
    form->AutoAction->trigger();
    QVERIFY(form->StatusPanel1->Said().startsWith("Auto needs both pictures"));
    QCOMPARE(form->AverageTrackBar->value(), 128);
    LoadBoth();
    Open(TRevealView::rvHidden);
    for (const char* target : {"jpeg85", "none"}) {
      Reveal().TargetBox->setCurrentText(target);
      // Away from any band the search may choose, so that every slider has to move.
      form->AverageTrackBar->setValue(250);
      QApplication::processEvents();
      form->AutoAction->trigger();
      QApplication::processEvents();
      std::optional<TNamedTarget> named;
      TBandGoal goal;
      if (std::string(target) != "none") {
        named = ResolveTarget(target);
        goal.pipeline = &named->recipe.full;
      }
      const TChosenBand expected = ChooseBand(Work().ExternalBitmap(), Work().InnerBitmap(), goal);
      QCOMPARE(form->AverageTrackBar->value(), expected.band.average);
      QCOMPARE(form->MinMaxTrackBar->value(), expected.band.contrast);
      QCOMPARE(form->AverageSpinBox->value(), expected.band.average);
      QCOMPARE(form->ContrastSpinBox->value(), expected.band.contrast);
      QCOMPARE(form->MinMaxTrackBar->maximum(), ContrastLimit(expected.band.average));
      QCOMPARE(form->MaxLabel->text(), QString::number(ContrastLimit(expected.band.average)));
      QCOMPARE(Work().Average(), expected.band.average);
      QCOMPARE(Work().Contrast(), expected.band.contrast);
      QVERIFY(form->StatusPanel1->Said().startsWith(QString("Auto: average %1, contrast %2")
                                                        .arg(expected.band.average)
                                                        .arg(expected.band.contrast)));
    }
  }

  void zoomsLikeThePictureWindows() {
    LoadBoth();
    Open(TRevealView::rvHidden);
    form->synthesizeButtonClick();
    QApplication::processEvents();
    // A view larger than its pane opens at Fit.
    TPictureView* view = Reveal().ScrollBox;
    QVERIFY(view->Fitting() && view->Automatic() && view->Scale() < 1);
    QVERIFY(view->Box()->width() <= view->viewport()->width() &&
            view->Box()->height() <= view->viewport()->height());
    QCOMPARE(Reveal().TitleBar()->ZoomButton->text(), ZoomText(view->Scale()));
    CheckScaledView();
    // The zoom keys act on it once it was clicked, and not on the picture windows.
    const double pictures = form->ScrollBox3->Scale();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(form->PictureViews->Current(), view);
    QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(view->Scale(), 1.0);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(view->Scale(), 0.5);
    CheckScaledView();
    form->ZoomInAction->trigger();
    form->ZoomInAction->trigger();
    QCOMPARE(view->Scale(), 2.0);
    view->horizontalScrollBar()->setValue(333);
    view->verticalScrollBar()->setValue(222);
    CheckScaledView();  // made a part at a time
    QCOMPARE(form->ScrollBox3->Scale(), pictures);
    // Another view opens whole and from its top, not where the last one was scrolled.
    Reveal().ViewBox->setCurrentText("sheet");
    QApplication::processEvents();
    QVERIFY(view->Fitting());
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    CheckScaledView();
    // Closed, the keys go back to the picture windows.
    form->RevealAction->trigger();
    form->ZoomOutAction->trigger();
    QCOMPARE(form->ScrollBox3->Scale(), ZoomOutStep(pictures));
  }

  void saysTheScoresInWords() {
    LoadBoth();
    Open(TRevealView::rvHidden);
    // The tool tip lists the thresholds.
    QCOMPARE(Reveal().ScoreWordsLabel->toolTip(), QString::fromStdString(ScoreBandsText()));
    // The unmapped preview gives the hidden picture back exactly.
    QCOMPARE(Reveal().ScoreWordsLabel->text(),
             QString("Normal view: %1. Hidden picture: it comes back exactly.")
                 .arg(QString::fromStdString(VisibleScoreWords(
                     VisiblePsnr(Work().ResultBitmap(), Work().ExternalBitmap())))));
    // The words follow the scores at each step: with no contrast the hidden picture is one
    // grey and hardly comes back.
    for (int contrast : {127, 8, 0}) {
      form->MinMaxTrackBar->setValue(contrast);
      QApplication::processEvents();
      const double visible = VisiblePsnr(Work().ResultBitmap(), Work().ExternalBitmap());
      const auto hidden = HiddenPsnr(Work().ResultBitmap(), Work().InnerBitmap(), {128, contrast});
      QCOMPARE(Reveal().ScoreWordsLabel->text(),
               QString("Normal view: %1. Hidden picture: %2.")
                   .arg(QString::fromStdString(VisibleScoreWords(visible)),
                        QString::fromStdString(HiddenScoreWords(hidden))));
    }
    QVERIFY(Reveal().ScoreWordsLabel->text().endsWith("Hidden picture: it hardly comes back."));
  }

  void aClosedWindowCatchesUpWhenItOpens() {
    LoadBoth();
    Open(TRevealView::rvHidden);
    form->RevealAction->trigger();  // closed
    form->synthesizeButtonClick();
    form->MinMaxTrackBar->setValue(40);
    QApplication::processEvents();
    form->RevealAction->trigger();  // open again
    QApplication::processEvents();
    QVERIFY(Reveal().BandLabel->text().contains("contrast 40"));
    CheckShownView({128, 40});
    CheckScores({128, 40});
  }
};

QTEST_MAIN(tst_RevealWindow)
#include "RevealWindowTest.moc"
