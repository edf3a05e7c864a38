// gui_screenshot [--window WxH] [--fit | --zoom SCALE] VISIBLE HIDDEN WIDTH OUT.png: opens the
// window (at its start size, or WxH), loads the two pictures as a person would (the visible
// one, its width typed into the x edit unless WIDTH is 0, the hidden one), synthesizes,
// zooms the three linked picture windows (Fit, or a scale such as 0.25 or 4), and saves a
// picture of the window as the X server shows it. With --contrast C the contrast slider is
// set before the synthesis; with --reveal VIEW the Reveal tool window is opened beside the
// picture windows showing that view (even, odd, ..., sheet), and with --target NAME too
// the view after that target of the catalogue. Run it under xvfb-run with the
// xcb platform (scripts/screenshot.sh).
#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include "app/gui/MainForm.h"
#include "app/gui/RevealWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  QSize window;
  bool fit = false;
  double zoom = 1.0;
  int contrast = -1;
  QString reveal, target;
  while (args.size() > 1 && args[0].startsWith("--")) {
    const QString option = args.takeFirst();
    if (option == "--fit") {
      fit = true;
    } else if (option == "--window" && !args.isEmpty()) {
      const QStringList wh = args.takeFirst().split('x');
      if (wh.size() == 2) window = QSize(wh[0].toInt(), wh[1].toInt());
    } else if (option == "--zoom" && !args.isEmpty()) {
      zoom = args.takeFirst().toDouble();
    } else if (option == "--contrast" && !args.isEmpty()) {
      contrast = args.takeFirst().toInt();
    } else if (option == "--reveal" && !args.isEmpty()) {
      reveal = args.takeFirst();
    } else if (option == "--target" && !args.isEmpty()) {
      target = args.takeFirst();
    } else {
      args.clear();
    }
  }
  if (args.size() != 4 || zoom <= 0) {
    std::fprintf(stderr,
                 "usage: gui_screenshot [--window WxH] [--fit | --zoom SCALE] [--contrast C] "
                 "[--reveal VIEW [--target NAME]] VISIBLE HIDDEN WIDTH OUT.png\n");
    return 1;
  }
  TMainForm form;
  if (window.isValid()) {
    // Wholly on the screen, or the X server's picture of it is cut.
    form.resize(window);
    form.move(0, 0);
  }
  form.show();
  if (!form.LoadVisibleFile(args[0])) {
    std::fprintf(stderr, "gui_screenshot: cannot load %s\n", qPrintable(args[0]));
    return 1;
  }
  if (args[2] != "0") {
    form.XEdit->setText(args[2]);
    form.XEditChange();
  }
  form.LoadHiddenFile(args[1]);
  if (contrast >= 0) form.MinMaxTrackBar->setValue(contrast);
  form.synthesizeButtonClick();
  if (!reveal.isEmpty()) {
    form.RevealAction->trigger();
    form.RevealWindow->ViewBox->setCurrentText(reveal);
    if (!target.isEmpty()) form.RevealWindow->TargetBox->setCurrentText(target);
  }
  int status = 1;
  // Let the window map and lay out before zooming, and paint before the X server's picture
  // is taken.
  QTimer::singleShot(500, &form, [&] {
    if (fit)
      form.ZoomFitAction->trigger();
    else if (zoom != 1.0)
      form.ScrollBox3->SetZoom(false, zoom);
  });
  QTimer::singleShot(2000, &form, [&] {
    const QPixmap shot = form.screen()->grabWindow(form.winId());
    status = shot.save(args[3]) ? 0 : 1;
    form.close();
  });
  app.exec();
  return status;
}
