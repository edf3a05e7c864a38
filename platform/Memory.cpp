#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kLargeStore = size_t{4} << 20;
// Large blocks carry their mapped length in a header of this size in front of the data,
// which keeps the data 64-byte aligned.
constexpr size_t kHeader = 64;
constexpr uint64_t kLargeMagic = 0x4C5650584C415247ull;

struct TLargeHeader {
  uint64_t magic;
  size_t length;
  void* base;
};

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kLargeStore) {
    void* memory = std::malloc(bytes + kHeader);
    if (memory == nullptr) return nullptr;
    std::memset(memory, 0, sizeof(TLargeHeader));
    return static_cast<char*>(memory) + kHeader;
  }
  // Large stores are mapped on a 2 MiB boundary and marked for huge pages: a 36 MB
  // picture then costs about twenty page faults instead of nine thousand, which is most of
  // the time of reading a large picture. The header sits in the last 64 bytes before the
  // boundary, so the data starts on it.
  constexpr size_t kHuge = size_t{2} << 20;
  const size_t data_length = (bytes + kHuge - 1) / kHuge * kHuge;
  const size_t length = data_length + 2 * kHuge;
  void* mapped =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t data = (start + kHeader + kHuge - 1) / kHuge * kHuge;
  ::madvise(reinterpret_cast<void*>(data), data_length, MADV_HUGEPAGE);
  void* memory = reinterpret_cast<void*>(data - kHeader);
  auto* header = static_cast<TLargeHeader*>(memory);
  header->magic = kLargeMagic;
  header->length = length;
  header->base = mapped;
  return reinterpret_cast<void*>(data);
}

void ReleasePixelMemory(void* memory) {
  if (memory == nullptr) return;
  void* base = static_cast<char*>(memory) - kHeader;
  const auto* header = static_cast<const TLargeHeader*>(base);
  if (header->magic == kLargeMagic)
    ::munmap(header->base, header->length);
  else
    std::free(base);
}
