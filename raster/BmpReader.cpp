// Reading a BMP file image into a TBitmap.
#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/Memory.h"
#include "raster/Bitmap.h"
#include "raster/PixelRows.h"

namespace {

[[noreturn]] void InvalidBitmap() {
  throw EInvalidGraphic(SInvalidBitmap);
}

bool IsSectionBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
  ReadStream(stream, stream.Size() - stream.Position());
}

void TBitmap::ReadData(TStream& stream) {
  uint8_t word[4];
  stream.ReadBuffer(word, 4);
  const uint32_t size = GetU32(word);
  // The size word may not promise more than the stream holds; the image is read from a
  // copy of exactly that many bytes, so the reader cannot run past it.
  if (static_cast<int64_t>(size) > stream.Size() - stream.Position()) throw EReadError(SReadError);
  TMemoryStream image;
  image.SetSize(size);
  stream.ReadBuffer(image.Memory(), size);
  ReadStream(image, size);
}

void TBitmap::ReadStream(TStream& stream, int64_t available) {
  if (available <= 0) {
    ReplaceImage(std::make_shared<TBitmapImage>());
    return;
  }
  int64_t n = available;

  // File header. Its size and pixel-offset fields are not consulted: the pixels are taken
  // to follow the colour table.
  uint8_t file_header[kFileHeaderSize];
  stream.ReadBuffer(file_header, kFileHeaderSize);
  if (GetU16(file_header) != kBitmapType) InvalidBitmap();
  n -= kFileHeaderSize;

  // Info header: the core form (12 bytes) is widened to a 40-byte header; every other
  // size of at least 40 bytes is kept whole.
  uint8_t size_bytes[4];
  stream.ReadBuffer(size_bytes, 4);
  const uint32_t header_size = GetU32(size_bytes);
  const bool core = header_size == kCoreHeaderSize;
  std::vector<uint8_t> header;
  TBitmapInfoHeader info;
  if (core) {
    uint8_t rest[8];
    stream.ReadBuffer(rest, 8);
    header.assign(size_bytes, size_bytes + 4);
    header.insert(header.end(), rest, rest + 8);
    info.biSize = kInfoHeaderSize;
    info.biWidth = GetU16(rest);
    info.biHeight = GetU16(rest + 2);
    info.biPlanes = GetU16(rest + 4);
    info.biBitCount = GetU16(rest + 6);
    n -= kCoreHeaderSize;
  } else {
    // Headers shorter than the 40-byte info header (other than the core form) are not
    // accepted. The header must fit in what the stream holds before we allocate for it.
    if (header_size < kInfoHeaderSize) InvalidBitmap();
    if (static_cast<int64_t>(header_size) > n) throw EReadError(SReadError);
    header.resize(header_size);
    std::memcpy(header.data(), size_bytes, 4);
    stream.ReadBuffer(header.data() + 4, header_size - 4);
    info = DecodeInfoHeader(header.data());
    n -= header_size;
  }
  if (info.biPlanes != 1) InvalidBitmap();

  // Colour masks: after a 40-byte header, or inside a larger one.
  uint32_t masks[3] = {0, 0, 0};
  const bool deep = info.biBitCount == 16 || info.biBitCount == 32;
  if (!core && deep && info.biCompression == BI_BITFIELDS) {
    if (header_size == kInfoHeaderSize) {
      uint8_t m[12];
      stream.ReadBuffer(m, 12);
      for (int i = 0; i < 3; ++i) masks[i] = GetU32(m + 4 * i);
      n -= 12;
    } else if (header_size >= kInfoHeaderSize + 12) {
      for (int i = 0; i < 3; ++i) masks[i] = GetU32(header.data() + kInfoHeaderSize + 4 * i);
    }
  }

  // A compressed file is kept whole as the saved stream and read on from that copy.
  const bool compressed = info.biCompression != BI_RGB && info.biCompression != BI_BITFIELDS;
  std::shared_ptr<TMemoryStream> saved;
  TStream* source = &stream;
  if (compressed) {
    saved = std::make_shared<TMemoryStream>();
    saved->SetSize(kFileHeaderSize + static_cast<int64_t>(header.size()) + n);
    uint8_t* p = saved->Memory();
    std::memcpy(p, file_header, kFileHeaderSize);
    std::memcpy(p + kFileHeaderSize, header.data(), header.size());
    const int64_t head = kFileHeaderSize + static_cast<int64_t>(header.size());
    stream.ReadBuffer(p + head, n);
    saved->SetPosition(head);
    source = saved.get();
  }

  // Colour table. A count above 256 does not fit the table and is not accepted.
  if (info.biClrUsed == 0) {
    switch (info.biBitCount) {
      case 1:
        info.biClrUsed = 2;
        break;
      case 4:
        info.biClrUsed = 16;
        break;
      case 8:
        info.biClrUsed = 256;
        break;
      default:
        break;
    }
  }
  if (info.biClrUsed > 256) InvalidBitmap();
  const int entry_size = core ? 3 : 4;
  const int colours = static_cast<int>(info.biClrUsed);
  std::vector<uint8_t> table_bytes(static_cast<size_t>(colours) * entry_size);
  source->ReadBuffer(table_bytes.data(), static_cast<int64_t>(table_bytes.size()));
  n -= static_cast<int64_t>(table_bytes.size());
  std::vector<TRGBQuad> file_table(static_cast<size_t>(colours));
  for (int i = 0; i < colours; ++i) {
    const uint8_t* e = table_bytes.data() + static_cast<size_t>(i) * entry_size;
    file_table[i] = TRGBQuad{e[0], e[1], e[2], 0};
  }

  // What a section can hold: the platform refuses other bit counts, compressions that do
  // not fit the bit count, dimensions that are not positive, and pictures beyond our limit.
  const int bits = info.biBitCount;
  if (!IsSectionBitCount(bits)) InvalidBitmap();
  switch (info.biCompression) {
    case BI_RGB:
      break;
    case BI_BITFIELDS:
      if (!deep) InvalidBitmap();
      break;
    case BI_RLE8:
      if (bits != 8) InvalidBitmap();
      break;
    case BI_RLE4:
      if (bits != 4) InvalidBitmap();
      break;
    default:
      InvalidBitmap();
  }
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN) InvalidBitmap();
  const bool top_down = info.biHeight < 0;
  if (compressed && top_down) InvalidBitmap();  // run-length pictures are always bottom-up
  const int width = info.biWidth;
  const int height = top_down ? -info.biHeight : info.biHeight;
  // A well-formed picture over our limit is told apart by its own message.
  const std::optional<TStoreSize> store = CheckedStoreSize(width, height, bits);
  const size_t image_size = info.biSizeImage != 0 ? info.biSizeImage : store->total;
  const size_t to_read = static_cast<size_t>(
      std::min<uint64_t>(image_size, static_cast<uint64_t>(std::max<int64_t>(n, 0))));

  std::shared_ptr<TBitmapImage> image;
  std::vector<TRGBQuad> section_table;
  if (bits <= 8) {
    section_table.assign(size_t{1} << bits, TRGBQuad{});
    std::copy(file_table.begin(),
              file_table.begin() + std::min<size_t>(file_table.size(), section_table.size()),
              section_table.begin());
  }

  if (!compressed) {
    // A section, with the pixel bytes read straight into it; bytes the file lacks stay zero.
    image = std::make_shared<TBitmapImage>();
    TDIBSection& d = image->DIBInfo;
    d.dsBm.bmWidth = width;
    d.dsBm.bmHeight = height;
    d.dsBm.bmWidthBytes = static_cast<int32_t>(store->stride);
    d.dsBm.bmPlanes = 1;
    d.dsBm.bmBitsPixel = static_cast<uint16_t>(bits);
    d.dsBmih.biSize = kInfoHeaderSize;
    d.dsBmih.biWidth = width;
    d.dsBmih.biHeight = info.biHeight;
    d.dsBmih.biPlanes = 1;
    d.dsBmih.biBitCount = static_cast<uint16_t>(bits);
    d.dsBmih.biCompression = info.biCompression;
    d.dsBmih.biSizeImage = static_cast<uint32_t>(store->total);
    if (info.biCompression == BI_BITFIELDS) std::copy(masks, masks + 3, d.dsBitfields);
    auto* p = static_cast<uint8_t*>(AllocatePixelMemory(store->total));
    if (p == nullptr) throw EOutOfMemory(SOutOfMemory);
    image->pixels.reset(p);
    image->pixel_bytes = store->total;
    const size_t bytes = std::min(to_read, store->total);
    const auto got =
        static_cast<size_t>(std::max<int64_t>(source->Read(p, static_cast<int64_t>(bytes)), 0));
    std::memset(p + got, 0, store->total - got);
    ZeroRowPadding(*image);
    image->color_table = std::move(section_table);
  } else {
    // Run-length data is decoded into a device-dependent (24-bit) picture.
    std::vector<uint8_t> data(to_read);
    const auto got = static_cast<size_t>(
        std::max<int64_t>(source->Read(data.data(), static_cast<int64_t>(to_read)), 0));
    const std::optional<TStoreSize> device = CheckedStoreSize(width, height, 24);
    std::vector<uint8_t> indices(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    DecodeRunLength(data.data(), got, bits == 4, width, height, indices.data());
    image = std::make_shared<TBitmapImage>();
    TDIBSection& d = image->DIBInfo;
    d.dsBm.bmWidth = width;
    d.dsBm.bmHeight = height;
    d.dsBm.bmWidthBytes = static_cast<int32_t>(device->stride);
    d.dsBm.bmPlanes = 1;
    d.dsBm.bmBitsPixel = 24;
    auto* p = static_cast<uint8_t*>(AllocatePixelMemory(device->total));
    if (p == nullptr) throw EOutOfMemory(SOutOfMemory);
    image->pixels.reset(p);
    image->pixel_bytes = device->total;
    for (int y = 0; y < height; ++y) {  // y counts from the bottom, as the store does
      uint8_t* row = p + static_cast<size_t>(y) * device->stride;
      const uint8_t* idx = indices.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int x = 0; x < width; ++x) {
        const TRGBQuad& q = section_table[idx[x]];
        row[3 * x] = q.rgbBlue;
        row[3 * x + 1] = q.rgbGreen;
        row[3 * x + 2] = q.rgbRed;
      }
      std::memset(row + 3 * static_cast<size_t>(width), 0,
                  device->stride - 3 * static_cast<size_t>(width));
    }
  }
  image->DIBInfo.dsBm.bmBits = image->pixels.get();

  // A palette from the colour table, whenever the file has one.
  if (colours > 0) {
    std::vector<TPaletteEntry> entries;
    entries.reserve(file_table.size());
    for (const TRGBQuad& q : file_table) entries.push_back(ToPaletteEntry(q));
    image->palette = CreatePalette(entries);
  }

  // The file's resolution and colour counts are kept in the description.
  image->DIBInfo.dsBmih.biXPelsPerMeter = info.biXPelsPerMeter;
  image->DIBInfo.dsBmih.biYPelsPerMeter = info.biYPelsPerMeter;
  image->DIBInfo.dsBmih.biClrUsed = info.biClrUsed;
  image->DIBInfo.dsBmih.biClrImportant = info.biClrImportant;
  if (saved) saved->SetPosition(0);
  image->SavedStream = std::move(saved);
  image->OS2Format = core;
  ReplaceImage(std::move(image));
}
