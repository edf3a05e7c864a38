// The emulated extended type against the x87 unit itself (where the compiler's long double
// is that unit's format), and against values the x87 unit gives (everywhere).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "base/Extended.h"

#if defined(__SIZEOF_INT128__)
namespace {

#if LDBL_MANT_DIG == 64
// The parts of an x87 value, as TSoftExtended keeps them.
struct TParts {
  bool negative;
  uint64_t significand;
  int exponent;
  bool operator==(const TParts&) const = default;
};

TParts PartsOf(long double value) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &value, 10);
  uint64_t significand = 0;
  std::memcpy(&significand, bytes, 8);
  const int top = bytes[8] | (bytes[9] << 8);
  if (significand == 0) return {false, 0, 0};
  return {(top & 0x8000) != 0, significand, (top & 0x7FFF) - 16383 - 63};
}

TParts PartsOf(const TSoftExtended& value) {
  if (value.Significand() == 0) return {false, 0, 0};
  return {value.Negative(), value.Significand(), value.Exponent()};
}

long double Native(const TSoftExtended& value) {
  const long double magnitude =
      std::ldexp(static_cast<long double>(value.Significand()), value.Exponent());
  return value.Negative() ? -magnitude : magnitude;
}

// Operands of every kind the pictures' arithmetic meets and some it does not: small
// integers, quotients of integers (positions), values with all 64 bits used and wide
// exponents, values that differ in the last bits, and their negatives.
class TOperands {
 public:
  TSoftExtended Next() {
    TSoftExtended v;
    switch (rng_() % 5) {
      case 0:
        v = TSoftExtended(static_cast<int64_t>(rng_() % 70000));
        break;
      case 1:
        v = TSoftExtended(static_cast<int64_t>(rng_() % 40000)) /
            TSoftExtended(static_cast<int64_t>(rng_() % 40000 + 1));
        break;
      case 2: {
        const uint64_t significand = rng_() | (uint64_t{1} << 63);
        const int exponent = static_cast<int>(rng_() % 140) - 133;
        v = TSoftExtended(static_cast<double>(significand >> 11));
        v = v * TSoftExtended(2048.0) + TSoftExtended(static_cast<int64_t>(significand & 2047));
        v = v * TSoftExtended(std::ldexp(1.0, exponent));
        break;
      }
      case 3:
        v = TSoftExtended(1) - TSoftExtended(std::ldexp(1.0, -static_cast<int>(rng_() % 70)));
        break;
      default:
        v = TSoftExtended(static_cast<double>(rng_() % 1000) + 0.5);
        break;
    }
    return rng_() % 3 == 0 ? -v : v;
  }

 private:
  std::mt19937_64 rng_{20240611};
};
#endif

}  // namespace

#if LDBL_MANT_DIG == 64
TEST(SoftExtended, EveryOperationRoundsAsTheX87UnitDoes) {
  TOperands operands;
  int compared = 0;
  for (int i = 0; i < 400000; ++i) {
    const TSoftExtended a = operands.Next();
    const TSoftExtended b = operands.Next();
    const long double x = Native(a);
    const long double y = Native(b);
    ASSERT_EQ(PartsOf(a), PartsOf(x));
    ASSERT_EQ(PartsOf(a + b), PartsOf(x + y))
        << static_cast<double>(x) << " + " << static_cast<double>(y);
    ASSERT_EQ(PartsOf(a - b), PartsOf(x - y))
        << static_cast<double>(x) << " - " << static_cast<double>(y);
    ASSERT_EQ(PartsOf(a * b), PartsOf(x * y))
        << static_cast<double>(x) << " * " << static_cast<double>(y);
    if (y != 0) {
      ASSERT_EQ(PartsOf(a / b), PartsOf(x / y))
          << static_cast<double>(x) << " / " << static_cast<double>(y);
    }
    // Truncation toward zero, where the integer holds the value.
    if (std::fabs(x) < 0x1p62L) {
      ASSERT_EQ(static_cast<int64_t>(a), static_cast<int64_t>(x));
    }
    if (std::fabs(x) < 0x1p30L) {
      ASSERT_EQ(static_cast<int32_t>(a + 0.5), static_cast<int32_t>(x + 0.5L));
    }
    ++compared;
  }
  EXPECT_EQ(compared, 400000);
}

TEST(SoftExtended, TiesRoundToEvenAndCarriesRenormalise) {
  // 2^64 - 1 needs 64 bits; adding 1/2 ties and rounds to even (2^64), adding 1/4 stays.
  const TSoftExtended all_ones = TSoftExtended(UINT64_MAX);
  const long double native_ones = static_cast<long double>(UINT64_MAX);
  EXPECT_EQ(PartsOf(all_ones + 0.5), PartsOf(native_ones + 0.5L));
  EXPECT_EQ(PartsOf(all_ones + 0.25), PartsOf(native_ones + 0.25L));
  EXPECT_EQ(PartsOf(all_ones - 0.5), PartsOf(native_ones - 0.5L));
  EXPECT_EQ(PartsOf(TSoftExtended(UINT64_MAX - 1) + 0.5), PartsOf(native_ones - 1 + 0.5L));
  EXPECT_EQ(PartsOf(all_ones * all_ones), PartsOf(native_ones * native_ones));
  EXPECT_EQ(PartsOf(TSoftExtended(1) / 3), PartsOf(1.0L / 3));
  EXPECT_EQ(PartsOf(TSoftExtended(2) / 3), PartsOf(2.0L / 3));
  EXPECT_EQ(PartsOf(TSoftExtended(-7) / 3), PartsOf(-7.0L / 3));
  EXPECT_EQ(PartsOf(TSoftExtended(5) - 5), PartsOf(0.0L));
}
#endif

// What the x87 unit gives, recorded from it: the same everywhere.
TEST(SoftExtended, GivesTheX87ValuesOfThePicturesArithmetic) {
  const TSoftExtended sixth = TSoftExtended(1) / 6;
  EXPECT_EQ(sixth.Significand(), 0xAAAAAAAAAAAAAAABull);
  EXPECT_EQ(sixth.Exponent(), -66);
  const TSoftExtended third = TSoftExtended(1) / 3;
  EXPECT_EQ(third.Significand(), 0xAAAAAAAAAAAAAAABull);
  // A linear sample of the resampling whose exact value is k + 1/2: 51 * 0.9 + 26 * 0.1
  // (2 samples enlarged to 31, position 3/30). The x87 unit's rounded 1/10 puts it just
  // below 48.5 and truncation gives 48; the 113-bit type lands on 48.5 and gives 49.
  const TSoftExtended fr = TSoftExtended(3) / 30;
  EXPECT_EQ(static_cast<int>(51 * (TSoftExtended(1) - fr) + 26 * fr + 0.5), 48);
  EXPECT_EQ(static_cast<int>(68 * (TSoftExtended(1) - fr) + 13 * fr + 0.5), 62);
  EXPECT_EQ(static_cast<int>(TSoftExtended(-2.75)), -2);
  EXPECT_EQ(static_cast<int64_t>(TSoftExtended(int64_t{1} << 62) * 1.5), int64_t{3} << 61);
}
#endif
