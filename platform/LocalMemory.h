// Local memory handles: the blocks through which a plug-in hands data to the host. The
// layout (a 16-byte header with a magic word, a check word and the size, then the data) is
// the plug-in SDK's (plugins/sdk/susie_plugin.h); plug-ins allocate, the host locks, sizes
// and frees. A handle whose header is wrong is refused: lock and size raise
// EInvalidLocalHandle, free leaves it alone and returns it.
#pragma once

#include <cstddef>

#include "base/Exceptions.h"

using THLocal = void*;

LV_DECLARE_EXCEPTION(EInvalidLocalHandle, Exception);

// Allocates a zero-filled block (the host allocates only in tests; plug-ins use the SDK).
THLocal LocalAlloc(size_t size);
// Whether the handle is a block made by LocalAlloc or the SDK's SpiLocalAlloc.
bool LocalValid(THLocal handle);
// The block's data; raises EInvalidLocalHandle for nullptr or a handle that is not a block.
void* LocalLock(THLocal handle);
bool LocalUnlock(THLocal handle);
// The data's size in bytes; raises EInvalidLocalHandle like LocalLock.
size_t LocalSize(THLocal handle);
// Frees a block and returns nullptr; returns the handle itself (and frees nothing) when it
// is not a block. nullptr is ignored.
THLocal LocalFree(THLocal handle);
