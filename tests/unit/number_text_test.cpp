// The number texts of float fields: the rows of number_texts.txt, and random values against the slow exact path.
#include "number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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

// Exact unsigned big numbers, 32-bit limbs, least significant first, no leading zero limb.
using Big = std::vector<std::uint32_t>;

Big times(const Big& n, std::uint64_t factor) {  // factor < 2^64, in two 32-bit halves
  Big product(n.size() + 3, 0);
  for (int half = 0; half < 2; ++half) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < n.size() || carry != 0; ++i) {
      carry += product[i + half] + (i < n.size() ? n[i] * (factor >> 32 * half & 0xFFFFFFFF) : 0);
      product[i + half] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
  }
  while (!product.empty() && product.back() == 0) product.pop_back();
  return product;
}

bool less(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

void subtract(Big& a, const Big& b) {  // a >= b
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    borrow += std::int64_t{a[i]} - (i < b.size() ? b[i] : 0);
    a[i] = static_cast<std::uint32_t>(borrow);
    borrow = borrow < 0 ? -1 : 0;
  }
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// The largest k <= limit with k * step < from (step < from); takes k * step from `from`.
std::uint64_t take(Big& from, const Big& step, std::uint64_t limit) {
  std::uint64_t low = 0;
  const std::size_t quotient_bits = std::min<std::size_t>(62, 32 * (from.size() - step.size() + 1));
  std::uint64_t high = std::min(limit, std::uint64_t{1} << quotient_bits);
  while (low < high) {
    const std::uint64_t middle = high - (high - low) / 2;
    if (less(times(step, middle), from)) low = middle;
    else high = middle - 1;
  }
  subtract(from, times(step, low));
  return low;
}

// Why the 17-digit rounding needs no check near a rounding boundary: at every binary exponent e whose power of
// ten is inexact, 2z = significand * 2^(e + 1) * 10^t = significand * N / D stays more than 2^-68 (twice the
// product's error) from every integer, over all significands. The residues of m * N modulo D nearest 0 from above
// (below) and from below (above) for 1 <= m <= most come from the continued-fraction walk: the side farther from
// 0 takes the other's multiplier as often as it stays on its side and within `most`. Those nearest values that
// are binary64 values are then formatted and held to the exact expansion.
TEST(NumberText, NoValueNearARoundingBoundary) {
  const auto multiply_by = [](Big& n, std::uint64_t factor, int count) {
    for (int i = 0; i < count; ++i) n = times(n, factor);
  };
  for (int e = -1074 - 52; e <= 1023 - 52; ++e) {
    const int estimate = ((e + 52) * 78913) >> 18;
    for (const int t : {16 - estimate, 15 - estimate}) {  // a binade's values may need either scale
      if (t >= 0 && t <= 55) continue;                     // exact powers: no error
      Big numerator{1}, denominator{1};
      multiply_by(t > 0 ? numerator : denominator, 5, std::abs(t));
      multiply_by(e + 1 + t > 0 ? numerator : denominator, 2, std::abs(e + 1 + t));
      Big below;  // numerator mod denominator, bit by bit
      for (std::size_t bit = 32 * numerator.size(); bit-- > 0;) {
        below = times(below, 2);
        if ((numerator[bit / 32] >> bit % 32 & 1) != 0) {
          if (below.empty()) below.push_back(1);
          else below[0] |= 1;
        }
        if (!less(below, denominator)) subtract(below, denominator);
      }
      Big above = denominator;
      subtract(above, below);
      std::uint64_t most = (std::uint64_t{1} << 53) - 1;  // every significand; past D the residues repeat
      if (denominator.size() == 1) most = std::min<std::uint64_t>(most, denominator[0] - 1);
      if (denominator.size() == 2) most = std::min(most, (denominator[0] | std::uint64_t{denominator[1]} << 32) - 1);
      std::uint64_t below_multiplier = 1, above_multiplier = 1;
      for (bool moved = true; moved;) {
        if (less(above, below)) {
          const std::uint64_t k = take(below, above, (most - below_multiplier) / above_multiplier);
          below_multiplier += k * above_multiplier;
          moved = k > 0;
        } else if (less(below, above)) {
          const std::uint64_t k = take(above, below, (most - above_multiplier) / below_multiplier);
          above_multiplier += k * below_multiplier;
          moved = k > 0;
        } else {
          moved = false;
        }
      }
      const std::uint64_t kTwoTo34 = std::uint64_t{1} << 34;
      EXPECT_TRUE(less(denominator, times(times(below, kTwoTo34), kTwoTo34))) << e << " " << t;
      EXPECT_TRUE(less(denominator, times(times(above, kTwoTo34), kTwoTo34))) << e << " " << t;
      for (const std::uint64_t m : {below_multiplier, above_multiplier}) {  // the nearest values, formatted
        const double value = std::ldexp(static_cast<double>(m), e);
        if (value == 0 || std::ldexp(value, -e) != static_cast<double>(m)) continue;  // no binary64
        EXPECT_EQ(exact_text(value, 15), text(std::bit_cast<std::uint64_t>(value), 15)) << e;
      }
    }
  }
}

}  // namespace
