// The bound on the memory that the pictures of one run hold at once. Every block of the
// pixel-store allocator (pixel stores and the memory streams that carry picture files,
// platform/Memory.h) counts while it lives. A program sets the bound once: the
// command-line tool does, so that small files cannot make a run take gigabytes; the
// window sets none. An allocation that would pass the bound raises EPixelMemoryBound
// before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

// Sets the bound in bytes; 0 takes it away.
void SetPixelMemoryBound(uint64_t bytes);
// The bound in force, 0 for none.
uint64_t PixelMemoryBound();
// The bytes the allocator's live blocks hold.
uint64_t PixelMemoryInUse();
// Raises EPixelMemoryBound when `bytes` more than is held now would pass the bound (for a
// caller that learns of a large need before anything is allocated for it).
void CheckPixelMemory(uint64_t bytes);

// For the allocators: counts `bytes` as held, or raises EPixelMemoryBound (and counts
// nothing) when that would pass the bound; and gives them back.
void ClaimPixelMemory(uint64_t bytes);
void ReleasePixelMemoryClaim(uint64_t bytes);

// Claims `bytes`, then calls allocate(bytes); gives the claim back when that returns
// nullptr.
template <class Allocate>
void* ClaimedAllocation(size_t bytes, Allocate allocate) {
  ClaimPixelMemory(bytes);
  void* block = allocate(bytes);
  if (block == nullptr) ReleasePixelMemoryClaim(bytes);
  return block;
}
