// The class library's small text helpers, in one place: letters compared and lowered
// without regard to case (ASCII letters only, as file names and extensions are compared),
// blanks trimmed, and the parts of a file name with this platform's path delimiter.
#pragma once

#include <string>
#include <string_view>

constexpr char LowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal but for the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
std::string LowerCase(std::string text);
// Whether `text` ends with `tail`, without regard to case.
bool EndsWithText(std::string_view text, std::string_view tail);
// `text` without the `blanks` at its start and end.
std::string_view Trim(std::string_view text, std::string_view blanks = " \t\r\n");

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
