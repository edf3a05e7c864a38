// The records of the BMP file format as they lie in a file (little-endian, packed), and
// the one checked helper that turns a picture's dimensions into its store size.
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

TBitmapFileHeader DecodeFileHeader(const uint8_t* bytes);
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

// The over-the-limit message for a width x height picture at `bits` per pixel: the size
// and the limit in force.
std::string PictureTooLargeMessage(int64_t width, int64_t height, int bits);
// ComputeStoreSize for positive dimensions; EInvalidGraphic with PictureTooLargeMessage
// when the store would exceed the limit.
TStoreSize CheckedStoreSize(int64_t width, int64_t height, int bits);

// Bytes per row without the limit check (width and bits already known to be sane).
constexpr uint32_t BytesPerScanline(uint32_t width, uint32_t bits) {
  return static_cast<uint32_t>(((uint64_t{width} * bits + 31) / 32) * 4);
}
