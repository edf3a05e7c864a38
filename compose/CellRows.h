// The row functions of the checkerboard and the tone mapping, shared by ApplyInnerTone and
// the synthesis. Each works on one row of 24-bit pixels: the cells of row y with x + y odd
// are the hidden picture's, the others the visible picture's. A generic version and an
// AVX2 version (chosen by KernelPath) give the same bytes.
#pragma once

#include <cstdint>

struct TToneTable;

// Replaces the odd cells of `result` (width pixels of row y) by the hidden bytes mapped
// with `tone`; even cells keep their bytes.
void MapOddCellsRow(const uint8_t* hidden, uint8_t* result, int width, int y,
                    const TToneTable& tone);

// Writes a whole row of the combined picture: even cells from `visible`, odd cells from
// `hidden`, mapped with `tone` when it is given and copied when it is null.
void ComposeRow(const uint8_t* visible, const uint8_t* hidden, uint8_t* result, int width, int y,
                const TToneTable* tone);

// Adds the mapped value of each of `count` bytes to its 16-bit sum: sums[k] += map[bytes[k]]
// (the caller keeps the sums from overflowing). For views that sum the odd cells of many
// rows without storing them.
void AddMappedBytes(const uint8_t* bytes, int count, const TToneTable& tone, uint16_t* sums);
