// PNG's row filters (none, sub, up, average, Paeth) and the adaptive choice among them.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the filtered row: its filter type, then `bytes` bytes. `row` and `prior` (the row
// above; zeros for the first row) hold `bytes` bytes of pixels of `bpp` bytes each. With
// adaptive false the row is written unfiltered; else each filter is tried and the one whose
// output, read as signed bytes, has the least sum of magnitudes is written (the lowest
// filter type of equal sums): the usual heuristic, which mostly picks the filter that
// compresses best. `scratch` holds 4 * bytes bytes.
void FilterPngRow(const uint8_t* row, const uint8_t* prior, size_t bytes, int bpp, bool adaptive,
                  uint8_t* out, uint8_t* scratch);

// The filter types, as a filtered row's first byte names them.
enum TPngFilterType : uint8_t { pfNone = 0, pfSub = 1, pfUp = 2, pfAverage = 3, pfPaeth = 4 };

// Writes the row filtered with `filter` alone: its type, then `bytes` bytes.
void FilterPngRowWith(TPngFilterType filter, const uint8_t* row, const uint8_t* prior, size_t bytes,
                      int bpp, uint8_t* out);
