// The records of the BMP file format as they lie in a file (little-endian, packed), the
// one checked helper that turns a picture's dimensions into its store size, and the one
// check of an info header that every reader of a described picture goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct TBitmapFileHeader {
  uint16_t bfType = 0;  // "BM" = 0x4D42
  uint32_t bfSize = 0;
  uint16_t bfReserved1 = 0;
  uint16_t bfReserved2 = 0;
  uint32_t bfOffBits = 0;
};
constexpr int kFileHeaderSize = 14;
constexpr uint16_t kBitmapType = 0x4D42;

struct TBitmapInfoHeader {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
constexpr int kInfoHeaderSize = 40;
constexpr int kCoreHeaderSize = 12;
// The three 32-bit colour masks that follow a 40-byte header of a bit-field picture.
constexpr int kMasksSize = 12;
// The most colour-table entries a picture may have: the table of an 8-bit picture.
constexpr uint32_t kMaxColours = 256;

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

// Little-endian field access on byte buffers.
inline uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void EncodeFileHeader(const TBitmapFileHeader& header, uint8_t* bytes);
// Decodes the first 40 bytes of an info header.
TBitmapInfoHeader DecodeInfoHeader(const uint8_t* bytes);
void EncodeInfoHeader(const TBitmapInfoHeader& header, uint8_t* bytes);

// The largest pixel store one picture may have. Far above any photo a user has (a
// 12-megapixel picture needs 36 MB at 24 bits), and low enough that a crafted size field
// cannot make the reader ask for gigabytes.
constexpr uint64_t kMaxPixelStoreBytes = uint64_t{1} << 30;

// The limit in force for this process: kMaxPixelStoreBytes unless lowered. The fuzz
// targets lower it below their memory budget, so that a crafted size meets this guard and
// not the fuzzer's out-of-memory kill. A value of 0 or above kMaxPixelStoreBytes restores
// the default; the limit can never be raised above it.
uint64_t MaxPixelStoreBytes();
void SetMaxPixelStoreBytes(uint64_t bytes);

// The largest picture file the loader reads into memory: twice the pixel-store limit and
// 1 MiB for headers. An uncompressed BMP at the limit is the store and its headers; a run-
// length BMP, whose 24-bit picture must fit the limit, takes at most 2 bytes per pixel;
// compressed formats rarely exceed their pixels at 8 bits per channel (a PNG of noise at
// 16 bits per channel could, at 2.7 times its 24-bit store, but not at a size anyone has).
// The file is refused by its size before it is read, so a sparse file of gigabytes costs
// no memory.
uint64_t MaxPictureFileBytes();

struct TStoreSize {
  uint32_t stride;  // bytes per row: ((width * bits + 31) / 32) * 4
  size_t total;     // stride * height
};

// The store size of a width x height picture at `bits` per pixel, or nothing when a
// dimension is not positive, the arithmetic overflows or the store would exceed
// MaxPixelStoreBytes().
std::optional<TStoreSize> ComputeStoreSize(int64_t width, int64_t height, int bits);

// Bytes per row without the limit check (width and bits already known to be sane).
constexpr uint32_t BytesPerScanline(uint32_t width, uint32_t bits) {
  return static_cast<uint32_t>(((uint64_t{width} * bits + 31) / 32) * 4);
}

// An info header that CheckInfoHeader accepted, with what a store for it needs.
struct TCheckedInfoHeader {
  TBitmapInfoHeader info;  // the first 40 bytes (the core form widened to them), with
                           // colours used filled in where the field was 0
  uint32_t header_size;    // as stored: 12 for the core form, else 40 or more
  bool core;               // the 12-byte core form (3-byte colour entries)
  int width;               // above 0
  int height;              // above 0, whichever way the rows are stored
  bool top_down;           // rows stored from the top (a negative height in the header)
  int bits;                // 1, 4, 8, 16, 24 or 32
  bool compressed;         // run-length data (RLE8 at 8 bits, RLE4 at 4 bits)
  bool masks_after;        // three 32-bit masks follow a 40-byte header
  uint32_t masks[3];       // the bit-field masks inside a larger header; else 0 until read
  uint32_t colours;        // entries of the colour table, at most kMaxColours
  TStoreSize rows;         // the rows as stored: bits per pixel, stride, total
  TStoreSize store;        // the store the bitmap gets: the rows, or for run-length data
                           // the 24-bit picture they decode into
};

// The rule on a header's size, which a reader needs before it reads the rest of it: the
// core form (12 bytes), or 40 bytes or more (kept whole). Raises EUnsupportedBitmap.
void CheckHeaderSize(uint32_t header_size);

// The note for a picture whose file ends before its rows do ("cut short: the missing rows
// are black ..."), given the bytes of pixel data the file holds after its colour table;
// empty when every row is there. The reader keeps those rows zero: black above 8 bits
// per pixel, the colour table's first colour below. Run-length data is not judged.
std::string CutShortNote(const TCheckedInfoHeader& header, uint64_t available);

// Checks an info header as it is stored (header_size bytes at `header`, a core header or
// one of 40 bytes or more): its size, planes, colours used, bit count, compression and
// dimensions by the format's rules and what this reader reads, then the store against
// MaxPixelStoreBytes(). Raises EInvalidBitmap for a malformed header, EUnsupportedBitmap
// for a form not read here and EPictureTooLarge over the limit, before anything is
// allocated for the picture.
TCheckedInfoHeader CheckInfoHeader(const uint8_t* header, uint32_t header_size);
