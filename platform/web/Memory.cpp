// Memory for pixel stores in the web page: the module's heap. WebAssembly has one linear
// memory that grows and never gives pages back, so there are no mappings or huge pages to
// manage: large blocks come from the allocator like small ones. Each block carries its
// length before its data (16 bytes, keeping the allocator's alignment), so that its
// release gives back what it counted against the run's bound (platform/PixelBudget.h).
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/PixelBudget.h"

namespace {

constexpr size_t kHeader = 16;

void* AllocateBlock(size_t bytes) {
  auto* block = static_cast<uint8_t*>(std::malloc(bytes + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  return block + kHeader;
}

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes > SIZE_MAX / 2) return nullptr;
  return ClaimedAllocation(bytes, AllocateBlock);
}

void ReleasePixelMemory(void* memory) {
  if (memory == nullptr) return;
  uint8_t* block = static_cast<uint8_t*>(memory) - kHeader;
  size_t bytes = 0;
  std::memcpy(&bytes, block, sizeof bytes);
  ReleasePixelMemoryClaim(bytes);
  std::free(block);
}
