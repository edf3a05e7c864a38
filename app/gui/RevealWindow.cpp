#include "app/gui/RevealWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui/ImageBox.h"
#include "app/gui/MainForm.h"
#include "reveal/Band.h"
#include "reveal/ScoreWords.h"
#include "reveal/Scores.h"
#include "reveal/Sheet.h"
#include "targets/Catalogue.h"
#include "targets/Check.h"

namespace {

// The band of the result's odd cells: the sliders' once a slider or Synthesize has mapped
// them, the identity band while they hold the hidden picture unmapped (the preview).
TToneBand BandOf(const TWorkflow& work) {
  return work.ResultToneMapped() ? TToneBand{work.Average(), work.Contrast()} : kIdentityBand;
}

bool HasResult(const TWorkflow* work) {
  return work != nullptr && !work->ResultBitmap().Empty() &&
         work->ResultBitmap().BitsPerPixel() == 24;
}

bool SameSize(const TBitmap& a, const TBitmap& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && !a.Empty() && !b.Empty();
}

QString Decibels(double psnr) {
  return std::isinf(psnr) ? QStringLiteral("inf") : QString::number(psnr, 'f', 2) + " dB";
}

// The draft of a view made whole (MakeDraftSheet for the sheet, the area thumbnail made
// of a sample of the result twice its size), or false where there is none or the result
// is too small for it to pay.
bool MakeDraftView(const TBitmap& result, const TViewOptions& options, TViewSize size,
                   TBitmap& view) {
  if (options.view == TRevealView::rvSheet) return MakeDraftSheet(result, options, view);
  if (options.view != TRevealView::rvThumbnail ||
      int64_t{result.Width()} * result.Height() < 16 * int64_t{size.width} * size.height)
    return false;
  TBitmap sample;
  SampleBlocks(result, SampledBlocks(result.Width(), size.width),
               SampledBlocks(result.Height(), size.height), sample);
  if (!(ViewSize(sample.Width(), sample.Height(), options) == size)) return false;
  MakeView(sample, options, view);
  return true;
}

}  // namespace

TRevealBox::TRevealBox(TModel model, QWidget* parent)
    : TScaledBox(parent), model_(std::move(model)) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

const TBitmap* TRevealBox::Source() const {
  if (source_ != nullptr) return source_;
  const TWorkflow* work = model_();
  return HasResult(work) ? &work->ResultBitmap() : nullptr;
}

void TRevealBox::SetView(const TViewOptions& options, const TBitmap* source, bool draft) {
  const TViewSize before = size_;
  options_ = options;
  source_ = source;
  whole_.reset();
  draft_ = false;
  size_ = {};
  if (const TBitmap* picture = Source()) {
    const TBitmap& result = *picture;
    size_ = ViewSize(result.Width(), result.Height(), options_);
    if (!ViewHasParts(options_)) {
      whole_ = std::make_unique<TBitmap>();
      // The sheet and the area thumbnail are passes over the whole result, a frame's work
      // or several for a large one: while a slider moves, a draft follows each step.
      draft_ = draft && MakeDraftView(result, options_, size_, *whole_);
      if (!draft_) MakeView(result, options_, *whole_);
    } else {
      // Below 1:1 a view is painted from the view made whole, a pass over the whole
      // result: while a slider moves, DraftPart paints each step instead.
      draft_ = draft && Scale() <= kDraftScale && options_.view != TRevealView::rvThumbnail &&
               int64_t{size_.width} * size_.height >= kDraftViewPixels;
    }
  }
  FollowScale();
  update();
  if (!(size_ == before) && size_.width > 0) emit PictureSizeChanged();
}

void TRevealBox::FollowScale() {
  const QSize size = ScaledSize();
  setFixedSize(std::max(1, size.width()), std::max(1, size.height()));
}

void TRevealBox::PaintedPart(const QRect& part, TBitmap& out) const {
  if (whole_) {
    PrepareRaster(out, part.width(), part.height());
    for (int y = 0; y < part.height(); ++y)
      std::memcpy(out.Scanline(y), whole_->ConstScanline(part.y() + y) + 3 * part.x(),
                  3 * static_cast<size_t>(part.width()));
  } else {
    MakeViewPart(*Source(), options_, part.x(), part.y(), part.width(), part.height(), out);
  }
}

QImage TRevealBox::DraftPart(const QRect& screen) {
  const TBitmap& result = *Source();
  const double scale = Scale();
  // A half-size view (even, odd, average) has a pixel per 2 x 2 block of the result.
  const bool half = 2 * size_.width <= result.Width() + 1;
  // The view pixel at a screen pixel's centre.
  const auto centre = [scale](int i, int length) {
    return std::min(length - 1, static_cast<int>((i + 0.5) / scale));
  };
  // Where the sample's block of each screen column and row starts in the result: the
  // block of the view pixel at the centre (half views), or the block holding it.
  const auto starts = [&](int first, int count, int length, int view_length) {
    std::vector<int> from(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      const int v = centre(first + i, view_length);
      from[static_cast<size_t>(i)] = std::min(half ? 2 * v : v - v % 2, (length - 2) & ~1);
    }
    return from;
  };
  const std::vector<int> columns = starts(screen.x(), screen.width(), result.Width(), size_.width);
  const std::vector<int> rows = starts(screen.y(), screen.height(), result.Height(), size_.height);
  TBitmap sample;
  SampleBlocks(result, columns, rows, sample);
  TBitmap view;
  MakeView(sample, options_, view);
  // A half view's pixel is the screen pixel; a whole view's 2 x 2 block is averaged.
  QImage image(screen.size(), QImage::Format_BGR888);
  for (int y = 0; y < screen.height(); ++y) {
    uint8_t* out = image.scanLine(y);
    if (half) {
      std::memcpy(out, view.ConstScanline(y), 3 * static_cast<size_t>(screen.width()));
      continue;
    }
    const uint8_t* top = view.ConstScanline(2 * y);
    const uint8_t* bottom = view.ConstScanline(2 * y + 1);
    for (int k = 0; k < 3 * screen.width(); ++k) {
      const int i = 6 * (k / 3) + k % 3;
      out[k] = static_cast<uint8_t>((top[i] + top[i + 3] + bottom[i] + bottom[i + 3] + 2) / 4);
    }
  }
  return image;
}

QImage TRevealBox::ScaledPart(const QRect& screen) {
  const double scale = Scale();
  if (draft_ && !whole_ && scale <= kDraftScale) return DraftPart(screen);
  if (!whole_ && scale >= 1 && scale == std::floor(scale)) {
    // At a whole-number scale each screen pixel shows the view pixel under its top left
    // corner: only the view pixels of the part are made.
    const int s = static_cast<int>(scale);
    const QRect pixels = QRect(QPoint(screen.left() / s, screen.top() / s),
                               QPoint(screen.right() / s, screen.bottom() / s)) &
                         QRect(0, 0, size_.width, size_.height);
    TBitmap part;
    PaintedPart(pixels, part);
    return ScaledRasterPart(part, scale, screen.translated(-pixels.left() * s, -pixels.top() * s));
  }
  // Otherwise each screen pixel averages every view pixel it covers, from the view made
  // whole.
  if (!whole_) {
    auto whole = std::make_unique<TBitmap>();
    MakeView(*Source(), options_, *whole);
    whole_ = std::move(whole);
  }
  return ScaledRasterPart(*whole_, scale, screen);
}

void TRevealBox::paintEvent(QPaintEvent* event) {
  const TBitmap* source = Source();
  const QRect part = event->rect() & QRect(QPoint(0, 0), ScaledSize());
  if (part.isEmpty() || source == nullptr) return;
  // The result may have changed since the view was set (the refresh is on its way): a
  // view of another size waits for it.
  const TBitmap& result = *source;
  if (!whole_ && !(ViewSize(result.Width(), result.Height(), options_) == size_)) return;
  try {
    const QImage image = ScaledPart(part);
    QPainter painter(this);
    painter.drawImage(part.topLeft(), image);
  } catch (const std::exception&) {
    // A view that cannot be made leaves the box blank; painting never raises.
  }
}

TRevealWindow::TRevealWindow(TRevealBox::TModel model, QWidget* parent)
    : TPictureWindow("Reveal", QString(), new TRevealBox(model), parent, true),
      model_(std::move(model)) {
  setObjectName("RevealWindow");
  Box = static_cast<TRevealBox*>(View()->Box());
  Box->setObjectName("RevealBox");
  ScrollBox = View();
  ScrollBox->setObjectName("RevealScrollBox");
  ScrollBox->setMinimumSize(300, 220);
  ScrollBox->setToolTip("The view of the combined picture. Ctrl+wheel zooms");
  QVBoxLayout* layout = ClientLayout();
  layout->setContentsMargins(4, 4, 4, 4);
  auto* controls = new QHBoxLayout;
  TargetBox = new QComboBox;
  TargetBox->setObjectName("TargetBox");
  TargetBox->addItem("none");
  for (const TTarget& t : Targets()) {
    TargetBox->addItem(t.name);
    TargetBox->setItemData(TargetBox->count() - 1, QString(t.description), Qt::ToolTipRole);
  }
  TargetBox->setToolTip(
      "Where the picture goes: the view then shows the picture after that site or viewer "
      "(its codecs and shrinking, as lumiveil check runs them), with the verdict; none "
      "shows the result itself");
  ViewBox = new QComboBox;
  ViewBox->setObjectName("ViewBox");
  // The views of the table, each with its description as its tool tip; the box's own tool
  // tip lists them all.
  QStringList tips;
  for (const TViewRow& row : ViewTable()) {
    ViewBox->addItem(row.name, static_cast<int>(row.value));
    ViewBox->setItemData(ViewBox->count() - 1, row.description, Qt::ToolTipRole);
    tips << QString("%1: %2").arg(row.name, row.description);
  }
  // The hidden picture as it comes back: what the window is most often opened for.
  ViewBox->setCurrentText(ViewName(TRevealView::rvHidden));
  ViewBox->setToolTip(tips.join("; "));
  FilterBox = new QComboBox;
  FilterBox->setObjectName("FilterBox");
  for (TThumbnailFilter f : kAllFilters) FilterBox->addItem(FilterName(f));
  FilterBox->setToolTip("How the thumbnail is shrunk: area averaging, bilinear or nearest");
  SizeBox = new QSpinBox;
  SizeBox->setObjectName("SizeBox");
  SizeBox->setRange(1, kMaxThumbnailSize);
  SizeBox->setValue(kDefaultThumbnailSize);
  SizeBox->setToolTip("The thumbnail's long side in pixels");
  controls->addWidget(new QLabel("Target"));
  controls->addWidget(TargetBox);
  controls->addWidget(new QLabel("View"));
  controls->addWidget(ViewBox);
  controls->addWidget(new QLabel("Thumbnail"));
  controls->addWidget(FilterBox);
  controls->addWidget(SizeBox);
  controls->addStretch();
  layout->insertLayout(0, controls);
  BandLabel = new QLabel;
  BandLabel->setObjectName("BandLabel");
  ScoreLabel = new QLabel;
  ScoreLabel->setObjectName("ScoreLabel");
  ScoreLabel->setToolTip(
      "Each a PSNR in dB, 10 log10(255^2 / MSE). visible: the result against the visible "
      "picture over all cells (higher: the hidden picture shows less); hidden: the hidden "
      "view's odd cells against the hidden picture (higher: it comes back truer)");
  TargetLabel = new QLabel;
  TargetLabel->setObjectName("TargetLabel");
  TargetLabel->setWordWrap(true);
  TargetLabel->setToolTip(
      "The hidden picture after the target: survives from 30 dB, degraded while its grey "
      "recovery reaches 22 dB, else destroyed; what its thumbnail shows; whether the band "
      "stored in a PNG survives");
  layout->addWidget(BandLabel);
  layout->addWidget(ScoreLabel);
  layout->addWidget(TargetLabel);
  // The scores in words, with the thresholds in the tool tip.
  ScoreWordsLabel = new QLabel;
  ScoreWordsLabel->setObjectName("ScoreWordsLabel");
  ScoreWordsLabel->setWordWrap(true);
  ScoreWordsLabel->setToolTip(QString::fromStdString(ScoreBandsText()));
  layout->addWidget(ScoreWordsLabel);

  const auto changed = [this] { Refresh(); };
  connect(TargetBox, &QComboBox::currentIndexChanged, this, changed);
  connect(ViewBox, &QComboBox::currentIndexChanged, this, changed);
  connect(FilterBox, &QComboBox::currentIndexChanged, this, changed);
  connect(SizeBox, &QSpinBox::valueChanged, this, changed);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible) Refresh();
  });
  exact_timer_ = new QTimer(this);
  exact_timer_->setSingleShot(true);
  exact_timer_->setInterval(kExactAfter);
  connect(exact_timer_, &QTimer::timeout, this, [this] {
    if (Box->ShowsDraft()) Refresh();
  });
}

TRevealWindow::~TRevealWindow() = default;

void TRevealWindow::SlotShown(TSlot slot) {
  if (slot != TSlot::slResult) pictures_changed_ = true;
  ScheduleRefresh();
}

void TRevealWindow::ScheduleRefresh() {
  if (pending_) return;
  pending_ = true;
  QTimer::singleShot(0, this, [this] {
    if (pending_) Refresh();
  });
}

void TRevealWindow::Refresh() {
  pending_ = false;
  const bool draft = std::exchange(slider_moved_, false);
  if (isHidden()) return;  // brought up to date when it opens
  const TWorkflow* work = model_();
  TViewOptions options;
  options.view = static_cast<TRevealView>(ViewBox->currentData().toInt());
  options.filter = static_cast<TThumbnailFilter>(FilterBox->currentIndex());
  options.size = SizeBox->value();
  // The thumbnail's controls matter where the view (or a tile of it) is the thumbnail.
  FilterBox->setEnabled(options.view == TRevealView::rvThumbnail ||
                        options.view == TRevealView::rvSheet);
  SizeBox->setEnabled(FilterBox->isEnabled());
  if (!HasResult(work)) {
    Box->SetView({});
    BandLabel->setText("No combined picture yet: load a visible and a hidden picture.");
    ScoreLabel->clear();
    TargetLabel->clear();
    after_target_.Assign(nullptr);
    ScoreWordsLabel->clear();
    return;
  }
  options.band = BandOf(*work);
  const bool target = TargetBox->currentIndex() > 0 && UpdateTarget(*work, options.band);
  if (!target) after_target_.Assign(nullptr);
  try {
    Box->SetView(options, target ? &after_target_ : nullptr, draft && !target);
    // Each step of a drag puts the exact view off again.
    if (Box->ShowsDraft()) exact_timer_->start();
  } catch (const std::exception& e) {
    Box->SetView({});
    BandLabel->setText(QString("The view cannot be made: ") + e.what());
    return;
  }
  if (!target && TargetBox->currentIndex() == 0) TargetLabel->clear();
  BandLabel->setText(work->ResultToneMapped()
                         ? QString("Band: average %1, contrast %2 (%3 .. %4), from the sliders")
                               .arg(options.band.average)
                               .arg(options.band.contrast)
                               .arg(options.band.average - options.band.contrast)
                               .arg(options.band.average + options.band.contrast)
                         : QString("Band: none yet, the checkerboard is not tone-mapped "
                                   "(shown as average 128, contrast 128)"));
  UpdateScores(*work, options.band);
}

const TTarget* TRevealWindow::ChosenTarget() const {
  const int i = TargetBox->currentIndex();
  return i > 0 ? &Targets()[static_cast<size_t>(i - 1)] : nullptr;
}

bool TRevealWindow::UpdateTarget(const TWorkflow& work, const TToneBand& band) {
  const TTarget& row = Targets()[static_cast<size_t>(TargetBox->currentIndex() - 1)];
  try {
    const TNamedTarget target = ResolveTarget(row.name);
    // The originals when the result is theirs (after Synthesize), else estimated from it.
    const TBitmap& result = work.ResultBitmap();
    const bool originals = work.ExternalLoaded() && work.InnerLoaded() &&
                           SameSize(result, work.ExternalBitmap()) &&
                           SameSize(result, work.InnerBitmap());
    TCheckPictures pictures;
    PrepareCheck(result, originals ? &work.ExternalBitmap() : nullptr,
                 originals ? &work.InnerBitmap() : nullptr, band, pictures);
    // The upload as the PNG that Export writes: full colour, the band recorded.
    TUpload upload;
    upload.kind = TUploadKind::ukPng;
    upload.has_text = work.ResultToneMapped();
    TTargetCheck check;
    CheckTarget(target, pictures, upload, check);
    after_target_.Assign(&check.full.picture);
    const auto decibels = [](const std::optional<double>& psnr) {
      return psnr ? Decibels(*psnr) : QString("none");
    };
    QString line = QString("%1: hidden picture %2 (%3, grey %4), normal view %5")
                       .arg(row.name)
                       .arg(VerdictName(check.verdict))
                       .arg(decibels(check.hidden_psnr))
                       .arg(decibels(check.hidden_grey_psnr))
                       .arg(Decibels(check.visible_psnr));
    if (check.thumbnail != TThumbnailShows::tsNone)
      line += QString("; thumbnail shows %1").arg(ThumbnailShowsName(check.thumbnail));
    line += check.band_survives ? QString("; stored band kept") : QString("; stored band lost");
    if (!originals) line += " (originals estimated from the result)";
    TargetLabel->setText(line);
    return true;
  } catch (const std::exception& e) {
    TargetLabel->setText(QString("%1 cannot be checked: %2").arg(row.name).arg(e.what()));
    return false;
  }
}

void TRevealWindow::UpdateScores(const TWorkflow& work, const TToneBand& band) {
  scores_from_basis_ = false;
  ScoreWordsLabel->clear();
  const TBitmap& result = work.ResultBitmap();
  const TBitmap& visible = work.ExternalBitmap();
  const TBitmap& hidden = work.InnerBitmap();
  if (pictures_changed_) {
    basis_.reset();
    result_checked_ = false;
    pictures_changed_ = false;
  }
  if (!work.ExternalLoaded() || !work.InnerLoaded()) {
    ScoreLabel->setText("Scores: with both pictures loaded");
    return;
  }
  if (!SameSize(result, visible) || !SameSize(result, hidden) || visible.BitsPerPixel() != 24 ||
      hidden.BitsPerPixel() != 24) {
    ScoreLabel->setText("Scores: after Synthesize (the result is not the pictures' size)");
    return;
  }
  double visible_psnr = 0;
  std::optional<double> hidden_psnr;
  try {
    if (!basis_) basis_ = std::make_unique<TScoreBasis>(visible, hidden);
    // Once the result is the pictures' synthesis with its band, every slider step and
    // synthesis keeps it one (they map its odd cells from the same hidden picture); only a
    // changed picture, which resets the check, can make it otherwise.
    if (!result_checked_) result_checked_ = IsSynthesisOf(result, visible, hidden, band);
    if (result_checked_) {
      visible_psnr = basis_->VisiblePsnr(band);
      hidden_psnr = basis_->HiddenPsnr(band);
      scores_from_basis_ = true;
    } else {
      visible_psnr = VisiblePsnr(result, visible);
      hidden_psnr = HiddenPsnr(result, hidden, band);
    }
  } catch (const std::exception& e) {
    ScoreLabel->setText(QString("Scores cannot be made: ") + e.what());
    return;
  }
  ScoreLabel->setText(QString("Visible PSNR %1    Hidden PSNR %2")
                          .arg(Decibels(visible_psnr))
                          .arg(hidden_psnr ? Decibels(*hidden_psnr) : QString("none")));
  ScoreWordsLabel->setText(QString("Normal view: %1. Hidden picture: %2.")
                               .arg(QString::fromStdString(VisibleScoreWords(visible_psnr)),
                                    QString::fromStdString(HiddenScoreWords(hidden_psnr))));
}

void TMainForm::CreateRevealWindow() {
  RevealWindow = new TRevealWindow([this]() -> const TWorkflow* { return Work(); }, this);
  // Beside the three picture windows, in their row; closed at start, so that the window
  // first shows the form's own layout.
  addDockWidget(Qt::TopDockWidgetArea, RevealWindow);
  splitDockWidget(ToolWindow974, RevealWindow, Qt::Horizontal);
  RevealWindow->hide();
  // The dock's own action opens and closes it (and sits in the dock windows' menu); the
  // actions table gives it its caption, shortcut and tool tip.
  RevealAction = RevealWindow->toggleViewAction();
  // The zoom commands act on it when it was the window last used.
  PictureViews->Add(RevealWindow->View(), false);
}
