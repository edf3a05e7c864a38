#include "app/gui/GifSave.h"

#include <QWidget>

#include "app/gui/ImageBox.h"
#include "export/SaveAsGif.h"
#include "export/SaveByFormat.h"

void SaveResultAsGif(const TBitmap& result, const std::string& file_name, TGifSaveTarget& target,
                     TImageBox& image4, QWidget& chart) {
  // The widgets follow the target also when the save raises half-way (the copy and the
  // sizes it set stay, as they do in the target).
  struct TMirror {
    TGifSaveTarget& target;
    TImageBox& image4;
    QWidget& chart;
    ~TMirror() {
      try {
        image4.Show(target.Image4.Picture().Graphic());
      } catch (const std::exception&) {
        // Only a failed allocation of the box's picture object; the hidden box stays empty.
      }
      image4.setFixedSize(target.Image4.Width, target.Image4.Height);
      chart.resize(target.Chart.Width(), target.Chart.Height());
    }
  } mirror{target, image4, chart};
  TSaveOptions save(TSaveFormat::sfGIF);
  save.gif_target = &target;
  SaveByFormat(result, file_name, save);
}
