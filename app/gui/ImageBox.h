// TImageBox: shows a picture, at its natural size or zoomed. The box keeps its own copy of
// what it was given (a raster copy shares the pixel store, so this costs no pixel copy), so
// a slot changed later shows its new content only after it is given to the box again.
// Painting converts only the screen pixels that are exposed: below 1:1 each is the area
// average of the picture pixels it covers, above 1:1 picture pixels are sharp blocks.
#pragma once

#include <QWidget>

#include "app/gui/ScaledPart.h"
#include "raster/Picture.h"

class TBitmap;
class TGraphic;

// What a picture view shows: a widget that paints a picture at a scale (screen pixels per
// picture pixel, 1 at start), taking the picture's size at that scale, and that tells when
// its picture's size changed. The image boxes and the Reveal window's box are two kinds.
class TScaledBox : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // The picture's width and height, (0, 0) when it is empty.
  virtual QSize PictureSize() const = 0;
  double Scale() const { return scale_; }
  void SetScale(double scale);
  // The picture's size on screen at the box's scale.
  QSize ScaledSize() const;
  QSize sizeHint() const override { return ScaledSize(); }

 signals:
  // The box was given a picture of another size than before (not an empty one).
  void PictureSizeChanged();

 protected:
  // The scale changed: the box takes its new size.
  virtual void FollowScale() = 0;

 private:
  double scale_ = 1.0;
};

class TImageBox : public TScaledBox {
  Q_OBJECT

 public:
  explicit TImageBox(QWidget* parent = nullptr);

  // The box's picture takes a copy of `graphic` (nullptr empties it). With AutoSize the
  // box takes the picture's size at the box's scale; an empty picture leaves the size as
  // it was.
  void Show(const TGraphic* graphic);
  // Lets go of the picture without resizing or repainting, so that its pixel store is no
  // longer shared while its owner changes it. The owner gives the box a picture again
  // before anything can be painted.
  void Release() { picture_.SetGraphic(nullptr); }
  const TPicture& Picture() const { return picture_; }
  // The held raster, or nullptr when the picture is empty or holds no raster.
  const TBitmap* Bitmap() const;
  QSize PictureSize() const override;

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value) { auto_size_ = value; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void FollowScale() override { FollowPicture(); }

 private:
  void FollowPicture();

  TPicture picture_;
  bool auto_size_ = true;
  QSize shown_size_;
};
