// The row kernels of the views: a byte map applied to a run of bytes, the cells of one
// phase gathered, 2 x 2 means, and the hidden picture's rows recovered through the band.
// Each has a generic version and, where it pays, AVX2 and AVX-512 versions in sibling files
// (ViewRowsVector.h) that give the same bytes, chosen by what the processor runs
// (platform/Processor.h) and the composition's kernel path (compose/ResampleTables.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/ByteMap.h"

// out[i] = map.table[in[i]] for count bytes; in and out may be the same. With the AVX2
// kernel path, the 64-byte permutes of AVX-512 VBMI where the processor has them, else
// 16-byte shuffles.
void MapBytes(const uint8_t* in, uint8_t* out, size_t count, const TByteMap& map);

// With the AVX2 kernel path, the 64-byte registers of AVX-512 (VBMI) are used where the
// processor has them (Avx512VbmiAvailable) unless a test or benchmark turns them off here.
void SetAvx512Allowed(bool allowed);

// Copies count pixels of a 24-bit row, every other one from pixel `first` on: out pixel i
// is row pixel first + 2i.
void GatherCells(const uint8_t* row, uint8_t* out, int first, int count);

// The 2 x 2 means of output pixels from .. to - 1 of a row pair: output pixel i averages
// pixels 2i and 2i + 1 (the second only where 2i + 1 < width) of `top` and of `bottom`
// (null for the last row of a picture of odd height), rounded half up.
void AverageRow(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                int width);

// One row y of the hidden view, pixels from .. to - 1, written to out[0 ..]. `up`, `row`
// and `down` are rows y - 1, y, y + 1 already mapped back through the band (absolute
// positions; null beyond the picture's top or bottom; only the pixels from - 1 .. to need
// be valid). Odd cells take their own value; an even cell takes the mean of its odd
// neighbours left, right, above and below that the picture has, rounded half up (128
// where it has none: a 1 x 1 picture).
void HiddenRow(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
               int from, int to, int width);

// HiddenRow for a row with rows above and below, mapping the row below back on the way:
// `below` gets below_stored mapped over the pixels from - 1 .. to (what the next row needs
// as its own), while row y is made from `up` and `row` (mapped already) and the fresh
// bytes. Each row is thus read from the picture once. Quicker than MapBytes and HiddenRow
// one after the other where the processor has AVX-512 (VBMI); the same bytes either way.
// `ahead` (the stored row after, or null) is asked into the cache meanwhile.
bool HiddenRowMappingBelowAvailable();
void HiddenRowMappingBelow(const uint8_t* up, const uint8_t* row, const uint8_t* below_stored,
                           const uint8_t* ahead, uint8_t* below, const TByteMap& map, uint8_t* out,
                           int y, int from, int to, int width);
