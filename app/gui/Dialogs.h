// The window's dialogs behind a small interface: the open and save file dialogs and the
// exception display. Tests replace them with injected answers.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "app/gui/PngExport.h"

class QWidget;

class TFormDialogs {
 public:
  virtual ~TFormDialogs() = default;
  // The open dialog with the given name filters: the chosen name, or nothing on cancel.
  virtual std::optional<QString> OpenPicture(QWidget* parent, const QStringList& filters) = 0;
  // The save dialog (no filter, no default extension): the name as typed, or nothing.
  virtual std::optional<QString> SaveFile(QWidget* parent) = 0;
  // The "Export PNG..." dialog (PngExport.h): the name and the form, or nothing.
  virtual std::optional<TPngExportChoice> ExportPng(QWidget* parent) {
    return RunPngExportDialog(parent);
  }
  // The application's exception display: a message box with the exception's message.
  virtual void ShowException(QWidget* parent, const QString& message) = 0;
};

// The real dialogs.
class TQtDialogs : public TFormDialogs {
 public:
  std::optional<QString> OpenPicture(QWidget* parent, const QStringList& filters) override;
  std::optional<QString> SaveFile(QWidget* parent) override;
  void ShowException(QWidget* parent, const QString& message) override;
};

// The exception display without a window (used by the program entry).
void ShowExceptionBox(QWidget* parent, const QString& message);
