// The records of the BMP file format as they lie in a file (little-endian, packed), and
// the one checked helper that turns a picture's dimensions into its store size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

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

struct TStoreSize {
  uint32_t stride;  // bytes per row: ((width * bits + 31) / 32) * 4
  size_t total;     // stride * height
};

// The store size of a width x height picture at `bits` per pixel, or nothing when a
// dimension is not positive, the arithmetic overflows or the store would exceed
// kMaxPixelStoreBytes.
std::optional<TStoreSize> ComputeStoreSize(int64_t width, int64_t height, int bits);

// Bytes per row without the limit check (width and bits already known to be sane).
constexpr uint32_t BytesPerScanline(uint32_t width, uint32_t bits) {
  return static_cast<uint32_t>(((uint64_t{width} * bits + 31) / 32) * 4);
}
