// The number texts of float fields: the rows of number_texts.txt, and random values against a reference.
#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

// Precision 7: "%.7E" of the binary32 `bits`, widened; else "%.<precision>E" of the binary64 `bits`.
std::string text(std::uint64_t bits, int precision) {
  char text[number_text::kMaxLength];
  return {text, precision == 7 ? number_text::format_single(static_cast<std::uint32_t>(bits), text)
                               : number_text::format_scientific(bits, precision, text)};
}

TEST(NumberText, Rows) {
  std::ifstream table(FLOATDUMP_TESTS "/unit/number_texts.txt");
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    std::istringstream row(line);
    int precision;
    std::string bits, expected;
    if (!(row >> precision >> bits >> expected)) continue;  // a comment or a blank line
    EXPECT_EQ(expected, text(std::stoull(bits, nullptr, 16), precision)) << line;
    ++rows;
  }
  EXPECT_GT(rows, 20);
}

// Slow and independent: glibc prints any binary64's exact expansion in 767 digits; cut it half up by string to
// 17 digits, then to precision + 1.
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
  std::snprintf(text, sizeof text, "%s%c.%sE%+04d", value < 0 ? "-" : "", digits[0], digits.c_str() + 1, exponent);
  return text;
}

// A few steps either side of the binary64 (or binary32) nearest 10^k.
std::uint64_t near_power_of_ten(std::mt19937_64& random, bool binary32) {
  char ten[8];
  const int k = binary32 ? static_cast<int>(random() % 84) - 45 : static_cast<int>(random() % 632) - 323;
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
      ASSERT_EQ(exact_text(std::bit_cast<double>(bits), 15), text(bits, 15)) << std::hex << bits;
      ASSERT_EQ(exact_text(std::bit_cast<double>(bits), 16), text(bits, 16)) << std::hex << bits;
    }
    if ((word & 0x7F800000) != 0x7F800000) {
      ASSERT_EQ(exact_text(std::bit_cast<float>(word), 7), text(word, 7)) << std::hex << word;
    }
  }
}

}  // namespace
