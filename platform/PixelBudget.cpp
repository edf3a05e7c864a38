#include "platform/PixelBudget.h"

#include <atomic>

#include "base/Exceptions.h"

namespace {
std::atomic<uint64_t> g_bound{0};
std::atomic<uint64_t> g_in_use{0};
}  // namespace

void SetPixelMemoryBound(uint64_t bytes) {
  g_bound.store(bytes, std::memory_order_relaxed);
}

uint64_t PixelMemoryBound() {
  return g_bound.load(std::memory_order_relaxed);
}

uint64_t PixelMemoryInUse() {
  return g_in_use.load(std::memory_order_relaxed);
}

void CheckPixelMemory(uint64_t bytes) {
  const uint64_t bound = PixelMemoryBound();
  const uint64_t in_use = PixelMemoryInUse();
  if (bound != 0 && (bytes > bound || in_use > bound - bytes))
    throw EPixelMemoryBound(in_use + bytes, bound);
}

void ClaimPixelMemory(uint64_t bytes) {
  // Counted first and taken back when over, so that threads allocating at once cannot
  // pass the bound together.
  const uint64_t before = g_in_use.fetch_add(bytes, std::memory_order_relaxed);
  const uint64_t bound = PixelMemoryBound();
  if (bound != 0 && (bytes > bound || before > bound - bytes)) {
    g_in_use.fetch_sub(bytes, std::memory_order_relaxed);
    throw EPixelMemoryBound(before + bytes, bound);
  }
}

void ReleasePixelMemoryClaim(uint64_t bytes) {
  g_in_use.fetch_sub(bytes, std::memory_order_relaxed);
}
