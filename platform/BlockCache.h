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
  // Gives back the part of a block beyond what a store of `bytes` needs; returns the
  // block's usable bytes after that.
  using TTrim = size_t (*)(void* block, size_t bytes);
  // Cuts a block after what a store of `bytes` needs and returns the rest as a block of its
  // own (its usable bytes in *rest_capacity), or nullptr when the rest is too small to be one.
  using TSplit = void* (*)(void* block, size_t bytes, size_t* rest_capacity);
  // At most this many blocks, of at most this many bytes in all, wait for reuse.
  static constexpr int kBlocks = 2;
  static constexpr size_t kBytes = size_t{96} << 20;

  // Without `trim` a block serves stores of half its size or more; with it, any smaller
  // store, the rest of the block given back. With `split` too, the rest of a block taken
  // for a smaller store stays as a block of its own when it would serve another store of
  // that size (a job's stores of one size in a row, made after a larger one was freed),
  // cut to that size.
  explicit TBlockCache(TRelease release, TTrim trim = nullptr, TSplit split = nullptr)
      : release_(release), trim_(trim), split_(split) {}
  ~TBlockCache();
  TBlockCache(const TBlockCache&) = delete;
  TBlockCache& operator=(const TBlockCache&) = delete;

  // The smallest kept block that serves a store of `bytes`, or nullptr. Of the other kept
  // blocks only those that would serve another store of that size stay (a job's stores of
  // one size in a row, a slider step's temporaries), cut to that size where the blocks can
  // be: memory nothing asks for does not stay resident beside the store.
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

  bool Serves(size_t capacity, size_t bytes) const {
    return capacity >= bytes && (trim_ != nullptr || capacity / 2 <= bytes);
  }

  TRelease release_;
  TTrim trim_;
  TSplit split_;
  std::mutex mutex_;
  TEntry entries_[kBlocks];
  int count_ = 0;  // entries_[0 .. count_ - 1], oldest first
};
