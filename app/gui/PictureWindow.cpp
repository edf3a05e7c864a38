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

TPictureView::TPictureView(TScaledBox* box, QWidget* parent) : QScrollArea(parent), box_(box) {
  // The box keeps the picture's size at its scale; a larger picture scrolls.
  setWidgetResizable(false);
  setBackgroundRole(QPalette::Dark);
  setWidget(box_);
  connect(box_, &TScaledBox::PictureSizeChanged, this, &TPictureView::OpenPicture);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (!zooming_) emit Scrolled();
    });
}

double TPictureView::Scale() const {
  return box_->Scale();
}

void TPictureView::SetZoom(bool fit, double scale, std::optional<QPoint> anchor, bool automatic) {
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
  const bool changed = fit != fit_ || scale != old || automatic != automatic_;
  fit_ = fit;
  automatic_ = automatic;
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
  SetZoom(true, Scale(), std::nullopt, automatic_);
}

void TPictureView::OpenPicture() {
  if (OpenLikeAnother && OpenLikeAnother(this)) return;
  // A Fit the person chose keeps the new picture whole too.
  if (fit_ && !automatic_) {
    Refit();
    return;
  }
  // Otherwise the opening zoom, from the picture's top left.
  OpeningZoom();
  zooming_ = true;
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  zooming_ = false;
}

void TPictureView::OpeningZoom() {
  // The whole picture when it is larger than the window (rather than its top left corner
  // at 1:1), else its natural size.
  const QSize picture = box_->PictureSize(), room = maximumViewportSize();
  const bool larger = picture.width() > room.width() || picture.height() > room.height();
  SetZoom(larger, 1.0, QPoint(0, 0), true);
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
  // The opening zoom follows the window (a window made smaller than its picture shows it
  // whole); a Fit the person chose keeps the picture whole.
  if (automatic_)
    OpeningZoom();
  else if (fit_)
    Refit();
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

TPictureTitleBar::TPictureTitleBar(QDockWidget* window, const QString& name) : QWidget(window) {
  setObjectName("TitleBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(3, 1, 1, 1);
  layout->setSpacing(0);
  // The name of what the window shows, in bold, then the caption, which gives way first
  // when the window is narrow.
  Name = new QLabel(name, this);
  Name->setObjectName("Name");
  QFont bold = Name->font();
  bold.setBold(true);
  Name->setFont(bold);
  Name->setContentsMargins(0, 0, 6, 0);
  Name->setVisible(!name.isEmpty());
  layout->addWidget(Name);
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
  if (window->features() & QDockWidget::DockWidgetClosable) {
    CloseButton = TitleButton(this, "CloseButton");
    CloseButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    CloseButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
    CloseButton->setToolTip(QString("Close the %1 window").arg(window->windowTitle()));
    CloseButton->setFixedWidth(18);
    connect(CloseButton, &QToolButton::clicked, window, &QDockWidget::close);
  }
  // Narrow fixed widths, so that the caption keeps its room and the bar does not move as
  // the scale's text changes.
  const QFontMetrics metrics = fontMetrics();
  ZoomOutButton->setFixedWidth(metrics.horizontalAdvance(QChar(0x2212)) + 8);
  ZoomInButton->setFixedWidth(metrics.horizontalAdvance('+') + 8);
  ZoomButton->setFixedWidth(metrics.horizontalAdvance("3200%") + 6);
  FloatButton->setFixedWidth(18);
  for (QToolButton* b : {ZoomOutButton, ZoomButton, ZoomInButton, FloatButton, CloseButton})
    if (b) layout->addWidget(b);

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

TPictureWindow::TPictureWindow(const QString& caption, const QString& name, TScaledBox* box,
                               QWidget* parent, bool closable)
    : QDockWidget(caption, parent) {
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
              (closable ? QDockWidget::DockWidgetClosable : QDockWidget::NoDockWidgetFeatures));
  auto* client = new QWidget;
  client_layout_ = new QVBoxLayout(client);
  client_layout_->setContentsMargins(0, 0, 0, 0);
  view_ = new TPictureView(box);
  client_layout_->addWidget(view_, 1);
  setWidget(client);
  title_bar_ = new TPictureTitleBar(this, name);
  // The window's entry in the dock windows' menu names its picture too.
  if (!name.isEmpty()) toggleViewAction()->setText(QString("%1: %2").arg(name, caption));
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

void TPictureViews::Add(TPictureView* view, bool linked) {
  connect(view, &TPictureView::Activated, this, [this, view, linked] {
    current_ = view;
    if (linked) linked_current_ = view;
  });
  if (!linked) return;
  views_.push_back(view);
  current_ = linked_current_ = view;
  view->OpenLikeAnother = [this](TPictureView* v) { return OpenLikeAnother(v); };
  connect(view, &TPictureView::ZoomChanged, this, [this, view] { Follow(view, true); });
  connect(view, &TPictureView::Scrolled, this, [this, view] { Follow(view, false); });
}

void TPictureViews::SetLinked(bool linked) {
  linked_ = linked;
  if (linked_ && linked_current_) Follow(linked_current_, true);
}

void TPictureViews::ZoomIn() {
  if (TPictureView* view = Current()) view->ZoomIn();
}

void TPictureViews::ZoomOut() {
  if (TPictureView* view = Current()) view->ZoomOut();
}

void TPictureViews::Fit() {
  if (TPictureView* view = Current()) view->SetZoom(true, view->Scale());
}

void TPictureViews::ActualSize() {
  if (TPictureView* view = Current()) view->SetZoom(false, 1.0);
}

void TPictureViews::Follow(TPictureView* leader, bool zoom) {
  if (!linked_ || following_) return;
  following_ = true;
  const QPointF origin = leader->Origin();
  const QSize size = leader->Box()->PictureSize();
  for (TPictureView* view : views_) {
    if (view == leader) continue;
    // The zoom a new picture opened at is not the person's: it goes only to the views of
    // a picture of its size, or of none yet (a hidden picture, shown before it is fitted
    // to the visible one, leaves the zoom of the other two alone).
    const QSize other = view->Box()->PictureSize();
    if (zoom && leader->Automatic() && !other.isEmpty() && other != size) continue;
    if (zoom) view->SetZoom(leader->Fitting(), leader->Scale(), std::nullopt, leader->Automatic());
    view->ScrollToOrigin(origin);
  }
  following_ = false;
}

bool TPictureViews::OpenLikeAnother(TPictureView* view) {
  if (!linked_) return false;
  const QSize size = view->Box()->PictureSize();
  for (TPictureView* other : views_) {
    if (other == view || other->Box()->PictureSize() != size) continue;
    following_ = true;
    view->SetZoom(other->Fitting(), other->Scale(), std::nullopt, other->Automatic());
    view->ScrollToOrigin(other->Origin());
    following_ = false;
    return true;
  }
  return false;
}
