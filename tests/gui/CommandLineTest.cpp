// The window's command line: --help and --version answered before a display is needed,
// options and files told apart, and the files loaded as the open dialog's answers are
// (the first visible, the second hidden and fitted to it).
#include <cstring>
#include <memory>
#include <vector>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"
#include "app/gui/CommandLine.h"
#include "app/gui/MainForm.h"
#include "susie/Version.h"

namespace {

// EarlyAnswer takes argv as main receives it.
std::optional<QString> Early(std::vector<const char*> args) {
  args.insert(args.begin(), "lumiveil-maker");
  return EarlyAnswer(static_cast<int>(args.size()), const_cast<char**>(args.data()));
}

// A file of text named `name` in `dir`, which no reader takes; empty when it cannot be made.
QString NotAPicture(const QTemporaryDir& dir, const char* name) {
  const QString path = dir.filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write("not a picture") <= 0) return QString();
  return path;
}

}  // namespace

class tst_CommandLine : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  TScriptedDialogs* dialogs = nullptr;

 private slots:
  void init() {
    auto d = std::make_unique<TScriptedDialogs>();
    dialogs = d.get();
    form = std::make_unique<TMainForm>(std::move(d));
    form->show();
  }
  void cleanup() { form.reset(); }

  void EarlyAnswers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("starts");
    QTest::newRow("help") << QStringList{"--help"} << "usage: lumiveil-maker";
    QTest::newRow("short help after a file") << QStringList{"a.bmp", "-h"} << "usage:";
    QTest::newRow("version") << QStringList{"--version"}
                             << QString("lumiveil-maker ") + LumiveilVersion() + "\n";
    QTest::newRow("files only") << QStringList{"a.bmp", "b.bmp"} << QString();
    QTest::newRow("a file named --help after --") << QStringList{"--", "--help"} << QString();
  }
  void EarlyAnswers() {
    QFETCH(QStringList, args);
    QFETCH(QString, starts);
    std::vector<QByteArray> bytes;
    for (const QString& a : args) bytes.push_back(a.toLocal8Bit());
    std::vector<const char*> argv;
    for (const QByteArray& b : bytes) argv.push_back(b.constData());
    const auto answer = Early(argv);
    if (starts.isEmpty()) {
      QVERIFY(!answer);
    } else {
      QVERIFY(answer);
      QVERIFY2(answer->startsWith(starts), qPrintable(*answer));
    }
  }

  void VersionNamesThePluginApi() {
    const auto answer = Early({"--version"});
    QVERIFY(answer);
    QVERIFY(answer->contains("plug-in API 00IN"));
  }

  void Arguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("quit");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("error");
    QTest::newRow("nothing") << QStringList{} << false << QStringList{} << false;
    QTest::newRow("two files and the check") << QStringList{"v.bmp", "--quit-after-start", "h.png"}
                                             << true << QStringList{"v.bmp", "h.png"} << false;
    QTest::newRow("unknown option") << QStringList{"--zoom"} << false << QStringList{} << true;
    QTest::newRow("after -- every argument is a file")
        << QStringList{"--", "--quit-after-start", "-x.bmp"} << false
        << QStringList{"--quit-after-start", "-x.bmp"} << false;
  }
  void Arguments() {
    QFETCH(QStringList, args);
    QFETCH(bool, quit);
    QFETCH(QStringList, files);
    QFETCH(bool, error);
    args.prepend("lumiveil-maker");
    const TWindowArguments parsed = ParseWindowArguments(args);
    QCOMPARE(parsed.error.isEmpty(), !error);
    if (error) return;
    QCOMPARE(parsed.quit_after_start, quit);
    QCOMPARE(parsed.files, files);
  }

  void TwoFilesAreTheVisibleAndTheFittedHiddenPicture() {
    const QStringList notes =
        OpenCommandLineFiles(*form, {SamplePath("coffee.bmp"), SamplePath("rocket.jpg")});
    QVERIFY2(notes.isEmpty(), qPrintable(notes.join('\n')));
    TWorkflow* w = form->Work();
    QVERIFY(w->ExternalLoaded() && w->InnerLoaded());
    QCOMPARE(w->ExternalBitmap().Width(), 600);
    QCOMPARE(w->InnerBitmap().Width(), 600);
    QCOMPARE(w->InnerBitmap().Height(), 400);
    QVERIFY(dialogs->errors.empty());
  }

  // The hidden file is read on a second thread while the visible one loads: its picture,
  // and a file no reader takes (with the reason on the status bar), come out as the open
  // commands make them one after the other.
  void BothFilesReadAtOnceLoadAsTheOpenCommandsDo() {
    QTemporaryDir dir;
    const QString text = NotAPicture(dir, "notes.png");
    QVERIFY(!text.isEmpty());
    for (const QString& hidden : {SamplePath("rocket.jpg"), text}) {
      QVERIFY(form->LoadVisibleFile(SamplePath("astronaut.png")));
      const bool loaded = form->LoadHiddenFile(hidden);
      const QString status = form->StatusPanel1->text();
      TBitmap b;
      b.Assign(&form->Work()->InnerBitmap());
      cleanup();
      init();
      const QStringList notes = OpenCommandLineFiles(*form, {SamplePath("astronaut.png"), hidden});
      QCOMPARE(notes.isEmpty(), loaded);
      QCOMPARE(form->Work()->InnerLoaded(), loaded);
      QCOMPARE(form->StatusPanel1->text(), status);
      const TBitmap& a = form->Work()->InnerBitmap();
      QCOMPARE(a.Width(), b.Width());
      QCOMPARE(a.Height(), b.Height());
      for (int y = 0; y < a.Height(); ++y)
        QVERIFY(std::memcmp(a.ConstScanline(y), b.ConstScanline(y), 3 * size_t(a.Width())) == 0);
      cleanup();
      init();
    }
  }

  void OneFileIsTheVisiblePicture() {
    QVERIFY(OpenCommandLineFiles(*form, {SamplePath("astronaut.png")}).isEmpty());
    QVERIFY(form->Work()->ExternalLoaded());
    QVERIFY(!form->Work()->InnerLoaded());
    QCOMPARE(form->Work()->ExternalBitmap().Width(), 512);
  }

  void AMissingFileIsANoteAndTheOtherStillLoads() {
    const QStringList notes =
        OpenCommandLineFiles(*form, {SamplePath("no-such.bmp"), SamplePath("chelsea.bmp")});
    QCOMPARE(notes.size(), 1);
    QVERIFY(notes[0].contains("no-such.bmp"));
    QVERIFY(!form->Work()->ExternalLoaded());
    QVERIFY(form->Work()->InnerLoaded());
  }

  void AMissingHiddenFileIsANoteAndNotALoad() {
    const QStringList notes =
        OpenCommandLineFiles(*form, {SamplePath("coffee.bmp"), SamplePath("no-such.png")});
    QCOMPARE(notes, QStringList{SamplePath("no-such.png") + ": no such file"});
    QVERIFY(form->Work()->ExternalLoaded() && !form->Work()->InnerLoaded());
    QVERIFY(dialogs->errors.empty());
  }

  void AnUnreadableVisibleFileIsANote() {
    QTemporaryDir dir;
    const QString text = NotAPicture(dir, "notes.bmp");
    QVERIFY(!text.isEmpty());
    QCOMPARE(OpenCommandLineFiles(*form, {text}), QStringList{text + ": not read as a picture"});
    QVERIFY(!form->Work()->ExternalLoaded());
  }

  void FilesBeyondTheSecondAreIgnoredWithANote() {
    const QStringList notes = OpenCommandLineFiles(
        *form, {SamplePath("coffee.bmp"), SamplePath("chelsea.bmp"), SamplePath("rocket.jpg")});
    QCOMPARE(notes.size(), 1);
    QVERIFY(notes[0].contains("rocket.jpg") && notes[0].contains("ignored"));
    QCOMPARE(form->Work()->InnerBitmap().Width(), 600);
  }
};

QTEST_MAIN(tst_CommandLine)
#include "CommandLineTest.moc"
