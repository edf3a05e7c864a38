// printf-style formatting of message texts and the class library's number conversions.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/Messages.h"

// The compiler checks Format's arguments as printf's: in the GNU dialect under GCC (which
// on Windows would otherwise check against the system library's dialect), in its own
// under clang, which knows only that one.
#if defined(__clang__)
#define LV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define LV_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#endif

// Fills %s and %d (and the other printf conversions) of a message text.
std::string Format(const char* format, ...) LV_PRINTF_FORMAT(1, 2);

// A message of the list filled in: its text and its English sense (empty for an English
// text). It stands for its text where a string is wanted.
struct TText {
  std::string text;
  std::string sense;

  operator const std::string&() const { return text; }
  friend bool operator==(const TText& a, std::string_view b) { return a.text == b; }
};
std::ostream& operator<<(std::ostream& out, const TText& text);

namespace format_detail {
// What a conversion receives for the text and for the sense: a message or a filled-in
// message gives its text, or its sense where it has one; anything else itself.
template <class T>
const T& Text(const T& value) {
  return value;
}
template <class T>
const T& Sense(const T& value) {
  return value;
}
inline const char* Text(const TText& value) {
  return value.text.c_str();
}
inline const char* Sense(const TText& value) {
  return value.sense.empty() ? value.text.c_str() : value.sense.c_str();
}
inline const char* Text(const TMessage& value) {
  return value.text;
}
inline const char* Sense(const TMessage& value) {
  return *value.sense != '\0' ? value.sense : value.text;
}
template <class T>
constexpr bool kFormatArgument = std::is_arithmetic_v<T> || std::is_pointer_v<std::decay_t<T>> ||
                                 std::is_same_v<T, TText> || std::is_same_v<T, TMessage>;
}  // namespace format_detail

// Fills the conversions of a message of the list, in its text and in its sense, with the
// same values. Only numbers, C strings, messages and filled-in messages can be given (a
// std::string would not survive the trip through printf).
template <class... Args>
TText Format(const TMessage& message, const Args&... args) {
  static_assert((format_detail::kFormatArgument<Args> && ...),
                "a message is filled with numbers, C strings and messages");
  TText result;
  if constexpr (sizeof...(Args) == 0) {
    result.text = message.text;
    result.sense = message.sense;
  } else {
    result.text = Format(message.text, format_detail::Text(args)...);
    if (*message.sense != '\0') result.sense = Format(message.sense, format_detail::Sense(args)...);
  }
  return result;
}

std::string IntToStr(long long value);

// A byte count as a person reads it: whole GiB, MiB or KiB when it is an exact multiple
// ("1 GiB", "4 MiB"), else the bytes ("3000000001 bytes").
std::string ByteSizeText(unsigned long long bytes);

// The class library's string-to-integer conversion: optional blanks and sign, decimal
// digits (or $ / 0x followed by hexadecimal digits), within 32 bits. Anything else raises
// EConvertError with the invalid-integer message.
int StrToInt(std::string_view text);

// The string-to-floating-point conversion (extended precision): optional blanks, sign,
// digits with an optional '.' fraction and exponent. Anything else raises EConvertError.
long double StrToFloat(std::string_view text);
