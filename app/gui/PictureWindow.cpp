#include "app/gui/PictureWindow.h"

#include <algorithm>
#include <cmath>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/gui/ImageBox.h"
#include "app/gui/Zoom.h"

// --- TPictureView ---

TPictureView::TPictureView(TImageBox* box, QWidget* parent) : QScrollArea(parent), box_(box) {
  // The box keeps the picture's size at its scale; a larger picture scrolls.
  setWidgetResizable(false);
  setBackgroundRole(QPalette::Dark);
  setWidget(box_);
  connect(box_, &TImageBox::PictureSizeChanged, this, [this] {
    if (fit_) Refit();
  });
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (!zooming_) emit Scrolled();
    });
}

double TPictureView::Scale() const {
  return box_->Scale();
}

void TPictureView::SetZoom(bool fit, double scale, std::optional<QPoint> anchor) {
  const QSize picture = box_->PictureSize();
  if (fit) {
    // The viewport without scroll bars: a fitted picture needs none.
    const QSize room = maximumViewportSize();
    scale = FitScale(picture.width(), picture.height(), room.width(), room.height());
  }
  scale = std::min(scale, MaxScaleFor(std::max(picture.width(), picture.height())));
  const double old = Scale();
  const QPoint at = anchor.value_or(viewport()->rect().center());
  const QPointF point = QPointF(at - box_->pos()) / old;
  const bool changed = fit != fit_ || scale != old;
  fit_ = fit;
  zooming_ = true;
  box_->SetScale(scale);
  horizontalScrollBar()->setValue(int(std::lround(point.x() * scale - at.x())));
  verticalScrollBar()->setValue(int(std::lround(point.y() * scale - at.y())));
  zooming_ = false;
  if (changed) emit ZoomChanged();
}

void TPictureView::ZoomIn(std::optional<QPoint> anchor) {
  SetZoom(false, ZoomInStep(Scale()), anchor);
}

void TPictureView::ZoomOut(std::optional<QPoint> anchor) {
  SetZoom(false, ZoomOutStep(Scale()), anchor);
}

void TPictureView::Refit() {
  SetZoom(true, Scale());
}

QPointF TPictureView::Origin() const {
  return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()) / Scale();
}

void TPictureView::ScrollToOrigin(const QPointF& point) {
  horizontalScrollBar()->setValue(int(std::lround(point.x() * Scale())));
  verticalScrollBar()->setValue(int(std::lround(point.y() * Scale())));
}

void TPictureView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QScrollArea::wheelEvent(event);
    return;
  }
  // Ctrl and the wheel: one zoom step per notch (a touchpad's small turns add up), about
  // the picture point under the pointer.
  const QPoint at = event->position().toPoint();
  wheel_angle_ += event->angleDelta().y();
  for (; wheel_angle_ >= 120; wheel_angle_ -= 120) ZoomIn(at);
  for (; wheel_angle_ <= -120; wheel_angle_ += 120) ZoomOut(at);
  event->accept();
}

void TPictureView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  if (fit_) Refit();
}

void TPictureView::focusInEvent(QFocusEvent* event) {
  QScrollArea::focusInEvent(event);
  emit Activated();
}

bool TPictureView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Wheel) emit Activated();
  return QScrollArea::viewportEvent(event);
}

// --- TPictureTitleBar ---

namespace {

QToolButton* TitleButton(QWidget* parent, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setAutoRaise(true);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Clicking takes no focus (an edit being typed in keeps it); the zoom menu's button is
  // reached by Tab.
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

TPictureTitleBar::TPictureTitleBar(QDockWidget* window) : QWidget(window) {
  setObjectName("TitleBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(3, 1, 1, 1);
  layout->setSpacing(0);
  // The caption gives way first when the window is narrow.
  Caption = new QLabel(window->windowTitle(), this);
  Caption->setObjectName("Caption");
  Caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  Caption->setMinimumWidth(0);
  connect(window, &QDockWidget::windowTitleChanged, Caption, &QLabel::setText);
  layout->addWidget(Caption, 1);

  ZoomOutButton = TitleButton(this, "ZoomOutButton");
  ZoomButton = TitleButton(this, "ZoomButton");
  ZoomButton->setFocusPolicy(Qt::TabFocus);
  ZoomButton->setPopupMode(QToolButton::InstantPopup);
  // No menu arrow: the title bar is narrow, and the scale it shows is what matters.
  ZoomButton->setStyleSheet(
      "QToolButton { padding: 0px; } QToolButton::menu-indicator { image: none; width: 0px; }");
  ZoomMenu = new QMenu(ZoomButton);
  ZoomMenu->setObjectName("ZoomMenu");
  ZoomButton->setMenu(ZoomMenu);
  ZoomInButton = TitleButton(this, "ZoomInButton");
  FloatButton = TitleButton(this, "FloatButton");
  FloatButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
  FloatButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarNormalButton, nullptr, this));
  FloatButton->setToolTip("Float this window, or dock it again (or double-click its title)");
  connect(FloatButton, &QToolButton::clicked, window,
          [window] { window->setFloating(!window->isFloating()); });
  // Narrow fixed widths, so that the caption keeps its room and the bar does not move as
  // the scale's text changes.
  const QFontMetrics metrics = fontMetrics();
  ZoomOutButton->setFixedWidth(metrics.horizontalAdvance(QChar(0x2212)) + 8);
  ZoomInButton->setFixedWidth(metrics.horizontalAdvance('+') + 8);
  ZoomButton->setFixedWidth(metrics.horizontalAdvance("3200%") + 6);
  FloatButton->setFixedWidth(18);
  for (QToolButton* b : {ZoomOutButton, ZoomButton, ZoomInButton, FloatButton})
    layout->addWidget(b);

  // The zoom controls act on the window they sit in: it becomes the current one first.
  connect(ZoomOutButton, &QToolButton::pressed, this, &TPictureTitleBar::Activated);
  connect(ZoomInButton, &QToolButton::pressed, this, &TPictureTitleBar::Activated);
  connect(ZoomMenu, &QMenu::aboutToShow, this, &TPictureTitleBar::Activated);
}

// --- TPictureWindow ---

namespace {

// The first local file among what is dragged, if any.
std::optional<QString> DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return std::nullopt;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return std::nullopt;
}

}  // namespace

TPictureWindow::TPictureWindow(const QString& caption, TImageBox* box, QWidget* parent)
    : QDockWidget(caption, parent) {
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto* client = new QWidget;
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new TPictureView(box);
  layout->addWidget(view_);
  setWidget(client);
  title_bar_ = new TPictureTitleBar(this);
  setTitleBarWidget(title_bar_);
  connect(title_bar_, &TPictureTitleBar::Activated, view_, &TPictureView::Activated);
  connect(view_, &TPictureView::ZoomChanged, this, &TPictureWindow::ShowZoom);
  ShowZoom();
}

void TPictureWindow::ShowZoom() {
  const QString scale = ZoomText(view_->Scale());
  title_bar_->ZoomButton->setText(scale);
  title_bar_->ZoomButton->setToolTip(
      QString("Zoom %1%2: Fit, 1:1, zoom in or out, link the three windows")
          .arg(scale, view_->Fitting() ? " (Fit)" : ""));
}

void TPictureWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void TPictureWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void TPictureWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> file = DraggedFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  // The load runs once the drop has finished, so that the program the file came from is
  // not kept waiting and a message box of the load does not open inside the drop.
  QMetaObject::invokeMethod(
      this, [this, name = *file] { emit FileDropped(name); }, Qt::QueuedConnection);
}

// --- TPictureViews ---

void TPictureViews::Add(TPictureView* view) {
  views_.push_back(view);
  current_ = view;
  connect(view, &TPictureView::ZoomChanged, this, [this, view] { Follow(view, true); });
  connect(view, &TPictureView::Scrolled, this, [this, view] { Follow(view, false); });
  connect(view, &TPictureView::Activated, this, [this, view] { current_ = view; });
}

void TPictureViews::SetLinked(bool linked) {
  linked_ = linked;
  if (linked_ && current_) Follow(current_, true);
}

void TPictureViews::ZoomIn() {
  if (current_) current_->ZoomIn();
}

void TPictureViews::ZoomOut() {
  if (current_) current_->ZoomOut();
}

void TPictureViews::Fit() {
  if (current_) current_->SetZoom(true, current_->Scale());
}

void TPictureViews::ActualSize() {
  if (current_) current_->SetZoom(false, 1.0);
}

void TPictureViews::Follow(TPictureView* leader, bool zoom) {
  if (!linked_ || following_) return;
  following_ = true;
  const QPointF origin = leader->Origin();
  for (TPictureView* view : views_) {
    if (view == leader) continue;
    if (zoom) view->SetZoom(leader->Fitting(), leader->Scale());
    view->ScrollToOrigin(origin);
  }
  following_ = false;
}
