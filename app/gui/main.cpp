// lumiveil-maker: the window. An exception that escapes is shown in a message box, then
// the program returns 0. `--quit-after-start` closes the window as soon as the event loop
// runs (a start-up check for scripts).
#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "base/Exceptions.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  try {
    TMainForm form;
    form.show();
    if (app.arguments().contains("--quit-after-start"))
      QTimer::singleShot(0, &form, &TMainForm::QuirButtonClick);
    app.exec();
  } catch (const Exception& e) {
    ShowExceptionBox(nullptr, QString::fromStdString(e.Message()),
                     QString::fromStdString(e.Sense()));
  } catch (...) {
    ShowExceptionBox(nullptr, QString(), QString());
  }
  return 0;
}
