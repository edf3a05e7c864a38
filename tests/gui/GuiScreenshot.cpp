// gui_screenshot VISIBLE HIDDEN WIDTH OUT.png [VIEW]: opens the window, loads the two
// pictures as a person would (the visible one, its width typed into the x edit, the hidden
// one), synthesizes, and saves a picture of the window as the X server shows it. With VIEW
// (even, odd, ..., sheet) the Reveal tool window is opened beside the picture windows
// showing that view. Run it under xvfb-run with the xcb platform (scripts/screenshot.sh).
#include <cstdio>

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include <QComboBox>

#include "app/gui/MainForm.h"
#include "app/gui/RevealWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 5 && args.size() != 6) {
    std::fprintf(stderr, "usage: gui_screenshot VISIBLE HIDDEN WIDTH OUT.png [VIEW]\n");
    return 1;
  }
  TMainForm form;
  // Room for the Reveal window in the row of picture windows.
  if (args.size() == 6) {
    form.resize(1180, 560);
    form.move(0, 0);
  }
  form.show();
  if (!form.LoadVisibleFile(args[1])) {
    std::fprintf(stderr, "gui_screenshot: cannot load %s\n", qPrintable(args[1]));
    return 1;
  }
  form.XEdit->setText(args[3]);
  form.XEditChange();
  form.LoadHiddenFile(args[2]);
  // With the Reveal window, a narrower band than the start's, as a person would hide a
  // picture.
  if (args.size() == 6) form.MinMaxTrackBar->setValue(40);
  form.synthesizeButtonClick();
  if (args.size() == 6) {
    form.RevealAction->trigger();
    form.RevealWindow->ViewBox->setCurrentText(args[5]);
  }
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
