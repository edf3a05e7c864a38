// Row access and row conversions on a pixel store: the platform's part of the raster
// (what device-independent sections, GetDIBits and BitBlt do on Windows).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/Colors.h"
#include "raster/Bitmap.h"

// The address of row `row` (0 = top) of a store with pixels.
uint8_t* RowAddress(const TBitmapImage& image, int row);

// Encodes blue, green, red bytes into a row of 15-, 16- or 32-bit pixels with the given
// masks (each channel keeps its top bits) or into 24-bit pixels.
void EncodeRowFromBGR(const uint8_t* bgr, uint8_t* row, int width, int bits,
                      const uint32_t masks[3]);

// Writes palette indices into a row of 1, 4 or 8 bits per pixel.
void PackIndices(const uint8_t* indices, uint8_t* row, int width, int bits);

// Fills a row of `width` pixels of the given format with one colour; for 8 bits or fewer
// `index` is the colour-table index to use.
void FillRow(uint8_t* row, int width, int bits, const uint32_t masks[3], TColor colour,
             uint8_t index);

// Sets the fill bytes at the end of every row of the store to zero, so that they are
// never left uninitialised or carried over from a file.
void ZeroRowPadding(TBitmapImage& image);

// Copies the first `width` pixels of a row of `bits` per pixel (any bits, also 1 and 4).
void CopyRowPrefix(const uint8_t* source, uint8_t* dest, int width, int bits);

// Decodes a run-length image (RLE8 or RLE4, bottom-up rows) into one palette index per
// pixel (`indices` holds width * height bytes, row 0 at the bottom, zero where the data
// writes nothing). Codes that reach outside the picture are clipped; decoding ends at the
// end-of-bitmap code, at the end of the data or above the top row.
void DecodeRunLength(const uint8_t* data, size_t size, bool four_bit, int width, int height,
                     uint8_t* indices);
