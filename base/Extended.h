// Extended precision: the type in which the resampling positions and the tone scale are
// computed, a binary floating-point type with a 64-bit significand that rounds every
// operation to nearest, ties to even (the x87 extended format).
//
// Where the compiler's long double is that format (x86), TExtended is long double. Where it
// is not (WebAssembly, whose long double is the 128-bit format with a 113-bit significand),
// TExtended is TSoftExtended, which computes exactly what the x87 unit computes: each sum,
// difference, product and quotient is formed exactly and rounded once to 64 bits. Rounding
// the wider type's results instead would round twice, and a position or weight whose exact
// value lies near the middle of two 64-bit neighbours, such as 1/6 or a third of a pixel,
// would then come out one step off in some cases and change a byte of the picture.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <cstring>

// The emulation forms exact results in 128-bit integers, which 64-bit and WebAssembly
// compilers have (a 32-bit x86 build has the x87 unit itself and needs none).
#if defined(__SIZEOF_INT128__)
class TSoftExtended {
 public:
  constexpr TSoftExtended() = default;
  // Integers and doubles convert exactly.
  template <std::integral I>
  constexpr TSoftExtended(I value) {  // NOLINT(google-explicit-constructor): as long double
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(value))
                 : static_cast<uint64_t>(value);
    *this = Normalised(negative, magnitude, 0);
  }
  constexpr TSoftExtended(double value) {  // NOLINT(google-explicit-constructor)
    const uint64_t bits = __builtin_bit_cast(uint64_t, value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0)
      *this = Normalised(negative, fraction, -1074);
    else
      *this = Normalised(negative, fraction | (uint64_t{1} << 52), biased - 1075);
  }
#if LDBL_MANT_DIG > 64
  // A long double wider than 64 bits of significand is rounded once to 64 (to nearest,
  // ties to even): the literals of the code (0.5L, 1.0L) convert exactly.
  TSoftExtended(long double value) {  // NOLINT(google-explicit-constructor)
    if (value == 0) return;
    int exponent = 0;
    const long double fraction = std::frexp(std::fabs(value), &exponent);  // in [0.5, 1)
    const long double scaled = std::ldexp(fraction, 64);                   // in [2^63, 2^64)
    const auto whole = static_cast<uint64_t>(scaled);
    // The part below the 64 bits, exact in the wider type, as a 64-bit fraction.
    const auto below =
        static_cast<uint64_t>(std::ldexp(scaled - static_cast<long double>(whole), 64));
    *this =
        Rounded(value < 0, (static_cast<unsigned __int128>(whole) << 64) | below, exponent - 128);
  }
#endif

  // Truncation toward zero, as the conversion of a long double to an integer.
  template <std::integral I>
  constexpr explicit operator I() const {
    if (significand_ == 0 || exponent_ <= -64) return 0;
    const uint64_t magnitude =
        exponent_ < 0 ? significand_ >> -exponent_ : significand_ << (exponent_ & 63);
    return negative_ ? static_cast<I>(uint64_t{0} - magnitude) : static_cast<I>(magnitude);
  }

  constexpr TSoftExtended operator-() const {
    TSoftExtended r = *this;
    if (r.significand_ != 0) r.negative_ = !r.negative_;
    return r;
  }

  friend constexpr TSoftExtended operator+(const TSoftExtended& a, const TSoftExtended& b) {
    return Add(a, b, false);
  }
  friend constexpr TSoftExtended operator-(const TSoftExtended& a, const TSoftExtended& b) {
    return Add(a, b, true);
  }
  friend constexpr TSoftExtended operator*(const TSoftExtended& a, const TSoftExtended& b) {
    if (a.significand_ == 0 || b.significand_ == 0) return {};
    const auto product = static_cast<unsigned __int128>(a.significand_) * b.significand_;
    return Rounded(a.negative_ != b.negative_, product, a.exponent_ + b.exponent_);
  }
  // A quotient by zero is not defined here (the callers never divide by zero).
  friend constexpr TSoftExtended operator/(const TSoftExtended& a, const TSoftExtended& b) {
    if (a.significand_ == 0 || b.significand_ == 0) return {};
    // 64 quotient bits q, then 64 more from the remainder, then whether anything is left:
    // enough to round exactly. The numerator is shifted so that q has exactly 64 bits.
    const int shift = a.significand_ >= b.significand_ ? 63 : 64;
    const auto numerator = static_cast<unsigned __int128>(a.significand_) << shift;
    const auto q = static_cast<uint64_t>(numerator / b.significand_);
    const auto remainder = static_cast<unsigned __int128>(numerator % b.significand_) << 64;
    auto below = static_cast<uint64_t>(remainder / b.significand_);
    if (remainder % b.significand_ != 0) below |= 1;  // sticky: more follows
    return Rounded(a.negative_ != b.negative_, (static_cast<unsigned __int128>(q) << 64) | below,
                   a.exponent_ - b.exponent_ - shift - 64);
  }
  TSoftExtended& operator+=(const TSoftExtended& b) {
    return *this = *this + b;
  }
  TSoftExtended& operator-=(const TSoftExtended& b) {
    return *this = *this - b;
  }
  TSoftExtended& operator*=(const TSoftExtended& b) {
    return *this = *this * b;
  }
  TSoftExtended& operator/=(const TSoftExtended& b) {
    return *this = *this / b;
  }

  friend constexpr bool operator==(const TSoftExtended&, const TSoftExtended&) = default;

  // The parts, for tests: the value is (-1)^negative * significand * 2^exponent, with the
  // significand's top bit set (or 0 for zero).
  constexpr bool Negative() const {
    return negative_;
  }
  constexpr uint64_t Significand() const {
    return significand_;
  }
  constexpr int Exponent() const {
    return exponent_;
  }

 private:
  // A value whose magnitude is `magnitude` * 2^exponent with the magnitude exact in 64 bits.
  static constexpr TSoftExtended Normalised(bool negative, uint64_t magnitude, int exponent) {
    TSoftExtended r;
    if (magnitude == 0) return r;
    const int shift = std::countl_zero(magnitude);
    r.negative_ = negative;
    r.significand_ = magnitude << shift;
    r.exponent_ = exponent - shift;
    return r;
  }

  // magnitude * 2^exponent rounded to 64 bits, to nearest, ties to even. The magnitude's
  // lowest bit may stand for anything below it that is not zero (a sticky bit).
  static constexpr TSoftExtended Rounded(bool negative, unsigned __int128 magnitude, int exponent) {
    TSoftExtended r;
    if (magnitude == 0) return r;
    const auto high = static_cast<uint64_t>(magnitude >> 64);
    const int shift = high != 0 ? std::countl_zero(high)
                                : 64 + std::countl_zero(static_cast<uint64_t>(magnitude));
    magnitude <<= shift;
    exponent -= shift;
    uint64_t significand = static_cast<uint64_t>(magnitude >> 64);
    const auto rest = static_cast<uint64_t>(magnitude);
    constexpr uint64_t kHalf = uint64_t{1} << 63;
    exponent += 64;
    if (rest > kHalf || (rest == kHalf && (significand & 1) != 0)) {
      if (++significand == 0) {
        significand = kHalf;
        ++exponent;
      }
    }
    r.negative_ = negative;
    r.significand_ = significand;
    r.exponent_ = exponent;
    return r;
  }

  static constexpr TSoftExtended Add(const TSoftExtended& a, TSoftExtended b, bool subtract) {
    if (subtract) b = -b;
    if (b.significand_ == 0) return a;
    if (a.significand_ == 0) return b;
    // The larger magnitude first; both put 63 bits up in 128, the smaller shifted right to
    // the larger's scale with what falls out kept as a sticky bit. With 63 bits below the
    // significand, the sticky bit never decides a rounding it should not.
    const bool a_larger = a.exponent_ > b.exponent_ ||
                          (a.exponent_ == b.exponent_ && a.significand_ >= b.significand_);
    const TSoftExtended& big = a_larger ? a : b;
    const TSoftExtended& small = a_larger ? b : a;
    const unsigned __int128 x = static_cast<unsigned __int128>(big.significand_) << 63;
    unsigned __int128 y = static_cast<unsigned __int128>(small.significand_) << 63;
    const int distance = big.exponent_ - small.exponent_;
    if (distance >= 127) {
      y = 1;
    } else if (distance > 0) {
      const bool lost = (y & ((static_cast<unsigned __int128>(1) << distance) - 1)) != 0;
      y = (y >> distance) | (lost ? 1 : 0);
    }
    const int exponent = big.exponent_ - 63;
    if (big.negative_ == small.negative_) return Rounded(big.negative_, x + y, exponent);
    return Rounded(big.negative_, x - y, exponent);
  }

  bool negative_ = false;
  uint64_t significand_ = 0;
  int exponent_ = 0;
};

#endif

#if LDBL_MANT_DIG == 64
using TExtended = long double;
#else
using TExtended = TSoftExtended;
#endif
