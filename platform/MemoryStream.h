// A stream over one block of memory that grows as it is written. Its blocks come from the
// platform's allocator for large stores (huge pages where the system has them), since
// memory streams carry whole picture files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Streams.h"

// A stream over one block of memory that grows as it is written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  // Sets the size; bytes added are not initialised.
  void SetSize(int64_t size) override;

  void Clear();
  // The bytes, to change: a block that a picture store shares is copied first.
  uint8_t* Memory() {
    Unshare();
    return memory_;
  }
  const uint8_t* Memory() const { return memory_; }
  // The block that holds the bytes (null while there are none), for a picture store that
  // keeps the rows of a file image instead of copying them. While the block is shared,
  // whatever changes the stream's bytes works on a copy of it (copy on write).
  const std::shared_ptr<uint8_t>& Block() const { return block_; }
  // Replaces the content by the whole of stream (from its beginning) or of a file.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& file_name);
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& file_name);

 private:
  void Reserve(int64_t capacity);
  // Gives the stream a block of its own again when a store shares the present one.
  void Unshare();

  std::shared_ptr<uint8_t> block_;
  uint8_t* memory_ = nullptr;  // block_.get()
  int64_t size_ = 0;
  int64_t capacity_ = 0;
  int64_t position_ = 0;
};
