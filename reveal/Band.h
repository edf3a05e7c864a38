// The band of a combined picture: the average A and the contrast C whose tone mapping put
// the hidden picture into the odd cells (x + y odd, row 0 at the top), between A - C and
// A + C. A band is given, read from the file (StoredBand.h) or found from the picture.
#pragma once

#include <cstdint>

class TBitmap;

struct TToneBand {
  int average = 128;
  int contrast = 127;
  friend bool operator==(const TToneBand&, const TToneBand&) = default;
};

// A = 128 and C = 128 map every byte to itself: the band of a checkerboard whose odd cells
// hold the hidden picture unmapped (the preview after a hidden picture is loaded).
inline constexpr TToneBand kIdentityBand{128, 128};

// Whether the sliders can set the band: A within 0 .. 255 and C within 0 .. L(A).
bool IsSliderBand(const TToneBand& band);
// Raises EInvalidGraphicOperation for a band the sliders cannot set.
void CheckBand(const TToneBand& band);

// The hidden value that each stored byte stands for. The tone mapping gives every byte b
// of the band to an interval of hidden values (2C/255 of them map to one byte, so about
// 255 / (2C) share it); b stands for the middle of its interval, rounded half up. A byte
// no hidden value gives stands for the value between its neighbours' intervals: a byte
// below the band for 0, above it for 255. C = 0 gives every hidden value to A, which then
// stands for 128 (flat grey). The interval's half width bounds the error: at most
// 255 / (4C) + 1 levels (at most 1 for A = 128, C = 127).
struct TInverseTone {
  explicit TInverseTone(const TToneBand& band);  // raises for a band the sliders cannot set
  uint8_t map[256];
};

// The band found from the picture: for each channel the smallest and the largest odd-cell
// value, with a few stray cells at either end left out (see Band.cpp for the rule); the
// band spans the lowest to the highest of the three. A hidden picture that spans 0 .. 255
// in some channel gives back exactly the band used. A picture without odd cells (1 x 1)
// gives the identity band. The picture must hold 24-bit pixels.
struct TFoundBand {
  TToneBand band;
  int low[3] = {0, 0, 0};  // per channel (blue, green, red), after leaving out strays
  int high[3] = {0, 0, 0};
  uint64_t odd_cells = 0;
};
TFoundBand FindBand(const TBitmap& result);
