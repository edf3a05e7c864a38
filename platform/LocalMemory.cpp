#include "platform/LocalMemory.h"

#include "base/Messages.h"
#include "plugins/sdk/susie_plugin.h"

THLocal LocalAlloc(size_t size) {
  return SpiLocalAlloc(size);
}

bool LocalValid(THLocal handle) {
  return SpiLocalValid(handle) != 0;
}

void* LocalLock(THLocal handle) {
  if (!LocalValid(handle)) throw EInvalidLocalHandle(SInvalidLocalHandle);
  return SpiLocalLock(handle);
}

bool LocalUnlock(THLocal handle) {
  return LocalValid(handle);
}

size_t LocalSize(THLocal handle) {
  if (!LocalValid(handle)) throw EInvalidLocalHandle(SInvalidLocalHandle);
  return SpiLocalSize(handle);
}

THLocal LocalFree(THLocal handle) {
  return SpiLocalFree(handle);
}
