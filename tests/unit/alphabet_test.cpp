// The scanner's 16-byte searches against the tables of the alphabet, for every byte in every lane.
#include "alphabet.h"

#include <gtest/gtest.h>

namespace {

TEST(Alphabet, BlockSearchesFollowTheTables) {
  char block[16];
  for (int lane = 0; lane < 16; ++lane)
    for (int c = 0; c < 256; ++c) {
      std::fill(std::begin(block), std::end(block), 'x');  // neither a token start nor a hex digit
      block[lane] = static_cast<char>(c);
      const unsigned bit = 1u << lane;
      EXPECT_EQ(alphabet::is_token_start(block[lane]) ? bit : 0, alphabet::token_starts(block)) << c;
      EXPECT_EQ(alphabet::is_hex_digit(block[lane]) ? 0xFFFF & ~bit : 0xFFFF, alphabet::non_hex_digits(block)) << c;
    }
}

}  // namespace
