#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/BlockCache.h"
#include "platform/PixelBudget.h"

namespace {

constexpr size_t kLargeStore = size_t{4} << 20;
// Large blocks carry their mapping in a header of this size in front of the data, which
// keeps the data 64-byte aligned.
constexpr size_t kHeader = 64;
constexpr uint64_t kLargeMagic = 0x4C5650584C415247ull;
// Large stores are mapped on a 2 MiB boundary and marked for huge pages when the kernel
// has them free: a 36 MB picture then costs about twenty page faults instead of nine
// thousand (the GIF job of bench/whole_job.py: 0.27 s of processor time against 0.33 s).
// Only when they are free: with the kernel's usual setting (transparent huge pages,
// defrag=madvise) a marked store's fault compacts memory when no huge page is free, which
// after other large processes made the same job take 0.40 s, most of it in the kernel.
// Unmarked, the 2 MiB boundary still lets a kernel that gives huge pages to every process
// hand them out without compacting.
constexpr size_t kHuge = size_t{2} << 20;
// Free 2 MiB blocks wanted beyond a store's own, for the stores that follow it.
constexpr size_t kHugeReserve = 64;

// Small blocks carry the same header with magic 0, for the count alone.
struct TLargeHeader {
  uint64_t magic;
  size_t length;    // of the whole mapping
  void* base;       // of the whole mapping
  size_t capacity;  // usable bytes from the data on
  size_t counted;   // the bytes asked for, held against the run's bound (PixelBudget.h)
};

TLargeHeader* HeaderOf(void* data) {
  return reinterpret_cast<TLargeHeader*>(static_cast<char*>(data) - kHeader);
}

void Unmap(void* data) {
  const TLargeHeader* header = HeaderOf(data);
  ::munmap(header->base, header->length);
}

// Unmaps the part of a large block beyond the 2 MiB blocks that `bytes` needs: a kept
// block serves a smaller store with pages already present, and gives back the rest.
size_t Trim(void* data, size_t bytes) {
  TLargeHeader* header = HeaderOf(data);
  const size_t capacity = (bytes + kHuge - 1) / kHuge * kHuge;
  if (capacity >= header->capacity) return header->capacity;
  char* const end = static_cast<char*>(header->base) + header->length;
  char* const cut = static_cast<char*>(data) + capacity;
  if (::munmap(cut, static_cast<size_t>(end - cut)) != 0) return header->capacity;
  header->length = static_cast<size_t>(cut - static_cast<char*>(header->base));
  header->capacity = capacity;
  return capacity;
}

// Cuts a large block after the 2 MiB blocks that `bytes` needs and returns the rest as a
// block of its own: its mapping starts one page before its data, on the page that holds its
// header, which the first block gives up. The rest keeps the pages already present.
void* Split(void* data, size_t bytes, size_t* rest_capacity) {
  static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  TLargeHeader* header = HeaderOf(data);
  const size_t first = (bytes + page + kHuge - 1) / kHuge * kHuge;
  if (first + kHuge > header->capacity) return nullptr;
  char* const rest = static_cast<char*>(data) + first;
  char* const rest_base = rest - page;
  char* const end = static_cast<char*>(header->base) + header->length;
  TLargeHeader* rest_header = HeaderOf(rest);
  rest_header->magic = kLargeMagic;
  rest_header->length = static_cast<size_t>(end - rest_base);
  rest_header->base = rest_base;
  rest_header->capacity = header->capacity - first;
  rest_header->counted = 0;
  header->length = static_cast<size_t>(rest_base - static_cast<char*>(header->base));
  header->capacity = first - page;
  *rest_capacity = rest_header->capacity;
  return rest;
}

TBlockCache& Cache() {
  // Never destroyed: stores released while the program ends still find it.
  static TBlockCache* cache = new TBlockCache(&Unmap, &Trim, &Split);
  return *cache;
}

// Whether the kernel has `blocks` free 2 MiB blocks, from its free lists (/proc/buddyinfo).
bool HugePagesFree(size_t blocks) {
  std::FILE* file = std::fopen("/proc/buddyinfo", "r");
  if (file == nullptr) return false;
  std::string text;
  char buffer[1024];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return FreeHugeBlocks(text) >= blocks;
}

}  // namespace

size_t FreeHugeBlocks(const std::string& buddyinfo) {
  size_t blocks = 0;
  size_t at = 0;
  while (at < buddyinfo.size()) {
    size_t end = buddyinfo.find('\n', at);
    if (end == std::string::npos) end = buddyinfo.size();
    // "Node 0, zone   Normal  n0 n1 ... n10": free blocks of 4 KiB << order, per order.
    const std::string line = buddyinfo.substr(at, end - at);
    at = end + 1;
    const size_t zone = line.find("zone");
    if (zone == std::string::npos) continue;
    const char* p = line.c_str() + zone + 4;
    while (*p == ' ') ++p;
    const char* name = p;
    while (*p != ' ' && *p != '\0') ++p;
    // The first 16 MiB, kept for old devices, never hold a process's pages.
    if (std::string(name, p) == "DMA") continue;
    for (int order = 0;; ++order) {
      char* next = nullptr;
      const unsigned long long count = std::strtoull(p, &next, 10);
      if (next == p) break;
      p = next;
      if (order >= 9 && order < 20) blocks += static_cast<size_t>(count) << (order - 9);
    }
  }
  return blocks;
}

namespace {

void* AllocateBlock(size_t bytes) {
  if (bytes < kLargeStore) {
    void* memory = std::malloc(bytes + kHeader);
    if (memory == nullptr) return nullptr;
    std::memset(memory, 0, sizeof(TLargeHeader));
    return static_cast<char*>(memory) + kHeader;
  }
  if (void* block = Cache().Take(bytes)) return block;
  // The header sits in the last 64 bytes before the data's boundary.
  const size_t align = kHuge;
  const size_t capacity = (bytes + align - 1) / align * align;
  const size_t length = capacity + 2 * align;
  void* mapped =
      ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t data = (start + kHeader + align - 1) / align * align;
  // The block's usable bytes run to the last 2 MiB boundary of the mapping: one 2 MiB
  // block more than the store needs (the mapping is made two larger, so that the data can
  // start on a boundary). Untouched, it costs no memory; freed, the block then serves a
  // store up to that much larger with its pages present (in a GIF job, the halftone copy
  // of 12 MB takes the 9 MB of the hidden picture freed just before it).
  const size_t usable = (start + length - data) / align * align;
  if (HugePagesFree(usable / kHuge + kHugeReserve))
    ::madvise(reinterpret_cast<void*>(data), usable, MADV_HUGEPAGE);
  auto* header = HeaderOf(reinterpret_cast<void*>(data));
  header->magic = kLargeMagic;
  header->length = length;
  header->base = mapped;
  header->capacity = usable;
  return reinterpret_cast<void*>(data);
}

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes > SIZE_MAX / 2) return nullptr;
  void* block = ClaimedAllocation(bytes, AllocateBlock);
  if (block != nullptr) HeaderOf(block)->counted = bytes;
  return block;
}

void ReleasePixelMemory(void* memory) {
  if (memory == nullptr) return;
  const TLargeHeader* header = HeaderOf(memory);
  ReleasePixelMemoryClaim(header->counted);
  if (header->magic == kLargeMagic)
    Cache().Keep(memory, header->capacity);
  else
    std::free(static_cast<char*>(memory) - kHeader);
}
