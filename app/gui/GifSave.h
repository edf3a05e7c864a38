// The GIF branch of "Save to File" works on the window's toolkit-free image box and chart
// (TGifSaveTarget, which the shared GIF save fills, the one the command-line tool runs);
// the invisible Image4 and Chart widgets then show what the save left in them.
#pragma once

class QWidget;
class TImageBox;
struct TGifSaveTarget;

// After a GIF save, whether it succeeded or failed: `image4` takes the target's 8-bit copy
// and size, and `chart` the chart's size.
void ShowGifSaveTarget(const TGifSaveTarget& target, TImageBox& image4, QWidget& chart);
