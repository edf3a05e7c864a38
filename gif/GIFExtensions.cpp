#include "gif/GIFExtensions.h"

#include <algorithm>
#include <cstring>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/GIFException.h"
#include "raster/BmpFormat.h"

namespace {

void WriteByte(TStream& stream, uint8_t value) {
  stream.WriteBuffer(&value, 1);
}

}  // namespace

void TGIFExtension::SaveToStream(TStream& stream) const {
  const uint8_t head[2] = {0x21, Label()};
  stream.WriteBuffer(head, 2);
  SaveData(stream);
}

void WriteTextSubBlocks(TStream& stream, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    for (size_t done = 0; done < line.size();) {
      const size_t n = std::min<size_t>(line.size() - done, 255);
      WriteByte(stream, static_cast<uint8_t>(n));
      stream.WriteBuffer(line.data() + done, static_cast<int64_t>(n));
      done += n;
    }
  }
  WriteByte(stream, 0);
}

std::unique_ptr<TGIFExtension> TGIFGraphicControlExtension::Clone() const {
  return std::make_unique<TGIFGraphicControlExtension>(*this);
}

void TGIFGraphicControlExtension::SaveData(TStream& stream) const {
  uint8_t bytes[6];
  bytes[0] = 4;  // block size
  bytes[1] = static_cast<uint8_t>((Transparent ? 0x01 : 0) | (UserInput ? 0x02 : 0) |
                                  ((static_cast<unsigned>(Disposal) & 0x07) << 2));
  PutU16(bytes + 2, Delay);
  bytes[4] = TransparentColorIndex;
  bytes[5] = 0;
  stream.WriteBuffer(bytes, 6);
}

std::unique_ptr<TGIFExtension> TGIFCommentExtension::Clone() const {
  return std::make_unique<TGIFCommentExtension>(*this);
}

void TGIFCommentExtension::SaveData(TStream& stream) const {
  WriteTextSubBlocks(stream, Text);
}

std::unique_ptr<TGIFExtension> TGIFTextExtension::Clone() const {
  return std::make_unique<TGIFTextExtension>(*this);
}

void TGIFTextExtension::SaveData(TStream& stream) const {
  uint8_t bytes[13];
  bytes[0] = 12;  // block size
  PutU16(bytes + 1, Left);
  PutU16(bytes + 3, Top);
  PutU16(bytes + 5, GridWidth);
  PutU16(bytes + 7, GridHeight);
  bytes[9] = CellWidth;
  bytes[10] = CellHeight;
  bytes[11] = ForegroundColorIndex;
  bytes[12] = BackgroundColorIndex;
  stream.WriteBuffer(bytes, 13);
  WriteTextSubBlocks(stream, Text);
}

std::unique_ptr<TGIFExtension> TGIFApplicationExtension::Clone() const {
  return std::make_unique<TGIFApplicationExtension>(*this);
}

void TGIFApplicationExtension::SaveData(TStream& stream) const {
  uint8_t bytes[12];
  bytes[0] = 11;  // block size
  std::memcpy(bytes + 1, Identifier.data(), 8);
  std::memcpy(bytes + 9, Authentication.data(), 3);
  stream.WriteBuffer(bytes, 12);
  SaveApplicationData(stream);
}

void TGIFApplicationExtension::SaveApplicationData(TStream& stream) const {
  WriteByte(stream, 0);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop() {
  std::memcpy(Identifier.data(), "NETSCAPE", 8);
  std::memcpy(Authentication.data(), "2.0", 3);
}

std::unique_ptr<TGIFExtension> TGIFAppExtNSLoop::Clone() const {
  return std::make_unique<TGIFAppExtNSLoop>(*this);
}

void TGIFAppExtNSLoop::SaveApplicationData(TStream& stream) const {
  const uint8_t loop[4] = {3, 1, static_cast<uint8_t>(Loops), static_cast<uint8_t>(Loops >> 8)};
  stream.WriteBuffer(loop, 4);
  if (BufferSize != 0) {
    uint8_t buffer[6] = {5, 2};
    for (int i = 0; i < 4; ++i) buffer[2 + i] = static_cast<uint8_t>(BufferSize >> (8 * i));
    stream.WriteBuffer(buffer, 6);
  }
  WriteByte(stream, 0);
}

TGIFBlock::TGIFBlock(std::vector<uint8_t> data) : data_(std::move(data)) {
  if (data_.size() > 255)
    throw GIFException(Format(SGIFBlockTooLarge, static_cast<int>(data_.size())));
}

std::unique_ptr<TGIFExtension> TGIFUnknownAppExtension::Clone() const {
  return std::make_unique<TGIFUnknownAppExtension>(*this);
}

void TGIFUnknownAppExtension::SaveApplicationData(TStream& stream) const {
  for (const TGIFBlock& block : Blocks) {
    // An empty block would read as the terminator and cut the blocks after it off.
    if (block.Data().empty()) continue;
    WriteByte(stream, static_cast<uint8_t>(block.Data().size()));
    stream.WriteBuffer(block.Data().data(), static_cast<int64_t>(block.Data().size()));
  }
  WriteByte(stream, 0);
}
