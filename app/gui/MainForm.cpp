#include "app/gui/MainForm.h"

#include <new>
#include <optional>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "app/gui/GifSave.h"
#include "app/gui/ImageBox.h"
#include "app/gui/PictureWindow.h"
#include "app/gui/RevealWindow.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "export/SaveByFormat.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "susie/Spibmp.h"

namespace {

// File names go to the loader and the writer in the local 8-bit encoding.
std::string LocalName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

// What the status bar's second panel says while a command runs.
constexpr const char kLoading[] = "Loading";
constexpr const char kResizing[] = "Resizing";
constexpr const char kSynthesizing[] = "Building";
constexpr const char kSaving[] = "Saving";

}  // namespace

class TMainForm::TBusy {
 public:
  TBusy(QLabel* panel, const char* what) : panel_(panel), before_(panel->text()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    panel_->setText(what);
    panel_->setToolTip(QString("Running: %1").arg(what));
    // Shown at once: the command runs before the event loop gets the chance to paint.
    panel_->repaint();
  }
  ~TBusy() {
    panel_->setText(before_);
    panel_->setToolTip(QString());
    QApplication::restoreOverrideCursor();
  }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  QLabel* panel_;
  const QString before_;
};

TMainForm::TMainForm(std::unique_ptr<TFormDialogs> dialogs,
                     const TWorkflow::TSlotFactory& slot_factory)
    : dialogs_(dialogs ? std::move(dialogs) : std::make_unique<TQtDialogs>()) {
  // What reading the form does: the controls, then the plug-in registry finishes loading
  // and searches its places.
  CreateControls();
  SPIs.AutoSearch = true;
  SPIs.SearchOptions = {spsSusieDir,  spsAppDir,     spsCurrentDir,
                        spsSystemDir, spsWindowsDir, spsAppPluginDir};
  SPIs.Loaded();

  // The constructor proper: the result slot, then the visible and the hidden slot (the
  // model makes them in this order), then the open dialog's filter; both flags start false.
  work_ = std::make_unique<TWorkflow>(slot_factory ? slot_factory : [] {
    return std::unique_ptr<TBitmap>(std::make_unique<TSPIBitmap>());
  });
  work_->OnShow = [this](TSlot slot) { ShowSlot(slot); };
  work_->OnControlsChanged = [this] { UpdateControls(); };
  open_filter_ = BuildOpenFilter(SPIs);

  CreateRevealWindow();
  CreateActions();
  UpdateControls();
  UpdateActions();
}

TMainForm::~TMainForm() {
  // The slots go before the plug-ins that may have read them.
  work_.reset();
}

void TMainForm::Run(const std::function<void()>& command, const char* busy) {
  // The busy pointer goes before a message box opens.
  try {
    std::optional<TBusy> busy_scope;
    if (busy) busy_scope.emplace(StatusPanel1, busy);
    command();
  } catch (const Exception& e) {
    // The message, then what the failing code learned (a refused file's reason, say); the
    // English sense of the message beneath.
    const std::string shown = e.Detail().empty() ? e.Message() : e.Message() + ": " + e.Detail();
    dialogs_->ShowException(this, QString::fromStdString(shown), QString::fromStdString(e.Sense()));
  } catch (const std::bad_alloc&) {
    dialogs_->ShowException(this, QString::fromUtf8(SOutOfMemory.text),
                            QString::fromUtf8(SOutOfMemory.sense));
  } catch (const std::exception& e) {
    dialogs_->ShowException(this, QString::fromLocal8Bit(e.what()), QString());
  }
  UpdateActions();
}

void TMainForm::RunOnResult(const std::function<void()>& command) {
  // The handlers check their values before they write a cell, so a failure leaves the
  // result as it was and the box shows it as before.
  struct TShowAtEnd {
    TMainForm* form;
    ~TShowAtEnd() {
      form->deferring_result_ = false;
      try {
        if (form->work_) form->Image3->Show(&form->work_->ResultBitmap());
      } catch (const std::exception&) {
        // Only a failed allocation of the box's small picture object; the box stays empty.
      }
    }
  };
  Image3->Release();
  deferring_result_ = true;
  Run([&] {
    // Runs before the message box of a failure can paint anything.
    const TShowAtEnd show_at_end{this};
    command();
  });
}

void TMainForm::ShowSlot(TSlot slot) {
  if (RevealWindow) RevealWindow->SlotShown(slot);
  switch (slot) {
    case TSlot::slExternal:
      Image1->Show(&work_->ExternalBitmap());
      break;
    case TSlot::slInner:
      Image2->Show(&work_->InnerBitmap());
      break;
    case TSlot::slResult:
      if (!deferring_result_) Image3->Show(&work_->ResultBitmap());
      break;
  }
}

void TMainForm::UpdateControls() {
  if (!work_) return;
  updating_controls_ = true;
  const QString x = QString::fromStdString(work_->XEditText());
  const QString y = QString::fromStdString(work_->YEditText());
  // Texts the user is typing stay as they are (the model holds the same text).
  if (XEdit->text() != x) XEdit->setText(x);
  if (YEdit->text() != y) YEdit->setText(y);
  {
    // The sliders and their spin boxes follow the model; their own change signals would
    // run the handlers a second time, so they are blocked while the model's values are set.
    const QSignalBlocker block_average(AverageTrackBar);
    const QSignalBlocker block_contrast(MinMaxTrackBar);
    const QSignalBlocker block_average_spin(AverageSpinBox);
    const QSignalBlocker block_contrast_spin(ContrastSpinBox);
    AverageTrackBar->setValue(work_->Average());
    MinMaxTrackBar->setMaximum(work_->ContrastMax());
    MinMaxTrackBar->setValue(work_->Contrast());
    AverageSpinBox->setValue(work_->Average());
    ContrastSpinBox->setMaximum(work_->ContrastMax());
    ContrastSpinBox->setValue(work_->Contrast());
  }
  MaxLabel->setText(QString::fromStdString(work_->MaxLabel()));
  MaxLabel->adjustSize();
  updating_controls_ = false;
}

void TMainForm::UpdateActions() {
  // The commands run while the window holds its slots; the zoom works on what the boxes
  // show, also after that.
  const bool open = work_ != nullptr;
  for (QAction* command : {LoadVisibleAction, LoadHiddenAction, ResizeAction, SynthesizeAction,
                           SaveAction, ExportAction, QuitAction, GifAction})
    command->setEnabled(open);
}

bool TMainForm::LoadVisibleFile(const QString& file_name) {
  if (!work_) return false;
  const std::string name = LocalName(file_name);
  if (!FileExists(name)) return false;
  const TBusy busy(StatusPanel1, kLoading);
  return work_->LoadExternalImage([&](TBitmap& slot) { slot.LoadFromFile(name); });
}

bool TMainForm::LoadHiddenFile(const std::optional<QString>& file_name) {
  if (!work_) return false;
  TWorkflow::TLoader loader;
  std::string name;
  if (file_name) {
    name = LocalName(*file_name);
    if (FileExists(name)) loader = [&](TBitmap& slot) { slot.LoadFromFile(name); };
  }
  bool loaded = false;
  Run([&] { loaded = work_->LoadInnerImage(loader); }, kLoading);
  return loaded;
}

void TMainForm::ExternalImageButtonClick() {
  if (!work_) return;
  const auto name = dialogs_->OpenPicture(this, NameFilters(open_filter_));
  if (!name) return;
  LoadVisibleFile(*name);
}

void TMainForm::LoadInnerImageClick() {
  if (!work_) return;
  LoadHiddenFile(dialogs_->OpenPicture(this, NameFilters(open_filter_)));
}

void TMainForm::SizeFitButtonClick() {
  if (!work_) return;
  Run([&] { work_->SizeFit(); }, kResizing);
}

void TMainForm::XEditChange() {
  if (!work_) return;
  work_->SetXEditText(XEdit->text().toStdString());
  Run([&] { work_->XEditChange(); }, kResizing);
}

void TMainForm::YEditChange() {
  if (!work_) return;
  work_->SetYEditText(YEdit->text().toStdString());
  Run([&] { work_->YEditChange(); }, kResizing);
}

void TMainForm::synthesizeButtonClick() {
  if (!work_) return;
  Run([&] { work_->Synthesize(); }, kSynthesizing);
}

void TMainForm::AverageTrackBarChange() {
  if (!work_ || updating_controls_) return;
  const int position = AverageTrackBar->value();
  RunOnResult([&] { work_->AverageTrackBarChange(position); });
}

void TMainForm::MinMaxTrackBarChange() {
  if (!work_ || updating_controls_) return;
  const int position = MinMaxTrackBar->value();
  RunOnResult([&] { work_->MinMaxTrackBarChange(position); });
}

void TMainForm::SaveGifButtonClick() {
  if (!work_) return;
  const bool gif = GifCheckBox->isChecked();
  // An empty result has no BMP form: writing it would leave an empty file in place of
  // the one chosen (perhaps an existing picture), so it is refused before asking a name.
  if (!gif && work_->ResultBitmap().Empty()) {
    dialogs_->ShowException(this, QString::fromUtf8(SNothingToSave.text),
                            QString::fromUtf8(SNothingToSave.sense));
    return;
  }
  const auto name = dialogs_->SaveFile(this);
  if (!name) return;
  const std::string file = LocalName(*name);
  Run(
      [&] {
        if (!gif)
          SaveByFormat(work_->ResultBitmap(), file, TSaveFormat::sfBMP);
        else
          SaveResultAsGif(work_->ResultBitmap(), file, GifTarget, *Image4, *Chart);
      },
      kSaving);
}

void TMainForm::QuirButtonClick() {
  close();
}

void TMainForm::FormClose() {
  // The slots are freed (result, visible, hidden); the image boxes keep their copies
  // until the window itself goes.
  work_.reset();
  UpdateActions();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == XEdit || watched == YEdit)) {
    // The handlers run whenever the focus moves from the edit to another control, also
    // when the text did not change; not when the whole window loses the focus (to another
    // program, or to the message box an error of this very handler opens).
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == XEdit)
        XEditChange();
      else
        YEditChange();
    }
  } else if (event->type() == QEvent::Resize && watched == command_bar_) {
    LayOutCommandBar(command_bar_->width());
  }
  return QMainWindow::eventFilter(watched, event);
}
