#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeStore = size_t{4} << 20;
}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kLargeStore) return std::malloc(bytes == 0 ? 1 : bytes);
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (memory != nullptr) ::madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}

void ReleasePixelMemory(void* memory) {
  std::free(memory);
}
