// Memory for pixel stores and memory streams. Large blocks are aligned to 2 MiB and
// marked for huge pages where the system offers them: a 36 MB picture then costs about
// twenty page faults instead of nine thousand, which is most of the time of reading a
// large BMP. Freed large blocks are kept a while for the next store of their size
// (platform/BlockCache.h).
#pragma once

#include <cstddef>

// Returns uninitialised memory of `bytes` bytes, or nullptr. Release with ReleasePixelMemory.
// Every block counts against the run's bound on picture memory (platform/PixelBudget.h):
// one that would pass it raises EPixelMemoryBound instead.
void* AllocatePixelMemory(size_t bytes);
void ReleasePixelMemory(void* memory);
