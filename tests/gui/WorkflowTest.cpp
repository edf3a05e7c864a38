// The whole workflow as a person runs it in the window (buttons, typing, slider keys and
// drags, dialogs answered by script), compared byte for byte with what the command-line
// tool writes for the same steps.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"

class tst_Workflow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TMainForm> form;
  TScriptedDialogs* dialogs = nullptr;
  QTemporaryDir dir;

  // Runs `lumiveil synth` and returns the file it wrote.
  QByteArray Synth(const QStringList& arguments) {
    const QString out = dir.filePath("reference");
    QFile::remove(out);
    QProcess tool;
    tool.start(QString(LUMIVEIL_BIN_DIR) + "/lumiveil",
               QStringList{"synth"} + arguments + QStringList{"-o", out});
    if (!tool.waitForFinished(120000) || tool.exitCode() != 0) {
      qWarning() << "lumiveil synth failed:" << tool.readAllStandardError();
      return {};
    }
    QFile file(out);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Clicks "Save to File" and answers the dialog with `name`; returns what was written.
  QByteArray Save(const QString& name) {
    dialogs->save_answers.push_back(dir.filePath(name));
    QTest::mouseClick(form->SaveGifButton, Qt::LeftButton);
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Types into an edit and leaves it by clicking a button that takes the focus.
  void Type(QLineEdit* edit, const QString& text, QWidget* next) {
    QTest::mouseClick(edit, Qt::LeftButton);
    QVERIFY(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, text);
    next->setFocus(Qt::MouseFocusReason);
  }

 private slots:
  void init() {
    QVERIFY(dir.isValid());
    ShowScriptedForm(form, dialogs);
  }
  void cleanup() { form.reset(); }

  void typedWidthSlidersSynthesizeAndSaveMatchTheTool() {
    dialogs->open_answers.push_back(SamplePath("coffee.bmp"));
    QTest::mouseClick(form->ExternalImageButton, Qt::LeftButton);
    Type(form->XEdit, "300", form->synthesizeButton);
    QCOMPARE(form->YEdit->text(), QString("200"));
    dialogs->open_answers.push_back(SamplePath("rocket.jpg"));
    QTest::mouseClick(form->LoadInnerImage, Qt::LeftButton);

    // The average by a drag past the target and back, then three key presses; the contrast by
    // a drag and a key press.
    for (int a = 128; a >= 95; --a) form->AverageTrackBar->setValue(a);
    for (int a = 95; a <= 103; ++a) form->AverageTrackBar->setValue(a);
    form->AverageTrackBar->setFocus(Qt::MouseFocusReason);
    for (int i = 0; i < 3; ++i) QTest::keyClick(form->AverageTrackBar, Qt::Key_Left);
    QCOMPARE(form->AverageTrackBar->value(), 100);
    form->MinMaxTrackBar->setValue(61);
    form->MinMaxTrackBar->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(form->MinMaxTrackBar, Qt::Key_Left);
    QCOMPARE(form->Work()->Contrast(), 60);

    QTest::mouseClick(form->synthesizeButton, Qt::LeftButton);
    const QByteArray saved = Save("combined.bmp");
    QVERIFY(dialogs->errors.empty());
    QVERIFY(!saved.isEmpty());
    const QByteArray reference = Synth({SamplePath("coffee.bmp"), SamplePath("rocket.jpg"),
                                        "--width", "300", "--average", "100", "--contrast", "60"});
    QVERIFY(!reference.isEmpty());
    QVERIFY(saved == reference);
    // The result box shows the saved picture: 300 x 200.
    QCOMPARE(form->Image3->PictureSize(), QSize(300, 200));

    // "GIF" ticked: the same result through the chart panel, as the tool writes it.
    QTest::mouseClick(form->GifCheckBox, Qt::LeftButton);
    QVERIFY(form->GifCheckBox->isChecked());
    const QByteArray gif = Save("combined.gif");
    QVERIFY(dialogs->errors.empty());
    QVERIFY(gif.startsWith("GIF87a"));
    const QByteArray gif_reference =
        Synth({SamplePath("coffee.bmp"), SamplePath("rocket.jpg"), "--width", "300", "--average",
               "100", "--contrast", "60", "--gif"});
    QVERIFY(!gif_reference.isEmpty());
    QVERIFY(gif == gif_reference);
  }

  void previewAfterTypedHeightMatchesTheTool() {
    // The preview, saved before any synthesis, after the height was typed; the sliders
    // moved first do not touch the preview composed by the hidden load.
    dialogs->open_answers.push_back(SamplePath("astronaut.png"));
    QTest::mouseClick(form->ExternalImageButton, Qt::LeftButton);
    form->AverageTrackBar->setValue(40);
    Type(form->YEdit, "333", form->ResizeButton);
    QCOMPARE(form->XEdit->text(), QString("333"));
    dialogs->open_answers.push_back(SamplePath("chelsea.bmp"));
    QTest::mouseClick(form->LoadInnerImage, Qt::LeftButton);
    const QByteArray saved = Save("preview");
    QVERIFY(dialogs->errors.empty());
    const QByteArray reference = Synth({SamplePath("astronaut.png"), SamplePath("chelsea.bmp"),
                                        "--height", "333", "--average", "40", "--preview"});
    QVERIFY(!reference.isEmpty());
    QVERIFY(saved == reference);
  }
};

QTEST_MAIN(tst_Workflow)
#include "WorkflowTest.moc"
