#include "app/gui/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

std::optional<QString> TQtDialogs::OpenPicture(QWidget* parent, const QStringList& filters) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> TQtDialogs::SaveFile(QWidget* parent) {
  // No filter and no default suffix: the file gets exactly the name that was typed.
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

void TQtDialogs::ShowException(QWidget* parent, const QString& message) {
  ShowExceptionBox(parent, message);
}

void ShowExceptionBox(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Lumiveil Maker"), message, QMessageBox::Ok,
                  parent);
  box.exec();
}
