// Local memory handles on Windows: the plug-ins' LocalAlloc blocks, locked, sized and
// freed with kernel32's LocalLock, LocalSize and LocalFree. A handle that kernel32 does not
// know is refused as on Linux.
#include "platform/LocalMemory.h"

#include "base/Messages.h"
#include "platform/win32/LocalHandles.h"

namespace {
// What a locked block of no bytes gives: kernel32 has no data address for it.
unsigned char g_empty_block[1];
}  // namespace

THLocal LocalAlloc(size_t size) {
  return win32::LocalAllocMoveable(size);
}

bool LocalValid(THLocal handle) {
  return win32::LocalHandleKnown(handle);
}

void* LocalLock(THLocal handle) {
  if (!LocalValid(handle)) throw EInvalidLocalHandle(SInvalidLocalHandle);
  void* data = win32::LocalLockHandle(handle);
  if (data != nullptr) return data;
  if (win32::LocalSizeOf(handle) == 0) return g_empty_block;
  throw EInvalidLocalHandle(SInvalidLocalHandle);
}

bool LocalUnlock(THLocal handle) {
  if (!LocalValid(handle)) return false;
  win32::LocalUnlockHandle(handle);
  return true;
}

size_t LocalSize(THLocal handle) {
  if (!LocalValid(handle)) throw EInvalidLocalHandle(SInvalidLocalHandle);
  return win32::LocalSizeOf(handle);
}

THLocal LocalFree(THLocal handle) {
  if (handle == nullptr) return nullptr;
  if (!LocalValid(handle)) return handle;
  return win32::LocalFreeHandle(handle);
}
