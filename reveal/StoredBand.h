// The band a PNG file records: its text chunk with the keyword "Lumiveil" holds the text
// "average=A contrast=C version=V width=W height=H" (files of earlier versions stop after
// the version). The chunk may be a tEXt chunk (as synth writes it), a compressed zTXt chunk
// or an international iTXt chunk (as other tools rewrite it). A small chunk scanner of our
// own reads it, bounded and safe on hostile files: it reads only chunk headers and the one
// text chunk, skips every other chunk by seeking (never allocating what a length claims),
// keeps at most kMaxBandChunk bytes and inflates at most kMaxBandChunk bytes of text.
//
// The width and height say which picture the band describes: a tool that shrinks a picture
// may copy the chunk into the copy, where it no longer holds (StoredBandFor).
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
  sbStale,      // a chunk for a picture of another size (StoredBandFor); problem says so
};

struct TStoredBand {
  TStoredBandState state = TStoredBandState::sbNone;
  TToneBand band;
  std::string version;
  int width = 0, height = 0;  // the picture's size the chunk records; 0 when it records none
  std::string problem;
  const char* chunk = "tEXt";  // the kind of chunk it was read from
};

// Scans the stream from its present position (the file's first byte). The first
// "Lumiveil" chunk decides; scanning ends there, at IEND or at the end of the data.
TStoredBand ReadStoredBand(TStream& stream);
// The same for a file; raises EFOpenError when it cannot be opened.
TStoredBand ReadStoredBandFile(const std::string& file_name);

// The band stored in a file for the picture read from it: a chunk that records another
// size than width x height becomes sbStale (the band is not to be used).
TStoredBand StoredBandFor(const std::string& file_name, int width, int height);

// Reads "average=A contrast=C version=V" exactly, optionally followed by
// " width=W height=H" (A, C, W, H decimal, V one or more printable characters without
// spaces); false, with the reason in problem, for anything else or a band the sliders
// cannot set. width and height become 0 when the text records no size.
bool ParseBandText(const std::string& text, TToneBand& band, std::string& version,
                   std::string& problem);
bool ParseBandText(const std::string& text, TToneBand& band, std::string& version, int& width,
                   int& height, std::string& problem);

// The CRC-32 of PNG chunks (over the chunk type and data).
uint32_t ChunkCrc(const uint8_t* data, size_t size, uint32_t crc = 0);
