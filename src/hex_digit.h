// The values of the hexadecimal digits of dump fields, in either case: one
// digit at a time, or eight at once as the bytes they spell.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "byte_order.h"

// requires `digit` in 0-9, A-F or a-f (the scanner admits no other). No
// branch: digits of random dumps would defeat branch prediction.
constexpr std::uint8_t hex_digit_value(char digit) {
  const auto c = static_cast<std::uint8_t>(digit);
  return static_cast<std::uint8_t>((c & 0x0F) + 9 * (c >> 6));
}

static_assert(hex_digit_value('0') == 0 && hex_digit_value('9') == 9 && hex_digit_value('A') == 10 &&
              hex_digit_value('f') == 15 && hex_digit_value('F') == 15 && hex_digit_value('a') == 10);

// Eight digits as the four bytes they spell, two digits a byte, high nibble
// first: "DB0F4940" is 0x40490FDB, the first byte lowest. The digits' values
// are found in one 64-bit word, then each byte's pair is packed.
inline std::uint32_t hex_bytes_of_eight(const char* digits) {
  std::uint64_t word;
  std::memcpy(&word, digits, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = byteswap(word);
  const std::uint64_t values = (word & 0x0F0F0F0F0F0F0F0F) + 9 * ((word >> 6) & 0x0101010101010101);
  std::uint64_t lanes = (values << 4 | values >> 8) & 0x00FF00FF00FF00FF;  // a byte in each 16-bit lane
  lanes = (lanes | lanes >> 8) & 0x0000FFFF0000FFFF;
  return static_cast<std::uint32_t>(lanes | lanes >> 16);
}
