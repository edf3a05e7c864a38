// The parts of a file name with this platform's path delimiter.
#pragma once

#include <string>
#include <string_view>

// The path delimiter: '/' on Linux; on Windows '\' (and '/', which the Windows file
// functions accept as well).
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

// The position of the last delimiter in `path`, or std::string::npos.
size_t LastDelimiter(std::string_view path);
// The folder part of a file name, without its last delimiter: "." when there is none, the
// root with its delimiter ("/", on Windows also "C:\\").
std::string FolderOf(const std::string& file_name);
// The file name's extension with its dot: from the last '.' after the last delimiter, or
// "" when there is none.
std::string ExtractFileExt(const std::string& file_name);
