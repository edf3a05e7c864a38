#include "platform/win32/LocalHandles.h"

#include <windows.h>

namespace win32 {

void* LocalAllocMoveable(size_t size) {
  return LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
}

bool LocalHandleKnown(void* handle) {
  if (handle == nullptr || LocalFlags(handle) == LMEM_INVALID_HANDLE) return false;
  // A moveable block's handle is checked by LocalFlags itself. A fixed block's handle is
  // its data's address, which LocalFlags may take on trust; such a block must be one of
  // the process heap's, which HeapValidate checks.
  void* data = LocalLock(handle);
  if (data == nullptr) return true;  // a moveable block of no bytes
  const bool fixed = data == handle;
  if (!fixed) LocalUnlock(handle);
  return !fixed || HeapValidate(GetProcessHeap(), 0, handle) != 0;
}

void* LocalLockHandle(void* handle) {
  return LocalLock(handle);
}

bool LocalUnlockHandle(void* handle) {
  return LocalUnlock(handle) != 0;
}

size_t LocalSizeOf(void* handle) {
  return LocalSize(handle);
}

void* LocalFreeHandle(void* handle) {
  return LocalFree(handle);
}

}  // namespace win32
