#include "susie/SPIBitmap.h"

#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "raster/BmpFormat.h"

LV_GRAPHIC_CLASS_IMPL(TSPIBitmap, &TBitmap::Class())

TSPIBitmap::TSPIBitmap() {
  spi_able_.Graphic = this;
  spi_able_.DefaultExt = "BMP";
  spi_able_.LoadFromFileProc = [](TGraphic& graphic, const std::string& file_name) {
    graphic.TGraphic::LoadFromFile(file_name);
  };
  spi_able_.LoadFromStreamProc = [](TGraphic& graphic, TStream& stream) {
    static_cast<TBitmap&>(graphic).TBitmap::LoadFromStream(stream);
  };
  spi_able_.OwnFormatHeadProc = [](const uint8_t* data, size_t size) {
    return size >= 2 && GetU16(data) == kBitmapType;
  };
  spi_able_.LoadFromSPIProc = [this](const uint8_t* bm_info, size_t info_size, const uint8_t* bits,
                                     size_t bits_size, const TPictureInfoRec& info, bool& done) {
    LoadFromSPI(bm_info, info_size, bits, bits_size, info, done);
  };
}

void TSPIBitmap::LoadFromFile(const std::string& file_name) {
  spi_able_.RetryAtOffset128 = retry_at_offset_128_;
  spi_able_.LoadFromFile(file_name);
}

void TSPIBitmap::LoadFromStream(TStream& stream) {
  spi_able_.RetryAtOffset128 = retry_at_offset_128_;
  spi_able_.LoadFromStream(stream);
}

void TSPIBitmap::LoadFromStreamWithName(TStream& stream, const std::string& file_name) {
  spi_able_.RetryAtOffset128 = retry_at_offset_128_;
  spi_able_.LoadFromStreamWithName(stream, file_name);
}

void TSPIBitmap::Assign(const TGraphic* source) {
  if (const auto* other = dynamic_cast<const TSPIBitmap*>(source))
    retry_at_offset_128_ = other->retry_at_offset_128_;
  TBitmap::Assign(source);
}

bool WrapDIB(const uint8_t* bm_info, size_t info_size, const uint8_t* bits, size_t bits_size,
             TMemoryStream& out, TText& error) {
  if (info_size < kInfoHeaderSize) {
    error = Format(SSPIInfoBlockShort, info_size);
    return false;
  }
  const TBitmapInfoHeader header = DecodeInfoHeader(bm_info);
  const int bit_count = header.biBitCount;
  // The header is kept whole when it is larger than 40 bytes (its masks are then inside
  // it); after a 40-byte header, bit-field masks follow as three 32-bit words.
  if (header.biSize < kInfoHeaderSize || header.biSize > info_size) {
    error = Format(SSPIHeaderSize, header.biSize, info_size);
    return false;
  }
  const bool masks_after = header.biSize == kInfoHeaderSize &&
                           header.biCompression == BI_BITFIELDS &&
                           (bit_count == 16 || bit_count == 32);
  uint64_t colours = header.biClrUsed;
  if (colours == 0) {
    if (bit_count == 1) colours = 2;
    if (bit_count == 4) colours = 16;
    if (bit_count == 8) colours = 256;
  }
  if (colours > 256) {
    error = Format(SSPIColoursUsed, static_cast<unsigned long long>(colours));
    return false;
  }
  const uint64_t block = uint64_t{header.biSize} + (masks_after ? 12 : 0) + 4 * colours;
  if (block > info_size) {
    error = Format(SSPIInfoBlockNeeds, static_cast<unsigned long long>(block), info_size);
    return false;
  }
  // The pixel bytes: whole rows for uncompressed pictures; the stated image size for
  // run-length data, whose length the rows do not tell.
  uint64_t pixel_bytes = 0;
  if (header.biCompression == BI_RLE8 || header.biCompression == BI_RLE4) {
    pixel_bytes = header.biSizeImage;
  } else {
    const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : header.biHeight;
    const auto store = ComputeStoreSize(header.biWidth, height, bit_count == 0 ? 1 : bit_count);
    if (!store) {
      error = Format(SSPIPictureSize, header.biWidth, header.biHeight, bit_count);
      return false;
    }
    pixel_bytes = store->total;
  }
  if (pixel_bytes > bits_size) {
    error = Format(SSPIBitsNeed, static_cast<unsigned long long>(pixel_bytes), bits_size);
    return false;
  }
  const uint64_t file_size = kFileHeaderSize + block + pixel_bytes;
  if (file_size > UINT32_MAX) {
    error = Format(SSPITooLarge);
    return false;
  }
  TBitmapFileHeader file_header;
  file_header.bfType = kBitmapType;
  file_header.bfSize = static_cast<uint32_t>(file_size);
  file_header.bfOffBits = static_cast<uint32_t>(kFileHeaderSize + block);
  out.SetSize(static_cast<int64_t>(file_size));
  uint8_t* p = out.Memory();
  EncodeFileHeader(file_header, p);
  std::memcpy(p + kFileHeaderSize, bm_info, block);
  if (pixel_bytes != 0) std::memcpy(p + kFileHeaderSize + block, bits, pixel_bytes);
  out.SetPosition(0);
  return true;
}

void TSPIBitmap::LoadFromSPI(const uint8_t* bm_info, size_t info_size, const uint8_t* bits,
                             size_t bits_size, const TPictureInfoRec&, bool& done) {
  TMemoryStream image;
  TText error;
  if (!WrapDIB(bm_info, info_size, bits, bits_size, image, error))
    spi_able_.RaiseInvalidResult(error);
  TBitmap::LoadFromStream(image);
  done = true;
}
