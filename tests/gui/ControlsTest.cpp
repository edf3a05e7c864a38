// The window for a person at the keyboard and the mouse: the spin boxes in step with the
// sliders and their handlers, the tab order, every shortcut and tool tip, files dropped on
// the picture windows, the edits' width, the file dialogs' size (and that they write no
// settings file), the English sense under a Japanese message, and the busy pointer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "GuiTestSupport.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "app/gui/OpenFilter.h"
#include "app/gui/PictureWindow.h"
#include "app/gui/RevealWindow.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "susie/Spibmp.h"

namespace {

// What the window shows while a command runs: the pointer, and the status panel's text as
// said and as shown (shortened when it has no room).
struct TBusyState {
  bool wait_cursor = false;
  QString panel;
  QString shown;
};

TMainForm* busy_form = nullptr;
std::vector<TBusyState> busy_states;

void RecordBusy() {
  const QCursor* cursor = QApplication::overrideCursor();
  busy_states.push_back({cursor != nullptr && cursor->shape() == Qt::WaitCursor,
                         busy_form ? busy_form->StatusPanel1->Said() : QString(),
                         busy_form ? busy_form->StatusPanel1->text() : QString()});
}

// A slot whose loading records what the window shows meanwhile.
struct TRecordingSlot : TSPIBitmap {
  void LoadFromFile(const std::string& file_name) override {
    RecordBusy();
    TSPIBitmap::LoadFromFile(file_name);
  }
};

// What a load leaves in the window, to compare a drop with the dialog.
struct TState {
  QByteArray visible, hidden, result;
  bool visible_loaded, hidden_loaded;
  QString x, y;
  std::vector<QString> errors;
  bool operator==(const TState&) const = default;
};

// Counts the events of one type that reach the objects it watches.
class TEventCounter : public QObject {
 public:
  TEventCounter(QEvent::Type type, int* count) : type_(type), count_(count) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++*count_;
    return false;
  }

 private:
  QEvent::Type type_;
  int* count_;
};

}  // namespace

class tst_Controls : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  TScriptedDialogs* dialogs = nullptr;
  QTemporaryDir config;  // where the user's settings files would go

  void Make() {
    form.reset();
    auto d = std::make_unique<TScriptedDialogs>();
    dialogs = d.get();
    form = std::make_unique<TMainForm>(
        std::move(d), [] { return std::unique_ptr<TBitmap>(std::make_unique<TRecordingSlot>()); });
    busy_form = form.get();
    form->show();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
  }
  void Load(QAction* action, const QString& file) {
    dialogs->open_answers.push_back(file);
    action->trigger();
  }
  TState State() {
    TWorkflow* w = form->Work();
    return {BmpBytes(w->ExternalBitmap()),
            BmpBytes(w->InnerBitmap()),
            BmpBytes(w->ResultBitmap()),
            w->ExternalLoaded(),
            w->InnerLoaded(),
            form->XEdit->text(),
            form->YEdit->text(),
            dialogs->errors};
  }
  // Drags a file over a window and drops it; true if the window took it.
  static bool Drop(QWidget* window, const QString& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    const QPoint at(window->width() / 2, window->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    // The load runs once the drop is over.
    QCoreApplication::processEvents();
    return drop.isAccepted();
  }
  // Leaves the x edit for the y edit, as the Tab key does.
  void LeaveXEdit() {
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->YEdit->setFocus(Qt::TabFocusReason);
  }

 private slots:
  void initTestCase() {
    QVERIFY(config.isValid());
    // Before anything asks for the user's settings place.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  }
  void init() { Make(); }
  void cleanup() {
    busy_form = nullptr;
    busy_states.clear();
    form.reset();
  }

  void typedNumbersMoveTheSlidersAsADragDoes() {
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    Load(form->LoadHiddenAction, SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    QCOMPARE(form->AverageSpinBox->value(), 128);
    QCOMPARE(form->ContrastSpinBox->value(), 127);
    QCOMPARE(form->ContrastSpinBox->maximum(), 128);
    TWorkflow* w = form->Work();
    int shows = 0;
    const auto previous = w->OnShow;
    w->OnShow = [&shows, previous](TSlot slot) {
      if (slot == TSlot::slResult) ++shows;
      previous(slot);
    };

    // Typing 200 and Return: the slider moves once, the average pulls the contrast down to
    // 55 with the nested contrast handler, and both spin boxes follow.
    form->AverageSpinBox->setFocus(Qt::TabFocusReason);
    form->AverageSpinBox->selectAll();
    QTest::keyClicks(form->AverageSpinBox, "200");
    QCOMPARE(form->AverageTrackBar->value(), 128);  // nothing while typing
    QTest::keyClick(form->AverageSpinBox, Qt::Key_Return);
    QCOMPARE(form->AverageTrackBar->value(), 200);
    QCOMPARE(w->Average(), 200);
    QCOMPARE(form->MinMaxTrackBar->value(), 55);
    QCOMPARE(form->MinMaxTrackBar->maximum(), 55);
    QCOMPARE(form->MaxLabel->text(), QString("55"));
    QCOMPARE(form->ContrastSpinBox->value(), 55);
    QCOMPARE(form->ContrastSpinBox->maximum(), 55);
    QCOMPARE(shows, 2);  // the nested contrast handler and the average handler
    const QByteArray typed = BmpBytes(w->ResultBitmap());

    // The contrast box takes no digit that would pass the limit (typing 90 gives 9); the
    // arrows step by one.
    form->ContrastSpinBox->setFocus(Qt::TabFocusReason);
    form->ContrastSpinBox->selectAll();
    QTest::keyClicks(form->ContrastSpinBox, "90");
    QTest::keyClick(form->ContrastSpinBox, Qt::Key_Return);
    QCOMPARE(form->MinMaxTrackBar->value(), 9);
    QTest::keyClick(form->ContrastSpinBox, Qt::Key_Up);
    QCOMPARE(form->MinMaxTrackBar->value(), 10);
    QCOMPARE(w->Contrast(), 10);
    form->MinMaxTrackBar->setValue(54);
    QCOMPARE(form->ContrastSpinBox->value(), 54);
    // A slider moved by the keyboard moves its spin box.
    form->AverageTrackBar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->AverageTrackBar, Qt::Key_Right);
    QCOMPARE(form->AverageSpinBox->value(), 201);
    QCOMPARE(form->ContrastSpinBox->value(), 54);
    const TToneTable tone(201, 54);
    const auto h = Bgr(w->InnerBitmap(), 1, 0);
    QCOMPARE(Bgr(w->ResultBitmap(), 1, 0)[0], tone.map[h[0]]);

    // The same result as a drag to 200 in a fresh window.
    Make();
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    Load(form->LoadHiddenAction, SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    for (int a = 129; a <= 200; ++a) form->AverageTrackBar->setValue(a);
    QCOMPARE(form->AverageSpinBox->value(), 200);
    QCOMPARE(form->ContrastSpinBox->value(), 55);
    QVERIFY(BmpBytes(form->Work()->ResultBitmap()) == typed);
  }

  void tabReachesEveryControlInReadingOrder() {
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    const QList<QWidget*> expected = {form->ExternalImageButton,
                                      form->LoadInnerImage,
                                      form->ExportButton,
                                      form->GifCheckBox,
                                      form->QuirButton,
                                      form->ResizeButton,
                                      form->XEdit,
                                      form->YEdit,
                                      form->synthesizeButton,
                                      form->SaveGifButton,
                                      form->AverageTrackBar,
                                      form->MinMaxTrackBar,
                                      form->AverageSpinBox,
                                      form->ContrastSpinBox,
                                      form->AutoButton,
                                      form->ToolWindow972->TitleBar()->ZoomButton,
                                      form->ScrollBox1,
                                      form->ToolWindow973->TitleBar()->ZoomButton,
                                      form->ScrollBox2,
                                      form->ToolWindow974->TitleBar()->ZoomButton,
                                      form->ScrollBox3,
                                      form->ExternalImageButton};
    form->ExternalImageButton->setFocus(Qt::TabFocusReason);
    QList<QWidget*> reached = {QApplication::focusWidget()};
    for (qsizetype i = 1; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      // A spin box's focus lies in its edit.
      if (focus && qobject_cast<QSpinBox*>(focus->parentWidget())) focus = focus->parentWidget();
      reached.push_back(focus);
    }
    QCOMPARE(reached, expected);
    // Leaving the unchanged edits on the way refitted nothing and raised nothing.
    QVERIFY(dialogs->errors.empty());
  }

  void everyShortcutRunsItsCommand_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("load visible") << "LoadVisibleAction" << QKeySequence("Ctrl+O");
    QTest::newRow("load hidden") << "LoadHiddenAction" << QKeySequence("Ctrl+Shift+O");
    QTest::newRow("resize") << "ResizeAction" << QKeySequence("Ctrl+R");
    QTest::newRow("synthesize") << "SynthesizeAction" << QKeySequence("Ctrl+Return");
    QTest::newRow("synthesize, keypad") << "SynthesizeAction" << QKeySequence("Ctrl+Enter");
    QTest::newRow("save") << "SaveAction" << QKeySequence("Ctrl+S");
    QTest::newRow("export png") << "ExportAction" << QKeySequence("Ctrl+E");
    QTest::newRow("gif") << "GifAction" << QKeySequence("Ctrl+G");
    QTest::newRow("zoom in") << "ZoomInAction" << QKeySequence("Ctrl++");
    QTest::newRow("zoom in, =") << "ZoomInAction" << QKeySequence("Ctrl+=");
    QTest::newRow("zoom out") << "ZoomOutAction" << QKeySequence("Ctrl+-");
    QTest::newRow("fit") << "ZoomFitAction" << QKeySequence("Ctrl+0");
    QTest::newRow("1:1") << "ZoomActualSizeAction" << QKeySequence("Ctrl+1");
    QTest::newRow("link") << "LinkViewsAction" << QKeySequence("Ctrl+L");
    QTest::newRow("reveal") << "RevealAction" << QKeySequence("Ctrl+Shift+R");
    QTest::newRow("quit") << "QuitAction" << QKeySequence("Ctrl+Q");
  }
  void everyShortcutRunsItsCommand() {
    QFETCH(QString, action);
    QFETCH(QKeySequence, keys);
    auto* a = form->findChild<QAction*>(action);
    QVERIFY(a != nullptr);
    QVERIFY(a->shortcuts().contains(keys));
    // The tool tip names the first shortcut.
    QVERIFY2(a->toolTip().endsWith("(" + a->shortcut().toString(QKeySequence::NativeText) + ")"),
             qPrintable(a->toolTip()));
    QSignalSpy triggered(a, &QAction::triggered);
    // Typed while an edit has the focus, as a person might.
    form->YEdit->setFocus(Qt::MouseFocusReason);
    QTest::keySequence(form.get(), keys);
    QCOMPARE(triggered.count(), 1);
    // And what it did.
    if (action == "LoadVisibleAction" || action == "LoadHiddenAction")
      QCOMPARE(dialogs->open_filters.size(), size_t(1));
    if (action == "GifAction") QVERIFY(form->GifCheckBox->isChecked());
    // With no result yet the export is refused before its dialog.
    if (action == "ExportAction") QCOMPARE(dialogs->errors.size(), size_t(1));
    if (action == "ZoomInAction") QCOMPARE(form->ScrollBox3->Scale(), 2.0);
    if (action == "ZoomOutAction") QCOMPARE(form->ScrollBox3->Scale(), 0.5);
    if (action == "ZoomFitAction") QVERIFY(form->ScrollBox1->Fitting());
    if (action == "LinkViewsAction") QVERIFY(!form->PictureViews->Linked());
    if (action == "RevealAction") QVERIFY(!form->RevealWindow->isHidden());
    if (action == "QuitAction") QVERIFY(!form->isVisible());
  }

  void everyShortcutWorksWhereverTheFocusIs_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    // Every shortcut of the window; Ctrl+E is the one an edit would take for itself (the
    // end of the line).
    Make();  // the data come before init
    for (QAction* a : form->actions())
      for (const QKeySequence& keys : a->shortcuts())
        QTest::newRow(qPrintable(a->objectName() + " " + keys.toString()))
            << a->objectName() << keys;
  }
  void everyShortcutWorksWhereverTheFocusIs() {
    QFETCH(QString, action);
    QFETCH(QKeySequence, keys);
    // Typed with the focus in each edit and number box, as a person is after typing a
    // number: the key events go to the focused widget.
    const auto boxes = [this]() -> std::vector<QWidget*> {
      return {form->XEdit, form->YEdit, form->AverageSpinBox, form->ContrastSpinBox,
              form->RevealWindow->SizeBox};
    };
    for (size_t i = 0; i < boxes().size(); ++i) {
      if (!form->isVisible()) Make();  // after Quit
      // The Reveal window's size box is enabled with the sheet.
      form->RevealWindow->show();
      form->RevealWindow->ViewBox->setCurrentText("sheet");
      QWidget* box = boxes()[i];
      box->setFocus(Qt::TabFocusReason);
      QVERIFY2(QApplication::focusWidget() != nullptr &&
                   (box->isAncestorOf(QApplication::focusWidget()) ||
                    QApplication::focusWidget() == box),
               qPrintable(box->objectName()));
      auto* a = form->findChild<QAction*>(action);
      QSignalSpy triggered(a, &QAction::triggered);
      QTest::keySequence(QApplication::focusWidget(), keys);
      QVERIFY2(triggered.count() == 1, qPrintable(box->objectName()));
    }
  }

  void theEditsKeepTheirOwnKeys() {
    // Keys that are no shortcut of the window stay the edit's: Ctrl+A selects all, so the
    // next digit replaces the text.
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    form->XEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->XEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form->XEdit, "3");
    QCOMPARE(form->XEdit->text(), QString("3"));
    QTest::keyClick(form->XEdit, Qt::Key_Backspace);
    QCOMPARE(form->XEdit->text(), QString());
  }

  void tabbingThroughTheWindowWithNoPictureRaisesNothing() {
    // Twice round every control: leaving the edits with no picture is no error.
    form->ExternalImageButton->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 42; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(dialogs->errors.empty());
    QVERIFY(form->StatusPanel1->Said().isEmpty());
    // A width typed with no picture: nothing to scale, and the status bar says so.
    form->XEdit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(form->XEdit, "300");
    QTest::keyClick(form->XEdit, Qt::Key_Tab);
    QVERIFY(dialogs->errors.empty());
    QVERIFY(form->StatusPanel1->Said().startsWith("Nothing to scale yet: load a visible picture"));
    QVERIFY(form->Work()->ExternalBitmap().Empty());
    // The picture loaded afterwards sets the edits.
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    QCOMPARE(form->XEdit->text(), QString("600"));
  }

  void aLongSaveKeepsTheWindowDrawnAndItsControlsDisabled() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    Load(form->LoadHiddenAction, SamplePath("chelsea.bmp"));
    form->synthesizeButton->click();
    const QByteArray expected = BmpBytes(form->Work()->ResultBitmap());
    form->AverageSpinBox->setFocus(Qt::TabFocusReason);
    // A FIFO as the target: the save waits in it until the test reads, so the window is
    // looked at while the save runs.
    const QString fifo = dir.filePath("pipe");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct TDuring {
      bool ran = false, bar = true, save = true, slider = true, drops = true, zoom = false;
      bool busy = false, painted = false, open_after_close = false;
      QString panel;
    } during;
    int paints = 0;
    TEventCounter counter(QEvent::Paint, &paints);
    form->Image3->installEventFilter(&counter);
    QByteArray written;
    std::thread reader;
    QTimer::singleShot(0, form.get(), [&] {
      during.ran = true;
      during.bar = form->ToolWindow971->widget()->isEnabled();
      during.save = form->SaveAction->isEnabled();
      during.slider = form->AverageTrackBar->isEnabled();
      during.drops = form->ToolWindow972->acceptDrops();
      const QCursor* cursor = QApplication::overrideCursor();
      during.busy = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
      during.panel = form->StatusPanel1->Said();
      // The zoom works, and the window paints what it shows.
      const int before = paints;
      form->ZoomOutAction->trigger();
      during.zoom = form->ZoomOutAction->isEnabled();
      during.painted = QTest::qWaitFor([&] { return paints > before; }, 5000);
      // Closing waits for the save.
      form->close();
      during.open_after_close = form->isVisible();
      reader = std::thread([&] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY);
        if (fd < 0) return;
        char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) written.append(buffer, n);
        ::close(fd);
      });
    });
    dialogs->save_answers.push_back(fifo);
    form->SaveAction->trigger();
    {
      // Should the save have ended without opening the FIFO, a reader still waiting for a
      // writer goes (an empty read); once it has read, this open finds no reader and fails.
      const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    if (reader.joinable()) reader.join();
    QVERIFY(during.ran);
    QVERIFY(!during.bar && !during.save && !during.slider && !during.drops);
    QVERIFY(during.busy);
    QCOMPARE(during.panel, QString("Saving..."));
    QVERIFY(during.zoom && during.painted);
    QVERIFY(during.open_after_close);
    QVERIFY(dialogs->errors.empty());
    QVERIFY(written == expected);
    QCOMPARE(form->StatusPanel1->Said(), QString("Saved pipe: BMP"));
    // Afterwards the controls are back, with the focus where it was; then the close that
    // was asked for goes ahead.
    QVERIFY(form->ToolWindow971->widget()->isEnabled() && form->SaveAction->isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(form->AverageSpinBox->isAncestorOf(QApplication::focusWidget()) ||
            QApplication::focusWidget() == form->AverageSpinBox);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(form->Work() == nullptr);
  }

  void everyControlHasAToolTip() {
    const QList<QWidget*> all = form->findChildren<QWidget*>();
    int controls = 0;
    for (QWidget* w : all) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<TPictureView*>(w) ||
                           (qobject_cast<QLineEdit*>(w) && !qobject_cast<QSpinBox*>(w->parent()));
      // Controls of the toolkit's own (a scroll bar's, a dock's) are not the window's.
      if (!control || w->objectName().isEmpty() || w->isHidden()) continue;
      ++controls;
      QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
    }
    QVERIFY(controls >= 25);
    // The buttons of the commands show their shortcut.
    QVERIFY(form->ExternalImageButton->toolTip().endsWith("(Ctrl+O)"));
    QVERIFY(form->LoadInnerImage->toolTip().endsWith("(Ctrl+Shift+O)"));
    QVERIFY(form->synthesizeButton->toolTip().endsWith("(Ctrl+Return)"));
    QVERIFY(form->SaveGifButton->toolTip().endsWith("(Ctrl+S)"));
    QVERIFY(form->ExportButton->toolTip().endsWith("(Ctrl+E)"));
    QVERIFY(form->ResizeButton->toolTip().endsWith("(Ctrl+R)"));
    QVERIFY(form->QuirButton->toolTip().endsWith("(Ctrl+Q)"));
    QVERIFY(form->GifCheckBox->toolTip().endsWith("(Ctrl+G)"));
    QVERIFY(form->ToolWindow972->TitleBar()->ZoomInButton->toolTip().endsWith("(Ctrl++)"));
    QVERIFY(form->ToolWindow972->TitleBar()->ZoomOutButton->toolTip().endsWith("(Ctrl+-)"));
    // Captions stay as the form gives them.
    QCOMPARE(form->ExternalImageButton->text(), QString("Load Visible Image"));
    QCOMPARE(form->LoadInnerImage->text(), QString("Load Hiden Image"));
    QCOMPARE(form->synthesizeButton->text(), QString("Synthesize"));
    QCOMPARE(form->GifCheckBox->text(), QString("GIF"));
  }

  void aDroppedFileLoadsAsTheDialogLoadsIt_data() {
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("loads");
    QTest::newRow("visible, BMP") << false << "chelsea.bmp" << true;
    QTest::newRow("visible, PNG") << false << "astronaut.png" << true;
    QTest::newRow("visible, no picture") << false << "LICENSES.md" << false;
    QTest::newRow("hidden, BMP") << true << "chelsea.bmp" << true;
    QTest::newRow("hidden, PNG") << true << "astronaut.png" << true;
    QTest::newRow("hidden, no picture") << true << "LICENSES.md" << false;
  }
  void aDroppedFileLoadsAsTheDialogLoadsIt() {
    QFETCH(bool, hidden);
    QFETCH(QString, file);
    QFETCH(bool, loads);
    const QString path = SamplePath(qPrintable(file));
    const auto prepare = [&] {
      if (hidden) Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    };
    // Through the dialog.
    prepare();
    Load(hidden ? form->LoadHiddenAction : form->LoadVisibleAction, path);
    const TState by_dialog = State();
    QCOMPARE(hidden ? by_dialog.hidden_loaded : by_dialog.visible_loaded, loads);
    // Dropped on the picture window.
    Make();
    prepare();
    TPictureWindow* window = hidden ? form->ToolWindow973 : form->ToolWindow972;
    QVERIFY(Drop(window, path));
    QVERIFY(State() == by_dialog);
    if (hidden) {
      // Fitted to the visible picture and previewed; the hidden picture that did not load
      // is the empty one, which the preview cannot read: the same message as the dialog's.
      QCOMPARE(by_dialog.errors.size(), loads ? size_t(0) : size_t(1));
      if (loads) {
        QCOMPARE(form->Image2->Bitmap()->Width(), 600);
        QCOMPARE(form->Image3->Bitmap()->Width(), 600);
      }
    } else {
      QVERIFY(by_dialog.errors.empty());  // a failed visible load is silent
    }
    // No dialog was opened for the drop.
    QCOMPARE(dialogs->open_filters.size(), hidden ? size_t(1) : size_t(0));
  }

  void onlyFilesAreTakenAndOnlyByTheTwoInputWindows() {
    QVERIFY(form->ToolWindow972->acceptDrops());
    QVERIFY(form->ToolWindow973->acceptDrops());
    QVERIFY(!form->ToolWindow974->acceptDrops());
    // Text, or an address that is no local file, is not taken.
    QMimeData text;
    text.setText("coffee.bmp");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->ToolWindow972, &enter);
    QVERIFY(!enter.isAccepted());
    QMimeData remote;
    remote.setUrls({QUrl("http://example.invalid/coffee.bmp")});
    QDragEnterEvent enter_remote(QPoint(5, 5), Qt::CopyAction, &remote, Qt::LeftButton,
                                 Qt::NoModifier);
    QApplication::sendEvent(form->ToolWindow972, &enter_remote);
    QVERIFY(!enter_remote.isAccepted());
    // A missing file dropped: silent, as a missing name from the dialog.
    QVERIFY(Drop(form->ToolWindow972, SamplePath("no-such-picture.bmp")));
    QVERIFY(!form->Work()->ExternalLoaded());
    QVERIFY(dialogs->errors.empty());
  }

  void theEditsHoldFiveDigits() {
    for (QLineEdit* edit : {form->XEdit, form->YEdit}) {
      const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
      const int room = edit->width() - 2 * frame - 4;
      QVERIFY2(room >= edit->fontMetrics().horizontalAdvance("88888"),
               qPrintable(edit->objectName()));
      QVERIFY(form->Bevel1->geometry().contains(edit->geometry()));
    }
    QCOMPARE(form->XEdit->pos(), QPoint(120, 36));
    QVERIFY(form->YEdit->x() >= 160);
    QVERIFY(form->XEdit->geometry().right() < form->YEdit->x());
    QVERIFY(form->Bevel1->geometry().right() < form->synthesizeButton->x());
    // The spin boxes sit beside the sliders' bevel, clear of it.
    for (QWidget* spin : {form->AverageSpinBox, form->ContrastSpinBox})
      QVERIFY(spin->x() > form->Bevel2->geometry().right() &&
              spin->geometry().right() < form->ToolWindow971->widget()->width());
  }

  void fileDialogsOpenLargeAndWriteNoSettings() {
    TQtDialogs real;
    QSize opened;
    QString title;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      opened = dialog->size();
      dialog->reject();
    });
    QVERIFY(!real.OpenPicture(form.get(), "Load Visible Image", {"All(*.*)"}));
    const QSize screen = form->screen()->availableGeometry().size();
    QCOMPARE(opened, QSize(960, 600).boundedTo(screen * 0.9));
    QVERIFY(opened.width() > 624 || opened.width() >= int(screen.width() * 0.9));
    QTimer::singleShot(0, [&] {
      if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    });
    QVERIFY(!real.SaveFile(form.get(), "Save to File"));
    // The toolkit's dialog would keep its history in the user's settings folder.
    QCOMPARE(QDir(config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  }

  void fileDialogsAreTitledAndOpenWhereTheLastFileWasChosen() {
    QTemporaryDir first, second;
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(QFile::copy(SamplePath("coffee.bmp"), first.filePath("coffee.bmp")));
    TQtDialogs real;
    struct TSeen {
      QString title, folder, filter;
    };
    // Answers the next file dialog with `answer` (a cancel when empty) and records it.
    const auto answer = [](TSeen& seen, const QString& file) {
      QTimer::singleShot(0, [&seen, file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        seen = {dialog->windowTitle(), dialog->directory().absolutePath(),
                dialog->selectedNameFilter()};
        if (file.isEmpty()) {
          dialog->reject();
          return;
        }
        dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept");
      });
    };
    TSeen open, save, cancelled, again;
    answer(open, first.filePath("coffee.bmp"));
    const auto chosen = real.OpenPicture(form.get(), "Load Visible Image",
                                         NameFilters(form->OpenPictureDialogFilter()));
    QCOMPARE(chosen.value_or(QString()), first.filePath("coffee.bmp"));
    QCOMPARE(open.title, QString("Load Visible Image"));
    QVERIFY2(open.filter.startsWith("All pictures ("), qPrintable(open.filter));
    // The next dialog, of another command, opens in that folder; a name typed with a path
    // of its own moves the folder there.
    answer(save, second.filePath("out.bmp"));
    QCOMPARE(real.SaveFile(form.get(), "Save to File").value_or(QString()),
             second.filePath("out.bmp"));
    QCOMPARE(save.title, QString("Save to File"));
    QCOMPARE(save.folder, QDir(first.path()).absolutePath());
    QCOMPARE(real.Directory(), QDir(second.path()).absolutePath());
    // A cancel keeps the folder.
    answer(cancelled, QString());
    QVERIFY(!real.OpenPicture(form.get(), "Load Hiden Image", {"All(*.*)"}));
    QCOMPARE(cancelled.title, QString("Load Hiden Image"));
    QCOMPARE(cancelled.folder, QDir(second.path()).absolutePath());
    answer(again, QString());
    QVERIFY(!real.Export(form.get()));
    QCOMPARE(again.folder, QDir(second.path()).absolutePath());
    QCOMPARE(again.title, QString("Export PNG"));
  }

  void theMessageBoxShowsTheEnglishSenseBeneath() {
    const auto box =
        ExceptionBox(form.get(), "浮動小数点演算が不正です", "invalid floating-point operation");
    QCOMPARE(box->text(), QString("浮動小数点演算が不正です"));
    QCOMPARE(box->informativeText(), QString("invalid floating-point operation"));
    QCOMPARE(box->icon(), QMessageBox::Critical);
    const auto english = ExceptionBox(form.get(), "Color table overflow", QString());
    QVERIFY(english->informativeText().isEmpty());

    // From the window: a width that is no number.
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "abc");
    LeaveXEdit();
    const TText invalid = Format(SInvalidInteger, "abc");
    QCOMPARE(dialogs->errors, std::vector<QString>{QString::fromStdString(invalid.text)});
    QCOMPARE(dialogs->senses.size(), size_t(1));
    const QString sense = QString::fromStdString(invalid.sense);
    QVERIFY(!sense.isEmpty());
    QCOMPARE(dialogs->senses[0], sense);
    for (QChar c : sense) QVERIFY(c.unicode() < 128);  // English
    // An English text has no sense beneath it.
    form->SaveAction->trigger();  // nothing to save
    QCOMPARE(dialogs->senses.back(), QString());
  }

  void longCommandsShowTheBusyPointer() {
    Load(form->LoadVisibleAction, SamplePath("coffee.bmp"));
    QCOMPARE(busy_states.size(), size_t(1));
    QVERIFY(busy_states[0].wait_cursor);
    QCOMPARE(busy_states[0].panel, QString("Loading..."));
    // Afterwards the pointer and the panel are as before.
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(form->StatusPanel1->text().isEmpty());

    // Every command that may take more than a moment: each shows its result while busy.
    Load(form->LoadHiddenAction, SamplePath("chelsea.bmp"));
    TWorkflow* w = form->Work();
    const auto previous = w->OnShow;
    w->OnShow = [previous](TSlot slot) {
      RecordBusy();
      previous(slot);
    };
    busy_states.clear();
    form->ResizeAction->trigger();
    form->synthesizeButton->click();
    LeaveXEdit();
    QVERIFY(busy_states.size() >= 3);
    for (const TBusyState& state : busy_states) {
      QVERIFY(state.wait_cursor);
      QVERIFY(state.panel.endsWith("..."));
      // The panel has room for its text: shown whole, not cut.
      QCOMPARE(state.shown, state.panel);
    }
    // A slider step is quick: no busy pointer.
    busy_states.clear();
    form->AverageTrackBar->setValue(100);
    QVERIFY(!busy_states.empty());
    QVERIFY(!busy_states[0].wait_cursor);
    // A failing command takes the pointer down before its message shows.
    QVERIFY(dialogs->errors.empty());
    form->XEdit->setFocus(Qt::TabFocusReason);
    form->XEdit->selectAll();
    QTest::keyClicks(form->XEdit, "2x0");
    form->YEdit->setFocus(Qt::TabFocusReason);
    QCOMPARE(dialogs->errors.size(), size_t(1));
    QCOMPARE(dialogs->busy_at_errors, std::vector<bool>{false});
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }
};

QTEST_MAIN(tst_Controls)
#include "ControlsTest.moc"
