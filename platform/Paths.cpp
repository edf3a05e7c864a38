#include "platform/Paths.h"

size_t LastDelimiter(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;)
    if (IsPathDelimiter(path[i])) return i;
  return std::string::npos;
}

std::string FolderOf(const std::string& file_name) {
  const size_t slash = LastDelimiter(file_name);
  if (slash == std::string::npos) return ".";
  bool root = slash == 0;
#ifdef _WIN32
  root = root || (slash == 2 && file_name[1] == ':');
#endif
  return file_name.substr(0, root ? slash + 1 : slash);
}

std::string ExtractFileExt(const std::string& file_name) {
  const size_t dot = file_name.rfind('.');
  const size_t slash = LastDelimiter(file_name);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return file_name.substr(dot);
}
