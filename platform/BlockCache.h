// Freed large pixel blocks, kept for the next store of about their size: a picture that is
// made again and again at one size (the result of every slider step in the window, the
// temporaries of a job) then finds its pages present, instead of the system clearing and
// mapping them afresh, which costs more than the kernels that fill them. Each platform's
// allocator keeps its blocks here and releases them in its own way.
#pragma once

#include <cstddef>
#include <mutex>

class TBlockCache {
 public:
  using TRelease = void (*)(void* block);
  // At most this many blocks, of at most this many bytes in all, wait for reuse.
  static constexpr int kBlocks = 2;
  static constexpr size_t kBytes = size_t{96} << 20;

  explicit TBlockCache(TRelease release) : release_(release) {}
  ~TBlockCache();
  TBlockCache(const TBlockCache&) = delete;
  TBlockCache& operator=(const TBlockCache&) = delete;

  // The smallest kept block of at least `bytes` and at most twice as many usable bytes,
  // or nullptr. The other kept blocks are released either way: blocks wait only for the
  // next large store, so that memory nothing asks for does not stay resident beside it.
  void* Take(size_t bytes);
  // Keeps a block of `capacity` usable bytes, or releases it when it is larger than the
  // cache may hold; the longest kept blocks go first when the cache is full.
  void Keep(void* block, size_t capacity);

 private:
  struct TEntry {
    void* block = nullptr;
    size_t capacity = 0;
  };
  void ReleaseAllLocked();

  TRelease release_;
  std::mutex mutex_;
  TEntry entries_[kBlocks];
  int count_ = 0;  // entries_[0 .. count_ - 1], oldest first
};
