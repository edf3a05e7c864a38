// Memory for pixel stores on Windows: small blocks from the C heap, large ones straight
// from VirtualAlloc (committed pages, zero-filled by the system, given back whole), kept
// for reuse a while when freed (platform/BlockCache.h).
#include "platform/Memory.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/BlockCache.h"
#include "platform/PixelBudget.h"

namespace {

constexpr size_t kLargeStore = size_t{4} << 20;
// Every block carries a header of this size in front of the data, which keeps the data
// 64-byte aligned in large blocks; it tells the two kinds apart on release.
constexpr size_t kHeader = 64;
constexpr uint32_t kLargeMagic = 0x4C565058u;

struct TBlockHeader {
  uint32_t magic;
  void* base;
  size_t capacity;  // usable bytes from the data on
  size_t counted;   // the bytes asked for, held against the run's bound (PixelBudget.h)
};

TBlockHeader* HeaderOf(void* data) {
  return reinterpret_cast<TBlockHeader*>(static_cast<char*>(data) - kHeader);
}

void Free(void* data) {
  VirtualFree(HeaderOf(data)->base, 0, MEM_RELEASE);
}

TBlockCache& Cache() {
  // Never destroyed: stores released while the program ends still find it.
  static TBlockCache* cache = new TBlockCache(&Free);
  return *cache;
}

}  // namespace

namespace {

void* AllocateBlock(size_t bytes) {
  if (bytes < kLargeStore) {
    void* memory = std::malloc(bytes + kHeader);
    if (memory == nullptr) return nullptr;
    std::memset(memory, 0, sizeof(TBlockHeader));
    return static_cast<char*>(memory) + kHeader;
  }
  if (void* block = Cache().Take(bytes)) return block;
  void* base = VirtualAlloc(nullptr, bytes + kHeader, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (base == nullptr) return nullptr;
  auto* header = static_cast<TBlockHeader*>(base);
  header->magic = kLargeMagic;
  header->base = base;
  header->capacity = bytes;
  return static_cast<char*>(base) + kHeader;
}

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes > SIZE_MAX - 2 * kHeader) return nullptr;
  void* block = ClaimedAllocation(bytes, AllocateBlock);
  if (block != nullptr) HeaderOf(block)->counted = bytes;
  return block;
}

void ReleasePixelMemory(void* memory) {
  if (memory == nullptr) return;
  const TBlockHeader* header = HeaderOf(memory);
  ReleasePixelMemoryClaim(header->counted);
  if (header->magic == kLargeMagic)
    Cache().Keep(memory, header->capacity);
  else
    std::free(static_cast<char*>(memory) - kHeader);
}
