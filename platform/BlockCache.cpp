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
    if (Serves(capacity, bytes) && (best < 0 || capacity < entries_[best].capacity)) best = i;
  }
  if (best < 0) {
    ReleaseAllLocked();
    return nullptr;
  }
  const TEntry taken = entries_[best];
  // The others, oldest first, stay only if they would serve another store of this size.
  int kept = 0;
  for (int i = 0; i < count_; ++i) {
    if (i == best) continue;
    if (!Serves(entries_[i].capacity, bytes)) {
      release_(entries_[i].block);
      continue;
    }
    // Cut to that size at once: the rest would stay resident beside the new store.
    if (trim_ != nullptr) entries_[i].capacity = trim_(entries_[i].block, bytes);
    entries_[kept++] = entries_[i];
  }
  count_ = kept;
  size_t rest_capacity = 0;
  void* rest = split_ != nullptr ? split_(taken.block, bytes, &rest_capacity) : nullptr;
  if (rest == nullptr) {
    if (trim_ != nullptr) trim_(taken.block, bytes);
  } else if (Serves(rest_capacity, bytes) && count_ < kBlocks) {
    entries_[count_++] = TEntry{rest, trim_ != nullptr ? trim_(rest, bytes) : rest_capacity};
  } else {
    release_(rest);
  }
  return taken.block;
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
