#include "raster/BmpFormat.h"

#include <algorithm>
#include <atomic>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"

namespace {
std::atomic<uint64_t> g_max_pixel_store_bytes{kMaxPixelStoreBytes};
}  // namespace

uint64_t MaxPixelStoreBytes() {
  return g_max_pixel_store_bytes.load(std::memory_order_relaxed);
}

void SetMaxPixelStoreBytes(uint64_t bytes) {
  if (bytes == 0 || bytes > kMaxPixelStoreBytes) bytes = kMaxPixelStoreBytes;
  g_max_pixel_store_bytes.store(bytes, std::memory_order_relaxed);
}

uint64_t MaxPictureFileBytes() {
  return 2 * MaxPixelStoreBytes() + (uint64_t{1} << 20);
}

void EncodeFileHeader(const TBitmapFileHeader& h, uint8_t* b) {
  PutU16(b, h.bfType);
  PutU32(b + 2, h.bfSize);
  PutU16(b + 6, h.bfReserved1);
  PutU16(b + 8, h.bfReserved2);
  PutU32(b + 10, h.bfOffBits);
}

TBitmapInfoHeader DecodeInfoHeader(const uint8_t* b) {
  TBitmapInfoHeader h;
  h.biSize = GetU32(b);
  h.biWidth = static_cast<int32_t>(GetU32(b + 4));
  h.biHeight = static_cast<int32_t>(GetU32(b + 8));
  h.biPlanes = GetU16(b + 12);
  h.biBitCount = GetU16(b + 14);
  h.biCompression = GetU32(b + 16);
  h.biSizeImage = GetU32(b + 20);
  h.biXPelsPerMeter = static_cast<int32_t>(GetU32(b + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(GetU32(b + 28));
  h.biClrUsed = GetU32(b + 32);
  h.biClrImportant = GetU32(b + 36);
  return h;
}

void EncodeInfoHeader(const TBitmapInfoHeader& h, uint8_t* b) {
  PutU32(b, h.biSize);
  PutU32(b + 4, static_cast<uint32_t>(h.biWidth));
  PutU32(b + 8, static_cast<uint32_t>(h.biHeight));
  PutU16(b + 12, h.biPlanes);
  PutU16(b + 14, h.biBitCount);
  PutU32(b + 16, h.biCompression);
  PutU32(b + 20, h.biSizeImage);
  PutU32(b + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  PutU32(b + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  PutU32(b + 32, h.biClrUsed);
  PutU32(b + 36, h.biClrImportant);
}

std::optional<TStoreSize> ComputeStoreSize(int64_t width, int64_t height, int bits) {
  if (width <= 0 || height <= 0 || bits <= 0 || bits > 32) return std::nullopt;
  const uint64_t limit = MaxPixelStoreBytes();
  // Check each factor against the limit before multiplying, so nothing can wrap.
  if (static_cast<uint64_t>(width) > limit * 8 / static_cast<uint64_t>(bits)) return std::nullopt;
  const uint64_t stride =
      (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 31) / 32 * 4;
  if (stride > limit || static_cast<uint64_t>(height) > limit / stride) return std::nullopt;
  return TStoreSize{static_cast<uint32_t>(stride),
                    static_cast<size_t>(stride * static_cast<uint64_t>(height))};
}

namespace {

// The core form: 16-bit width, height, planes and bit count after the size; every other
// field of the info header is 0.
TBitmapInfoHeader WidenCoreHeader(const uint8_t* header) {
  TBitmapInfoHeader info;
  info.biSize = kInfoHeaderSize;
  info.biWidth = GetU16(header + 4);
  info.biHeight = GetU16(header + 6);
  info.biPlanes = GetU16(header + 8);
  info.biBitCount = GetU16(header + 10);
  return info;
}

// Colours used 0 means the full table of a palette picture, none above 8 bits.
uint32_t ColourCount(const TBitmapInfoHeader& info) {
  if (info.biClrUsed != 0) return info.biClrUsed;
  switch (info.biBitCount) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

bool IsSectionBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The compression a bit count can have: none; bit fields at 16 and 32 bits; RLE8 at 8
// and RLE4 at 4 bits. Other compressions (JPEG or PNG data inside) are not read here.
void CheckCompression(uint32_t compression, int bits) {
  bool fits = false;
  switch (compression) {
    case BI_RGB:
      return;
    case BI_BITFIELDS:
      fits = bits == 16 || bits == 32;
      break;
    case BI_RLE8:
      fits = bits == 8;
      break;
    case BI_RLE4:
      fits = bits == 4;
      break;
    default:
      throw EUnsupportedBitmap(Format(SBitmapCompression, compression));
  }
  if (!fits) throw EInvalidBitmap(Format(SBitmapCompressionBits, compression, bits));
}

TStoreSize LimitedStoreSize(int width, int height, int bits) {
  const auto size = ComputeStoreSize(width, height, bits);
  if (!size) throw EPictureTooLarge(width, height, bits, MaxPixelStoreBytes());
  return *size;
}

}  // namespace

std::string CutShortNote(const TCheckedInfoHeader& h, uint64_t available) {
  if (h.compressed || h.rows.stride == 0) return "";
  // As the store is filled: the image size (the header's, or the rows') as far as the
  // data goes, in whole rows.
  const uint64_t image_size = h.info.biSizeImage != 0 ? h.info.biSizeImage : h.rows.total;
  const uint64_t filled = std::min<uint64_t>({image_size, available, h.rows.total});
  const auto whole_rows = static_cast<int>(filled / h.rows.stride);
  if (whole_rows >= h.height) return "";
  // Rows are stored from the bottom up unless the height is negative.
  return Format(SCutShortRows, h.bits > 8 ? SCutShortBlack : SCutShortFirstColour,
                h.top_down ? SCutShortBottom : SCutShortTop, h.height - whole_rows, h.height)
      .text;
}

void CheckHeaderSize(uint32_t header_size) {
  if (header_size != kCoreHeaderSize && header_size < kInfoHeaderSize)
    throw EUnsupportedBitmap(Format(SBitmapHeaderSize, header_size));
}

TCheckedInfoHeader CheckInfoHeader(const uint8_t* header, uint32_t header_size) {
  CheckHeaderSize(header_size);
  TCheckedInfoHeader c{};
  c.header_size = header_size;
  c.core = header_size == kCoreHeaderSize;
  c.info = c.core ? WidenCoreHeader(header) : DecodeInfoHeader(header);
  TBitmapInfoHeader& info = c.info;
  if (info.biPlanes != 1) throw EInvalidBitmap(SInvalidBitmap);
  // The colour table holds at most 256 entries.
  info.biClrUsed = ColourCount(info);
  if (info.biClrUsed > kMaxColours)
    throw EInvalidBitmap(Format(SBitmapColoursUsed, info.biClrUsed));
  c.colours = info.biClrUsed;
  c.bits = info.biBitCount;
  if (!IsSectionBitCount(c.bits)) throw EUnsupportedBitmap(Format(SBitmapBitCount, c.bits));
  CheckCompression(info.biCompression, c.bits);
  c.compressed = info.biCompression == BI_RLE8 || info.biCompression == BI_RLE4;
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN)
    throw EInvalidBitmap(Format(SBitmapSize, info.biWidth, info.biHeight));
  c.top_down = info.biHeight < 0;
  // Run-length pictures are always stored bottom-up.
  if (c.compressed && c.top_down) throw EInvalidBitmap(SBitmapTopDownRunLength);
  c.width = info.biWidth;
  c.height = c.top_down ? -info.biHeight : info.biHeight;
  c.rows = LimitedStoreSize(c.width, c.height, c.bits);
  c.store = c.compressed ? LimitedStoreSize(c.width, c.height, 24) : c.rows;
  // The masks of a bit-field picture follow a 40-byte header, or lie inside a larger one.
  const bool bit_fields = !c.core && info.biCompression == BI_BITFIELDS;
  c.masks_after = bit_fields && header_size == kInfoHeaderSize;
  if (bit_fields && header_size >= kInfoHeaderSize + kMasksSize)
    for (int i = 0; i < 3; ++i) c.masks[i] = GetU32(header + kInfoHeaderSize + 4 * i);
  return c;
}
