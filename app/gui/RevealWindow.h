// The "Reveal" tool window: the chosen view of the current result (what viewers make of
// it, the hidden picture recovered), the band its odd cells hold and, with both pictures
// loaded, the two scores. Closed at start; the main window's "Reveal" action (Ctrl+Shift+R, also
// in the window's dock menu) opens and closes it. It follows every slider step, synthesis
// and load: the main window tells it which slot it showed, and it brings itself up to date
// once the command has finished.
//
// At a slider step the view is made only for the part the window shows, and the scores come
// from a score basis of the two pictures (TScoreBasis), checked once against the result,
// so a step costs little beyond the step itself; the sheet and the area thumbnail need the
// whole picture and are made whole. While a slider moves, the sheet of a large picture and
// a large view below 1:1 show a draft at each step (a sample of the cells), and the exact
// view follows by itself once the sliders rest; the band and the scores are always exact.
//
// A target (a site or viewer of the catalogue; none at start) makes the window show the
// chosen view of the picture after that target, with the verdict line, at every step: the
// target's pipeline runs on the result each time (the real codecs, so a step costs a JPEG
// round trip of the result).
#pragma once

#include <functional>
#include <memory>

#include <QDockWidget>
#include <QImage>

#include "app/gui/ImageBox.h"
#include "app/gui/PictureWindow.h"
#include "compose/Workflow.h"
#include "raster/Bitmap.h"
#include "reveal/Views.h"

class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;
class TScoreBasis;
struct TTarget;

// Paints a view of the model's result, zoomed as the picture windows are: at a whole-number
// scale a part at a time for views that have parts, else from the view made whole (kept
// until the view or the result changes). It keeps no copy of the result, so the slider
// steps keep writing the result's store in place.
class TRevealBox : public TScaledBox {
  Q_OBJECT

 public:
  using TModel = std::function<const TWorkflow*()>;
  explicit TRevealBox(TModel model, QWidget* parent = nullptr);
  // Shows the view of the model's result with the options (nothing without a result), or
  // of `source` when given (a picture the caller keeps until the next SetView). With
  // `draft`, the sheet of a large result is shown as MakeDraftSheet makes it, and a large
  // view shown at kDraftScale or below as DraftPart paints it.
  void SetView(const TViewOptions& options, const TBitmap* source = nullptr, bool draft = false);
  const TViewOptions& Options() const { return options_; }
  // Whether the box shows a draft, which a SetView without one is to replace.
  bool ShowsDraft() const { return draft_; }
  // The view made whole (for the views without parts, or to paint below 1:1), or null.
  const TBitmap* WholeView() const { return whole_ ? &*whole_ : nullptr; }
  // The pixels of the view's part (in view pixels) as painted at 1:1.
  void PaintedPart(const QRect& part, TBitmap& out) const;
  // The screen part `screen` (within the box) as painted at the box's scale.
  QImage ScaledPart(const QRect& screen);
  // A quicker picture of a view below 1:1, for a slider being dragged: the view made of a
  // sample of the result, the 2 x 2 block of cells under each screen pixel's centre,
  // instead of the mean of every view pixel the screen pixel covers (the even, odd,
  // average, levels and hidden views).
  QImage DraftPart(const QRect& screen);
  static constexpr double kDraftScale = 0.5;
  static constexpr int64_t kDraftViewPixels = 1 << 20;
  QSize PictureSize() const override { return QSize(size_.width, size_.height); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void FollowScale() override;

 private:
  // The picture the view is made of: the source given, else the model's result (null
  // when there is none).
  const TBitmap* Source() const;

  TModel model_;
  TViewOptions options_;
  TViewSize size_;
  const TBitmap* source_ = nullptr;
  std::unique_ptr<TBitmap> whole_;
  bool draft_ = false;
};

// A picture window of its own (the zoom bar, the keys of the picture windows when it was
// the one last used), not linked with the three.
class TRevealWindow : public TPictureWindow {
  Q_OBJECT

 public:
  TRevealWindow(TRevealBox::TModel model, QWidget* parent = nullptr);
  ~TRevealWindow() override;

  // A slot was shown anew: the pictures or the result changed. Brings the window up to
  // date when the event loop next runs (several changes of one command once).
  void SlotShown(TSlot slot);
  // Brings view, band and scores up to date now (when the window is open).
  void Refresh();
  // A slider moved: the next refresh may show a draft of the sheet (MakeDraftSheet), which
  // the exact sheet replaces once the sliders have rested for kExactAfter.
  void SliderMoved() { slider_moved_ = true; }
  static constexpr int kExactAfter = 150;  // milliseconds
  // Whether the scores came from the score basis at the last refresh (for tests).
  bool ScoresFromBasis() const { return scores_from_basis_; }

  // The target the Target box names, or null for none.
  const TTarget* ChosenTarget() const;

  QComboBox* TargetBox = nullptr;
  QComboBox* ViewBox = nullptr;
  QComboBox* FilterBox = nullptr;
  QSpinBox* SizeBox = nullptr;
  TPictureView* ScrollBox = nullptr;  // the view, zoomed as the picture windows are
  TRevealBox* Box = nullptr;
  QLabel* BandLabel = nullptr;
  QLabel* ScoreLabel = nullptr;
  QLabel* TargetLabel = nullptr;
  // The picture after the chosen target at the last refresh (empty with no target).
  const TBitmap& AfterTarget() const { return after_target_; }
  QLabel* ScoreWordsLabel = nullptr;  // the scores in words

 private:
  // Runs the chosen target on the result; false (with the reason on the label) when it
  // cannot.
  bool UpdateTarget(const TWorkflow& work, const TToneBand& band);
  void ScheduleRefresh();
  void UpdateScores(const TWorkflow& work, const TToneBand& band);

  TRevealBox::TModel model_;
  bool pending_ = false;
  bool slider_moved_ = false;
  QTimer* exact_timer_ = nullptr;  // replaces a draft with the exact view
  bool pictures_changed_ = true;
  // The basis of the visible and hidden pictures, and whether the result was found to be
  // their synthesis (after which every slider step and synthesis keeps it one).
  std::unique_ptr<TScoreBasis> basis_;
  bool result_checked_ = false;
  bool scores_from_basis_ = false;
  TBitmap after_target_;
};
