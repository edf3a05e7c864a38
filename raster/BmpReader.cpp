// Reading a BMP file image into a TBitmap, in the steps of the file's layout: the file
// header, the info header (checked by CheckInfoHeader), the masks, for a compressed file a
// copy of the whole image, the colour table, and then the pixels, which the bitmap adopts.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"

namespace {

// The info header as it lies in the file: the core form's 12 bytes or the whole header of
// 40 bytes or more.
struct TStoredHeader {
  std::vector<uint8_t> bytes;
  TCheckedInfoHeader checked;
};

// The 14-byte file header. Its size and pixel-offset fields are not consulted: the pixels
// are taken to follow the colour table.
std::vector<uint8_t> ReadFileHeader(TStream& stream, int64_t& n) {
  std::vector<uint8_t> header(kFileHeaderSize);
  stream.ReadBuffer(header.data(), kFileHeaderSize);
  if (GetU16(header.data()) != kBitmapType) throw EInvalidBitmap(SInvalidBitmap);
  n -= kFileHeaderSize;
  return header;
}

// The info header, read whole once its size is known to be one this reader takes and to
// fit in what the stream holds (before anything is allocated for it), then checked.
TStoredHeader ReadInfoHeader(TStream& stream, int64_t& n) {
  uint8_t size_bytes[4];
  stream.ReadBuffer(size_bytes, 4);
  const uint32_t header_size = GetU32(size_bytes);
  CheckHeaderSize(header_size);
  if (static_cast<int64_t>(header_size) > n) throw EReadError(SReadError);
  TStoredHeader header;
  header.bytes.resize(header_size);
  std::memcpy(header.bytes.data(), size_bytes, 4);
  stream.ReadBuffer(header.bytes.data() + 4, header_size - 4);
  n -= header_size;
  header.checked = CheckInfoHeader(header.bytes.data(), header_size);
  return header;
}

// The three masks that follow a 40-byte header of a bit-field picture.
void ReadMasksAfterHeader(TStream& stream, TCheckedInfoHeader& header, int64_t& n) {
  if (!header.masks_after) return;
  uint8_t masks[kMasksSize];
  stream.ReadBuffer(masks, kMasksSize);
  for (int i = 0; i < 3; ++i) header.masks[i] = GetU32(masks + 4 * i);
  n -= kMasksSize;
}

// A compressed file is kept whole, as it was read, to be written back unchanged; the
// reading goes on from the copy, at the colour table.
std::shared_ptr<TMemoryStream> KeepFileImage(TStream& stream, const std::vector<uint8_t>& file,
                                             const std::vector<uint8_t>& header, int64_t n) {
  auto saved = std::make_shared<TMemoryStream>();
  const int64_t head = static_cast<int64_t>(file.size() + header.size());
  saved->SetSize(head + n);
  uint8_t* p = saved->Memory();
  std::memcpy(p, file.data(), file.size());
  std::memcpy(p + file.size(), header.data(), header.size());
  stream.ReadBuffer(p + head, n);
  saved->SetPosition(head);
  return saved;
}

// The bytes of the colour table: header.colours entries of 4 bytes (3 in the core form).
size_t ColourTableBytes(const TCheckedInfoHeader& header) {
  return header.colours * size_t{header.core ? 3u : 4u};
}

// The colour table, widened to 4-byte entries.
std::vector<TRGBQuad> ReadColourTable(TStream& stream, const TCheckedInfoHeader& header,
                                      int64_t& n) {
  const size_t entry_size = header.core ? 3 : 4;
  std::vector<uint8_t> bytes(ColourTableBytes(header));
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  n -= static_cast<int64_t>(bytes.size());
  std::vector<TRGBQuad> table(header.colours);
  for (size_t i = 0; i < table.size(); ++i) {
    const uint8_t* e = bytes.data() + i * entry_size;
    table[i] = TRGBQuad{e[0], e[1], e[2], 0};
  }
  return table;
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
  int64_t n = available;  // the bytes of the image not read yet
  const std::vector<uint8_t> file_header = ReadFileHeader(stream, n);
  TStoredHeader header = ReadInfoHeader(stream, n);
  ReadMasksAfterHeader(stream, header.checked, n);
  std::shared_ptr<TMemoryStream> saved;
  if (header.checked.compressed) saved = KeepFileImage(stream, file_header, header.bytes, n);
  TStream& source = saved ? *saved : stream;
  const std::vector<TRGBQuad> colours = ReadColourTable(source, header.checked, n);
  AdoptPixelStore(header.checked, colours, TPixelSource::FromStream(source, n), std::move(saved));
  read_note_ = CutShortNote(header.checked, static_cast<uint64_t>(std::max<int64_t>(n, 0)));
}

TBitmapDescription DescribeBitmap(TStream& stream, int64_t available) {
  TBitmapDescription description;
  if (available <= 0) return description;  // an empty picture, as the reader makes it
  int64_t n = available;
  ReadFileHeader(stream, n);
  TStoredHeader header = ReadInfoHeader(stream, n);
  ReadMasksAfterHeader(stream, header.checked, n);
  const TCheckedInfoHeader& h = header.checked;
  // The reader fails on a colour table the data does not hold whole.
  const auto table = static_cast<int64_t>(ColourTableBytes(h));
  if (table > n) throw EReadError(SReadError);
  n -= table;
  description.width = h.width;
  description.height = h.height;
  description.format = h.compressed ? TPixelFormat::Device
                                    : SectionPixelFormat(h.bits, h.info.biCompression, h.masks[1]);
  description.note = CutShortNote(h, static_cast<uint64_t>(n));
  return description;
}
