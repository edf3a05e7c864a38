#include "app/gui/MainForm.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
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
#include "reveal/Scores.h"
#include "susie/Spibmp.h"
#include "targets/AutoBand.h"
#include "targets/Catalogue.h"

namespace {

// File names go to the loader and the writer in the local 8-bit encoding.
std::string LocalName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

// What the status bar's second panel says while a command runs.
constexpr const char kLoading[] = "Loading...";
constexpr const char kResizing[] = "Resizing...";
constexpr const char kSynthesizing[] = "Building...";
constexpr const char kSaving[] = "Saving...";

}  // namespace

void TStatusPanel::Say(const QString& text) {
  said_ = text;
  setToolTip(text);
  ShowElided();
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  ShowElided();
}

void TStatusPanel::ShowElided() {
  // A file's name is told whole at both ends (its folder and its reason), shortened in
  // the middle.
  const int room = contentsRect().width() - 2 * margin() - 4;
  setText(fontMetrics().elidedText(said_, Qt::ElideMiddle, std::max(room, 0)));
}

class TMainForm::TBusy {
 public:
  TBusy(TStatusPanel* panel, const char* what) : panel_(panel) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    panel_->Say(what);
    // Shown at once: the command runs before the event loop gets the chance to paint.
    panel_->repaint();
  }
  ~TBusy() {
    panel_->Say(QString());
    QApplication::restoreOverrideCursor();
  }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  TStatusPanel* panel_;
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
  slot_factory_ = slot_factory ? slot_factory : [] {
    return std::unique_ptr<TBitmap>(std::make_unique<TSPIBitmap>());
  };
  work_ = std::make_unique<TWorkflow>(slot_factory_);
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

void TMainForm::Run(const std::function<void()>& command, const char* busy,
                    const std::function<QString()>& note) {
  // The busy pointer goes before a message box opens, and the note comes before it.
  const auto say_note = [&] {
    if (note) StatusPanel1->Say(note());
  };
  try {
    {
      std::optional<TBusy> busy_scope;
      if (busy) busy_scope.emplace(StatusPanel1, busy);
      command();
    }
    say_note();
  } catch (const Exception& e) {
    say_note();
    // The message, then what the failing code learned (a refused file's reason, say); the
    // English sense of the message beneath.
    const std::string shown = e.Detail().empty() ? e.Message() : e.Message() + ": " + e.Detail();
    dialogs_->ShowException(this, QString::fromStdString(shown), QString::fromStdString(e.Sense()));
  } catch (const std::bad_alloc&) {
    say_note();
    dialogs_->ShowException(this, QString::fromUtf8(SOutOfMemory.text),
                            QString::fromUtf8(SOutOfMemory.sense));
  } catch (const std::exception& e) {
    say_note();
    dialogs_->ShowException(this, QString::fromLocal8Bit(e.what()), QString());
  }
  UpdateActions();
  // A close asked for while work ran aside goes ahead once the command has ended, its
  // message (if any) read.
  if (close_after_work_ && !working_)
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TMainForm::RunAside(const std::function<void()>& work) {
  SetWorking(true);
  std::exception_ptr error;
  {
    // The event loop runs meanwhile, so the window is drawn and its zoom and scroll work;
    // the worker ends it.
    QEventLoop loop;
    std::thread worker([&] {
      try {
        work();
      } catch (...) {
        error = std::current_exception();
      }
      QMetaObject::invokeMethod(
          &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  }
  SetWorking(false);
  if (error) std::rethrow_exception(error);
}

void TMainForm::SetWorking(bool working) {
  // The focus leaves the command bar while it is disabled, and comes back afterwards.
  if (working) focus_before_work_ = QApplication::focusWidget();
  QWidget* focus = focus_before_work_;
  working_ = working;
  command_bar_->setEnabled(!working);
  ToolWindow972->SetAcceptsFiles(!working);
  ToolWindow973->SetAcceptsFiles(!working);
  UpdateActions();
  if (!working && focus && focus->isEnabled() && focus->window() == window())
    focus->setFocus(Qt::OtherFocusReason);
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
  // The commands run while the window holds its slots and no work runs aside; the zoom
  // works on what the boxes show, also after that.
  const bool open = work_ != nullptr && !working_;
  for (QAction* command : {LoadVisibleAction, LoadHiddenAction, ResizeAction, SynthesizeAction,
                           SaveAction, AutoAction, ExportAction, QuitAction, GifAction})
    command->setEnabled(open);
}

bool TMainForm::IsWindowShortcut(const QKeyEvent& key) const {
  const QKeySequence pressed(
      QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
  for (const QAction* action : actions())
    if (action->isEnabled() && action->shortcuts().contains(pressed)) return true;
  return false;
}

QString TMainForm::NotLoadedNote(const char* which, const QString& file_name,
                                 const std::string& reason) const {
  return QString("The %1 picture was not loaded: %2: %3")
      .arg(which, QFileInfo(file_name).fileName(), QString::fromStdString(reason));
}

bool TMainForm::LoadVisibleFile(const QString& file_name) {
  if (!work_ || working_) return false;
  const std::string name = LocalName(file_name);
  if (!FileExists(name)) {
    StatusPanel1->Say(NotLoadedNote("visible", file_name, "no such file"));
    return false;
  }
  std::string failure;
  bool loaded = false;
  {
    const TBusy busy(StatusPanel1, kLoading);
    loaded = work_->LoadExternalImage([&](TBitmap& slot) { slot.LoadFromFile(name); }, &failure);
  }
  // Silent as the form has it (no message box); the status bar tells what went wrong.
  if (!loaded) StatusPanel1->Say(NotLoadedNote("visible", file_name, failure));
  return loaded;
}

bool TMainForm::LoadHiddenFile(const std::optional<QString>& file_name,
                               const TWorkflow::TLoader& preread) {
  if (!work_ || working_) return false;
  TWorkflow::TLoader loader;
  std::string name, failure;
  if (file_name) {
    name = LocalName(*file_name);
    if (!FileExists(name))
      failure = "no such file";
    else if (preread)
      loader = preread;
    else
      loader = [&](TBitmap& slot) { slot.LoadFromFile(name); };
  }
  bool loaded = false;
  Run([&] { loaded = work_->LoadInnerImage(loader, &failure); }, kLoading,
      [&] {
        return file_name && !loaded ? NotLoadedNote("hidden", *file_name, failure) : QString();
      });
  return loaded;
}

std::pair<bool, bool> TMainForm::LoadStartFiles(const QString& visible, const QString& hidden) {
  if (!work_ || working_) return {false, false};
  // Two large pictures take two decoders' time: the hidden file is decoded on a second
  // core meanwhile, and handed to its slot (or its failure raised there) afterwards.
  const std::string name = LocalName(hidden);
  // A picture of the slots' own kind, which reads through the plug-ins.
  std::shared_ptr<TBitmap> read = slot_factory_();
  std::future<void> reading;
  if (FileExists(name)) {
    try {
      reading = std::async(std::launch::async, [read, name] { read->LoadFromFile(name); });
    } catch (const std::system_error&) {
      // No second thread to be had: the hidden file is read after the visible one.
    }
  }
  const bool visible_loaded = LoadVisibleFile(visible);
  TWorkflow::TLoader preread;
  if (reading.valid())
    preread = [&](TBitmap& slot) {
      reading.get();
      slot.Assign(read.get());
    };
  const bool hidden_loaded = LoadHiddenFile(hidden, preread);
  if (reading.valid()) reading.wait();  // not taken (the file went): its reading ends here
  return {visible_loaded, hidden_loaded};
}

void TMainForm::ExternalImageButtonClick() {
  if (!work_ || working_) return;
  const auto name =
      dialogs_->OpenPicture(this, LoadVisibleAction->text(), NameFilters(open_filter_));
  if (!name) return;
  LoadVisibleFile(*name);
}

void TMainForm::LoadInnerImageClick() {
  if (!work_ || working_) return;
  LoadHiddenFile(dialogs_->OpenPicture(this, LoadHiddenAction->text(), NameFilters(open_filter_)));
}

void TMainForm::SizeFitButtonClick() {
  if (!work_) return;
  Run([&] { work_->SizeFit(); }, kResizing);
}

bool TMainForm::NothingToScale(const QLineEdit* edit) {
  if (!work_->ExternalBitmap().Empty()) return false;
  if (edit->isModified())
    StatusPanel1->Say(
        "Nothing to scale yet: load a visible picture first (the x,y edits then "
        "show its size)");
  return true;
}

void TMainForm::XEditChange() {
  if (!work_ || working_) return;
  work_->SetXEditText(XEdit->text().toStdString());
  if (NothingToScale(XEdit)) return;
  Run([&] { work_->XEditChange(); }, kResizing);
}

void TMainForm::YEditChange() {
  if (!work_ || working_) return;
  work_->SetYEditText(YEdit->text().toStdString());
  if (NothingToScale(YEdit)) return;
  Run([&] { work_->YEditChange(); }, kResizing);
}

void TMainForm::synthesizeButtonClick() {
  if (!work_) return;
  Run([&] { work_->Synthesize(); }, kSynthesizing);
}

void TMainForm::AverageTrackBarChange() {
  if (!work_ || updating_controls_) return;
  const int position = AverageTrackBar->value();
  if (RevealWindow) RevealWindow->SliderMoved();
  RunOnResult([&] { work_->AverageTrackBarChange(position); });
}

void TMainForm::MinMaxTrackBarChange() {
  if (!work_ || updating_controls_) return;
  const int position = MinMaxTrackBar->value();
  if (RevealWindow) RevealWindow->SliderMoved();
  RunOnResult([&] { work_->MinMaxTrackBarChange(position); });
}

void TMainForm::AutoButtonClick() {
  if (!work_) return;
  if (!work_->ExternalLoaded() || !work_->InnerLoaded()) {
    StatusPanel1->Say("Auto needs both pictures: load a visible and a hidden picture first");
    return;
  }
  const TTarget* target = RevealWindow ? RevealWindow->ChosenTarget() : nullptr;
  std::optional<TChosenBand> chosen;
  Run(
      [&] {
        // The hidden picture as Synthesize would fit it: the band is chosen for that pair.
        const TBitmap& visible = work_->ExternalBitmap();
        TBitmap hidden;
        FitToResult(visible, work_->InnerBitmap(), hidden);
        std::optional<TNamedTarget> named;
        if (target) named = ResolveTarget(target->name);
        TBandGoal goal;
        if (named) goal.pipeline = &named->recipe.full;
        RunAside([&] { chosen = ChooseBand(visible, hidden, goal); });
      },
      "Choosing the band...");
  if (!chosen) return;
  // The sliders moved as a person moves them: the average first (which sets the contrast's
  // limit), then the contrast; their handlers and number boxes follow.
  AverageTrackBar->setValue(chosen->band.average);
  MinMaxTrackBar->setValue(chosen->band.contrast);
  // The scores as the Reveal window shows them.
  const auto decibels = [](const std::optional<double>& psnr) {
    if (!psnr) return QString("none");
    return std::isinf(*psnr) ? QString("inf") : QString::number(*psnr, 'f', 2) + " dB";
  };
  StatusPanel1->Say(QString("Auto: average %1, contrast %2: hidden picture %3 %4, "
                            "normal view %5 (at least %6)")
                        .arg(chosen->band.average)
                        .arg(chosen->band.contrast)
                        .arg(decibels(chosen->hidden_psnr))
                        .arg(target ? QString("after ") + target->name : QString("as saved"))
                        .arg(decibels(chosen->visible_psnr))
                        .arg(decibels(kDefaultMinVisiblePsnr)));
}

QString TMainForm::SavedNote(const QString& file_name, TSaveFormat written, bool indexed) const {
  const QFileInfo file(file_name);
  const QString format = OutputFormatOf(written).name;
  QString note = QString("Saved %1: %2").arg(file.fileName(), format);
  if (indexed) note += ", 256-colour halftone palette";
  if (file.isFile())
    note += QString(", %1 bytes").arg(QLocale(QLocale::English).toString(file.size()));
  // A name whose ending asks for another format: the file is what the command writes,
  // under exactly that name, which a person may not expect.
  const TSaveFormat asked = FormatForName(LocalName(file.fileName()), true);
  if (asked == written || file.suffix().isEmpty()) return note;
  note += QString(". The name ends in .%1, but the file is a %2 file").arg(file.suffix(), format);
  if (written == TSaveFormat::sfBMP && asked == TSaveFormat::sfGIF)
    note += QString(" because GIF is not ticked (%1 ticks it)")
                .arg(GifAction->shortcut().toString(QKeySequence::NativeText));
  else if (written == TSaveFormat::sfGIF)
    note += " because GIF is ticked";
  else if (written == TSaveFormat::sfBMP && asked == TSaveFormat::sfPNG)
    note += QString(": %1 writes PNG").arg(ExportAction->text());
  return note;
}

void TMainForm::SaveGifButtonClick() {
  if (!work_ || working_) return;
  const bool gif = GifCheckBox->isChecked();
  // An empty result has no BMP form: writing it would leave an empty file in place of
  // the one chosen (perhaps an existing picture), so it is refused before asking a name.
  if (!gif && work_->ResultBitmap().Empty()) {
    dialogs_->ShowException(this, QString::fromUtf8(SNothingToSave.text),
                            QString::fromUtf8(SNothingToSave.sense));
    return;
  }
  const auto name = dialogs_->SaveFile(this, SaveAction->text());
  if (!name) return;
  const std::string file = LocalName(*name);
  const TSaveFormat format = gif ? TSaveFormat::sfGIF : TSaveFormat::sfBMP;
  TSaveOptions save(format);
  if (gif) save.gif_target = &GifTarget;
  bool saved = false;
  Run(
      [&] {
        // The invisible image box and chart show what the GIF save left in its target, also
        // after a failure.
        struct TShowTarget {
          TMainForm* form;
          bool gif;
          ~TShowTarget() {
            if (gif) ShowGifSaveTarget(form->GifTarget, *form->Image4, *form->Chart);
          }
        } show_target{this, gif};
        RunAside([&] { SaveByFormat(work_->ResultBitmap(), file, save); });
        saved = true;
      },
      kSaving, [&] { return saved ? SavedNote(*name, format, false) : QString(); });
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
  // Work running aside reads the pictures: the window closes once it has ended.
  if (working_) {
    close_after_work_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // An edit or a number box takes some Ctrl keys for itself (Ctrl+E moves to the end of
    // the line): the window's own shortcuts win, wherever the focus is.
    if (IsWindowShortcut(*static_cast<QKeyEvent*>(event))) return true;
  } else if (event->type() == QEvent::FocusOut && (watched == XEdit || watched == YEdit)) {
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
