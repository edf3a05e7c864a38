// TImageBox: shows a picture at its natural size. The box keeps its own copy of what it
// was given (a raster copy shares the pixel store, so this costs no pixel copy), so a slot
// changed later shows its new content only after it is given to the box again. Painting
// converts only the rows and columns that are exposed.
#pragma once

#include <QWidget>

#include "raster/Picture.h"

class TBitmap;
class TGraphic;

class TImageBox : public QWidget {
  Q_OBJECT

 public:
  explicit TImageBox(QWidget* parent = nullptr);

  // The box's picture takes a copy of `graphic` (nullptr empties it). With AutoSize the
  // box takes the picture's size; an empty picture leaves the size as it was.
  void Show(const TGraphic* graphic);
  // Lets go of the picture without resizing or repainting, so that its pixel store is no
  // longer shared while its owner changes it. The owner gives the box a picture again
  // before anything can be painted.
  void Release() { picture_.SetGraphic(nullptr); }
  const TPicture& Picture() const { return picture_; }
  // The held raster, or nullptr when the picture is empty or holds no raster.
  const TBitmap* Bitmap() const;

  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value) { auto_size_ = value; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TPicture picture_;
  bool auto_size_ = true;
};

// Rows top .. top + height - 1 and columns left .. left + width - 1 of a raster as a
// 24-bit image, whatever the raster's pixel format. The rectangle lies inside the raster.
class QImage;
QImage RasterPart(const TBitmap& bitmap, int left, int top, int width, int height);
