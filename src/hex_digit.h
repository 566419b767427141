// The value of a hexadecimal digit of a dump field, in either case.
#pragma once

#include <cstdint>

// requires `digit` in 0-9, A-F or a-f (the scanner admits no other). No
// branch: digits of random dumps would defeat branch prediction.
constexpr std::uint8_t hex_digit_value(char digit) {
  const auto c = static_cast<std::uint8_t>(digit);
  return static_cast<std::uint8_t>((c & 0x0F) + 9 * (c >> 6));
}

static_assert(hex_digit_value('0') == 0 && hex_digit_value('9') == 9 && hex_digit_value('A') == 10 &&
              hex_digit_value('f') == 15 && hex_digit_value('F') == 15 && hex_digit_value('a') == 10);
