// The vector paths of the view row kernels (ViewRows.h), one file per instruction set:
// ViewRowsAvx2.cpp and ViewRowsAvx512.cpp. ViewRows.cpp chooses among them by what the
// processor runs (platform/Processor.h) and does the rest of each row generically; each
// function returns how far it got. Every path gives the generic path's bytes.
//
// Where the x86 kernels are not built (LUMIVEIL_X86_KERNELS is 0), the processor reports
// neither set and ViewRows.cpp never calls them; the inline definitions at the end do
// nothing, so that it needs no conditions of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Processor.h"

struct TByteMap;

#if LUMIVEIL_X86_KERNELS

// Pixels a .. b - 1 of an inner row of the hidden view (both neighbour rows present,
// 1 <= a, b <= width - 1; out holds pixel x at x - out_origin): every even cell has all four
// neighbours. Returns the first pixel not done.
int HiddenInnerAvx2(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
                    int a, int b, int out_origin);
int HiddenInnerAvx512(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out,
                      int y, int a, int b, int out_origin);

// HiddenInnerAvx512 that also maps the row below back as it goes (HiddenRowMappingBelow):
// `below` gets the mapped bytes of `below_stored` for the blocks done, from byte 3a up to
// mapped_end. Returns the first pixel not done.
int HiddenMappingBelowAvx512(const uint8_t* up, const uint8_t* row, const uint8_t* below_stored,
                             const uint8_t* ahead, uint8_t* below, const TByteMap& map,
                             uint8_t* out, int y, int a, int b, int out_origin, int& mapped_end);

// Output pixels from .. of AverageRow for a row pair with a bottom row, eight at a time
// while the eight pairs and the pixel after them lie in the row. Returns the first output
// pixel not done.
int AverageRowAvx2(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                   int width);
#else
inline int HiddenInnerAvx2(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int a,
                           int, int) {
  return a;
}
inline int HiddenInnerAvx512(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int a,
                             int, int) {
  return a;
}
inline int HiddenMappingBelowAvx512(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*,
                                    uint8_t*, const TByteMap&, uint8_t*, int, int a, int, int,
                                    int& mapped_end) {
  mapped_end = 3 * a;
  return a;
}
inline int AverageRowAvx2(const uint8_t*, const uint8_t*, uint8_t*, int from, int, int) {
  return from;
}
#endif
