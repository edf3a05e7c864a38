// gui_screenshot VISIBLE HIDDEN WIDTH OUT.png: opens the window, loads the two pictures
// as a person would (the visible one, its width typed into the x edit, the hidden one),
// synthesizes, and saves a picture of the window as the X server shows it. Run it under
// xvfb-run with the xcb platform (scripts/screenshot.sh).
#include <cstdio>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "app/gui/MainForm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 5) {
    std::fprintf(stderr, "usage: gui_screenshot VISIBLE HIDDEN WIDTH OUT.png\n");
    return 1;
  }
  TMainForm form;
  form.show();
  if (!form.LoadVisibleFile(args[1])) {
    std::fprintf(stderr, "gui_screenshot: cannot load %s\n", qPrintable(args[1]));
    return 1;
  }
  form.XEdit->setText(args[3]);
  form.XEditChange();
  form.LoadHiddenFile(args[2]);
  form.synthesizeButtonClick();
  int status = 1;
  // Let the window map and paint before the X server's picture is taken.
  QTimer::singleShot(1500, &form, [&] {
    const QPixmap shot = form.screen()->grabWindow(form.winId());
    status = shot.save(args[4]) ? 0 : 1;
    form.close();
  });
  app.exec();
  return status;
}
