// Clipboard formats on Windows: RegisterClipboardFormatA and GetClipboardFormatNameA.
#include "platform/Clipboard.h"

#include <windows.h>

#undef RegisterClipboardFormat

unsigned RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) return 0;
  return RegisterClipboardFormatA(name.c_str());
}

std::string ClipboardFormatName(unsigned format) {
  char buffer[256];
  const int n = GetClipboardFormatNameA(format, buffer, static_cast<int>(sizeof buffer));
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}
