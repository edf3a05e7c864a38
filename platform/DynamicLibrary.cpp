#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

namespace {
thread_local std::string t_last_error;

link_map* LinkMapOf(TModuleHandle module) {
  link_map* map = nullptr;
  if (module == nullptr || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
  return map;
}
}  // namespace

TModuleHandle LoadLibrary(const std::string& path) {
  // dlopen searches the library path for a bare name; a plug-in is always a file we name.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* message = dlerror();
    t_last_error = message != nullptr ? message : "cannot load " + path;
  }
  return module;
}

void* GetProcAddress(TModuleHandle module, const char* name) {
  if (module == nullptr) return nullptr;
  dlerror();
  void* address = dlsym(module, name);
  if (address == nullptr) return nullptr;
  // dlsym also finds the entries of the libraries a module depends on; an entry counts
  // only when the module defines it itself.
  Dl_info info;
  link_map* owner = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0)
    return nullptr;
  return owner == LinkMapOf(module) ? address : nullptr;
}

void FreeLibrary(TModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

std::string GetModuleFileName(TModuleHandle module) {
  const link_map* map = LinkMapOf(module);
  return map != nullptr && map->l_name != nullptr ? map->l_name : "";
}

std::string LastLibraryError() {
  return t_last_error;
}
