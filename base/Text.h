// The class library's small text helpers, in one place: letters compared and lowered
// without regard to case (ASCII letters only, as file names and extensions are compared)
// and blanks trimmed. The parts of a file name are the platform's (platform/Paths.h).
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
