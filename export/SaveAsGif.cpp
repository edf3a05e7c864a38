#include "export/SaveAsGif.h"

#include "export/Teegif.h"
#include "raster/Bitmap.h"

void TImage::SetGraphic(const TGraphic* graphic) {
  picture_.SetGraphic(graphic);
  if (AutoSize && graphic != nullptr && !graphic->Empty()) {
    Width = graphic->Width();
    Height = graphic->Height();
  }
}

TGifSaveTarget::TGifSaveTarget() {
  // The chart as the window's form makes it: 171 x 140, invisible, with its back wall,
  // legend, title and axes hidden and its 3-D walls off.
  Chart.SetWidth(171);
  Chart.SetHeight(140);
  Chart.Visible = false;
  Chart.BackWall.Visible = false;
  Chart.Legend.Visible = false;
  Chart.Title.Visible = false;
  Chart.AxisVisible = false;
  Chart.View3DWalls = false;
}

void ReduceToHalftone(TBitmap& picture) {
  picture.SetPixelFormat(TPixelFormat::Bits8);
}

namespace {

// Steps 2 to 6, on the copy the image box took (step 1).
void SaveBoxCopy(TGifSaveTarget& target, const std::string& file_name) {
  // 2. Its copy becomes 8 bits per pixel: each colour goes to the nearest halftone entry.
  if (auto* copy = dynamic_cast<TBitmap*>(target.Image4.Picture().Graphic()))
    ReduceToHalftone(*copy);
  // 3, 4. The chart takes the box's size, then its picture as the back image.
  target.Chart.SetWidth(target.Image4.Width);
  target.Chart.SetHeight(target.Image4.Height);
  target.Chart.SetBackImage(target.Image4.Picture());
  // 5, 6. An export object for this save writes the file.
  TGIFExportFormat format;
  format.Panel = &target.Chart;
  format.SaveToFile(file_name);
}

}  // namespace

void SaveAsGif(const TBitmap& result, TGifSaveTarget& target, const std::string& file_name) {
  // 1. The image box takes a copy of the result (sharing its pixels) and sizes itself.
  target.Image4.SetGraphic(&result);
  SaveBoxCopy(target, file_name);
}

void SaveAsGif(TBitmap&& result, TGifSaveTarget& target, const std::string& file_name) {
  target.Image4.SetGraphic(&result);
  // The box's copy is left the only holder of the pixels it shares.
  result.Assign(nullptr);
  SaveBoxCopy(target, file_name);
}
