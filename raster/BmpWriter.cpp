// Writing a TBitmap as a BMP file image, in steps: the saved file of a compressed picture
// goes out as it was read; otherwise the picture is described as a section, its colour
// table chosen, the headers laid out and written, then the pixels.
#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/PixelRows.h"

namespace {

// The 16-bit 5-6-5 and the 32-bit 8-8-8 masks, for a bit-field picture that has none.
constexpr uint32_t kDefaultMasks16[3] = {0xF800, 0x07E0, 0x001F};
constexpr uint32_t kDefaultMasks32[3] = {0xFF0000, 0xFF00, 0xFF};

void WriteSizeWord(TStream& stream, uint32_t size) {
  uint8_t word[4];
  PutU32(word, size);
  stream.WriteBuffer(word, 4);
}

// What the file image holds besides the pixels: the info header to write, the colour
// table, the masks, and the length of everything after the file header.
struct TBmpLayout {
  TBitmapInfoHeader info;
  bool os2 = false;
  uint32_t image_size = 0;
  std::vector<TRGBQuad> table;
  uint32_t masks[3] = {0, 0, 0};
  uint32_t header_length = 0;

  int Bits() const { return info.biBitCount; }
  bool MasksWritten() const { return !os2 && Bits() > 8 && info.biCompression == BI_BITFIELDS; }
};

// The info header of the picture as a section: a device-dependent picture is written as
// the 24-bit section it would become. The image size is the description's, or the rows'.
void DescribeAsSection(const TBitmapImage& image, TBmpLayout& layout) {
  const TBitmapRecord& bm = image.DIBInfo.dsBm;
  TBitmapInfoHeader& info = layout.info;
  info = image.DIBInfo.dsBmih;
  if (!image.IsSection()) {
    info.biWidth = bm.bmWidth;
    info.biHeight = bm.bmHeight;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<uint32_t>(bm.bmWidthBytes) * static_cast<uint32_t>(bm.bmHeight);
  }
  info.biSize = kInfoHeaderSize;
  layout.os2 = image.OS2Format;
  const uint32_t stride = static_cast<uint32_t>(bm.bmWidthBytes);
  layout.image_size =
      info.biSizeImage != 0 ? info.biSizeImage : stride * static_cast<uint32_t>(bm.bmHeight);
}

// The colour table: the section's own (limited to the colours used), or for a picture
// without one the palette, unless that palette only served a screen of lower depth. The
// table written is exactly the one the header length counts: the core form writes all
// 2^bits entries (zeros where none are known), the info form at least the colours used.
void ChooseColourTable(const TBitmapImage& image, TBmpLayout& layout) {
  const TBitmapInfoHeader& info = layout.info;
  const int bits = layout.Bits();
  std::vector<TRGBQuad>& table = layout.table;
  table = image.color_table;
  if (info.biClrUsed >= 1 && info.biClrUsed < table.size()) table.resize(info.biClrUsed);
  if (!layout.os2 && table.empty() && image.palette && !image.Halftone) {
    for (const TPaletteEntry& e : GetPaletteEntries(image.palette)) table.push_back(ToRGBQuad(e));
    if (table.size() > kMaxColours) table.resize(kMaxColours);
  }
  if (layout.os2) {
    if (bits <= 8)
      table.resize(size_t{1} << bits);
    else
      table.clear();
    return;
  }
  if (bits > 8) return;
  const size_t listed = info.biClrUsed ? info.biClrUsed : (size_t{1} << bits);
  if (table.size() < listed) table.resize(listed);
}

// The length of the headers, masks and table; the masks of a bit-field picture (the
// defaults when it has none); colours used set to the table written.
void LayOutHeaders(const TBitmapImage& image, TBmpLayout& layout) {
  const size_t entry_size = layout.os2 ? 3 : 4;
  layout.header_length = layout.os2 ? kCoreHeaderSize : kInfoHeaderSize;
  if (layout.MasksWritten()) layout.header_length += kMasksSize;
  layout.header_length += static_cast<uint32_t>(entry_size * layout.table.size());
  std::copy(image.DIBInfo.dsBitfields, image.DIBInfo.dsBitfields + 3, layout.masks);
  if (layout.info.biCompression == BI_BITFIELDS &&
      std::all_of(layout.masks, layout.masks + 3, [](uint32_t m) { return m == 0; })) {
    const uint32_t* defaults = layout.Bits() == 16 ? kDefaultMasks16 : kDefaultMasks32;
    std::copy(defaults, defaults + 3, layout.masks);
  }
  if (!layout.table.empty() && !layout.os2)
    layout.info.biClrUsed = static_cast<uint32_t>(layout.table.size());
}

// The file header, the core or info header, the masks and the colour table, as bytes.
std::vector<uint8_t> EncodeHeaders(const TBitmapImage& image, const TBmpLayout& layout) {
  std::vector<uint8_t> head(kFileHeaderSize + layout.header_length);
  TBitmapFileHeader file_header;
  file_header.bfType = kBitmapType;
  file_header.bfSize = kFileHeaderSize + layout.header_length + layout.image_size;
  file_header.bfOffBits = kFileHeaderSize + layout.header_length;
  EncodeFileHeader(file_header, head.data());
  uint8_t* p = head.data() + kFileHeaderSize;
  if (layout.os2) {
    PutU32(p, kCoreHeaderSize);
    PutU16(p + 4, static_cast<uint16_t>(image.DIBInfo.dsBm.bmWidth));
    PutU16(p + 6, static_cast<uint16_t>(image.DIBInfo.dsBm.bmHeight));
    PutU16(p + 8, 1);
    PutU16(p + 10, static_cast<uint16_t>(layout.Bits()));
    p += kCoreHeaderSize;
  } else {
    EncodeInfoHeader(layout.info, p);
    p += kInfoHeaderSize;
    if (layout.MasksWritten()) {
      for (int i = 0; i < 3; ++i) PutU32(p + 4 * i, layout.masks[i]);
      p += kMasksSize;
    }
  }
  for (const TRGBQuad& q : layout.table) {
    p[0] = q.rgbBlue, p[1] = q.rgbGreen, p[2] = q.rgbRed;
    if (!layout.os2) p[3] = 0;
    p += layout.os2 ? 3 : 4;
  }
  return head;
}

// The pixels in the store's own row order; the description's image size never exceeds
// the store, but a size taken from elsewhere is held to it all the same.
void WritePixels(const TBitmapImage& image, uint32_t image_size, TStream& stream) {
  const size_t from_store = std::min<size_t>(image_size, image.pixel_bytes);
  stream.WriteBuffer(image.pixels.get(), static_cast<int64_t>(from_store));
  if (from_store < image_size) {
    const std::vector<uint8_t> zeros(image_size - from_store, 0);
    stream.WriteBuffer(zeros.data(), static_cast<int64_t>(zeros.size()));
  }
}

// Writes the file image of `image`; with `size_word` it is preceded by its length.
void WriteImage(const TBitmapImage& image, TStream& stream, bool size_word) {
  if (image.SavedStream) {
    TMemoryStream& saved = *image.SavedStream;
    if (size_word) WriteSizeWord(stream, static_cast<uint32_t>(saved.Size()));
    stream.WriteBuffer(saved.Memory(), saved.Size());
    return;
  }
  if (!image.HasPixels()) {
    // An empty picture has no file image; the stored form records its length 0.
    if (size_word) WriteSizeWord(stream, 0);
    return;
  }
  TBmpLayout layout;
  DescribeAsSection(image, layout);
  ChooseColourTable(image, layout);
  LayOutHeaders(image, layout);
  const std::vector<uint8_t> head = EncodeHeaders(image, layout);
  if (size_word) WriteSizeWord(stream, static_cast<uint32_t>(head.size() + layout.image_size));
  stream.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
  WritePixels(image, layout.image_size, stream);
}

}  // namespace

void TBitmap::SaveToStream(TStream& stream) {
  WriteImage(Image(), stream, false);
}

void TBitmap::WriteData(TStream& stream) {
  WriteImage(Image(), stream, true);
}
