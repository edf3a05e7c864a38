// Saving the combined picture as a GIF file the way the window's "Save to File" does with
// "GIF" ticked: an 8-bit halftone copy of the picture in the invisible image box, which
// becomes the back image of the invisible chart, whose panel the GIF export renders and
// writes. The window and the command-line tool both call SaveAsGif.
#pragma once

#include <string>

#include "export/TeePanel.h"
#include "raster/Picture.h"

class TBitmap;

// An image box without a toolkit: its picture, and its size, which follows the picture
// when automatic sizing is on and the picture is not empty.
class TImage {
 public:
  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }
  // The picture takes a copy of graphic (nullptr empties it); the box then sizes itself.
  void SetGraphic(const TGraphic* graphic);
  bool AutoSize = true;
  // A new box's size (the toolkit's default for an image box).
  int Width = 105;
  int Height = 105;

 private:
  TPicture picture_;
};

// The window's invisible chart and the image box inside it, as its form makes them; both
// keep what a save leaves in them (the chart's size and back image, the box's copy).
struct TGifSaveTarget {
  TGifSaveTarget();
  TImage Image4;
  TChart Chart;
};

// The GIF save's reduction of its copy of the result (step 2): the picture becomes 8 bits
// per pixel in the halftone palette, each colour going to its nearest entry without
// dithering. The palette PNG of the result is reduced by the same call.
void ReduceToHalftone(TBitmap& picture);

// Writes result as a GIF file named exactly file_name through target's image box and
// chart. Every failure is raised (for example "Color table overflow" when the rendered
// panel holds more than 256 colours); the file is written safely, so a failed save leaves
// an existing file untouched and no new file behind.
void SaveAsGif(const TBitmap& result, TGifSaveTarget& target, const std::string& file_name);
// The same for a caller that gives result up: it is left empty, and its pixels, when
// nothing else holds them, are freed once the halftone copy is made, so that the stores
// the save makes after it take their pages instead of fresh memory.
void SaveAsGif(TBitmap&& result, TGifSaveTarget& target, const std::string& file_name);
