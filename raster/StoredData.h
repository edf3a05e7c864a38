// Helpers for graphics whose stored data is a 32-bit length followed by their bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TStream;

// Reads the rest of the stream (from its position).
std::vector<uint8_t> ReadRest(TStream& stream);
// Reads a 32-bit length and that many bytes; a length beyond the stream's end raises
// EReadError before anything is allocated.
std::vector<uint8_t> ReadSizedBlock(TStream& stream);
void WriteSizedBlock(TStream& stream, const uint8_t* data, size_t size);
