// zlib ends a piece as the join needs it (a sync flush). libdeflate makes whole streams
// only and says nothing of their blocks: zlib's inflate, run block by block (Z_BLOCK), finds
// where such a piece's last block starts (to clear its final-block bit) and the bit where it
// ends (to put the empty stored block after it); running it also proves the piece sound.
#include "raster/PngDeflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <climits>
#include <cstdint>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "raster/DeflateLiterals.h"

struct TDeflatePieces::TState {
  TDeflateMethod method = TDeflateMethod::dmQuick;
  // dmQuick's compressor.
  z_stream deflater{};
  bool deflating = false;
  // dmSmall's compressor, and the scan of its pieces.
  libdeflate_compressor* compressor = nullptr;
  z_stream inflater{};
  bool inflating = false;
  std::vector<uint8_t> inflated;  // where the scan inflates to (the piece's data again)
  // dmLiterals' output before it is copied to the piece.
  std::vector<uint8_t> coded;

  ~TState() {
    if (deflating) deflateEnd(&deflater);
    if (compressor != nullptr) libdeflate_free_compressor(compressor);
    if (inflating) inflateEnd(&inflater);
  }
};

namespace {

[[noreturn]] void Fail(const char* what) {
  throw EInvalidGraphic(Format(SPNGError, what));
}

// Where a whole deflate stream's last block starts (its first bit, the final-block bit) and
// how many bits of the stream's last byte follow that block's end.
struct TLastBlock {
  size_t header_bit = 0;
  int unused_bits = 0;
};

TLastBlock FindLastBlock(z_stream& z, const uint8_t* stream, size_t size,
                         std::vector<uint8_t>& inflated, size_t inflated_size) {
  if (inflateReset(&z) != Z_OK) Fail("inflate reset");
  // One byte more than the piece's data, so that a piece that inflates to more is seen.
  inflated.resize(inflated_size + 1);
  z.next_in = const_cast<Bytef*>(stream);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = inflated.data();
  z.avail_out = static_cast<uInt>(inflated.size());
  TLastBlock last;
  for (;;) {
    // With Z_BLOCK, inflate returns at the end of every block; data_type then has 128 set,
    // 64 when the block was the stream's last, and in its low three bits the number of
    // bits of the last byte taken that it did not use. Without progress it answers
    // Z_BUF_ERROR (a piece cut short).
    if (inflate(&z, Z_BLOCK) != Z_OK) Fail("compressed piece does not inflate");
    if ((z.data_type & 128) == 0) continue;
    const size_t used = size - z.avail_in;
    const int unused = z.data_type & 7;
    if ((z.data_type & 64) != 0) {
      if (used != size || z.total_out != inflated_size) Fail("compressed piece has the wrong size");
      last.unused_bits = unused;
      return last;
    }
    last.header_bit = used * 8 - static_cast<size_t>(unused);
  }
}

// zlib's level 1 with its usual memory (a 32 KiB window, no zlib header: raw deflate).
void CompressQuick(z_stream& z, const uint8_t* data, size_t size, bool last,
                   std::vector<uint8_t>& out) {
  if (deflateReset(&z) != Z_OK) Fail("deflate reset");
  // The bound of a finished stream, and room for the sync flush's empty stored block.
  out.resize(deflateBound(&z, static_cast<uLong>(size)) + 16);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  // A sync flush ends the data so far with an empty stored block, not final: the piece
  // ends on a byte boundary and the stream goes on.
  const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  if (status != (last ? Z_STREAM_END : Z_OK) || z.avail_in != 0 || z.avail_out == 0)
    Fail("compression failed");
  out.resize(out.size() - z.avail_out);
}

}  // namespace

TDeflatePieces::TDeflatePieces(TDeflateMethod method) : state_(std::make_unique<TState>()) {
  TState& s = *state_;
  s.method = method;
  if (method == TDeflateMethod::dmLiterals) return;
  if (method == TDeflateMethod::dmQuick) {
    if (deflateInit2(&s.deflater, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw EOutOfMemory(SOutOfMemory);
    s.deflating = true;
    return;
  }
  s.compressor = libdeflate_alloc_compressor(6);
  if (s.compressor == nullptr) throw EOutOfMemory(SOutOfMemory);
  if (inflateInit2(&s.inflater, -MAX_WBITS) != Z_OK) throw EOutOfMemory(SOutOfMemory);
  s.inflating = true;
}

TDeflatePieces::~TDeflatePieces() = default;

void TDeflatePieces::Compress(const uint8_t* data, size_t size, bool last,
                              std::vector<uint8_t>& out, const std::vector<size_t>& ends) {
  TState& s = *state_;
  // zlib counts in 32 bits; a piece holds whole rows of a picture, far below 2 GiB.
  if (size >= INT32_MAX) Fail("piece too large");
  if (s.method == TDeflateMethod::dmLiterals) {
    // Coded into the kept buffer, which is cleared only when it grows, then copied out.
    const size_t length = DeflateLiterals(data, size, ends, last, s.coded);
    out.assign(s.coded.begin(), s.coded.begin() + static_cast<std::ptrdiff_t>(length));
    return;
  }
  if (s.method == TDeflateMethod::dmQuick) {
    CompressQuick(s.deflater, data, size, last, out);
    return;
  }
  // One byte for a stored block's header bits that do not fit the last byte, four for its
  // length and the length's complement.
  out.resize(libdeflate_deflate_compress_bound(s.compressor, size) + 5);
  size_t length = libdeflate_deflate_compress(s.compressor, data, size, out.data(), out.size());
  if (length == 0) Fail("compression failed");
  if (last) {
    out.resize(length);
    return;
  }
  if (length >= INT32_MAX) Fail("piece too large");
  const TLastBlock block = FindLastBlock(s.inflater, out.data(), length, s.inflated, size);
  out[block.header_bit / 8] &= static_cast<uint8_t>(~(1u << (block.header_bit % 8)));
  // The empty stored block: three zero bits (not final, stored), zero bits up to the byte
  // boundary, then the length 0 and its complement. The bits after the last block are zero.
  out[length - 1] &= static_cast<uint8_t>(0xFF >> block.unused_bits);
  if (block.unused_bits < 3) out[length++] = 0;
  for (const uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) out[length++] = byte;
  out.resize(length);
}

void ZlibHeader(TDeflateMethod method, uint8_t out[2]) {
  // Deflate with a 32 KiB window; the level field says "fastest" or "default"; the check
  // bits make the pair a multiple of 31.
  out[0] = 0x78;
  out[1] = method == TDeflateMethod::dmSmall ? 0x9C : 0x01;
}

void ZlibTrailer(uint32_t adler, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(adler >> (24 - 8 * i));
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  return libdeflate_adler32(adler, data, size);
}

uint32_t CombineAdler32(uint32_t first, uint32_t second, size_t second_size) {
  // z_off_t may have 32 bits; the pieces are below 2 GiB.
  return static_cast<uint32_t>(adler32_combine(first, second, static_cast<z_off_t>(second_size)));
}

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  return libdeflate_crc32(crc, data, size);
}
