// A block of pixel memory with one owner, for picture data that is not a bitmap's (the
// indices of a GIF frame): it comes from the pixel-store allocator, so that it counts
// against the run's bound and takes the pages of a picture freed before it (Memory.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "platform/Memory.h"

class TPixelBlock {
 public:
  TPixelBlock() = default;
  // `bytes` bytes, not initialised. Raises std::bad_alloc without memory, and
  // EPixelMemoryBound where the run's bound does not leave them.
  explicit TPixelBlock(size_t bytes) : size_(bytes) {
    if (bytes == 0) return;
    data_ = static_cast<uint8_t*>(AllocatePixelMemory(bytes));
    if (data_ == nullptr) throw std::bad_alloc();
  }
  TPixelBlock(TPixelBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  TPixelBlock& operator=(TPixelBlock&& other) noexcept {
    if (this != &other) {
      ReleasePixelMemory(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  TPixelBlock(const TPixelBlock&) = delete;
  TPixelBlock& operator=(const TPixelBlock&) = delete;
  ~TPixelBlock() { ReleasePixelMemory(data_); }

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};
