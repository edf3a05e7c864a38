// The picture windows: a dockable tool window whose scroll box shows one scaled box (an
// image box, or the Reveal window's view), zoomed (Fit, 1:1, the zoom steps), with a small
// zoom control in its title bar, and which may take a picture file dropped on it.
// TPictureViews links the zoom and the scroll position of several windows.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QDockWidget>
#include <QPointF>
#include <QScrollArea>

class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;
class TScaledBox;

// The scroll box with its scaled box. The box sits at the top left; a picture larger than
// the viewport scrolls. A picture of a new size opens at Fit when it is larger than the
// viewport at natural size and at 1:1 otherwise, from its top left, and keeps that rule as
// the window is resized until the person zooms; only a Fit the person chose is kept for a
// new picture (so a whole picture stays whole).
class TPictureView : public QScrollArea {
  Q_OBJECT

 public:
  explicit TPictureView(TScaledBox* box, QWidget* parent = nullptr);

  TScaledBox* Box() const { return box_; }
  // Fit: the scale follows the picture and the viewport, so the whole picture shows.
  bool Fitting() const { return fit_; }
  double Scale() const;
  // Whether the zoom is the one a new picture opened at, not one the person chose.
  bool Automatic() const { return automatic_; }

  // A fixed scale, or Fit (`scale` then unused). The picture point under `anchor` (viewport
  // coordinates; the viewport's centre when none) stays where it is. `automatic`: the zoom
  // is the opening one (see Automatic), not the person's choice.
  void SetZoom(bool fit, double scale, std::optional<QPoint> anchor = std::nullopt,
               bool automatic = false);
  void ZoomIn(std::optional<QPoint> anchor = std::nullopt);
  void ZoomOut(std::optional<QPoint> anchor = std::nullopt);

  // The picture point at the viewport's top left, and scrolling so that a picture point
  // comes as near to it as the scroll range allows. Linked views share this point, so
  // pictures of one size in windows of one size scroll alike to the pixel.
  QPointF Origin() const;
  void ScrollToOrigin(const QPointF& point);

  // Asked first when a picture of a new size arrives: true when it gave the view its zoom
  // (a linked view of the same size lends its own), else the view opens it as above.
  std::function<bool(TPictureView*)> OpenLikeAnother;

 signals:
  // The scale or the Fit mode changed: by a command, or Fit following the picture or the
  // window's size.
  void ZoomChanged();
  // The user scrolled (not the scroll that a zoom makes: ZoomChanged covers that).
  void Scrolled();
  // The user pointed at this view: a click, a wheel turn, the keyboard focus.
  void Activated();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void Refit();
  // A picture of a new size: the zoom it opens at, from its top left.
  void OpenPicture();
  // That zoom: Fit for a picture larger than the window, else 1:1; it stays the automatic
  // one, following the window's size until the person zooms.
  void OpeningZoom();

  TScaledBox* box_;
  bool fit_ = false;
  bool automatic_ = true;
  bool zooming_ = false;
  int wheel_angle_ = 0;
};

// The title bar of a picture window: the name of what it shows and beside it its caption,
// then zoom out, the zoom menu (showing the scale), zoom in, the button that floats or docks
// the window and, for a window that can be closed, the one that closes it.
class TPictureTitleBar : public QWidget {
  Q_OBJECT

 public:
  TPictureTitleBar(QDockWidget* window, const QString& name);

  QLabel* Caption = nullptr;
  QLabel* Name = nullptr;  // empty for a window whose caption names it
  QToolButton* ZoomOutButton = nullptr;
  QToolButton* ZoomButton = nullptr;  // its menu holds every zoom command
  QToolButton* ZoomInButton = nullptr;
  QToolButton* FloatButton = nullptr;
  QToolButton* CloseButton = nullptr;  // only for a window that can be closed
  QMenu* ZoomMenu = nullptr;

 signals:
  // A zoom control of this bar is about to act (it acts on this window).
  void Activated();
};

class TPictureWindow : public QDockWidget {
  Q_OBJECT

 public:
  // `caption` is the window's title, `name` what its title bar says it shows beside it;
  // `closable`: the window can be closed (and its title bar has a close button).
  TPictureWindow(const QString& caption, const QString& name, TScaledBox* box,
                 QWidget* parent = nullptr, bool closable = false);

  TPictureView* View() const { return view_; }
  TPictureTitleBar* TitleBar() const { return title_bar_; }
  // The window's client: the view, and room for controls above and below it.
  QVBoxLayout* ClientLayout() const { return client_layout_; }
  // Whether a file dropped on the window is taken.
  void SetAcceptsFiles(bool accepts) { setAcceptDrops(accepts); }

 signals:
  // A local file was dropped on the window (the first, when several were).
  void FileDropped(const QString& file_name);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ShowZoom();

  TPictureView* view_;
  TPictureTitleBar* title_bar_;
  QVBoxLayout* client_layout_;
};

// Several views whose zoom and scroll position move together while linked (the default),
// and the one the zoom commands act on: the one last pointed at, the last one added at
// start. A view added unlinked (the Reveal window's) takes the zoom commands when pointed
// at but never moves with the others.
class TPictureViews : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  void Add(TPictureView* view, bool linked = true);
  const std::vector<TPictureView*>& Views() const { return views_; }
  // The view the zoom commands act on: the one last pointed at, or when that one is an
  // unlinked view that is closed now, the linked one last pointed at.
  TPictureView* Current() const {
    const bool closed = current_ && current_ != linked_current_ && !current_->isVisible();
    return closed ? linked_current_ : current_;
  }
  void SetCurrent(TPictureView* view) { current_ = view; }

  bool Linked() const { return linked_; }
  // Linking brings the other views to the current one's zoom and position.
  void SetLinked(bool linked);

  // The zoom commands, on the current view (and so on all while linked).
  void ZoomIn();
  void ZoomOut();
  void Fit();
  void ActualSize();

 private:
  // The other views take `leader`'s zoom (when `zoom`) and scroll position.
  void Follow(TPictureView* leader, bool zoom);
  // A linked view given a picture of a new size takes the zoom and position of another
  // linked view that shows a picture of that size: the three stay alike.
  bool OpenLikeAnother(TPictureView* view);

  std::vector<TPictureView*> views_;  // the linked ones
  TPictureView* current_ = nullptr;
  TPictureView* linked_current_ = nullptr;  // the linked view last pointed at
  bool linked_ = true;
  bool following_ = false;
};
