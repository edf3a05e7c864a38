#include "gif/DIB.h"

#include <algorithm>
#include <new>
#include <vector>

#include "base/Exceptions.h"
#include "base/Messages.h"
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
  // The picture as a section describes it: bottom-up rows; at 8 bits a full table of 256
  // entries (the palette's, then black), of which the palette's are the important ones.
  TBitmapInfoHeader info;
  info.biSize = kInfoHeaderSize;
  info.biWidth = width_;
  info.biHeight = height_;  // positive: bottom-up rows
  info.biPlanes = 1;
  info.biBitCount = static_cast<uint16_t>(bits_);
  info.biCompression = BI_RGB;
  std::vector<TRGBQuad> table;
  if (bits_ == 8) {
    const auto entries = GetPaletteEntries(palette_);
    const size_t used = std::min<size_t>(entries.size(), kMaxColours);
    info.biClrUsed = kMaxColours;
    info.biClrImportant = static_cast<uint32_t>(used);
    table.assign(kMaxColours, TRGBQuad{});
    for (size_t i = 0; i < used; ++i) table[i] = ToRGBQuad(entries[i]);
  }
  uint8_t header[kInfoHeaderSize];
  EncodeInfoHeader(info, header);
  const TCheckedInfoHeader checked = CheckInfoHeader(header, kInfoHeaderSize);
  const size_t pixel_bytes = stride_ * static_cast<size_t>(height_);
  Bitmap().AdoptPixelStore(checked, table, TPixelSource::FromMemory(pixels_.get(), pixel_bytes));
  pixels_.reset();
  finished_ = true;
}
