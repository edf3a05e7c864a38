// A write stream that gathers the writers' many small pieces (a GIF file comes in 256-byte
// sub-blocks) in a 64 KiB buffer and hands them to the operating system in large writes.
// Each platform's safe save derives from it with the file's own write and seek.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Streams.h"

class TBufferedFileStream : public TStream {
 public:
  TBufferedFileStream() { buffer_.reserve(kBuffer); }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* data, int64_t count) override {
    if (count <= 0 || failed_) return 0;
    const auto* p = static_cast<const char*>(data);
    if (buffer_.size() + static_cast<size_t>(count) > kBuffer) {
      if (!Flush()) return 0;
      if (static_cast<size_t>(count) >= kBuffer) return WriteOut(p, count) ? count : 0;
    }
    buffer_.insert(buffer_.end(), p, p + count);
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    if (!Flush()) return -1;
    return SeekFile(offset, origin);
  }
  // Writes out what is buffered; false when the file refused bytes (then and from then on).
  bool Flush() {
    if (failed_) return false;
    if (!buffer_.empty() && !WriteOut(buffer_.data(), static_cast<int64_t>(buffer_.size())))
      failed_ = true;
    buffer_.clear();
    return !failed_;
  }

 protected:
  // Writes all count bytes to the file; false when it takes fewer.
  virtual bool WriteOut(const char* p, int64_t count) = 0;
  // Moves the file's position; the new position, or -1.
  virtual int64_t SeekFile(int64_t offset, TSeekOrigin origin) = 0;

 private:
  static constexpr size_t kBuffer = 64 * 1024;
  std::vector<char> buffer_;
  bool failed_ = false;
};
