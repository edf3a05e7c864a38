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
