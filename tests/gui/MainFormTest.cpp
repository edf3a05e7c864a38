// The main window driven through its actions, controls and injected dialog answers: the
// start state, the open dialog's filter, loading, the edits on focus loss, the sliders
// with the nested contrast change, saving, closing, and what the image boxes paint.
#include <array>
#include <filesystem>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "app/gui/Export.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "app/gui/OpenFilter.h"
#include "app/gui/PictureWindow.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "export/SaveAsGif.h"
#include "export/SaveByFormat.h"
#include "susie/Spibmp.h"
#include "tests/common/PngFacts.h"
#include "tests/common/TestFiles.h"
#include "tests/hostile/HostileSupport.h"

class tst_MainForm : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  TScriptedDialogs* dialogs = nullptr;

  void Make(const TWorkflow::TSlotFactory& factory = nullptr) {
    ShowScriptedForm(form, dialogs, factory);
  }
  void LoadVisible(const char* name) {
    dialogs->open_answers.push_back(SamplePath(name));
    form->LoadVisibleAction->trigger();
  }
  void LoadHidden(const QString& file) {
    dialogs->open_answers.push_back(file);
    form->LoadHiddenAction->trigger();
  }
  // Moves the focus from one control to another, as a click or the tab key does.
  static void FocusFromTo(QWidget* from, QWidget* to) {
    from->setFocus(Qt::TabFocusReason);
    QVERIFY(from->hasFocus());
    to->setFocus(Qt::TabFocusReason);
    QVERIFY(to->hasFocus());
  }
  // Counts how often a box is given its slot anew.
  int* CountShows(TSlot counted) {
    auto count = std::make_shared<int>(0);
    counters.push_back(count);
    TWorkflow* w = form->Work();
    auto previous = w->OnShow;
    w->OnShow = [count, previous, counted](TSlot slot) {
      if (slot == counted) ++*count;
      previous(slot);
    };
    return count.get();
  }
  int* CountResultShows() { return CountShows(TSlot::slResult); }
  int* CountVisibleShows() { return CountShows(TSlot::slExternal); }
  std::vector<std::shared_ptr<int>> counters;

 private slots:
  void init() { Make(); }
  void cleanup() {
    form.reset();
    counters.clear();
  }

  void startsAsTheFormGivesIt() {
    QCOMPARE(form->objectName(), QString("MainForm"));
    QCOMPARE(form->windowTitle(), QString("Lumiveil Maker"));
    const QRect screen = form->screen()->availableGeometry();
    // Four fifths of the screen's free area, at least the form's 623 x 388.
    QCOMPARE(form->size(), (screen.size() * 0.8).expandedTo(QSize(623, 388)));
    QVERIFY(form->width() > 623 && form->height() > 388);
    // Centred when placed; the frame, known only once shown, may shift it a little.
    QVERIFY((form->frameGeometry().center() - screen.center()).manhattanLength() <= 8);
    if (QFontDatabase::families().contains("IPAPGothic")) {
      QCOMPARE(form->font().family(), QString("IPAPGothic"));
      QCOMPARE(form->font().pixelSize(), 12);
    }
    TWorkflow* w = form->Work();
    QVERIFY(w->ExternalBitmap().Empty() && w->InnerBitmap().Empty() && w->ResultBitmap().Empty());
    QVERIFY(dynamic_cast<TSPIBitmap*>(&w->ExternalBitmap()) != nullptr);
    QVERIFY(dynamic_cast<TSPIBitmap*>(&w->InnerBitmap()) != nullptr);
    QVERIFY(!w->ExternalLoaded() && !w->InnerLoaded());
    QCOMPARE(form->XEdit->text(), QString("0"));
    QCOMPARE(form->YEdit->text(), QString("0"));
    QCOMPARE(form->AverageTrackBar->value(), 128);
    QCOMPARE(form->AverageTrackBar->maximum(), 255);
    QCOMPARE(form->MinMaxTrackBar->value(), 127);
    // The contrast maximum is 128 while the label still reads 255.
    QCOMPARE(form->MinMaxTrackBar->maximum(), 128);
    QCOMPARE(form->MaxLabel->text(), QString("255"));
    QVERIFY(!form->GifCheckBox->isChecked());
    QVERIFY(form->SizeFitButton->isHidden());
    QVERIFY(form->Chart->isHidden() && form->Image4->isHidden());
    QCOMPARE(form->StatusPanel0->width(), 240);
    // The second panel takes the rest of the bar.
    QVERIFY(form->StatusPanel1->width() >= 50);
    QVERIFY(form->StatusPanel1->geometry().right() >= form->width() - 40);
    QVERIFY(!form->StatusPanel0->text().isEmpty());
    QVERIFY(form->StatusPanel1->text().isEmpty());
    // All three picture windows carry the form's caption; the name beside it tells which
    // picture each shows.
    const std::array<std::pair<TPictureWindow*, QString>, 3> windows = {
        {{form->ToolWindow972, "Visible"},
         {form->ToolWindow973, "Hidden"},
         {form->ToolWindow974, "Result"}}};
    for (const auto& [window, name] : windows) {
      QCOMPARE(window->windowTitle(), QString("ToolWindow972"));
      QCOMPARE(window->TitleBar()->Caption->text(), QString("ToolWindow972"));
      QCOMPARE(window->TitleBar()->Name->text(), name);
      QVERIFY(window->TitleBar()->Name->isVisible());
    }
    QVERIFY(form->SPIs.AutoSearch);
    QVERIFY(form->SPIs.SearchOptions == TSPISearchOptions::All());
  }

  void openFilterPairsEachPatternWithItsName() {
    const std::vector<TFilterEntry> entries = BuildOpenFilter(std::vector<TPluginFilterInfo>{
        {{"PNG image"}, {"*.png"}},
        {{}, {"*.xyz"}},           // no file-type name: left out
        {{"Empty patterns"}, {}},  // no pattern: left out
        // Only the first entries make the plug-in's own entry; "All pictures" takes every
        // pattern once.
        {{"Two kinds", "Second", "Third"}, {"*.a;*.b", "*.c", "*.PNG;*.B"}},
    });
    const std::vector<TFilterEntry> expected = {
        {"All pictures (*.png;*.a;*.b;*.c;*.bmp)", "*.png;*.a;*.b;*.c;*.bmp"},
        {"All(*.*)", "*.*"},
        {"PNG image (*.png)", "*.png"},
        {"Two kinds (*.a;*.b)", "*.a;*.b"},
        {"WindowsBitmap (*.bmp)", "*.bmp"}};
    QVERIFY(entries == expected);
    QCOMPARE(QString::fromStdString(FilterText(entries)),
             QString("All pictures (*.png;*.a;*.b;*.c;*.bmp)|*.png;*.a;*.b;*.c;*.bmp|All(*.*)|*.*|"
                     "PNG image (*.png)|*.png|Two kinds (*.a;*.b)|*.a;*.b|"
                     "WindowsBitmap (*.bmp)|*.bmp"));
    // The dialog reads the patterns from the label's bracket, separated by spaces.
    QCOMPARE(NameFilters(entries),
             QStringList({"All pictures (*.png *.a *.b *.c *.bmp)", "All(*.*)", "PNG image (*.png)",
                          "Two kinds (*.a *.b)", "WindowsBitmap (*.bmp)"}));
  }

  void openDialogOffersTheShippedPlugins() {
    // The shipped plug-ins lie in SusiePlugin beside the test program, in name order.
    dialogs->open_answers.push_back(kCancel);
    form->ExternalImageButton->click();
    QCOMPARE(dialogs->open_filters.size(), size_t(1));
    // "All pictures" first; the JPEG plug-in's first entry names its three usual endings.
    QCOMPARE(dialogs->open_filters[0],
             QStringList({"All pictures (*.gif *.jpg *.jpeg *.jpe *.jfif *.png *.bmp)", "All(*.*)",
                          "GIF image (*.gif)", "JPEG image (*.jpg *.jpeg *.jpe)",
                          "PNG image (*.png)", "WindowsBitmap (*.bmp)"}));
    QVERIFY(form->Work()->ExternalBitmap().Empty());  // the cancel loaded nothing
    // Each dialog is titled after its command.
    dialogs->open_answers.push_back(kCancel);
    form->LoadInnerImage->click();
    QCOMPARE(dialogs->titles, std::vector<QString>({"Load Visible Image", "Load Hiden Image"}));
  }

  void loadingTheVisiblePictureSetsTheEdits() {
    LoadVisible("coffee.bmp");
    TWorkflow* w = form->Work();
    QVERIFY(w->ExternalLoaded());
    QCOMPARE(form->XEdit->text(), QString("600"));
    QCOMPARE(form->YEdit->text(), QString("400"));
    QCOMPARE(form->Image1->PictureSize(), QSize(600, 400));
    QCOMPARE(w->ExternalBitmap().PixelFormat(), TPixelFormat::Bits24);
    // A picture through a plug-in.
    LoadVisible("rocket.jpg");
    QCOMPARE(form->XEdit->text(), QString("640"));
    QCOMPARE(form->YEdit->text(), QString("427"));
    QCOMPARE(form->Image1->Bitmap()->Width(), 640);

    // An unreadable file, a missing one and a cancel: silent, edits and box untouched.
    LoadVisible("LICENSES.md");
    LoadVisible("no-such-picture.bmp");
    dialogs->open_answers.push_back(kCancel);
    form->LoadVisibleAction->trigger();
    QVERIFY(dialogs->errors.empty());
    QVERIFY(dialogs->open_answers.empty());
    QCOMPARE(form->XEdit->text(), QString("640"));
    QCOMPARE(form->YEdit->text(), QString("427"));
    QCOMPARE(form->Image1->Bitmap()->Width(), 640);
    QCOMPARE(form->Image1->Bitmap()->Height(), 427);
    // Nothing else was touched: no hidden picture, no result.
    QVERIFY(w->InnerBitmap().Empty() && w->ResultBitmap().Empty());
  }

  void cancelledHiddenLoadStillRefitsAndRecomposes() {
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    TWorkflow* w = form->Work();
    QVERIFY(w->InnerLoaded());
    QCOMPARE(w->InnerBitmap().Width(), 600);
    // A new visible picture of another size: nothing refits the hidden one yet.
    LoadVisible("rocket.jpg");
    QCOMPARE(w->InnerBitmap().Width(), 600);
    QCOMPARE(form->Image3->Bitmap()->Width(), 600);
    LoadHidden(kCancel);  // cancelled
    QVERIFY(dialogs->errors.empty());
    QCOMPARE(w->InnerBitmap().Width(), 640);
    QCOMPARE(w->InnerBitmap().Height(), 427);
    QCOMPARE(form->Image2->Bitmap()->Width(), 640);
    // The preview is composed anew from the new visible picture and the refitted hidden one.
    const TBitmap* shown = form->Image3->Bitmap();
    QCOMPARE(shown->Width(), 640);
    QCOMPARE(shown->Height(), 427);
    for (int y : {0, 1, 200, 426})
      for (int x : {0, 1, 321, 639}) {
        const TBitmap& source = (x + y) % 2 == 0 ? w->ExternalBitmap() : w->InnerBitmap();
        QVERIFY2(Bgr(*shown, x, y) == Bgr(source, x, y),
                 qPrintable(QString("%1,%2").arg(x).arg(y)));
      }
  }

  void hiddenLoadWithoutAnyHiddenPictureShowsTheScanLineError() {
    LoadVisible("coffee.bmp");
    LoadHidden(kCancel);
    QCOMPARE(dialogs->errors, std::vector<QString>{QString::fromUtf8(SScanLine.text)});
    // A missing file takes the same way.
    LoadHidden(SamplePath("no-such-picture.png"));
    QCOMPARE(dialogs->errors.size(), size_t(2));
    // The window stays usable.
    LoadHidden(SamplePath("astronaut.png"));
    QCOMPARE(dialogs->errors.size(), size_t(2));
    QVERIFY(form->Work()->InnerLoaded());
    QCOMPARE(form->Image3->Bitmap()->Width(), 600);
  }

  void editsRunWheneverTheFocusLeavesThem() {
    // Each time the focus leaves an edit, also when its text did not change: with a visible
    // picture of 600 x 400, typing 300 into the x edit without leaving it, then leaving and
    // coming back, scales once; a second leaving scales the 300 x 200 picture to itself.
    LoadVisible("coffee.bmp");
    TWorkflow* w = form->Work();
    int* shows = CountVisibleShows();
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "300");
    QCOMPARE(*shows, 0);
    FocusFromTo(form->XEdit, form->YEdit);
    QCOMPARE(*shows, 1);
    QCOMPARE(w->ExternalBitmap().Width(), 300);
    form->synthesizeButton->setFocus(Qt::MouseFocusReason);  // the y edit left for the button
    QCOMPARE(*shows, 2);
    QCOMPARE(w->ExternalBitmap().Height(), 200);
    // The whole window losing the focus (to another program, or to the message box of
    // an error of this very handler) is no leaving of the edit.
    form->XEdit->setFocus(Qt::TabFocusReason);
    QFocusEvent window_lost(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form->XEdit, &window_lost);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(form->XEdit, &popup);
    QCOMPARE(*shows, 2);
    QVERIFY(dialogs->errors.empty());

    // An unchanged edit refits the hidden picture to the visible one when left.
    Make();
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    LoadVisible("rocket.jpg");
    w = form->Work();
    QCOMPARE(w->InnerBitmap().Width(), 600);
    FocusFromTo(form->XEdit, form->YEdit);
    QVERIFY(dialogs->errors.empty());
    QCOMPARE(w->ExternalBitmap().Width(), 640);
    QCOMPARE(w->InnerBitmap().Width(), 640);
    QCOMPARE(w->InnerBitmap().Height(), 427);
  }

  void typedWidthScalesThePicturesAndBadTextIsRefused() {
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "300");
    QCOMPARE(form->XEdit->text(), QString("300"));
    QCOMPARE(form->Image1->PictureSize().width(), 600);  // nothing happens while typing
    form->ResizeButton->setFocus(Qt::MouseFocusReason);
    QVERIFY(dialogs->errors.empty());
    QCOMPARE(form->YEdit->text(), QString("200"));
    QCOMPARE(form->Image1->PictureSize(), QSize(300, 200));
    QCOMPARE(form->Image2->PictureSize(), QSize(300, 200));
    // The result is not resized by the edits.
    QCOMPARE(form->Work()->ResultBitmap().Width(), 600);

    // Text that is no number: the conversion error, nothing resized or rewritten.
    form->YEdit->setFocus(Qt::TabFocusReason);
    form->YEdit->selectAll();
    QTest::keyClicks(form->YEdit, "2x0");
    form->XEdit->setFocus(Qt::TabFocusReason);
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QVERIFY(dialogs->errors[0].contains("2x0"));
    QCOMPARE(form->YEdit->text(), QString("2x0"));
    QCOMPARE(form->XEdit->text(), QString("300"));
    QCOMPARE(form->Image1->PictureSize(), QSize(300, 200));
    // Zero is no size: refused the same way.
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "0");
    form->YEdit->setFocus(Qt::TabFocusReason);
    QVERIFY(dialogs->errors.size() >= 2);
    QCOMPARE(form->Work()->ExternalBitmap().Width(), 300);
  }

  // --- A refused size, pictures that are not loaded, and what to do without a hidden one ---

  void aSizeThatCannotBeMadeLeavesBothPicturesAsTheyWere() {
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    const QByteArray visible = BmpBytes(form->Work()->ExternalBitmap());
    const QByteArray hidden = BmpBytes(form->Work()->InnerBitmap());
    // 30000 x 20000 is beyond the limit of one picture (30000 x 400, the width pass alone,
    // is not).
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "30000");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QVERIFY2(dialogs->errors[0].startsWith("画像が大きすぎます (30000 x 20000"),
             qPrintable(dialogs->errors[0]));
    QVERIFY(dialogs->senses[0].startsWith("the picture is too large (30000 x 20000"));
    // Nothing changed: the pictures, the boxes, the y edit's text.
    QVERIFY(BmpBytes(form->Work()->ExternalBitmap()) == visible);
    QVERIFY(BmpBytes(form->Work()->InnerBitmap()) == hidden);
    QCOMPARE(form->Image1->PictureSize(), QSize(600, 400));
    QCOMPARE(form->XEdit->text(), QString("30000"));
    QCOMPARE(form->YEdit->text(), QString("400"));
    // So a synthesis makes the result of the pictures as they are.
    form->synthesizeButton->click();
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QCOMPARE(form->Work()->ResultBitmap().Width(), 600);
    QCOMPARE(form->Image3->PictureSize(), QSize(600, 400));
  }

  void anEmptyFileIsAPictureThatCannotBeRead() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"empty.bmp", "empty.png"}) {
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    LoadVisible("coffee.bmp");
    const QByteArray visible = BmpBytes(form->Work()->ExternalBitmap());
    for (const char* name : {"empty.bmp", "empty.png"}) {
      dialogs->open_answers.push_back(dir.filePath(name));
      form->LoadVisibleAction->trigger();
      // The visible picture, its box and the edits stay; no message box, the status bar
      // says why.
      QVERIFY(BmpBytes(form->Work()->ExternalBitmap()) == visible);
      QCOMPARE(form->Image1->PictureSize(), QSize(600, 400));
      QCOMPARE(form->XEdit->text(), QString("600"));
      QCOMPARE(form->YEdit->text(), QString("400"));
      QVERIFY(dialogs->errors.empty());
      QCOMPARE(form->StatusPanel1->Said(),
               QString("The visible picture was not loaded: %1: holds no picture: the file is "
                       "empty")
                   .arg(name));
    }
    // A synthesis afterwards keeps the result whole.
    LoadHidden(SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    QCOMPARE(form->Work()->ResultBitmap().Width(), 600);
    QVERIFY(form->StatusPanel1->Said().isEmpty());

    // As the first hidden picture: not loaded, and the preview has no hidden picture.
    Make();
    LoadVisible("coffee.bmp");
    LoadHidden(dir.filePath("empty.png"));
    QVERIFY(!form->Work()->InnerLoaded());
    QCOMPARE(dialogs->errors, std::vector<QString>{QString::fromUtf8(SScanLine.text)});
    QCOMPARE(form->StatusPanel1->Said(),
             QString("The hidden picture was not loaded: empty.png: holds no picture: the file "
                     "is empty"));
  }

  void anUnreadablePictureSaysWhyInTheStatusBar_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const auto bytes = [](const std::vector<uint8_t>& b) {
      return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    };
    const QByteArray png = bytes(ReadBytes(Sample("astronaut.png")));
    QTest::newRow("text named .png") << "notes.png" << QByteArray("A text, not a picture.\n");
    QTest::newRow("cut PNG") << "cut.png" << png.left(png.size() / 3);
    QTest::newRow("header claiming 100000 x 100000")
        << "huge.png" << bytes(PngClaiming(100000, 100000));
  }
  void anUnreadablePictureSaysWhyInTheStatusBar() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    // The reason the command-line tool gives for the same file when it reads the whole
    // picture, as the window does ("info" reads only the headers, which a cut file still
    // has): "lumiveil convert: PATH: WHY".
    QProcess info;
    info.start(QString(LUMIVEIL_BIN_DIR) + "/lumiveil", {"convert", path, dir.filePath("out.bmp")});
    QVERIFY(info.waitForFinished(60000));
    QCOMPARE(info.exitCode(), 2);
    QVERIFY(!QFile::exists(dir.filePath("out.bmp")));
    const QString told = QString::fromUtf8(info.readAllStandardError()).trimmed();
    const QString prefix = "lumiveil convert: " + path + ": ";
    QVERIFY2(told.startsWith(prefix), qPrintable(told));
    // The tool finds the plug-ins beside itself, this test beside the test program.
    QString why = told.mid(prefix.size());
    why.replace(QString(LUMIVEIL_BIN_DIR) + "/SusiePlugin/",
                QCoreApplication::applicationDirPath() + "/SusiePlugin/");

    LoadVisible("coffee.bmp");
    const QByteArray visible = BmpBytes(form->Work()->ExternalBitmap());
    dialogs->open_answers.push_back(path);
    form->LoadVisibleAction->trigger();
    QVERIFY(dialogs->errors.empty());
    QVERIFY(BmpBytes(form->Work()->ExternalBitmap()) == visible);
    QCOMPARE(form->StatusPanel1->Said(),
             QString("The visible picture was not loaded: %1: %2").arg(name, why));
    // The whole reason is the panel's tool tip, whatever room it has.
    QCOMPARE(form->StatusPanel1->toolTip(), form->StatusPanel1->Said());
  }

  void withoutAHiddenPictureTheMessageSaysWhatToDo() {
    // A cancelled first hidden load, an unreadable first hidden picture, a synthesis: the
    // class library's message, with an English sense that says what to do.
    LoadVisible("coffee.bmp");
    LoadHidden(kCancel);
    LoadHidden(SamplePath("LICENSES.md"));
    form->synthesizeButton->click();
    QCOMPARE(dialogs->errors, std::vector<QString>(3, QString::fromUtf8(SScanLine.text)));
    for (const QString& sense : dialogs->senses) {
      QCOMPARE(sense, QString::fromUtf8(SScanLineNoHiddenPicture.sense));
      QVERIFY(sense.contains("load a hidden picture first"));
    }
    // The synthesis came last; the unreadable picture's reason was said before it.
    QVERIFY(form->StatusPanel1->Said().isEmpty());
    LoadHidden(SamplePath("LICENSES.md"));
    QVERIFY(
        form->StatusPanel1->Said().startsWith("The hidden picture was not loaded: LICENSES.md: " +
                                              QString::fromUtf8(SUnknownPictureFormat.text)));
  }

  void aSaveSaysWhatItWrote() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto size = [&](const char* name) {
      return QLocale(QLocale::English).toString(QFileInfo(dir.filePath(name)).size());
    };
    const auto head = [&](const char* name) {
      QFile file(dir.filePath(name));
      return file.open(QIODevice::ReadOnly) ? file.read(2) : QByteArray();
    };
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    dialogs->save_answers.push_back(dir.filePath("combined.bmp"));
    form->SaveAction->trigger();
    QCOMPARE(size("combined.bmp"), QString("720,054"));
    QCOMPARE(form->StatusPanel1->Said(), QString("Saved combined.bmp: BMP, 720,054 bytes"));
    // A .gif name with GIF not ticked is a BMP file, and the note says so.
    dialogs->save_answers.push_back(dir.filePath("picture.gif"));
    form->SaveAction->trigger();
    QCOMPARE(head("picture.gif"), QByteArray("BM"));
    QCOMPARE(form->StatusPanel1->Said(),
             QString("Saved picture.gif: BMP, 720,054 bytes. The name ends in .gif, but the file "
                     "is a BMP file because GIF is not ticked (Ctrl+G ticks it)"));
    // GIF ticked: a GIF file, whatever the name.
    form->GifAction->trigger();
    dialogs->save_answers.push_back(dir.filePath("picture.bmp"));
    form->SaveAction->trigger();
    QCOMPARE(head("picture.bmp"), QByteArray("GI"));
    QCOMPARE(form->StatusPanel1->Said(),
             QString("Saved picture.bmp: GIF, %1 bytes. The name ends in .bmp, but the file is a "
                     "GIF file because GIF is ticked")
                 .arg(size("picture.bmp")));
    // The export names its form.
    dialogs->export_answers.push_back({dir.filePath("palette.png"), true});
    form->ExportAction->trigger();
    QCOMPARE(form->StatusPanel1->Said(),
             QString("Saved palette.png: PNG, 256-colour halftone palette, %1 bytes")
                 .arg(size("palette.png")));
    // A save that failed says nothing of a file.
    dialogs->save_answers.push_back(dir.filePath("missing/picture.gif"));
    form->SaveAction->trigger();
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QVERIFY(form->StatusPanel1->Said().isEmpty());
  }

  void averageSliderLimitsTheContrastWithOneNestedChange() {
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    TWorkflow* w = form->Work();
    TBitmap before;
    before.Assign(&w->ResultBitmap());
    int* shows = CountResultShows();

    form->AverageTrackBar->setValue(200);
    QCOMPARE(form->MaxLabel->text(), QString("55"));
    QCOMPARE(form->MinMaxTrackBar->maximum(), 55);
    QCOMPARE(form->MinMaxTrackBar->value(), 55);
    QCOMPARE(w->Average(), 200);
    QCOMPARE(w->Contrast(), 55);
    // The contrast handler ran once, nested, and the average handler once: the slider
    // signals of the model's own changes run nothing a second time.
    QCOMPARE(*shows, 2);
    const TToneTable tone(200, 55);
    const TBitmap* shown = form->Image3->Bitmap();
    for (int y = 0; y < 400; y += 37)
      for (int x = 0; x < 600; x += 29) {
        const auto got = Bgr(*shown, x, y);
        if ((x + y) % 2 == 0) {
          QVERIFY(got == Bgr(before, x, y));  // even cells never change
        } else {
          const auto h = Bgr(w->InnerBitmap(), x, y);
          for (int c = 0; c < 3; ++c) QCOMPARE(got[c], tone.map[h[c]]);
        }
      }

    // A move that does not pull the contrast down runs the average handler alone. The
    // result box's copy does not make the step copy the whole result first: the mapping
    // writes the result's own store, which the box then shares.
    *shows = 0;
    const uint8_t* store = w->ResultBitmap().ConstScanline(0);
    form->AverageTrackBar->setValue(190);
    QCOMPARE(*shows, 1);
    QCOMPARE(w->ResultBitmap().ConstScanline(0), store);
    QVERIFY(form->Image3->Bitmap()->SharesImageWith(w->ResultBitmap()));
    QCOMPARE(form->MaxLabel->text(), QString("65"));
    QCOMPARE(form->MinMaxTrackBar->value(), 55);

    // The ends force the contrast to 0: every odd cell black or white.
    for (int average : {0, 255}) {
      form->AverageTrackBar->setValue(average);
      QCOMPARE(form->MinMaxTrackBar->value(), 0);
      QCOMPARE(form->MaxLabel->text(), QString("0"));
      const uint8_t v = static_cast<uint8_t>(average);
      const std::array<uint8_t, 3> grey = {v, v, v};
      QVERIFY(Bgr(*form->Image3->Bitmap(), 1, 0) == grey);
      QVERIFY(Bgr(*form->Image3->Bitmap(), 598, 399) == grey);
    }
    // The fixed labels never change.
    QCOMPARE(form->AverageMinLabel->text(), QString("10"));
    QCOMPARE(form->AverageMaxLabel->text(), QString("245"));
    QCOMPARE(form->MinLabel->text(), QString("0"));
  }

  void draggingAcrossPositionsEqualsOneMove() {
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("rocket.jpg"));
    form->synthesizeButton->click();
    TWorkflow* w = form->Work();
    // Drag the average up and down step by step (pulling the contrast down on the way),
    // then set the contrast; compare with a fresh window set in one move each.
    for (int a = 128; a <= 250; a += 3) form->AverageTrackBar->setValue(a);
    for (int a = 250; a >= 90; a -= 5) form->AverageTrackBar->setValue(a);
    form->MinMaxTrackBar->setValue(40);
    QCOMPARE(w->Average(), 90);
    QCOMPARE(w->Contrast(), 40);
    const QByteArray dragged = BmpBytes(w->ResultBitmap());

    Make();
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("rocket.jpg"));
    form->synthesizeButton->click();
    form->AverageTrackBar->setValue(90);
    form->MinMaxTrackBar->setValue(40);
    QVERIFY(BmpBytes(form->Work()->ResultBitmap()) == dragged);
    // Synthesize after the sliders gives the same odd cells too.
    form->synthesizeButton->click();
    QVERIFY(BmpBytes(form->Work()->ResultBitmap()) == dragged);
  }

  void savingWritesTheResultAsTyped() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath("combined");  // no extension: none is added
    // No result yet: refused before any dialog, no file.
    form->SaveAction->trigger();
    QCOMPARE(dialogs->save_dialogs, 0);
    QCOMPARE(dialogs->errors, std::vector<QString>{QString::fromUtf8(SNothingToSave.text)});
    dialogs->errors.clear();

    LoadVisible("chelsea.bmp");
    LoadHidden(SamplePath("astronaut.png"));
    form->synthesizeButton->click();
    dialogs->save_answers.push_back(kCancel);  // cancelled: nothing written
    form->SaveGifButton->click();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());

    dialogs->save_answers.push_back(name);
    form->SaveGifButton->click();
    QVERIFY(dialogs->errors.empty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList({"combined"}));
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == BmpBytes(form->Work()->ResultBitmap()));
    file.close();

    // A name that cannot be written: the message, the old files untouched, still usable.
    const QByteArray old = BmpBytes(form->Work()->ResultBitmap());
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    dialogs->save_answers.push_back(dir.filePath("folder"));
    form->SaveGifButton->click();
    dialogs->save_answers.push_back(dir.filePath("missing/combined.bmp"));
    form->SaveGifButton->click();
    QCOMPARE(dialogs->errors.size(), size_t(2));
    // The box shows the message and what the save learned: what the name is, and why not.
    QCOMPARE(
        dialogs->errors[0],
        QString::fromUtf8(Format(SFCreateError, dir.filePath("folder").toStdString().c_str()).text +
                          ": it is a directory; only a regular file, a character device or "
                          "a FIFO can be written"));
    QCOMPARE(
        dialogs->errors[1],
        QString::fromUtf8(
            Format(SFCreateError, dir.filePath("missing/combined.bmp").toStdString().c_str()).text +
            ": No such file or directory"));
    QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList({"combined"}));

    QVERIFY(BmpBytes(form->Work()->ResultBitmap()) == old);
  }

  void gifSaveGoesThroughTheChart() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    form->GifCheckBox->setChecked(true);
    // Before any save the chart and its image box have the form's sizes.
    QCOMPARE(form->Chart->size(), QSize(171, 140));
    const QSize box_at_start = form->Image4->size();

    LoadVisible("chelsea.bmp");
    LoadHidden(SamplePath("astronaut.png"));
    form->synthesizeButton->click();
    const QByteArray result_before = BmpBytes(form->Work()->ResultBitmap());
    const QString name = dir.filePath("combined");  // no extension: none is added
    dialogs->save_answers.push_back(name);
    form->SaveGifButton->click();
    QVERIFY(dialogs->errors.empty());
    QFile file(name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray gif = file.readAll();
    file.close();
    // A GIF87a file of exactly the result's size.
    QVERIFY(gif.startsWith("GIF87a"));
    QCOMPARE(uint8_t(gif[6]) | uint8_t(gif[7]) << 8, 451);
    QCOMPARE(uint8_t(gif[8]) | uint8_t(gif[9]) << 8, 300);
    QVERIFY(gif.endsWith(";"));
    // The invisible box keeps the 8-bit copy; box and chart took the result's size.
    QVERIFY(form->Image4->isHidden() && form->Chart->isHidden());
    QVERIFY(form->Image4->Bitmap() != nullptr);
    QCOMPARE(form->Image4->Bitmap()->PixelFormat(), TPixelFormat::Bits8);
    QCOMPARE(form->Image4->size(), QSize(451, 300));
    QCOMPARE(form->Chart->size(), QSize(451, 300));
    QVERIFY(box_at_start != QSize(451, 300));
    // The result itself is untouched, and a second save writes the same bytes.
    QVERIFY(BmpBytes(form->Work()->ResultBitmap()) == result_before);
    dialogs->save_answers.push_back(dir.filePath("again.gif"));
    form->SaveGifButton->click();
    QFile again(dir.filePath("again.gif"));
    QVERIFY(again.open(QIODevice::ReadOnly));
    QVERIFY(again.readAll() == gif);

    // A name that cannot be written: the message, no file, the window still usable.
    dialogs->save_answers.push_back(dir.filePath("missing/combined.gif"));
    form->SaveGifButton->click();
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    form->GifCheckBox->setChecked(false);
    dialogs->save_answers.push_back(dir.filePath("combined.bmp"));
    form->SaveGifButton->click();
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QVERIFY(QFileInfo::exists(dir.filePath("combined.bmp")));
  }

  void exportPngWritesTheResultWithItsBand() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto facts = [&](const char* name) {
      QFile file(dir.filePath(name));
      if (!file.open(QIODevice::ReadOnly)) return TPngFacts{};
      const QByteArray bytes = file.readAll();
      return ReadPngFacts(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    };
    // Beside the load commands on the top row, clear of every control of the form.
    QCOMPARE(form->ExportButton->defaultAction(), form->ExportAction);
    QCOMPARE(form->ExportAction->text(), QString("Export PNG..."));
    QCOMPARE(form->ExportAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QVERIFY(!form->ExportAction->toolTip().isEmpty());
    QCOMPARE(form->ExportButton->parentWidget(), form->ExternalImageButton->parentWidget());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->ExternalImageButton, form->LoadInnerImage, form->QuirButton, form->GifCheckBox,
             form->Bevel1, form->ResizeButton, form->synthesizeButton, form->SaveGifButton,
             form->Bevel2, form->AverageLabel, form->ContrastLabel})
      QVERIFY2(!form->ExportButton->geometry().intersects(w->geometry()),
               qPrintable(w->objectName()));

    // No result yet: refused before any dialog.
    form->ExportAction->trigger();
    QCOMPARE(dialogs->export_dialogs, 0);
    QCOMPARE(dialogs->errors, std::vector<QString>{QString::fromUtf8(SNothingToSave.text)});
    dialogs->errors.clear();

    // A preview's hidden cells are not mapped: the file records no band.
    LoadVisible("chelsea.bmp");
    LoadHidden(SamplePath("astronaut.png"));
    dialogs->export_answers.push_back({dir.filePath("preview.png"), false});
    form->ExportAction->trigger();
    QVERIFY(facts("preview.png").error.empty());
    QVERIFY(facts("preview.png").texts.empty());

    // After the sliders and Synthesize: the band, in full colour and as a palette, and
    // the shortcut runs the command.
    form->AverageTrackBar->setValue(220);
    form->MinMaxTrackBar->setValue(200);  // held at the limit 35
    form->synthesizeButton->click();
    const std::vector<std::pair<std::string, std::string>> band = {
        {"Lumiveil", BandText({220, 35}, 451, 300)}};
    dialogs->export_answers.push_back({dir.filePath("full.png"), false});
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(dialogs->export_dialogs, 2);
    dialogs->export_answers.push_back({dir.filePath("palette.png"), true});
    form->ExportButton->click();
    QVERIFY(dialogs->errors.empty());
    const TPngFacts full = facts("full.png"), palette = facts("palette.png");
    QVERIFY(full.error.empty() && palette.error.empty());
    QVERIFY(full.texts == band);
    QVERIFY(palette.texts == band);
    QCOMPARE(full.color_type, 2);
    QCOMPARE(palette.color_type, 3);
    const TBitmap& result = form->Work()->ResultBitmap();
    QVERIFY(full.rgb == RGBPixels(result));
    TBitmap halftone;
    halftone.Assign(&result);
    ReduceToHalftone(halftone);
    QVERIFY(palette.rgb == RGBPixels(halftone));
    // The result itself stays 24 bits and the GIF save's image box is not touched.
    QCOMPARE(result.PixelFormat(), TPixelFormat::Bits24);
    QVERIFY(form->Image4->Bitmap() == nullptr);

    // A cancel writes nothing; a name that cannot be written: the message, nothing left.
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    dialogs->export_answers.push_back({QString(), false});
    form->ExportAction->trigger();
    dialogs->export_answers.push_back({dir.filePath("missing/out.png"), false});
    form->ExportAction->trigger();
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), before);
  }

  void exportDialogOffersBothFormsAndAddsTheExtension() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Answers the real dialog from inside its own event loop: full colour is the first
    // form; the second is the palette.
    for (const bool palette : {false, true}) {
      bool answered = false;
      QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (d == nullptr) return;
        answered = d->nameFilters().size() == 2 && d->acceptMode() == QFileDialog::AcceptSave;
        if (palette) d->selectNameFilter(d->nameFilters()[1]);
        d->selectFile(dir.filePath("chosen"));
        QMetaObject::invokeMethod(d, "accept");
      });
      TQtDialogs real;
      const auto choice = real.Export(form.get());
      QVERIFY(answered);
      QVERIFY(choice.has_value());
      QCOMPARE(choice->indexed, palette);
      QVERIFY(choice->format == TSaveFormat::sfPNG);
      QCOMPARE(choice->file_name, dir.filePath("chosen.png"));
    }
  }

  void closingFreesTheSlotsAndTheBoxesKeepTheirCopies() {
    // Slots that count their own destruction.
    auto freed = std::make_shared<int>(0);
    struct TCounted : TSPIBitmap {
      std::shared_ptr<int> freed;
      ~TCounted() override { ++*freed; }
    };
    Make([freed] {
      auto slot = std::make_unique<TCounted>();
      slot->freed = freed;
      return std::unique_ptr<TBitmap>(std::move(slot));
    });
    LoadVisible("coffee.bmp");
    LoadHidden(SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    QCOMPARE(*freed, 0);
    form->QuirButton->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(*freed, 2);
    QVERIFY(form->Work() == nullptr);
    for (TImageBox* box : {form->Image1, form->Image2, form->Image3}) {
      QVERIFY(box->Bitmap() != nullptr);
      QCOMPARE(box->Bitmap()->Width(), 600);
      QCOMPARE(box->Bitmap()->Height(), 400);
    }
    // Commands that still arrive do nothing.
    form->SynthesizeAction->trigger();
    form->AverageTrackBar->setValue(10);
    form->LoadVisibleAction->trigger();
    QVERIFY(dialogs->errors.empty());
    QCOMPARE(dialogs->open_filters.size(), size_t(2));
  }

  void imageBoxesPaintWhatIsExposed() {
    // Pictures of the three kinds a box is given: 24 bits, 8 bits with a colour table, 1 bit.
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::Bits24);
    picture.SetWidth(37);
    picture.SetHeight(23);
    for (int y = 0; y < 23; ++y) {
      uint8_t* row = picture.Scanline(y);
      for (int x = 0; x < 37; ++x) {
        row[3 * x] = uint8_t(x * 7);
        row[3 * x + 1] = uint8_t(y * 11);
        row[3 * x + 2] = uint8_t(x * y);
      }
    }
    for (TPixelFormat format : {TPixelFormat::Bits24, TPixelFormat::Bits8, TPixelFormat::Bits1}) {
      TBitmap shown;
      shown.Assign(&picture);
      shown.SetPixelFormat(format);
      const QImage part = RasterPart(shown, 5, 3, 20, 11);
      QCOMPARE(part.size(), QSize(20, 11));
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 20; ++x) {
          const TColor c = shown.Pixel(5 + x, 3 + y);
          QCOMPARE(part.pixel(x, y), qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }

    // A scrolled box at 1:1: the visible part of the viewport shows the picture's pixels
    // there.
    UseFormSize(*form);
    LoadVisible("coffee.bmp");
    form->ZoomActualSizeAction->trigger();
    QScrollArea* scroll = form->ScrollBox1;
    scroll->horizontalScrollBar()->setValue(250);
    scroll->verticalScrollBar()->setValue(120);
    const QImage view = scroll->viewport()->grab().toImage();
    const TBitmap& source = form->Work()->ExternalBitmap();
    const QPoint offset = -form->Image1->pos();
    QVERIFY(offset.x() > 0 && offset.y() > 0);
    for (int y = 0; y < view.height(); y += 13)
      for (int x = 0; x < view.width(); x += 11) {
        const auto bgr = Bgr(source, offset.x() + x, offset.y() + y);
        QCOMPARE(view.pixel(x, y), qRgb(bgr[2], bgr[1], bgr[0]));
      }
  }
};

QTEST_MAIN(tst_MainForm)
#include "MainFormTest.moc"
