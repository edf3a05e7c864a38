#include "app/gui/PngExport.h"

#include <QFile>
#include <QFileDialog>

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

void SetUpPngExportDialog(QFileDialog& dialog) {
  dialog.setWindowTitle(QStringLiteral("Export PNG"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({kFullColour, kPalette});
  dialog.setDefaultSuffix(QStringLiteral("png"));
}

bool PaletteChosen(const QFileDialog& dialog) {
  return dialog.selectedNameFilter() == kPalette;
}

void TMainForm::ExportPngClick() {
  if (!work_) return;
  // As "Save to File": no result, no dialog and no file.
  if (work_->ResultBitmap().Empty()) {
    dialogs_->ShowException(this, QString::fromUtf8(SNothingToSave.text),
                            QString::fromUtf8(SNothingToSave.sense));
    return;
  }
  const auto choice = dialogs_->ExportPng(this);
  if (!choice) return;
  TSaveOptions save(TSaveFormat::sfPNG);
  save.indexed = choice->indexed;
  // The band goes into the file only when the hidden cells were mapped into it.
  if (work_->ResultToneMapped()) save.band = TBand{work_->Average(), work_->Contrast()};
  const std::string file = QFile::encodeName(choice->file_name).toStdString();
  Run([&] { SaveByFormat(work_->ResultBitmap(), file, save); }, "Saving");
}
