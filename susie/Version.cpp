#include "susie/Version.h"

#ifndef LUMIVEIL_VERSION
#error "LUMIVEIL_VERSION is set by susie/CMakeLists.txt from the project's version"
#endif

const char* LumiveilVersion() {
  return LUMIVEIL_VERSION;
}

std::string VersionText(const std::string& program) {
  // The host decodes with import plug-ins ("00IN"); values that hold an address are
  // pointer-sized, so a 64-bit program loads 64-bit plug-ins and a 32-bit one 32-bit ones.
  return program + " " + LumiveilVersion() + "\nSusie plug-in API 00IN (import), " +
         std::to_string(sizeof(void*) * 8) + "-bit\n";
}
