#include "platform/BlockCache.h"

TBlockCache::~TBlockCache() {
  std::lock_guard<std::mutex> lock(mutex_);
  ReleaseAllLocked();
}

void TBlockCache::ReleaseAllLocked() {
  for (int i = 0; i < count_; ++i) release_(entries_[i].block);
  count_ = 0;
}

void* TBlockCache::Take(size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  int best = -1;
  for (int i = 0; i < count_; ++i) {
    const size_t capacity = entries_[i].capacity;
    if (capacity >= bytes && capacity / 2 <= bytes &&
        (best < 0 || capacity < entries_[best].capacity))
      best = i;
  }
  if (best < 0) {
    ReleaseAllLocked();
    return nullptr;
  }
  void* block = entries_[best].block;
  entries_[best] = entries_[--count_];
  ReleaseAllLocked();
  return block;
}

void TBlockCache::Keep(void* block, size_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (capacity > kBytes) {
    release_(block);
    return;
  }
  size_t kept = capacity;
  for (int i = 0; i < count_; ++i) kept += entries_[i].capacity;
  while (count_ > 0 && (count_ == kBlocks || kept > kBytes)) {
    kept -= entries_[0].capacity;
    release_(entries_[0].block);
    for (int i = 0; i + 1 < count_; ++i) entries_[i] = entries_[i + 1];
    --count_;
  }
  entries_[count_++] = TEntry{block, capacity};
}
