#include "base/Text.h"

#include <algorithm>

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerChar(x) == LowerChar(y);
         });
}

std::string LowerCase(std::string text) {
  for (char& c : text) c = LowerChar(c);
  return text;
}

bool EndsWithText(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

std::string_view Trim(std::string_view text, std::string_view blanks) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

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
