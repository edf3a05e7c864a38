// The image data of a PNG file as one zlib stream made of pieces that are compressed apart,
// each on any thread, and joined in order. A piece that is not the last ends with an empty
// stored block, not final, which ends it on a byte boundary where the next piece's first
// block starts. A piece's matches never reach into the piece before it, so the pieces of a
// stream can be made in any order, and the stream is the same however many threads make
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The compressor of the pieces, chosen by what it does best (measured on 4000 x 3000
// pictures, bench/bench_png.cpp):
// - dmQuick, zlib at its level 1: a combined picture's unfiltered checkerboard is mostly
//   one-pixel matches of three bytes, which zlib's quickest level finds; libdeflate's
//   level 1 skips them (a file 25 to 40 % larger) and its levels 2 to 6 come out 7 to 8 %
//   larger than zlib's level 1 for a quarter less time.
// - dmSmall, libdeflate at its level 6: for filtered photos and palette pictures as small
//   as zlib's level 6 (within 1 %) in a third of its time.
// - dmLiterals, blocks of literals alone (raster/DeflateLiterals.h): for the passes of an
//   interlaced combined picture of photographs, whose filtered rows hold few repeats,
//   a little smaller than zlib's level 1 (14.4 against 14.8 MB for 12 megapixels of two
//   enlarged photos) at four to five times its speed. A picture that repeats itself
//   (tiles, a pattern) is far smaller with zlib's matches: the writer's pcAuto tries both.
enum class TDeflateMethod { dmQuick, dmSmall, dmLiterals };

// Compresses pieces with one method; one for each thread (it keeps working memory).
class TDeflatePieces {
 public:
  explicit TDeflatePieces(TDeflateMethod method);
  ~TDeflatePieces();
  TDeflatePieces(const TDeflatePieces&) = delete;
  TDeflatePieces& operator=(const TDeflatePieces&) = delete;

  // Replaces out with `size` bytes of data compressed as one piece of a stream: the last
  // piece ends the stream, any other ends on a byte boundary and goes on into the next.
  // dmLiterals starts a new block (a new code) after each offset of `ends`: where the
  // data's kind changes. Raises EOutOfMemory when the compressor's memory cannot be had.
  void Compress(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out,
                const std::vector<size_t>& ends = {});

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// The zlib stream's two bytes in front of the deflate data (32 KiB window, no dictionary,
// the level field saying which method made it).
void ZlibHeader(TDeflateMethod method, uint8_t out[2]);
// Its four bytes after the deflate data: the Adler-32 checksum of all data, big-endian.
void ZlibTrailer(uint32_t adler, uint8_t out[4]);

// Adler-32 of data, continued from `adler` (1 for none yet).
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);
// The Adler-32 of two pieces of data joined, from each piece's own and the second's length.
uint32_t CombineAdler32(uint32_t first, uint32_t second, size_t second_size);
// CRC-32 (as PNG chunks carry it) of data, continued from `crc` (0 for none yet).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);
