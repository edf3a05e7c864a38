// Dynamic libraries: this platform's stand-ins for loading a library, finding an entry in
// it, unloading it and asking for its file name. The loader's last error is kept per
// thread.
#pragma once

#include <string>

// An opaque module handle; nullptr is no module.
using TModuleHandle = void*;

// Loads the library at `path` (a name without '/' is taken from the current directory);
// nullptr on failure, with LastLibraryError() saying why.
TModuleHandle LoadLibrary(const std::string& path);
// The address of the entry `name` defined by the module itself (not by a library it
// depends on), or nullptr.
void* GetProcAddress(TModuleHandle module, const char* name);
// Unloads the module (once per LoadLibrary); nullptr is ignored.
void FreeLibrary(TModuleHandle module);
// The module's file path as the loader reports it; empty when it cannot say.
std::string GetModuleFileName(TModuleHandle module);
// The loader's message for the last failure of LoadLibrary on this thread.
std::string LastLibraryError();
