#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "platform/FileStream.h"
#include "platform/Files.h"
#include "platform/Memory.h"

// TMemoryStream ---------------------------------------------------------------------------

TMemoryStream::~TMemoryStream() = default;

namespace {

// A block from the pixel-store allocator (huge pages where available, since memory streams
// carry whole picture files), released when its last holder lets go.
std::shared_ptr<uint8_t> NewBlock(int64_t bytes) {
  auto* memory = static_cast<uint8_t*>(AllocatePixelMemory(static_cast<size_t>(bytes)));
  if (memory == nullptr) throw EOutOfMemory(SOutOfMemory);
  return std::shared_ptr<uint8_t>(memory, [](uint8_t* p) { ReleasePixelMemory(p); });
}

}  // namespace

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= capacity_) return;
  // Grow by at least half again, so that many small writes stay linear overall.
  int64_t grown = std::max<int64_t>(capacity, capacity_ + capacity_ / 2);
  grown = (grown + 0xFFF) & ~int64_t{0xFFF};
  std::shared_ptr<uint8_t> block = NewBlock(grown);
  if (size_ > 0) std::memcpy(block.get(), memory_, static_cast<size_t>(size_));
  block_ = std::move(block);
  memory_ = block_.get();
  capacity_ = grown;
}

void TMemoryStream::Unshare() {
  if (block_.use_count() <= 1) return;
  std::shared_ptr<uint8_t> block = NewBlock(capacity_);
  if (size_ > 0) std::memcpy(block.get(), memory_, static_cast<size_t>(size_));
  block_ = std::move(block);
  memory_ = block_.get();
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || position_ < 0) return 0;
  const int64_t end = position_ + count;
  if (end > capacity_) Reserve(end);
  Unshare();
  std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  size_ = std::max(size_, end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = size_ + offset;
      break;
  }
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  Reserve(size);
  size_ = size;
  if (position_ > size_) position_ = size_;
}

void TMemoryStream::Clear() {
  block_.reset();
  memory_ = nullptr;
  size_ = capacity_ = position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t count = stream.Size();
  if (block_.use_count() > 1) Clear();  // the old bytes are replaced: no need to copy them
  SetSize(count);
  if (auto* file = dynamic_cast<TFileStream*>(&stream); file != nullptr && count != 0)
    file->ReadWhole(memory_, count);
  else if (count != 0)
    stream.ReadBuffer(memory_, count);
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& file_name) {
  TFileStream file(file_name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& stream) {
  if (size_ != 0) stream.WriteBuffer(memory_, size_);
}

void TMemoryStream::SaveToFile(const std::string& file_name) {
  SaveFileSafely(file_name, [this](TStream& file) { SaveToStream(file); });
}
