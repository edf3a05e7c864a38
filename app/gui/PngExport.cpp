#include "app/gui/PngExport.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QKeySequence>
#include <QToolButton>

#include "app/gui/MainForm.h"
#include "base/Messages.h"
#include "export/SaveByFormat.h"
#include "raster/Bitmap.h"

namespace {

// The dialog's two forms, as name filters.
const QString kFullColour = QStringLiteral("PNG, full colour (*.png)");
const QString kPalette =
    QStringLiteral("PNG, 256-colour halftone palette, reduced as for GIF (*.png)");

}  // namespace

std::optional<TPngExportChoice> RunPngExportDialog(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Export PNG"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({kFullColour, kPalette});
  dialog.setDefaultSuffix(QStringLiteral("png"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return TPngExportChoice{dialog.selectedFiles().front(), dialog.selectedNameFilter() == kPalette};
}

void TMainForm::CreatePngExport() {
  ExportPngAction = new QAction(QStringLiteral("Export PNG..."), this);
  ExportPngAction->setObjectName("ExportPngAction");
  ExportPngAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  ExportPngAction->setToolTip(
      QStringLiteral("Write the result as a PNG file that records the hidden picture's band "
                     "(full colour, or the 256-colour palette) (Ctrl+E)"));
  // Added to the window, so that the shortcut works wherever the focus is.
  addAction(ExportPngAction);
  connect(ExportPngAction, &QAction::triggered, this, &TMainForm::ExportPngClick);
  ExportPngButton->setDefaultAction(ExportPngAction);
}

void TMainForm::ExportPngClick() {
  if (!work_) return;
  // As "Save to File": no result, no dialog and no file.
  if (work_->ResultBitmap().Empty()) {
    dialogs_->ShowException(this, QString::fromUtf8(SNothingToSave));
    return;
  }
  const auto choice = dialogs_->ExportPng(this);
  if (!choice) return;
  TSaveOptions save(TSaveFormat::sfPNG);
  save.indexed = choice->indexed;
  // The band goes into the file only when the hidden cells were mapped into it.
  if (work_->ResultToneMapped()) save.band = TBand{work_->Average(), work_->Contrast()};
  const std::string file = QFile::encodeName(choice->file_name).toStdString();
  Run([&] { SaveByFormat(work_->ResultBitmap(), file, save); });
}
