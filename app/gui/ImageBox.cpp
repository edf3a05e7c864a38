#include "app/gui/ImageBox.h"

#include <exception>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include "app/gui/Zoom.h"
#include "raster/Bitmap.h"

void TScaledBox::SetScale(double scale) {
  if (scale == scale_) return;
  scale_ = scale;
  FollowScale();
  update();
}

QSize TScaledBox::ScaledSize() const {
  const QSize size = PictureSize();
  return QSize(ScaledLength(size.width(), scale_), ScaledLength(size.height(), scale_));
}

TImageBox::TImageBox(QWidget* parent) : TScaledBox(parent) {
  // Every exposed pixel is painted from the picture or left to the background.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageBox::Show(const TGraphic* graphic) {
  picture_.SetGraphic(graphic);
  FollowPicture();
  update();
  const QSize size = PictureSize();
  if (size != shown_size_ && !size.isEmpty()) {
    shown_size_ = size;
    emit PictureSizeChanged();
  }
}

void TImageBox::FollowPicture() {
  if (auto_size_ && !PictureSize().isEmpty()) setFixedSize(ScaledSize());
}

const TBitmap* TImageBox::Bitmap() const {
  return dynamic_cast<const TBitmap*>(picture_.Graphic());
}

QSize TImageBox::PictureSize() const {
  if (picture_.Graphic() == nullptr || picture_.Graphic()->Empty()) return QSize(0, 0);
  return QSize(picture_.Width(), picture_.Height());
}

void TImageBox::paintEvent(QPaintEvent* event) {
  const TBitmap* bitmap = Bitmap();
  if (bitmap == nullptr || bitmap->Empty()) return;
  const QRect part = event->rect() & QRect(QPoint(0, 0), ScaledSize());
  if (part.isEmpty()) return;
  try {
    const QImage image = ScaledRasterPart(*bitmap, Scale(), part);
    QPainter painter(this);
    painter.drawImage(part.topLeft(), image);
  } catch (const std::exception&) {
    // A picture that cannot be read leaves the box blank; painting never raises.
  }
}
