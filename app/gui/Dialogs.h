// The window's dialogs behind a small interface: the open, save and export file
// dialogs and the exception display. Tests replace them with injected answers.
#pragma once

#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

#include "app/gui/Export.h"

class QFileDialog;
class QMessageBox;
class QWidget;

class TFormDialogs {
 public:
  virtual ~TFormDialogs() = default;
  // The open dialog, titled after its command, with the given name filters: the chosen
  // name, or nothing on cancel.
  virtual std::optional<QString> OpenPicture(QWidget* parent, const QString& title,
                                             const QStringList& filters) = 0;
  // The save dialog (no filter, no default extension), titled after its command: the name
  // as typed, or nothing.
  virtual std::optional<QString> SaveFile(QWidget* parent, const QString& title) = 0;
  // The export dialog (Export.h): the name and the form, or nothing.
  virtual std::optional<TExportChoice> Export(QWidget* parent) = 0;
  // The application's exception display: a message box with the exception's message and,
  // for a Japanese message, its English sense beneath it (`sense` empty: none).
  virtual void ShowException(QWidget* parent, const QString& message, const QString& sense) = 0;
};

// The real dialogs. Every file dialog opens in the folder of the file last chosen in any
// of them, or where the last one was left when it was cancelled (for the life of the
// window; nothing is stored).
class TQtDialogs : public TFormDialogs {
 public:
  std::optional<QString> OpenPicture(QWidget* parent, const QString& title,
                                     const QStringList& filters) override;
  std::optional<QString> SaveFile(QWidget* parent, const QString& title) override;
  std::optional<TExportChoice> Export(QWidget* parent) override;
  void ShowException(QWidget* parent, const QString& message, const QString& sense) override;
  // The folder the next dialog opens in (empty: the current folder).
  const QString& Directory() const { return directory_; }

 private:
  std::optional<QString> Run(QFileDialog& dialog);
  QString directory_;
};

// A file dialog's size at opening: large enough for the name, size, type and date columns
// to be read, within the screen the parent is on.
void SizeFileDialog(QFileDialog& dialog, QWidget* parent);

// The exception display's box: the message as its text, the sense as its informative text.
std::unique_ptr<QMessageBox> ExceptionBox(QWidget* parent, const QString& message,
                                          const QString& sense);
// Shows that box and waits for it to be closed (also without a window: the program entry).
void ShowExceptionBox(QWidget* parent, const QString& message, const QString& sense);
