// TMainForm: the main window. It holds the plug-in registry SPIs, the workflow model with
// the three picture slots, and the controls. Every computation goes through the model
// (the same code the command-line tool runs); the window shows dialogs, reads files
// through the slots' loader and shows what the model tells it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/gui/Dialogs.h"
#include "app/gui/OpenFilter.h"
#include "app/gui/PictureWindow.h"
#include "compose/Workflow.h"
#include "export/SaveAsGif.h"
#include "export/SaveByFormat.h"
#include "susie/Spis.h"

class QAction;
class QCheckBox;
class QDockWidget;
class QFrame;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QScreen;
class QSlider;
class QSpinBox;
class QToolButton;
class TImageBox;
class TRevealWindow;

// The status bar's second panel: what runs while a command runs, then what the last one
// did (what was saved, why a picture was not loaded). A text wider than the panel is
// shortened in its middle; the whole text is its tool tip.
class TStatusPanel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;
  void Say(const QString& text);
  // The whole text, as said.
  const QString& Said() const { return said_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowElided();
  QString said_;
};

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // `dialogs` replaces the real dialogs (tests inject answers); `slot_factory` replaces
  // the maker of the visible and hidden slots (TSPIBitmap by default).
  explicit TMainForm(std::unique_ptr<TFormDialogs> dialogs = nullptr,
                     const TWorkflow::TSlotFactory& slot_factory = nullptr);
  ~TMainForm() override;

  // The model, or nullptr once the window has closed and freed the slots.
  TWorkflow* Work() const { return work_.get(); }
  TFormDialogs& Dialogs() const { return *dialogs_; }
  // The open dialog's filter as built by the constructor.
  const std::vector<TFilterEntry>& OpenPictureDialogFilter() const { return open_filter_; }

  // Loading without a dialog (the open dialog's answer, or a file dropped on the picture
  // window). The visible picture: a missing file or a failed load ends without a message
  // (false), the status bar saying why. The hidden picture: with a name, the load (the
  // same); then in every case the fit to the visible picture and the preview, whose
  // failures are shown.
  bool LoadVisibleFile(const QString& file_name);
  // `preread` (for LoadStartFiles) puts the picture in its slot instead of reading the file.
  bool LoadHiddenFile(const std::optional<QString>& file_name,
                      const TWorkflow::TLoader& preread = {});
  // The pictures given at start, loaded as by the two calls above, except that the hidden
  // file is read on a second thread while the visible picture loads. Returns whether each
  // was loaded.
  std::pair<bool, bool> LoadStartFiles(const QString& visible, const QString& hidden);

  // The commands, named after their control and event.
  void ExternalImageButtonClick();
  void LoadInnerImageClick();
  void SizeFitButtonClick();
  void XEditChange();
  void YEditChange();
  void synthesizeButtonClick();
  void AverageTrackBarChange();
  void MinMaxTrackBarChange();
  // "Auto": moves the sliders to the band that brings the hidden picture back best after
  // the Reveal window's target (the file as saved when none) while the normal view keeps
  // the default visible-psnr bound, as a person would move them.
  void AutoButtonClick();
  void SaveGifButtonClick();
  void ExportClick();  // Export.cpp
  void QuirButtonClick();
  void FormClose();

  // The plug-in registry: automatic search in all six places.
  TSPIs SPIs;

  // The controls, by their form names.
  QDockWidget* ToolWindow971 = nullptr;
  TPictureWindow* ToolWindow972 = nullptr;  // Image1, the visible picture
  TPictureWindow* ToolWindow973 = nullptr;  // Image2, the hidden picture
  TPictureWindow* ToolWindow974 = nullptr;  // Image3, the result, and the invisible Chart
  QToolButton* ExternalImageButton = nullptr;
  QToolButton* LoadInnerImage = nullptr;
  QToolButton* QuirButton = nullptr;
  QToolButton* ExportButton = nullptr;  // "Export PNG...", beside the load commands
  QCheckBox* GifCheckBox = nullptr;
  QFrame* Bevel1 = nullptr;
  QPushButton* ResizeButton = nullptr;
  QLabel* XYLabel = nullptr;
  QLineEdit* XEdit = nullptr;
  QLineEdit* YEdit = nullptr;
  QPushButton* SizeFitButton = nullptr;
  QPushButton* synthesizeButton = nullptr;
  QPushButton* SaveGifButton = nullptr;
  QFrame* Bevel2 = nullptr;
  QLabel* AverageLabel = nullptr;
  QLabel* ContrastLabel = nullptr;
  QSlider* AverageTrackBar = nullptr;
  QLabel* AverageMinLabel = nullptr;
  QLabel* AverageMaxLabel = nullptr;
  QSlider* MinMaxTrackBar = nullptr;
  QLabel* MinLabel = nullptr;
  QLabel* MaxLabel = nullptr;
  // The sliders' positions as numbers, beside the sliders' bevel; typing one moves its
  // slider.
  QLabel* AverageSpinLabel = nullptr;
  QSpinBox* AverageSpinBox = nullptr;
  QLabel* ContrastSpinLabel = nullptr;
  QSpinBox* ContrastSpinBox = nullptr;
  QPushButton* AutoButton = nullptr;  // "Auto", beside the number boxes
  TPictureView* ScrollBox1 = nullptr;
  TPictureView* ScrollBox2 = nullptr;
  TPictureView* ScrollBox3 = nullptr;
  // The three views' zoom and scroll position, linked at start.
  TPictureViews* PictureViews = nullptr;
  TImageBox* Image1 = nullptr;
  TImageBox* Image2 = nullptr;
  TImageBox* Image3 = nullptr;
  QWidget* Chart = nullptr;
  TImageBox* Image4 = nullptr;
  // What the GIF save works on: the toolkit-free image box and chart behind Image4 and
  // Chart, which keep what each save leaves in them.
  TGifSaveTarget GifTarget;
  QLabel* StatusPanel0 = nullptr;
  TStatusPanel* StatusPanel1 = nullptr;

  // The commands as actions (the buttons trigger them), each with its shortcut, shown in
  // its tool tip. All are made in CreateActions; UpdateActions derives which are enabled.
  QAction* LoadVisibleAction = nullptr;
  QAction* LoadHiddenAction = nullptr;
  QAction* ResizeAction = nullptr;
  QAction* SynthesizeAction = nullptr;
  QAction* SaveAction = nullptr;
  QAction* AutoAction = nullptr;
  QAction* QuitAction = nullptr;
  QAction* GifAction = nullptr;  // checkable, in step with GifCheckBox
  // The zoom of the picture window last used, or of all three while linked.
  QAction* ZoomInAction = nullptr;
  QAction* ZoomOutAction = nullptr;
  QAction* ZoomFitAction = nullptr;
  QAction* ZoomActualSizeAction = nullptr;
  QAction* LinkViewsAction = nullptr;  // checkable, checked at start
  QAction* ExportAction = nullptr;
  // RevealWindow.cpp: the "Reveal" tool window and the action that opens and closes it.
  TRevealWindow* RevealWindow = nullptr;
  QAction* RevealAction = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // MainFormLayout.cpp: the controls at their form places, and the actions.
  void CreateControls();
  QWidget* CreateCommandBar();
  // A picture window: its form name, and the name its title bar shows.
  TPictureWindow* CreatePictureWindow(const char* name, const char* shows, TPictureView*& scroll,
                                      TImageBox*& image);
  void LayOutCommandBar(int width);
  // One command of the window: the action it makes (or names), its caption, tool tip,
  // shortcuts (the first is the one shown) and handler.
  struct TCommandRow {
    QAction** action;
    const char* name;
    QString text;
    QString tip;
    QList<QKeySequence> shortcuts;
    std::function<void()> handler;
  };
  // The actions table: the file and picture commands, then the view commands.
  std::vector<TCommandRow> FileCommands();
  std::vector<TCommandRow> ViewCommands();
  // Makes the actions of the table, then wires the controls to them.
  void CreateActions();
  void ConnectButtons();  // the command bar's buttons and the GIF box
  void ConnectZoom();     // each picture window's zoom controls
  void ConnectInputs();   // sliders, spin boxes, edits and dropped files
  void SetTabOrder();
  // The window's size at start on `screen`.
  static QSize StartSize(const QScreen* screen);
  void CentreOnScreen();
  // Which actions can run now: all of them while the window holds its slots and no work
  // runs aside (see RunAside); the zoom and the Reveal window always.
  void UpdateActions();
  // Whether the key is a shortcut of one of the window's enabled actions.
  bool IsWindowShortcut(const QKeyEvent& key) const;
  void CreateRevealWindow();  // RevealWindow.cpp

  // Sets the edits, the contrast slider and MaxLabel from the model without raising
  // their change handlers.
  void UpdateControls();
  // An image box shows its slot anew.
  void ShowSlot(TSlot slot);
  // Runs a command; an exception it raises is shown by the exception display and the
  // window stays usable. With `busy`, the command may take more than a moment: the
  // pointer shows that the window is busy and the status bar's second panel says what
  // runs. `note`, when given, makes what the panel says once the command has ended (also
  // when it failed, before the message box opens).
  void Run(const std::function<void()>& command, const char* busy = nullptr,
           const std::function<QString()>& note = nullptr);
  // Runs `work` on a worker thread while the window stays drawn and its zoom usable; the
  // controls that could change a picture are disabled meanwhile, and a close asked for
  // waits until the command that Run runs has ended. Rethrows what the work raised. For
  // saving, which only reads the pictures.
  void RunAside(const std::function<void()>& work);
  // Disables (or enables again) what could change the pictures while work runs aside.
  void SetWorking(bool working);
  // The panel's note for a picture that was not loaded: which one, the file and why.
  QString NotLoadedNote(const char* which, const QString& file_name,
                        const std::string& reason) const;
  // The panel's note for a file saved: its name, the format, its size in bytes, and a word
  // when the name's ending asks for another format than the one written.
  QString SavedNote(const QString& file_name, TSaveFormat written, bool indexed) const;
  // Leaving an edit with no visible picture: nothing to scale, and no error (the class
  // library would divide by the zero width); a number typed is answered in the status bar.
  bool NothingToScale(const QLineEdit* edit);
  // The busy pointer and the status bar's text for the life of the object.
  class TBusy;
  // Runs a slider handler, which maps the result's odd cells anew: the result box lets go
  // of its copy meanwhile (so the mapping writes the result's store in place instead of
  // copying it first) and is given the result once at the end, also after a failure.
  void RunOnResult(const std::function<void()>& command);

  std::unique_ptr<TFormDialogs> dialogs_;
  TWorkflow::TSlotFactory slot_factory_;  // what the model makes its picture slots with
  std::unique_ptr<TWorkflow> work_;
  std::vector<TFilterEntry> open_filter_;
  QWidget* command_bar_ = nullptr;
  bool updating_controls_ = false;
  bool deferring_result_ = false;
  bool working_ = false;           // work runs aside (RunAside)
  bool close_after_work_ = false;  // the window was asked to close meanwhile
  QPointer<QWidget> focus_before_work_;
};
