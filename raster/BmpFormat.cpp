#include "raster/BmpFormat.h"

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

TBitmapFileHeader DecodeFileHeader(const uint8_t* b) {
  TBitmapFileHeader h;
  h.bfType = GetU16(b);
  h.bfSize = GetU32(b + 2);
  h.bfReserved1 = GetU16(b + 6);
  h.bfReserved2 = GetU16(b + 8);
  h.bfOffBits = GetU32(b + 10);
  return h;
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

std::string PictureTooLargeMessage(int64_t width, int64_t height, int bits) {
  return Format(SPictureTooLarge, static_cast<long long>(width), static_cast<long long>(height),
                bits, ByteSizeText(MaxPixelStoreBytes()).c_str());
}

TStoreSize CheckedStoreSize(int64_t width, int64_t height, int bits) {
  const auto size = ComputeStoreSize(width, height, bits);
  if (!size) throw EInvalidGraphic(PictureTooLargeMessage(width, height, bits));
  return *size;
}
