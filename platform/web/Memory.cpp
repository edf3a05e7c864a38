// Memory for pixel stores in the web page: the module's heap. WebAssembly has one linear
// memory that grows and never gives pages back, so there are no mappings or huge pages to
// manage: large blocks come from the allocator like small ones.
#include "platform/Memory.h"

#include <cstdint>
#include <cstdlib>

void* AllocatePixelMemory(size_t bytes) {
  if (bytes > SIZE_MAX / 2) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void ReleasePixelMemory(void* memory) {
  std::free(memory);
}
