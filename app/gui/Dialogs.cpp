#include "app/gui/Dialogs.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

namespace {

// Wide enough for a long file name beside the size, type and date columns.
constexpr QSize kFileDialogSize(960, 600);

// The toolkit's file dialog keeps its history, column widths and last folder in a settings
// file of the user's (QtProject.conf) and writes it whenever a dialog closes; the program
// writes no file but the one the user saves. Pointing the user's settings at a place that
// cannot hold a file (a path below /dev/null) leaves the dialog nothing to read or write.
// The program itself keeps no settings.
void KeepDialogsFromWritingSettings() {
  static const bool done = [] {
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null/none"));
    return true;
  }();
  (void)done;
}

}  // namespace

void SizeFileDialog(QFileDialog& dialog, QWidget* parent) {
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  QSize size = kFileDialogSize;
  if (screen != nullptr) size = size.boundedTo(screen->availableGeometry().size() * 0.9);
  dialog.resize(size);
}

std::optional<QString> TQtDialogs::Run(QFileDialog& dialog) {
  SizeFileDialog(dialog, dialog.parentWidget());
  // This program's own dialog, not the desktop's: it opens in the folder it is given and
  // tells which folder it was left in, and it reads and writes no settings of its own.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  if (!directory_.isEmpty()) dialog.setDirectory(directory_);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!accepted || dialog.selectedFiles().isEmpty()) {
    directory_ = dialog.directory().absolutePath();
    return std::nullopt;
  }
  // The folder of the file chosen, also when its name was typed with a path of its own.
  const QString chosen = dialog.selectedFiles().front();
  directory_ = QFileInfo(chosen).absolutePath();
  return chosen;
}

std::optional<QString> TQtDialogs::OpenPicture(QWidget* parent, const QString& title,
                                               const QStringList& filters) {
  KeepDialogsFromWritingSettings();
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  return Run(dialog);
}

std::optional<QString> TQtDialogs::SaveFile(QWidget* parent, const QString& title) {
  // No filter and no default suffix: the file gets exactly the name that was typed.
  KeepDialogsFromWritingSettings();
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return Run(dialog);
}

std::optional<TExportChoice> TQtDialogs::Export(QWidget* parent) {
  KeepDialogsFromWritingSettings();
  QFileDialog dialog(parent);
  SetUpExportDialog(dialog);
  const auto name = Run(dialog);
  if (!name) return std::nullopt;
  const TExportForm form = ChosenExportForm(dialog);
  return TExportChoice{*name, form.indexed, form.format};
}

void TQtDialogs::ShowException(QWidget* parent, const QString& message, const QString& sense) {
  ShowExceptionBox(parent, message, sense);
}

std::unique_ptr<QMessageBox> ExceptionBox(QWidget* parent, const QString& message,
                                          const QString& sense) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Lumiveil Maker"),
                                           message, QMessageBox::Ok, parent);
  if (!sense.isEmpty()) box->setInformativeText(sense);
  return box;
}

void ShowExceptionBox(QWidget* parent, const QString& message, const QString& sense) {
  ExceptionBox(parent, message, sense)->exec();
}
