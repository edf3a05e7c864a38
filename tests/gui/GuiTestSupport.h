// Helpers for the window's tests: dialogs that answer from a script and record what the
// exception display was asked to show, sample paths, and pixel reads.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>

#include "app/gui/Dialogs.h"
#include "app/gui/MainForm.h"
#include "app/gui/PictureWindow.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

// The answer of a cancelled dialog.
inline const QString kCancel;

class TScriptedDialogs : public TFormDialogs {
 public:
  // Answers, taken in order; a null string (kCancel) or no answer left is a cancel.
  std::deque<QString> open_answers;
  std::deque<QString> save_answers;
  std::deque<TExportChoice> export_answers;  // a null file name is a cancel
  // What happened.
  std::vector<QStringList> open_filters;
  std::vector<QString> titles;  // every file dialog's title, in order
  int save_dialogs = 0;
  int export_dialogs = 0;
  std::vector<QString> errors;
  std::vector<QString> senses;       // the English sense shown with each error (often empty)
  std::vector<bool> busy_at_errors;  // whether the busy pointer was still up at each error

  std::optional<QString> OpenPicture(QWidget*, const QString& title,
                                     const QStringList& filters) override {
    titles.push_back(title);
    open_filters.push_back(filters);
    return Take(open_answers);
  }
  std::optional<QString> SaveFile(QWidget*, const QString& title) override {
    titles.push_back(title);
    ++save_dialogs;
    return Take(save_answers);
  }
  std::optional<TExportChoice> Export(QWidget*) override {
    ++export_dialogs;
    if (export_answers.empty()) return std::nullopt;
    const TExportChoice answer = export_answers.front();
    export_answers.pop_front();
    if (answer.file_name.isNull()) return std::nullopt;
    return answer;
  }
  void ShowException(QWidget*, const QString& message, const QString& sense) override {
    errors.push_back(message);
    senses.push_back(sense);
    busy_at_errors.push_back(QApplication::overrideCursor() != nullptr);
  }

 private:
  static std::optional<QString> Take(std::deque<QString>& answers) {
    if (answers.empty()) return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isNull()) return std::nullopt;
    return answer;
  }
};

// Makes `form` a new main window answering from scripted dialogs (`dialogs` points at
// them), shown and active as a person would have it.
inline void ShowScriptedForm(std::unique_ptr<TMainForm>& form, TScriptedDialogs*& dialogs,
                             const TWorkflow::TSlotFactory& slot_factory = nullptr) {
  form.reset();
  auto d = std::make_unique<TScriptedDialogs>();
  dialogs = d.get();
  form = std::make_unique<TMainForm>(std::move(d), slot_factory);
  form->show();
  form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

// Gives `form` the size its form resource gives it, 623 x 388, in which the bundled pictures
// are larger than each picture window (the window starts larger on a large screen).
inline void UseFormSize(TMainForm& form) {
  form.resize(623, 388);
  QTRY_VERIFY(form.ScrollBox1->viewport()->height() < 300);
}

inline QString SamplePath(const char* name) {
  return QString(LUMIVEIL_SAMPLES) + "/" + name;
}

// The BMP file image of a raster, as its own writer makes it.
inline QByteArray BmpBytes(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return QByteArray(reinterpret_cast<const char*>(stream.Memory()),
                    static_cast<qsizetype>(stream.Size()));
}

// Blue, green, red of pixel (x, y) of a 24-bit raster, read without changing it.
inline std::array<uint8_t, 3> Bgr(const TBitmap& bitmap, int x, int y) {
  const uint8_t* p = bitmap.ConstScanline(y) + 3 * x;
  return {p[0], p[1], p[2]};
}
