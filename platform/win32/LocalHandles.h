// kernel32's local memory under names of our own, for the Windows LocalMemory: our
// LocalLock, LocalSize and LocalFree have kernel32's signatures, so the two cannot be
// declared in one translation unit.
#pragma once

#include <cstddef>

namespace win32 {
void* LocalAllocMoveable(size_t size);
// Whether kernel32 knows the handle as a local-memory block.
bool LocalHandleKnown(void* handle);
void* LocalLockHandle(void* handle);
bool LocalUnlockHandle(void* handle);
size_t LocalSizeOf(void* handle);
void* LocalFreeHandle(void* handle);
}  // namespace win32
