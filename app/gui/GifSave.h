// The GIF branch of "Save to File": the shared GIF save (the one the command-line tool
// runs) works on the window's toolkit-free image box and chart; the invisible Image4 and
// Chart widgets then show what the save left in them.
#pragma once

#include <string>

class QWidget;
class TBitmap;
class TImageBox;
struct TGifSaveTarget;

// Writes `result` as a GIF file named exactly `file_name`. Whether the save succeeds or
// fails, `image4` takes the target's 8-bit copy and size and `chart` the chart's size.
void SaveResultAsGif(const TBitmap& result, const std::string& file_name, TGifSaveTarget& target,
                     TImageBox& image4, QWidget& chart);
