// printf-style formatting of message texts and the class library's number conversions.
#pragma once

#include <string>
#include <string_view>

// Fills %s and %d (and the other printf conversions) of a message text.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

std::string IntToStr(long long value);

// The class library's string-to-integer conversion: optional blanks and sign, decimal
// digits (or $ / 0x followed by hexadecimal digits), within 32 bits. Anything else raises
// EConvertError with the invalid-integer message.
int StrToInt(std::string_view text);

// The string-to-floating-point conversion (extended precision): optional blanks, sign,
// digits with an optional '.' fraction and exponent. Anything else raises EConvertError.
long double StrToFloat(std::string_view text);
