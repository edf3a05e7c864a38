#include "app/gui/GifSave.h"

#include <exception>

#include <QWidget>

#include "app/gui/ImageBox.h"
#include "export/SaveAsGif.h"

void ShowGifSaveTarget(const TGifSaveTarget& target, TImageBox& image4, QWidget& chart) {
  try {
    image4.Show(target.Image4.Picture().Graphic());
  } catch (const std::exception&) {
    // Only a failed allocation of the box's picture object; the hidden box stays empty.
  }
  image4.setFixedSize(target.Image4.Width, target.Image4.Height);
  chart.resize(target.Chart.Width(), target.Chart.Height());
}
