// The number texts of float fields: "%.7E" of a widened binary32 and "%.15E" of a binary64,
// rounded half up to 17 significant digits, then half up again; "%.16E" shows the 17 digits.
// Typical values of every kind, end to end, are in the float-fields fixtures.
#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string single(std::uint32_t bits) {
  char text[number_text::kMaxLength];
  return {text, number_text::format_single(bits, text)};
}
std::string dbl(std::uint64_t bits, int precision = 15) {
  char text[number_text::kMaxLength];
  return {text, number_text::format_scientific(bits, precision, text)};
}

// The 17 digits end in 5 at the cut though the value lies below it: a
// correctly rounding printf writes ...428 and ...333.
TEST(NumberText, SecondRoundingHalfUp) {
  EXPECT_EQ("1.428571428571429E-001", dbl(0x3FC2492492492492));  // one seventh: 14285714285714285
  EXPECT_EQ("2.333333333333334E+000", dbl(0x4002AAAAAAAAAAAB));  // 23333333333333335
  EXPECT_EQ("1.2345673E+006",         single(0x4996B43A));       // 1234567.25 exactly: up, not to even
}

// 100000000000000.125 has exactly 18 digits; ties-to-even would keep ...12.
TEST(NumberText, ExactTieAtEighteenthDigitRoundsUp) {
  EXPECT_EQ("1.0000000000000013E+014", dbl(0x42D6BCC41E900008, 16));
  EXPECT_EQ("1.0000000000000011E+014", dbl(0x42D6BCC41E900007, 16));  // ...109375
  EXPECT_EQ("2.9802322387695313E-008", dbl(0x3E60000000000000, 16));  // 2^-25
}

TEST(NumberText, Carrying) {
  EXPECT_EQ("1.0000000E+012",          single(0x5368D4A5));       // 999999995904: 9.9999999|59
  EXPECT_EQ("1.0000000E-006",          single(0x358637BD));       // 9.9999999|747E-007
  EXPECT_EQ("1.000000000000000E+099",  dbl(0x547D42AEA2879F2E));  // 9.999999999999999|7E+098
  EXPECT_EQ("1.000000000000000E-006",  dbl(0x3EB0C6F7A0B5ED8D));  // 9.999999999999999|5E-007
  // The first rounding carries: 999999999999999997 has seventeen 9s before the 7.
  EXPECT_EQ("1.000000000000000E+098",  dbl(0x5447688BB5394C25));
  EXPECT_EQ("1.0000000000000000E+098", dbl(0x5447688BB5394C25, 16));
}

TEST(NumberText, ExponentsAndSubnormals) {
  EXPECT_EQ("-1.797693134862316E+308", dbl(0xFFEFFFFFFFFFFFFF));
  EXPECT_EQ("-3.4028235E+038",         single(0xFF7FFFFF));
  EXPECT_EQ("2.225073858507201E-308",  dbl(0x000FFFFFFFFFFFFF));
  EXPECT_EQ("2.225073858507201E-308",  dbl(0x0010000000000000));  // smallest normal, same 16 digits
  EXPECT_EQ("-1.482196937523740E-323", dbl(0x8000000000000003));
  EXPECT_EQ("1.1754942E-038",          single(0x007FFFFF));       // a binary64 normal once widened
  EXPECT_EQ("-1.4012985E-045",         single(0x80000001));
}

// The indefinite is the negative quiet NaN without payload; zero is unsigned.
TEST(NumberText, SpecialValuesAndZero) {
  EXPECT_EQ("-1.#INF000E+000",         single(0xFF800000));
  EXPECT_EQ("-1.#IND000E+000",         single(0xFFC00000));
  EXPECT_EQ("1.#QNAN00E+000",          single(0x7FC00000));
  EXPECT_EQ("-1.#QNAN00E+000",         single(0xFFC00001));       // a payload
  EXPECT_EQ("-1.#QNAN00E+000",         single(0xFFA00000));       // signalling
  EXPECT_EQ("-1.#IND00000000000E+000", dbl(0xFFF8000000000000));
  EXPECT_EQ("-1.#QNAN0000000000E+000", dbl(0xFFF8000000000001));
  EXPECT_EQ("1.#QNAN0000000000E+000",  dbl(0x7FF0000000000001));  // signalling
  EXPECT_EQ("0.0000000E+000",          single(0x80000000));
  EXPECT_EQ("0.000000000000000E+000",  dbl(0x8000000000000000));
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

// Random finite values, subnormals and neighbours of powers of ten, fixed seed.
TEST(NumberText, MatchesExactExpansion) {
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 15000; ++i) {
    std::uint64_t bits = random();
    auto word = static_cast<std::uint32_t>(bits);
    if (i % 3 == 1) bits &= 0x800FFFFFFFFFFFFF, word &= 0x807FFFFF;
    if (i % 3 == 2) {
      bits = near_power_of_ten(random, false);
      word = static_cast<std::uint32_t>(near_power_of_ten(random, true));
    }
    if ((bits & 0x7FF0000000000000) != 0x7FF0000000000000) {
      ASSERT_EQ(exact_text(std::bit_cast<double>(bits), 15), dbl(bits)) << std::hex << bits;
      ASSERT_EQ(exact_text(std::bit_cast<double>(bits), 16), dbl(bits, 16)) << std::hex << bits;
    }
    if ((word & 0x7F800000) != 0x7F800000) {
      ASSERT_EQ(exact_text(std::bit_cast<float>(word), 7), single(word)) << std::hex << word;
    }
  }
}

}  // namespace
