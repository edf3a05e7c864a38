// TBitmap::AdoptPixelStore: a described picture (a checked info header, its colour table
// and its pixel bytes) becomes the bitmap's store. Every way a picture enters the raster
// from outside ends here: the BMP reader, the plug-in host and the GIF library's rows.
#include <algorithm>
#include <cstring>

#include "base/Streams.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/PixelRows.h"

TPixelSource TPixelSource::FromMemory(const uint8_t* data, size_t size) {
  TPixelSource source;
  source.available = size;
  source.read = [data, size](uint8_t* dest, size_t count) {
    const size_t n = std::min(count, size);
    if (n != 0) std::memcpy(dest, data, n);
    return n;
  };
  return source;
}

TPixelSource TPixelSource::FromStream(TStream& stream, int64_t available) {
  TPixelSource source;
  source.available = static_cast<uint64_t>(std::max<int64_t>(available, 0));
  source.read = [&stream](uint8_t* dest, size_t count) {
    const int64_t got = stream.Read(dest, static_cast<int64_t>(count));
    return static_cast<size_t>(std::max<int64_t>(got, 0));
  };
  // A memory stream's rows can be kept where they are, in its block.
  auto* memory = dynamic_cast<TMemoryStream*>(&stream);
  const int64_t position = memory != nullptr ? memory->Position() : 0;
  if (memory != nullptr && memory->Block() && position >= 0 && position <= memory->Size()) {
    source.available =
        static_cast<uint64_t>(std::clamp<int64_t>(available, 0, memory->Size() - position));
    source.block = memory->Block();
    source.data = source.block.get() + position;
    source.skip = [memory](size_t count) {
      memory->Seek(static_cast<int64_t>(count), TSeekOrigin::soCurrent);
    };
  }
  return source;
}

namespace {

// The bitmap record of a store of `height` rows of `stride` bytes.
TBitmapRecord RecordOf(int width, int height, uint32_t stride, int bits) {
  TBitmapRecord record;
  record.bmWidth = width;
  record.bmHeight = height;
  record.bmWidthBytes = static_cast<int32_t>(stride);
  record.bmPlanes = 1;
  record.bmBitsPixel = static_cast<uint16_t>(bits);
  return record;
}

// The colour table of a section of 8 bits or fewer: 2^bits entries, the picture's own
// first (as many as fit) and black after them; none above 8 bits.
std::vector<TRGBQuad> SectionTable(const std::vector<TRGBQuad>& colours, int bits) {
  std::vector<TRGBQuad> table;
  if (bits > 8) return table;
  table.assign(size_t{1} << bits, TRGBQuad{});
  std::copy(colours.begin(), colours.begin() + std::min(colours.size(), table.size()),
            table.begin());
  return table;
}

// Whether the fill bytes at the end of every row are zero already, as a store keeps them.
bool RowPaddingIsZero(const uint8_t* rows, const TCheckedInfoHeader& h) {
  const size_t stride = h.rows.stride;
  const size_t used = (static_cast<size_t>(h.width) * static_cast<size_t>(h.bits) + 7) / 8;
  if (used >= stride) return true;
  const int height = h.height < 0 ? -h.height : h.height;
  for (int y = 0; y < height; ++y) {
    const uint8_t* fill = rows + static_cast<size_t>(y) * stride + used;
    for (size_t i = 0; i < stride - used; ++i)
      if (fill[i] != 0) return false;
  }
  return true;
}

// A section holding the rows as the header describes them; the bytes the source lacks
// stay zero, and so do the fill bytes at the end of every row. Rows that lie whole in a
// block the source can share (a file image read into memory) are kept there, not copied.
std::shared_ptr<TBitmapImage> SectionFromRows(const TCheckedInfoHeader& h,
                                              std::vector<TRGBQuad> table,
                                              const TPixelSource& pixels, size_t to_read) {
  auto image = std::make_shared<TBitmapImage>();
  TDIBSection& d = image->DIBInfo;
  d.dsBm = RecordOf(h.width, h.height, h.rows.stride, h.bits);
  d.dsBmih.biSize = kInfoHeaderSize;
  d.dsBmih.biWidth = h.width;
  d.dsBmih.biHeight = h.info.biHeight;  // negative for top-down rows
  d.dsBmih.biPlanes = 1;
  d.dsBmih.biBitCount = static_cast<uint16_t>(h.bits);
  d.dsBmih.biCompression = h.info.biCompression;
  d.dsBmih.biSizeImage = static_cast<uint32_t>(h.rows.total);
  if (h.info.biCompression == BI_BITFIELDS) std::copy(h.masks, h.masks + 3, d.dsBitfields);
  if (pixels.block && to_read >= h.rows.total && RowPaddingIsZero(pixels.data, h)) {
    image->pixels.Adopt(pixels.block, pixels.data);
    image->pixel_bytes = h.rows.total;
    pixels.skip(h.rows.total);
  } else {
    image->Allocate(h.rows.total);
    uint8_t* p = image->pixels.get();
    const size_t got = pixels.read(p, std::min(to_read, h.rows.total));
    std::memset(p + got, 0, h.rows.total - got);
    ZeroRowPadding(*image);
  }
  image->color_table = std::move(table);
  return image;
}

// Run-length data decoded into a device-dependent 24-bit picture (bottom-up, as the data
// is); pixels the data never reaches take colour-table entry 0.
std::shared_ptr<TBitmapImage> DeviceFromRunLength(const TCheckedInfoHeader& h,
                                                  const std::vector<TRGBQuad>& table,
                                                  const TPixelSource& pixels, size_t to_read) {
  std::vector<uint8_t> data(to_read);
  const size_t got = pixels.read(data.data(), to_read);
  const size_t width = static_cast<size_t>(h.width);
  std::vector<uint8_t> indices(width * static_cast<size_t>(h.height), 0);
  DecodeRunLength(data.data(), got, h.bits == 4, h.width, h.height, indices.data());
  auto image = std::make_shared<TBitmapImage>();
  image->DIBInfo.dsBm = RecordOf(h.width, h.height, h.store.stride, 24);
  image->Allocate(h.store.total);
  for (int y = 0; y < h.height; ++y) {  // y counts from the bottom, as the store does
    uint8_t* row = image->pixels.get() + static_cast<size_t>(y) * h.store.stride;
    const uint8_t* idx = indices.data() + static_cast<size_t>(y) * width;
    for (size_t x = 0; x < width; ++x) {
      const TRGBQuad& q = table[idx[x]];
      row[3 * x] = q.rgbBlue;
      row[3 * x + 1] = q.rgbGreen;
      row[3 * x + 2] = q.rgbRed;
    }
    std::memset(row + 3 * width, 0, h.store.stride - 3 * width);
  }
  return image;
}

}  // namespace

void TBitmap::AdoptPixelStore(const TCheckedInfoHeader& header,
                              const std::vector<TRGBQuad>& colours, const TPixelSource& pixels,
                              std::shared_ptr<TMemoryStream> saved) {
  const uint64_t image_size =
      header.info.biSizeImage != 0 ? header.info.biSizeImage : header.rows.total;
  const auto to_read = static_cast<size_t>(std::min(image_size, pixels.available));
  std::vector<TRGBQuad> table = SectionTable(colours, header.bits);
  std::shared_ptr<TBitmapImage> image =
      header.compressed ? DeviceFromRunLength(header, table, pixels, to_read)
                        : SectionFromRows(header, std::move(table), pixels, to_read);
  image->DIBInfo.dsBm.bmBits = image->pixels.get();

  // A palette from the colour table, whenever the picture has one.
  if (!colours.empty()) {
    std::vector<TPaletteEntry> entries;
    entries.reserve(colours.size());
    for (const TRGBQuad& q : colours) entries.push_back(ToPaletteEntry(q));
    image->palette = CreatePalette(entries);
  }
  // The picture's resolution and colour counts are kept in the description.
  TBitmapInfoHeader& kept = image->DIBInfo.dsBmih;
  kept.biXPelsPerMeter = header.info.biXPelsPerMeter;
  kept.biYPelsPerMeter = header.info.biYPelsPerMeter;
  kept.biClrUsed = header.info.biClrUsed;
  kept.biClrImportant = header.info.biClrImportant;
  if (saved) saved->SetPosition(0);
  image->SavedStream = std::move(saved);
  image->OS2Format = header.core;
  ReplaceImage(std::move(image));
  read_note_.clear();
}
