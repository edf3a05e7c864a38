#include "base/Format.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/Text.h"

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(result.data(), result.size(), format, args);
    result.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

std::string IntToStr(long long value) {
  return std::to_string(value);
}

std::string ByteSizeText(unsigned long long bytes) {
  static const char* const kUnits[] = {"GiB", "MiB", "KiB"};
  for (int i = 0; i < 3; ++i) {
    const unsigned long long unit = 1ull << (10 * (3 - i));
    if (bytes != 0 && bytes % unit == 0) return std::to_string(bytes / unit) + " " + kUnits[i];
  }
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

namespace {

// The blanks an edit's number may have around it.
constexpr std::string_view kBlanks = " \t";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int StrToInt(std::string_view text) {
  const auto fail = [&]() -> int {
    throw EConvertError(Format(SInvalidInteger, std::string(text).c_str()));
  };
  std::string_view s = Trim(text, kBlanks);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return fail();
  long long value = 0;
  for (char c : s) {
    const int digit = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return fail();
    value = value * base + digit;
    if (value > 0xFFFFFFFFLL) return fail();
  }
  if (negative) value = -value;
  // Hexadecimal literals may name the full 32-bit pattern; decimal ones must fit.
  if (base == 16 && value > INT_MAX) value -= 0x100000000LL;
  if (value < INT_MIN || value > INT_MAX) return fail();
  return static_cast<int>(value);
}

long double StrToFloat(std::string_view text) {
  const std::string original(text);
  const auto fail = [&]() -> long double {
    throw EConvertError(Format(SInvalidFloat, original.c_str()));
  };
  const std::string s(Trim(text, kBlanks));
  if (s.empty()) return fail();
  // Accept only plain decimal notation: no hexadecimal floats, infinities or NaNs.
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return fail();
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponent_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exponent_digits;
    if (exponent_digits == 0) return fail();
  }
  if (i != s.size()) return fail();
  errno = 0;
  char* end = nullptr;
  const long double value = std::strtold(s.c_str(), &end);
  if (errno == ERANGE && std::isinf(value)) return fail();
  return value;
}

std::ostream& operator<<(std::ostream& out, const TText& text) {
  return out << text.text;
}
