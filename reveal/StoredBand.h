// The band a PNG file records: its tEXt chunk with the keyword "Lumiveil" holds the text
// "average=A contrast=C version=V". A small chunk scanner of our own reads it, bounded
// and safe on hostile files: it reads only chunk headers and the one text chunk, skips
// every other chunk by seeking (never allocating what a length claims), and keeps at
// most kMaxBandChunk bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "reveal/Band.h"

class TStream;

inline constexpr const char kBandChunkKeyword[] = "Lumiveil";
// The longest band chunk read (keyword, zero byte and text); a longer one is not ours.
inline constexpr int kMaxBandChunk = 1024;

enum class TStoredBandState {
  sbNone,       // not a PNG file, or no "Lumiveil" text chunk before the end
  sbStored,     // the band and the version are those of the chunk
  sbMalformed,  // a "Lumiveil" chunk that cannot be used; problem says why
};

struct TStoredBand {
  TStoredBandState state = TStoredBandState::sbNone;
  TToneBand band;
  std::string version;
  std::string problem;
};

// Scans the stream from its present position (the file's first byte). The first
// "Lumiveil" chunk decides; scanning ends there, at IEND or at the end of the data.
TStoredBand ReadStoredBand(TStream& stream);
// The same for a file; raises EFOpenError when it cannot be opened.
TStoredBand ReadStoredBandFile(const std::string& file_name);

// Reads "average=A contrast=C version=V" exactly (A, C decimal, V one or more printable
// characters without spaces); false, with the reason in problem, for anything else or a
// band the sliders cannot set.
bool ParseBandText(const std::string& text, TToneBand& band, std::string& version,
                   std::string& problem);

// The CRC-32 of PNG chunks (over the chunk type and data).
uint32_t ChunkCrc(const uint8_t* data, size_t size, uint32_t crc = 0);
