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

// The band found from the picture. Its ends are the 0.5 % and 99.5 % percentiles of the
// odd cells' luminance (Luma, Scores.h), each odd cell's averaged with its four diagonal
// neighbours': a codec's noise and its blurred colour move the extremes of the odd cells
// far past the band, few cells past those percentiles, and the luminance least. An end is
// instead the odd cells' extreme over the channels (a few stray cells left out, see
// Band.cpp) when that lies within kBandSnap of the channels' own percentile (not at 0 or
// 255) or of the luminance's: so a lossless picture whose hidden picture spans 0 .. 255
// gives back exactly the band used. After JPEG at quality 85 (4:2:0 or 4:4:4) the band
// found is within 4 of the band used for C up to 64 when the hidden picture has black and
// white areas, within about 12 at C = 127; a hidden picture without them gives a narrower
// band. A picture without odd cells (1 x 1) gives the identity band. The picture must hold
// 24-bit pixels.
inline constexpr int kBandSnap = 4;
struct TFoundBand {
  TToneBand band;
  int low[3] = {0, 0, 0};  // per channel (blue, green, red), after leaving out strays
  int high[3] = {0, 0, 0};
  int luma_low = 0, luma_high = 0;  // the luminance's percentiles
  uint64_t odd_cells = 0;
};
TFoundBand FindBand(const TBitmap& result);
