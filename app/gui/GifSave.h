// The GIF branch of "Save to File": the combined picture goes to the chart panel's GIF
// export, the same save the command-line tool runs. Image4 keeps the 8-bit copy that the
// chart shows, and the chart keeps the size the save gave it.
#pragma once

#include <string>

class QWidget;
class TBitmap;
class TImageBox;

void SaveResultAsGif(const TBitmap& result, const std::string& file_name, TImageBox& image4,
                     QWidget& chart);
