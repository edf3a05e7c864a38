// The path delimiter of this platform: '/' on Linux; on Windows '\' (and '/', which the
// Windows file functions accept as well).
#pragma once

#ifdef _WIN32
constexpr char kPathDelimiter = '\\';
constexpr bool IsPathDelimiter(char c) {
  return c == '\\' || c == '/';
}
#else
constexpr char kPathDelimiter = '/';
constexpr bool IsPathDelimiter(char c) {
  return c == '/';
}
#endif

#include <string>

// The position of the last delimiter in `path`, or std::string::npos.
inline size_t LastDelimiter(const std::string& path) {
  for (size_t i = path.size(); i-- > 0;)
    if (IsPathDelimiter(path[i])) return i;
  return std::string::npos;
}
