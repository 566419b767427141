// The number texts of float fields: "%.7E" of widened binary32, "%.15E" of
// binary64, both rounded half up to 17 digits and then again.
#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

using number_text::kMaxLength;

// The text each form writes for a bit pattern.
std::string single(std::uint32_t bits) {
  char text[kMaxLength];
  return {text, number_text::format_single(bits, text)};
}
std::string dbl(std::uint64_t bits) {
  char text[kMaxLength];
  return {text, number_text::format_double(bits, text)};
}
std::string with_precision(std::uint64_t bits, int precision) {
  char text[kMaxLength];
  return {text, number_text::format_scientific(bits, precision, text)};
}

TEST(ScientificForm, KnownValues) {
  EXPECT_EQ("3.1415927E+000", single(0x40490FDB));
  EXPECT_EQ("3.141592653589793E+000", dbl(0x400921FB54442D18));
  EXPECT_EQ("1.0000000E+000", single(0x3F800000));
  EXPECT_EQ("-2.5000000E+000", single(0xC0200000));
  EXPECT_EQ("1.0000000E-001", single(0x3DCCCCCD));
}

TEST(ScientificForm, SecondRoundingHalfUp) {
  // 14285714285714285 cut half up; a correctly rounding printf writes ...428.
  EXPECT_EQ("1.428571428571429E-001", dbl(0x3FC2492492492492));
  EXPECT_EQ("2.333333333333334E+000", dbl(0x4002AAAAAAAAAAAB));  // 23333333333333335
  EXPECT_EQ("5.960464477539063E-008", dbl(0x3E70000000000000));  // 2^-24, exactly ...0625
  EXPECT_EQ("1.2345673E+006", single(0x4996B43A));  // 1234567.25: half up, not to even
  EXPECT_EQ("1.000000000000000E-001", dbl(0x3FB999999999999A));  // 10000000000000001
}

TEST(ScientificForm, ExactTieAtEighteenthDigitRoundsUp) {
  // 100000000000000.125 has exactly 18 digits; ties-to-even would keep ...12.
  EXPECT_EQ("1.0000000000000013E+014", with_precision(0x42D6BCC41E900008, 16));
  EXPECT_EQ("1.0000000000000011E+014", with_precision(0x42D6BCC41E900007, 16));  // ...109375
  EXPECT_EQ("2.9802322387695313E-008", with_precision(0x3E60000000000000, 16));  // 2^-25
}

TEST(ScientificForm, Carrying) {
  EXPECT_EQ("1.0000000E+012", single(0x5368D4A5));  // 999999995904: 9.9999999|59
  EXPECT_EQ("1.0000000E-006", single(0x358637BD));  // 9.9999999|747e-7: exponent shrinks
  EXPECT_EQ("1.000000000000000E+099", dbl(0x547D42AEA2879F2E));  // 9.999999999999999|7E+098
  EXPECT_EQ("1.000000000000000E-006", dbl(0x3EB0C6F7A0B5ED8D));  // 9.999999999999999|5E-007
  // The first rounding carries: 999999999999999997 has seventeen 9s before the 7.
  EXPECT_EQ("1.000000000000000E+098", dbl(0x5447688BB5394C25));
  EXPECT_EQ("1.0000000000000000E+098", with_precision(0x5447688BB5394C25, 16));
  // No float reaches E+099; a double in the short form carries into three digits.
  EXPECT_EQ("1.0000000E+100", with_precision(0x54B249AD2594C37C, 7));
}

TEST(ScientificForm, ExponentWidthAndSign) {
  EXPECT_EQ("1.000000000000000E+000", dbl(0x3FF0000000000000));
  EXPECT_EQ("1.000000000000000E-010", dbl(0x3DDB7CDFD9D7BDBB));
  EXPECT_EQ("-1.000000000000000E-010", dbl(0xBDDB7CDFD9D7BDBB));
  EXPECT_EQ("1.0000000E+010", single(0x501502F9));
  EXPECT_EQ("1.0000000E-010", single(0x2EDBE6FF));
  EXPECT_EQ("4.940656458412465E-324", dbl(0x0000000000000001));
  EXPECT_EQ("1.4012985E-045", single(0x00000001));
}

TEST(ScientificForm, Subnormals) {
  EXPECT_EQ("2.225073858507201E-308", dbl(0x000FFFFFFFFFFFFF));
  EXPECT_EQ("2.225073858507201E-308", dbl(0x0010000000000000));  // smallest normal, same 16 digits
  EXPECT_EQ("-1.482196937523740E-323", dbl(0x8000000000000003));
  EXPECT_EQ("1.1754942E-038", single(0x007FFFFF));
  EXPECT_EQ("1.1754944E-038", single(0x00800000));
  EXPECT_EQ("-1.4012985E-045", single(0x80000001));
  EXPECT_EQ("4.6006030E-041", single(0x0000803F));  // 3F800000 with its bytes reversed
}

TEST(ScientificForm, LargestFinite) {
  EXPECT_EQ("1.797693134862316E+308", dbl(0x7FEFFFFFFFFFFFFF));
  EXPECT_EQ("-1.797693134862316E+308", dbl(0xFFEFFFFFFFFFFFFF));
  EXPECT_EQ("3.4028235E+038", single(0x7F7FFFFF));
  EXPECT_EQ("-3.4028235E+038", single(0xFF7FFFFF));
}

TEST(ScientificForm, SpecialValues) {
  EXPECT_EQ("1.#INF000E+000", single(0x7F800000));
  EXPECT_EQ("-1.#INF000E+000", single(0xFF800000));
  EXPECT_EQ("1.#QNAN00E+000", single(0x7FC00000));
  EXPECT_EQ("-1.#IND000E+000", single(0xFFC00000));
  EXPECT_EQ("-1.#QNAN00E+000", single(0xFFC00001));  // a payload: not the indefinite
  EXPECT_EQ("1.#QNAN00E+000", single(0x7F800001));   // signalling, made quiet
  EXPECT_EQ("-1.#QNAN00E+000", single(0xFF800001));
  EXPECT_EQ("-1.#QNAN00E+000", single(0xFFA00000));  // quieted, its payload bit keeps it a NaN
  EXPECT_EQ("1.#INF00000000000E+000", dbl(0x7FF0000000000000));
  EXPECT_EQ("-1.#INF00000000000E+000", dbl(0xFFF0000000000000));
  EXPECT_EQ("1.#QNAN0000000000E+000", dbl(0x7FF8000000000000));
  EXPECT_EQ("-1.#IND00000000000E+000", dbl(0xFFF8000000000000));
  EXPECT_EQ("-1.#QNAN0000000000E+000", dbl(0xFFF8000000000001));
  EXPECT_EQ("1.#QNAN0000000000E+000", dbl(0x7FF0000000000001));  // signalling
  EXPECT_EQ("-1.#QNAN0000000000E+000", dbl(0xFFF4000000000000));
}

TEST(ScientificForm, NegativeZero) {
  EXPECT_EQ("0.0000000E+000", single(0x80000000));
  EXPECT_EQ("0.000000000000000E+000", dbl(0x8000000000000000));
  EXPECT_EQ("0.000000000000000E+000", dbl(0x0000000000000000));
}

TEST(ScientificForm, Widening) {
  using number_text::widen_binary32;
  EXPECT_EQ(0x3FF0000000000000u, widen_binary32(0x3F800000));
  EXPECT_EQ(0x47EFFFFFE0000000u, widen_binary32(0x7F7FFFFF));
  EXPECT_EQ(0x36A0000000000000u, widen_binary32(0x00000001));  // subnormal becomes normal
  EXPECT_EQ(0x380FFFFFC0000000u, widen_binary32(0x007FFFFF));
  EXPECT_EQ(0x8000000000000000u, widen_binary32(0x80000000));
  EXPECT_EQ(0xFFF0000000000000u, widen_binary32(0xFF800000));
  EXPECT_EQ(0xFFF8000000000000u, widen_binary32(0xFFC00000));
  EXPECT_EQ(0x7FF8000020000000u, widen_binary32(0x7F800001));  // payload on top, made quiet
  EXPECT_EQ(0x7FFFFFFFE0000000u, widen_binary32(0x7FBFFFFF));
}

// Slow and independent: glibc prints the exact expansion of any binary64 in
// 767 digits; cut it half up by string to 17 digits, then to precision + 1.
std::string exact_text(double value, int precision) {
  char exact[800];
  std::snprintf(exact, sizeof exact, "%.767e", value < 0 ? -value : value);
  char* e = std::strchr(exact, 'e');
  std::string digits = exact[0] + std::string(exact + 2, e);
  int exponent = std::atoi(e + 1);
  for (std::size_t keep : {std::size_t{17}, static_cast<std::size_t>(precision) + 1}) {
    const bool up = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep);
    std::size_t i = keep;
    while (up && i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (up && i == 0) digits[0] = '1', ++exponent;
    if (up && i > 0) ++digits[i - 1];
  }
  char text[40];
  std::snprintf(text, sizeof text, "%s%c.%sE%+04d", value < 0 ? "-" : "", digits[0],
                digits.c_str() + 1, exponent);
  return text;
}

// A few steps either side of the binary64 (or binary32) nearest 10^k.
std::uint64_t near_power_of_ten(std::mt19937_64& random, bool binary32) {
  char ten[8];
  const int k =
      binary32 ? static_cast<int>(random() % 84) - 45 : static_cast<int>(random() % 632) - 323;
  std::snprintf(ten, sizeof ten, "1e%d", k);
  const std::uint64_t nearest = binary32 ? std::bit_cast<std::uint32_t>(std::strtof(ten, nullptr))
                                         : std::bit_cast<std::uint64_t>(std::strtod(ten, nullptr));
  return nearest + random() % 9 - 4;
}

TEST(ScientificForm, MatchesExactExpansion) {
  std::mt19937_64 random(20240611);
  int differences = 0;
  const auto check = [&](const std::string& expected, const std::string& actual,
                         std::uint64_t bits) {
    if (expected != actual && ++differences <= 5) {
      ADD_FAILURE() << std::hex << bits << ": " << actual << ", exact " << expected;
    }
  };
  for (int i = 0; i < 15000; ++i) {
    std::uint64_t bits = random();
    auto word = static_cast<std::uint32_t>(bits);
    if (i % 3 == 1) bits &= 0x800FFFFFFFFFFFFF, word &= 0x807FFFFF;  // subnormals
    if (i % 3 == 2) {
      bits = near_power_of_ten(random, false);
      word = static_cast<std::uint32_t>(near_power_of_ten(random, true));
    }
    if ((bits & 0x7FF0000000000000) != 0x7FF0000000000000) {
      check(exact_text(std::bit_cast<double>(bits), 15), dbl(bits), bits);
      check(exact_text(std::bit_cast<double>(bits), 16), with_precision(bits, 16), bits);
    }
    if ((word & 0x7F800000) != 0x7F800000) {
      check(exact_text(std::bit_cast<float>(word), 7), single(word), word);
    }
  }
  EXPECT_EQ(0, differences);
}

}  // namespace
