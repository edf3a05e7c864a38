// A byte map: each of the 256 byte values to another, applied to runs of bytes (the indices
// of a picture through a colour table's renumbering, a view's tone levels). A generic loop
// and, where the processor has them, AVX2 shuffles and AVX-512 VBMI permutes in sibling
// files (ByteMapVector.h), which give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// A table of the 256 byte values, prepared for the vector lookup.
struct TByteMap {
  explicit TByteMap(const uint8_t (&table)[256]);
  uint8_t table[256];
  // For the vector lookup: the table's halves (bytes below 128, bytes from 128) in eight
  // rows of 16, each row stored as the exclusive or with the row before it, so that the
  // lookups of rows 0 .. k together give row k (ByteMap.cpp).
  alignas(16) uint8_t steps[2][8][16];
};

// The ways of mapping bytes; one the processor lacks maps generically.
enum class TByteMapKernel { bkGeneric, bkAvx2, bkAvx512 };
bool ByteMapKernelAvailable(TByteMapKernel kernel);
// The widest way the processor has.
TByteMapKernel WidestByteMapKernel();

// out[i] = map.table[in[i]] for count bytes, by `kernel`; in and out may be the same.
void MapBytesWith(TByteMapKernel kernel, const uint8_t* in, uint8_t* out, size_t count,
                  const TByteMap& map);

// The place of the first of count bytes that the map takes to a value other than zero, or
// count: with a map of flags, where the first byte of a set of values lies.
size_t FirstFlagged(TByteMapKernel kernel, const uint8_t* in, size_t count, const TByteMap& map);
