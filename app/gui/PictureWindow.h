// The picture windows: a dockable tool window whose scroll box shows one image box, zoomed
// (natural size at start, Fit, 1:1, the zoom steps), with a small zoom control in its title
// bar, and which may take a picture file dropped on it. TPictureViews links the zoom and
// the scroll position of several windows.
#pragma once

#include <optional>
#include <vector>

#include <QDockWidget>
#include <QPointF>
#include <QScrollArea>

class QLabel;
class QMenu;
class QToolButton;
class TImageBox;

// The scroll box with its image box. The box sits at the top left; a picture larger than
// the viewport scrolls.
class TPictureView : public QScrollArea {
  Q_OBJECT

 public:
  explicit TPictureView(TImageBox* box, QWidget* parent = nullptr);

  TImageBox* Box() const { return box_; }
  // Fit: the scale follows the picture and the viewport, so the whole picture shows.
  bool Fitting() const { return fit_; }
  double Scale() const;

  // A fixed scale, or Fit (`scale` then unused). The picture point under `anchor` (viewport
  // coordinates; the viewport's centre when none) stays where it is.
  void SetZoom(bool fit, double scale, std::optional<QPoint> anchor = std::nullopt);
  void ZoomIn(std::optional<QPoint> anchor = std::nullopt);
  void ZoomOut(std::optional<QPoint> anchor = std::nullopt);

  // The picture point at the viewport's top left, and scrolling so that a picture point
  // comes as near to it as the scroll range allows. Linked views share this point, so
  // pictures of one size in windows of one size scroll alike to the pixel.
  QPointF Origin() const;
  void ScrollToOrigin(const QPointF& point);

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

  TImageBox* box_;
  bool fit_ = false;
  bool zooming_ = false;
  int wheel_angle_ = 0;
};

// The title bar of a picture window: its caption, and zoom out, the zoom menu (showing the
// scale), zoom in and the button that floats or docks the window.
class TPictureTitleBar : public QWidget {
  Q_OBJECT

 public:
  explicit TPictureTitleBar(QDockWidget* window);

  QLabel* Caption = nullptr;
  QToolButton* ZoomOutButton = nullptr;
  QToolButton* ZoomButton = nullptr;  // its menu holds every zoom command
  QToolButton* ZoomInButton = nullptr;
  QToolButton* FloatButton = nullptr;
  QMenu* ZoomMenu = nullptr;

 signals:
  // A zoom control of this bar is about to act (it acts on this window).
  void Activated();
};

class TPictureWindow : public QDockWidget {
  Q_OBJECT

 public:
  TPictureWindow(const QString& caption, TImageBox* box, QWidget* parent = nullptr);

  TPictureView* View() const { return view_; }
  TPictureTitleBar* TitleBar() const { return title_bar_; }
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
};

// Several views whose zoom and scroll position move together while linked (the default),
// and the one the zoom commands act on: the one last pointed at, the last one added at
// start.
class TPictureViews : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  void Add(TPictureView* view);
  const std::vector<TPictureView*>& Views() const { return views_; }
  TPictureView* Current() const { return current_; }
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

  std::vector<TPictureView*> views_;
  TPictureView* current_ = nullptr;
  bool linked_ = true;
  bool following_ = false;
};
