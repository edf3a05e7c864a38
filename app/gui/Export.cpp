#include "app/gui/Export.h"

#include <QFile>
#include <QFileDialog>

#include "app/gui/MainForm.h"
#include "base/Messages.h"
#include "base/NamedRows.h"
#include "raster/Bitmap.h"

namespace {

bool RecordsBand(const TOutputFormat& format) {
  return format.records_band;
}

// "*.png", or "*.jpg *.jpeg" for a format of several endings.
QString Patterns(const TOutputFormat& format) {
  QStringList patterns;
  for (const std::string& ending : EndingsOf(format))
    patterns << "*" + QString::fromStdString(ending);
  return patterns.join(' ');
}

// The format's first ending without its dot: what a name without an extension gets.
QString Suffix(TSaveFormat format) {
  const std::vector<std::string> endings = EndingsOf(OutputFormatOf(format));
  return endings.empty() ? QString() : QString::fromStdString(endings.front()).mid(1);
}

}  // namespace

std::vector<TExportForm> ExportForms() {
  std::vector<TExportForm> forms;
  for (const TOutputFormat& format : OutputFormats()) {
    if (!RecordsBand(format)) continue;
    const QString name = format.name, patterns = Patterns(format);
    forms.push_back({QString("%1, full colour (%2)").arg(name, patterns), format.value, false});
    if (format.palette_form)
      forms.push_back(
          {QString("%1, 256-colour halftone palette, reduced as for GIF (%2)").arg(name, patterns),
           format.value, true});
  }
  return forms;
}

QString ExportCaption() {
  int count = 0;
  for (const TOutputFormat& format : OutputFormats()) count += RecordsBand(format) ? 1 : 0;
  if (count != 1) return QStringLiteral("Export...");
  return QString("Export %1...").arg(QString::fromStdString(NamesOf(OutputFormats(), RecordsBand)));
}

QString ExportToolTip() {
  bool palette = false;
  for (const TExportForm& form : ExportForms()) palette = palette || form.indexed;
  return QString("Write the combined picture as a %1 file that records its band: in full colour%2")
      .arg(QString::fromStdString(NamesOf(OutputFormats(), RecordsBand)),
           palette ? ", or reduced to the 256-colour halftone palette as for GIF" : "");
}

void SetUpExportDialog(QFileDialog& dialog) {
  QString title = ExportCaption();
  title.chop(3);  // the dots of the caption: the dialog is open
  dialog.setWindowTitle(title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const TExportForm& form : ExportForms()) filters << form.filter;
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(Suffix(ExportForms().front().format));
  // The name gets the ending of the format chosen.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog] { dialog.setDefaultSuffix(Suffix(ChosenExportForm(dialog).format)); });
}

TExportForm ChosenExportForm(const QFileDialog& dialog) {
  const std::vector<TExportForm> forms = ExportForms();
  for (const TExportForm& form : forms)
    if (form.filter == dialog.selectedNameFilter()) return form;
  return forms.front();
}

void TMainForm::ExportClick() {
  if (!work_ || working_) return;
  // As "Save to File": no result, no dialog and no file.
  if (work_->ResultBitmap().Empty()) {
    dialogs_->ShowException(this, QString::fromUtf8(SNothingToSave.text),
                            QString::fromUtf8(SNothingToSave.sense));
    return;
  }
  const auto choice = dialogs_->Export(this);
  if (!choice) return;
  TSaveOptions save(choice->format);
  save.indexed = choice->indexed;
  // The band goes into the file only when the hidden cells were mapped into it.
  if (work_->ResultToneMapped()) save.band = TToneBand{work_->Average(), work_->Contrast()};
  const std::string file = QFile::encodeName(choice->file_name).toStdString();
  bool saved = false;
  Run(
      [&] {
        RunAside([&] { SaveByFormat(work_->ResultBitmap(), file, save); });
        saved = true;
      },
      "Saving...",
      [&] {
        return saved ? SavedNote(choice->file_name, choice->format, choice->indexed) : QString();
      });
}
