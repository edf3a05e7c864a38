// Dynamic libraries on Windows: LoadLibraryA, GetProcAddress, FreeLibrary and
// GetModuleFileNameA with a 255-character buffer.
#include "platform/DynamicLibrary.h"

#include <windows.h>

#include "platform/win32/SystemMessage.h"

// Our own functions carry the plain names that windows.h maps to its A and W variants.
#undef LoadLibrary
#undef GetModuleFileName

namespace {
thread_local std::string t_last_error;
}  // namespace

TModuleHandle LoadLibrary(const std::string& path) {
  // A plug-in that cannot be loaded must not stop the program with a message box.
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(path.c_str());
  const DWORD error = module == nullptr ? GetLastError() : 0;
  SetErrorMode(old_mode);
  if (module == nullptr) t_last_error = SystemMessage(error);
  return module;
}

void* GetProcAddress(TModuleHandle module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void FreeLibrary(TModuleHandle module) {
  if (module != nullptr) ::FreeLibrary(static_cast<HMODULE>(module));
}

std::string GetModuleFileName(TModuleHandle module) {
  if (module == nullptr) return "";
  char buffer[256] = {};
  const DWORD n = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, 255);
  // 0 is a failure; 255 may be a name cut short, which is no name to identify a plug-in by.
  if (n == 0 || n >= 255) return "";
  return std::string(buffer, n);
}

std::string LastLibraryError() {
  return t_last_error;
}
