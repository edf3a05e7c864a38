// A palette for colours of unequal importance: each distinct colour carries a weight (how
// many pixels have it times how much an error in them costs), and the palette is chosen to
// make the weighted sum of squared errors small when every colour goes to its nearest entry
// (TNearestColorMap).
//
// Boxes of colours are split one at a time, always the box of the largest weighted squared
// error, across the channel of the largest weighted variance and at the value that leaves
// the two halves the least error; each box's weighted mean is an entry. A few rounds of
// refinement then give every colour to its nearest entry and move every entry to the
// weighted mean of its colours (the octree's leaves follow the bits of the colours and
// cannot gather around a small cloud of important colours this way).
//
// The result depends only on the colours, their order and their weights: integer weights,
// sums in a fixed order, no threads.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Colors.h"

struct TWeightedColour {
  uint8_t red = 0, green = 0, blue = 0;
  uint64_t weight = 0;  // > 0
  uint64_t count = 1;   // the pixels of the colour (what the file's size counts)
};

// At most max_colours (1 to 256) entries for the colours, which must be distinct: all of
// them, in their order, when there are no more than max_colours; else the boxes' entries
// after `rounds` rounds of refinement (fewer when a round moves no entry). The weights'
// sum times 3 * 255^2 must fit in 64 bits.
std::vector<TPaletteEntry> WeightedPalette(std::span<const TWeightedColour> colours,
                                           int max_colours, int rounds = 6);

// The weighted sum of squared errors of the colours, each taken to its nearest entry.
uint64_t WeightedError(std::span<const TWeightedColour> colours,
                       const std::vector<TPaletteEntry>& palette);

// Each colour's entry when the size of the file counts as well as the error: the entry that
// makes weight * d^2 + rate * count * bits the least, d the distance to the entry and bits
// what the entry's index costs in an ideal code, -log2 of the share of the pixels it
// serves. A colour then takes a busier entry when that is only a little farther, which
// leaves fewer, more frequent indices for the compressor. The shares are first those of
// the nearest entries and then those of the previous round's choice, `rounds` times; the
// palette stays as it is. Rate 0 gives the nearest entries (the lowest index on a tie).
// Integer arithmetic throughout (bits in 1/256ths), so the choice is the same everywhere;
// weight * 3 * 255^2 * 256 and rate * count * 6144 must fit in 64 bits.
std::vector<uint8_t> RateAwareEntries(std::span<const TWeightedColour> colours,
                                      const std::vector<TPaletteEntry>& palette, uint64_t rate,
                                      int rounds = 3);
