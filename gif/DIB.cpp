#include "gif/DIB.h"

#include <algorithm>
#include <new>
#include <vector>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"
#include "raster/BmpFormat.h"

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat pixel_format) : TDIB(bitmap, pixel_format) {
  bitmap.SetPixelFormat(pixel_format);
}

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat pixel_format, int width, int height,
                       const TPaletteHandle& palette)
    : TDIB(bitmap, pixel_format), width_(width), height_(height), palette_(palette) {
  if (pixel_format == TPixelFormat::Bits8)
    bits_ = 8;
  else if (pixel_format == TPixelFormat::Bits24)
    bits_ = 24;
  else
    throw GIFException(SGIFUnsupportedPixelFormat);
  if (width <= 0 || height <= 0) throw GIFException(SGIFInvalidImageDimensions);
}

TDIBWriter::~TDIBWriter() = default;

void TDIBWriter::Allocate() {
  const auto size = ComputeStoreSize(width_, height_, bits_);
  if (!size) throw EOutOfMemory(SGIFOutOfMemoryDIB);
  stride_ = size->stride;
  pixels_.reset(new (std::nothrow) uint8_t[size->total]());
  if (!pixels_) throw EOutOfMemory(SGIFOutOfMemoryDIB);
}

uint8_t* TDIBWriter::RowPointer(int row) {
  if (finished_) throw GIFException(SGIFImageHasNoDIB);
  if (!pixels_) Allocate();
  if (row < 0 || row >= height_) throw EInvalidGraphicOperation(SScanLine);
  return pixels_.get() + static_cast<size_t>(height_ - 1 - row) * stride_;
}

void TDIBWriter::Finish() {
  if (finished_) return;
  if (!pixels_) Allocate();
  const int table_entries = bits_ == 8 ? 256 : 0;
  const uint32_t head = kFileHeaderSize + kInfoHeaderSize + 4 * table_entries;
  const size_t pixel_bytes = stride_ * static_cast<size_t>(height_);

  TBitmapFileHeader file;
  file.bfType = kBitmapType;
  file.bfSize = static_cast<uint32_t>(head + pixel_bytes);
  file.bfOffBits = head;
  TBitmapInfoHeader info;
  info.biSize = kInfoHeaderSize;
  info.biWidth = width_;
  info.biHeight = height_;  // positive: bottom-up rows
  info.biPlanes = 1;
  info.biBitCount = static_cast<uint16_t>(bits_);
  info.biCompression = BI_RGB;
  info.biSizeImage = 0;
  const auto entries = GetPaletteEntries(palette_);
  const size_t used = std::min<size_t>(entries.size(), 256);
  if (bits_ == 8) {
    info.biClrUsed = 256;
    info.biClrImportant = static_cast<uint32_t>(used);
  }

  TMemoryStream image;
  image.SetSize(static_cast<int64_t>(head + pixel_bytes));
  uint8_t* p = image.Memory();
  EncodeFileHeader(file, p);
  EncodeInfoHeader(info, p + kFileHeaderSize);
  uint8_t* table = p + kFileHeaderSize + kInfoHeaderSize;
  std::fill(table, table + 4 * table_entries, 0);
  for (size_t i = 0; i < used && bits_ == 8; ++i) {
    table[4 * i] = entries[i].peBlue;
    table[4 * i + 1] = entries[i].peGreen;
    table[4 * i + 2] = entries[i].peRed;
  }
  std::copy(pixels_.get(), pixels_.get() + pixel_bytes, p + head);
  pixels_.reset();
  finished_ = true;
  image.SetPosition(0);
  Bitmap().LoadFromStream(image);
}
