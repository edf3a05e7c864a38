#include "susie/SPIBitmap.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/MemoryStream.h"
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
  spi_able_.OwnDescribeProc = [](TStream& stream, std::string& note) {
    TBitmapDescription bitmap = DescribeBitmap(stream, stream.Size() - stream.Position());
    note = std::move(bitmap.note);
    TPictureDescription description;
    description.Width = bitmap.width;
    description.Height = bitmap.height;
    description.Format = bitmap.format;
    return description;
  };
  spi_able_.OwnReadNoteProc = [this] { return ReadNote(); };
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

namespace {

// A plug-in's info block, checked against the sizes of its two memory blocks: the header
// (40 bytes or more, kept whole), bit-field masks after a 40-byte header, the colour table,
// and the pixel bytes (whole rows, or for run-length data the stated image size).
struct TPluginPicture {
  TCheckedInfoHeader header;
  size_t block = 0;        // header, masks and colour table
  size_t pixel_bytes = 0;  // what the bits block must hold
};

TPluginPicture CheckPluginPicture(const TInSPIAble& able, const uint8_t* bm_info, size_t info_size,
                                  size_t bits_size) {
  if (info_size < kInfoHeaderSize) able.RaiseInvalidResult(Format(SSPIInfoBlockShort, info_size));
  const uint32_t header_size = GetU32(bm_info);
  if (header_size < kInfoHeaderSize || header_size > info_size)
    able.RaiseInvalidResult(Format(SSPIHeaderSize, header_size, info_size));
  TPluginPicture picture;
  // The header's own rules and our limits, as for a BMP file.
  picture.header = CheckInfoHeader(bm_info, header_size);
  const TCheckedInfoHeader& h = picture.header;
  const uint64_t block =
      uint64_t{header_size} + (h.masks_after ? kMasksSize : 0) + 4 * uint64_t{h.colours};
  if (block > info_size)
    able.RaiseInvalidResult(
        Format(SSPIInfoBlockNeeds, static_cast<unsigned long long>(block), info_size));
  const uint64_t pixel_bytes = h.compressed ? h.info.biSizeImage : h.rows.total;
  if (pixel_bytes > bits_size)
    able.RaiseInvalidResult(
        Format(SSPIBitsNeed, static_cast<unsigned long long>(pixel_bytes), bits_size));
  // The picture must fit a BMP file, whose sizes are 32-bit: it is saved as one.
  if (kFileHeaderSize + block + pixel_bytes > UINT32_MAX)
    able.RaiseInvalidResult(Format(SSPITooLarge));
  picture.block = static_cast<size_t>(block);
  picture.pixel_bytes = static_cast<size_t>(pixel_bytes);
  return picture;
}

// The colour table that follows the header (and the masks) in the info block.
std::vector<TRGBQuad> PluginColourTable(const uint8_t* bm_info, const TPluginPicture& picture) {
  const TCheckedInfoHeader& h = picture.header;
  const uint8_t* p = bm_info + h.header_size + (h.masks_after ? kMasksSize : 0);
  std::vector<TRGBQuad> table(h.colours);
  for (size_t i = 0; i < table.size(); ++i, p += 4) table[i] = TRGBQuad{p[0], p[1], p[2], 0};
  return table;
}

// Run-length data is kept as the BMP file it makes (file header, info block, data), which
// is what a compressed picture writes back unchanged.
std::shared_ptr<TMemoryStream> RunLengthFile(const uint8_t* bm_info, const uint8_t* bits,
                                             const TPluginPicture& picture) {
  TBitmapFileHeader file_header;
  file_header.bfType = kBitmapType;
  file_header.bfSize = static_cast<uint32_t>(kFileHeaderSize + picture.block + picture.pixel_bytes);
  file_header.bfOffBits = static_cast<uint32_t>(kFileHeaderSize + picture.block);
  auto saved = std::make_shared<TMemoryStream>();
  saved->SetSize(file_header.bfSize);
  uint8_t* p = saved->Memory();
  EncodeFileHeader(file_header, p);
  std::memcpy(p + kFileHeaderSize, bm_info, picture.block);
  if (picture.pixel_bytes != 0)
    std::memcpy(p + kFileHeaderSize + picture.block, bits, picture.pixel_bytes);
  return saved;
}

}  // namespace

void TSPIBitmap::LoadFromSPI(const uint8_t* bm_info, size_t info_size, const uint8_t* bits,
                             size_t bits_size, const TPictureInfoRec&, bool& done) {
  TPluginPicture picture = CheckPluginPicture(spi_able_, bm_info, info_size, bits_size);
  TCheckedInfoHeader& header = picture.header;
  if (header.masks_after)
    for (int i = 0; i < 3; ++i) header.masks[i] = GetU32(bm_info + kInfoHeaderSize + 4 * i);
  std::shared_ptr<TMemoryStream> saved;
  if (header.compressed) saved = RunLengthFile(bm_info, bits, picture);
  TPixelSource source = TPixelSource::FromMemory(bits, picture.pixel_bytes);
  // The plug-in's own block (when the host passed these bits in it) becomes the store as
  // it is: the rows need no copy.
  const std::shared_ptr<uint8_t>& block = spi_able_.BitsBlock();
  if (block && block.get() == bits && !header.compressed) {
    source.block = block;
    source.data = block.get();
    source.skip = [](size_t) {};
  }
  AdoptPixelStore(header, PluginColourTable(bm_info, picture), source, std::move(saved));
  done = true;
}
