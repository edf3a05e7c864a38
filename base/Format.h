// printf-style formatting of message texts and the class library's number conversions.
#pragma once

#include <string>
#include <string_view>

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
