// The adaptive palette form of a combined picture: a palette of at most 256 colours chosen
// for this picture, in which both pictures come back about as true as the colours allow, in
// a small file.
//
// The two kinds of cells count differently. An even cell shows the visible picture as it
// is; an odd cell holds the hidden picture squeezed into the band A - C .. A + C, and
// whoever recovers it stretches every error by 255 / 2C. So an odd cell's colour error
// weighs more the narrower the band (AdaptivePalette.cpp says how much), and the palette
// spends its entries accordingly (WeightedPalette). When the odd cells hold few colours (a
// grey hidden picture holds at most 2C + 1), giving each an exact entry and the remaining
// entries to the visible cells is tried too, and the palette of the smaller weighted error
// is taken. Each colour then takes the entry that costs least in weighted error plus the
// bits its index takes in the file (RateAwareEntries): mostly its nearest.
//
// Nothing is dithered. Error diffusion would carry each cell's error into its neighbours,
// which are cells of the other picture: the hidden picture's error would show in the normal
// view and the visible picture's would come back with the hidden one. It also makes the
// file larger.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Colors.h"
#include "reveal/Band.h"

class TBitmap;

// The palette for a 24-bit combined picture whose odd cells hold the band (kIdentityBand
// for odd cells that hold the hidden picture unmapped).
std::vector<TPaletteEntry> AdaptivePaletteFor(const TBitmap& picture, const TToneBand& band);

// The picture becomes 8 bits per pixel in its adaptive palette, each colour at the entry
// chosen for it; it is read at 24 bits per pixel. An empty picture stays as it is.
void ReduceToAdaptivePalette(TBitmap& picture, const TToneBand& band);
