// The number texts of float fields: the rows of number_texts.txt, and random values against the slow exact path.
#include "number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "exact_text.h"

namespace {

// Precision 7: "%.7E" of the binary32 `bits`; 15: "%.15E" of the binary64 `bits`.
std::string text(std::uint64_t bits, int precision) {
  char text[number_text::kMaxLength];
  if (precision == 7) return {text, number_text::format_single(static_cast<std::uint32_t>(bits), text)};
  return {text, number_text::format_double(bits, text)};
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
    }
    if ((word & 0x7F800000) != 0x7F800000) {
      ASSERT_EQ(exact_text(std::bit_cast<float>(word), 7), text(word, 7)) << std::hex << word;
    }
  }
}

}  // namespace
