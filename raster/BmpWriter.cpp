// Writing a TBitmap as a BMP file image.
#include <cstring>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "raster/Bitmap.h"
#include "raster/PixelRows.h"

namespace {

// Writes the file image of `image`; with `size_word` it is preceded by its length.
void WriteImage(const TBitmapImage& image, TStream& stream, bool size_word) {
  if (image.SavedStream) {
    TMemoryStream& saved = *image.SavedStream;
    const int64_t size = saved.Size();
    if (size_word) {
      uint8_t word[4];
      PutU32(word, static_cast<uint32_t>(size));
      stream.WriteBuffer(word, 4);
    }
    stream.WriteBuffer(saved.Memory(), size);
    return;
  }
  if (!image.HasPixels()) {
    // An empty picture has no file image; the stored form records its length 0.
    if (size_word) {
      const uint8_t zero[4] = {0, 0, 0, 0};
      stream.WriteBuffer(zero, 4);
    }
    return;
  }

  // A device-dependent picture is written as the 24-bit section it would become.
  TBitmapInfoHeader info = image.DIBInfo.dsBmih;
  const TBitmapRecord& bm = image.DIBInfo.dsBm;
  if (!image.IsSection()) {
    info.biSize = kInfoHeaderSize;
    info.biWidth = bm.bmWidth;
    info.biHeight = bm.bmHeight;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<uint32_t>(bm.bmWidthBytes) * static_cast<uint32_t>(bm.bmHeight);
  }
  info.biSize = kInfoHeaderSize;
  const int bits = info.biBitCount;
  const bool os2 = image.OS2Format;
  const uint32_t stride = static_cast<uint32_t>(bm.bmWidthBytes);
  const uint32_t image_size =
      info.biSizeImage != 0 ? info.biSizeImage : stride * static_cast<uint32_t>(bm.bmHeight);

  // The colour table: the section's own (limited to the colours used), or for a picture
  // without one the palette, unless that palette only served a screen of lower depth.
  std::vector<TRGBQuad> table = image.color_table;
  if (info.biClrUsed >= 1 && info.biClrUsed < table.size()) table.resize(info.biClrUsed);
  if (!os2 && table.empty() && image.palette && !image.Halftone) {
    for (const TPaletteEntry& e : GetPaletteEntries(image.palette)) table.push_back(ToRGBQuad(e));
    if (table.size() > 256) table.resize(256);
  }

  uint32_t header_length;
  if (os2) {
    // The core form writes all 2^bits entries of three bytes (zeros where none are known).
    header_length = kCoreHeaderSize;
    if (bits <= 8) {
      table.resize(size_t{1} << bits);
      header_length += 3u << bits;
    } else {
      table.clear();
    }
  } else {
    header_length = kInfoHeaderSize;
    if (bits > 8 && info.biCompression == BI_BITFIELDS) header_length += 12;
    // The table written is exactly the one the header length counts.
    if (bits <= 8 && table.size() < (info.biClrUsed ? info.biClrUsed : (1u << bits)))
      table.resize(info.biClrUsed ? info.biClrUsed : (1u << bits));
    header_length += 4 * static_cast<uint32_t>(table.size());
  }

  uint32_t masks[3] = {image.DIBInfo.dsBitfields[0], image.DIBInfo.dsBitfields[1],
                       image.DIBInfo.dsBitfields[2]};
  if (info.biCompression == BI_BITFIELDS && masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
    if (bits == 16)
      masks[0] = 0xF800, masks[1] = 0x07E0, masks[2] = 0x001F;
    else
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (!table.empty() && !os2) info.biClrUsed = static_cast<uint32_t>(table.size());

  const uint32_t file_size = kFileHeaderSize + header_length + image_size;
  if (size_word) {
    uint8_t word[4];
    PutU32(word, file_size);
    stream.WriteBuffer(word, 4);
  }

  std::vector<uint8_t> head(kFileHeaderSize + header_length);
  TBitmapFileHeader file_header;
  file_header.bfType = kBitmapType;
  file_header.bfSize = file_size;
  file_header.bfOffBits = kFileHeaderSize + header_length;
  EncodeFileHeader(file_header, head.data());
  uint8_t* p = head.data() + kFileHeaderSize;
  if (os2) {
    PutU32(p, kCoreHeaderSize);
    PutU16(p + 4, static_cast<uint16_t>(bm.bmWidth));
    PutU16(p + 6, static_cast<uint16_t>(bm.bmHeight));
    PutU16(p + 8, 1);
    PutU16(p + 10, static_cast<uint16_t>(bits));
    p += kCoreHeaderSize;
    for (const TRGBQuad& q : table) {
      p[0] = q.rgbBlue, p[1] = q.rgbGreen, p[2] = q.rgbRed;
      p += 3;
    }
  } else {
    EncodeInfoHeader(info, p);
    p += kInfoHeaderSize;
    if (bits > 8 && info.biCompression == BI_BITFIELDS) {
      for (int i = 0; i < 3; ++i) PutU32(p + 4 * i, masks[i]);
      p += 12;
    }
    for (const TRGBQuad& q : table) {
      p[0] = q.rgbBlue, p[1] = q.rgbGreen, p[2] = q.rgbRed, p[3] = 0;
      p += 4;
    }
  }
  stream.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));

  // The pixels in the store's own row order; the description's image size never exceeds
  // the store, but a size taken from elsewhere is held to it all the same.
  const size_t from_store = std::min<size_t>(image_size, image.pixel_bytes);
  stream.WriteBuffer(image.pixels.get(), static_cast<int64_t>(from_store));
  if (from_store < image_size) {
    const std::vector<uint8_t> zeros(image_size - from_store, 0);
    stream.WriteBuffer(zeros.data(), static_cast<int64_t>(zeros.size()));
  }
}

}  // namespace

void TBitmap::SaveToStream(TStream& stream) {
  WriteImage(Image(), stream, false);
}

void TBitmap::WriteData(TStream& stream) {
  WriteImage(Image(), stream, true);
}
