#include "app/gui/ImageBox.h"

#include <cstring>
#include <exception>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include "raster/Bitmap.h"

TImageBox::TImageBox(QWidget* parent) : QWidget(parent) {
  // Every exposed pixel is painted from the picture or left to the background.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageBox::Show(const TGraphic* graphic) {
  picture_.SetGraphic(graphic);
  if (auto_size_ && picture_.Graphic() != nullptr && !picture_.Graphic()->Empty())
    setFixedSize(picture_.Width(), picture_.Height());
  update();
}

const TBitmap* TImageBox::Bitmap() const {
  return dynamic_cast<const TBitmap*>(picture_.Graphic());
}

QSize TImageBox::sizeHint() const {
  if (picture_.Graphic() == nullptr || picture_.Graphic()->Empty()) return QSize(0, 0);
  return QSize(picture_.Width(), picture_.Height());
}

QImage RasterPart(const TBitmap& bitmap, int left, int top, int width, int height) {
  QImage image(width, height, QImage::Format_BGR888);
  const int bits = bitmap.BitsPerPixel();
  const auto& table = bitmap.ColorTable();
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bitmap.ConstScanline(top + y);
    uint8_t* out = image.scanLine(y);
    switch (bits) {
      case 24:  // blue, green, red: the image's own byte order
        std::memcpy(out, row + size_t(left) * 3, size_t(width) * 3);
        break;
      case 32:  // blue, green, red, unused
        for (int x = 0; x < width; ++x) {
          const uint8_t* p = row + size_t(left + x) * 4;
          out[3 * x] = p[0], out[3 * x + 1] = p[1], out[3 * x + 2] = p[2];
        }
        break;
      case 1:
      case 4:
      case 8:
        for (int x = 0; x < width; ++x) {
          const int column = left + x;
          const int bit = column * bits;
          const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
          // An index beyond a short colour table shows black rather than reading past it.
          const TRGBQuad q = index < table.size() ? table[index] : TRGBQuad{};
          out[3 * x] = q.rgbBlue, out[3 * x + 1] = q.rgbGreen, out[3 * x + 2] = q.rgbRed;
        }
        break;
      default:  // 15 and 16 bits: rare here, read pixel by pixel
        for (int x = 0; x < width; ++x) {
          const TColor c = bitmap.Pixel(left + x, top + y);
          out[3 * x] = GetBValue(c), out[3 * x + 1] = GetGValue(c), out[3 * x + 2] = GetRValue(c);
        }
        break;
    }
  }
  return image;
}

void TImageBox::paintEvent(QPaintEvent* event) {
  const TBitmap* bitmap = Bitmap();
  if (bitmap == nullptr || bitmap->Empty()) return;
  const QRect part = event->rect() & QRect(0, 0, bitmap->Width(), bitmap->Height());
  if (part.isEmpty()) return;
  try {
    const QImage image = RasterPart(*bitmap, part.x(), part.y(), part.width(), part.height());
    QPainter painter(this);
    painter.drawImage(part.topLeft(), image);
  } catch (const std::exception&) {
    // A picture that cannot be read leaves the box blank; painting never raises.
  }
}
