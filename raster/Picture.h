// TPicture: holds at most one graphic (owned) for an image box or a chart background, and
// reads and writes it as a stored picture. Registration of graphic formats is a class
// method of TPicture (see FileFormats.h for the registry itself).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "raster/Graphic.h"

class TStream;

class TPicture {
 public:
  using TNotifyEvent = std::function<void(TPicture& sender)>;

  TPicture();
  ~TPicture();
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The held graphic, or nullptr.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Makes a new graphic of exactly the class of `source` (a TSPIBitmap gives a TSPIBitmap),
  // copies `source` into it (rasters share their pixel store), holds it in place of the
  // previous one and signals a change. nullptr empties the picture.
  void SetGraphic(const TGraphic* source);
  void Assign(const TPicture& source) { SetGraphic(source.Graphic()); }

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // Stored picture: one byte n, n characters of the graphic's class name (at most 63;
  // n = 0 means no graphic), then the graphic's own stored data. A class name that is not
  // registered reads as an empty picture; a graphic that fails to read its data is freed
  // and the exception passes on, leaving the picture as it was.
  void ReadData(TStream& stream);
  void WriteData(TStream& stream) const;

  // Appends (extension, description, class) to the format registry.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 const TGraphicClass& graphic_class);
  // Removes the entries of a class and of every class derived from it.
  static void UnregisterGraphicClass(const TGraphicClass& graphic_class);

  TNotifyEvent OnChange;
  TGraphic::TProgressEvent OnProgress;

 private:
  void Hold(std::unique_ptr<TGraphic> graphic);
  void Changed();

  std::unique_ptr<TGraphic> graphic_;
};
