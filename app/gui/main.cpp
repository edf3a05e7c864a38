// lumiveil-maker: the window. An exception that escapes is shown in a message box, then
// the program returns 0. `--quit-after-start` closes the window as soon as the event loop
// runs (a start-up check for scripts); see app/gui/CommandLine.h for the other arguments.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <QTimer>

#include "app/gui/CommandLine.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "base/Bands.h"
#include "base/Exceptions.h"

int main(int argc, char** argv) {
  if (const auto answer = EarlyAnswer(argc, argv)) {
    std::fputs(answer->toLocal8Bit().constData(), stdout);
    return 0;
  }
  QApplication app(argc, argv);
  // The desktop entry and the icon installed by the package (dist/), so that a desktop
  // shows the window under its menu entry's name and icon.
  QGuiApplication::setDesktopFileName("org.lumiveil.Maker");
  QApplication::setWindowIcon(QIcon::fromTheme("org.lumiveil.Maker"));
  const TWindowArguments arguments = ParseWindowArguments(app.arguments());
  if (!arguments.error.isEmpty()) {
    std::fprintf(stderr, "lumiveil-maker: %s\n", arguments.error.toLocal8Bit().constData());
    return 1;
  }
  try {
    TMainForm form;
    form.show();
    // What a person should know about the start, as the command-line tool notes it: a
    // configuration file that was skipped, a thread setting that was not taken.
    std::vector<std::string> notes = form.SPIs.Notes();
    if (const auto threads = BandThreadsNote()) notes.push_back(*threads);
    for (const std::string& note : notes)
      std::fprintf(stderr, "lumiveil-maker: note: %s\n", note.c_str());
    for (const QString& note : OpenCommandLineFiles(form, arguments.files))
      std::fprintf(stderr, "lumiveil-maker: %s\n", note.toLocal8Bit().constData());
    if (arguments.quit_after_start) QTimer::singleShot(0, &form, &TMainForm::QuirButtonClick);
    app.exec();
  } catch (const Exception& e) {
    ShowExceptionBox(nullptr, QString::fromStdString(e.Message()),
                     QString::fromStdString(e.Sense()));
  } catch (...) {
    ShowExceptionBox(nullptr, QString(), QString());
  }
  return 0;
}
