// The alphabet of result files, in one place: which bytes may start a token,
// which are hexadecimal digits and what they are worth, which close an
// integer field. The scanner's 16-byte searches are built from these tables
// (and checked against them in the tests), so the rules are spelled once.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "byte_order.h"

#if defined(__SSE2__) && !defined(FLOATDUMP_PORTABLE)
#include <emmintrin.h>
#define FLOATDUMP_SSE2 1
#endif

namespace alphabet {

// The bytes that may start a token other than a plain character outside a
// calibration line: the line end (a line-start marker may follow it), the
// two quotes and the three opening marks.
inline constexpr std::array<char, 6> kTokenStarts = {'\n', '"', '\'', '!', '(', '{'};

// The first letters of the line-start markers F1, F2, EF, ED.
inline constexpr std::array<char, 2> kMarkerLetters = {'E', 'F'};

// An integer field's closing mark: 0 for ')', 1 for '}', 2 for ']'.
inline constexpr std::uint8_t kNotClosing = 3;

namespace detail {
template <std::size_t N>
constexpr std::array<bool, 256> table_of(const std::array<char, N>& bytes) {
  std::array<bool, 256> table{};
  for (char c : bytes) table[static_cast<unsigned char>(c)] = true;
  return table;
}
}  // namespace detail

inline constexpr auto kIsTokenStart = detail::table_of(kTokenStarts);
inline constexpr auto kIsMarkerLetter = detail::table_of(kMarkerLetters);

// A table rather than comparisons: the digits of dumps are random, and a
// branch per digit on its kind would be mispredicted half the time.
inline constexpr auto kIsHexDigit = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  return table;
}();

inline constexpr auto kClosingMark = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kNotClosing);
  table[')'] = 0;
  table['}'] = 1;
  table[']'] = 2;
  return table;
}();

inline bool is_token_start(char c) { return kIsTokenStart[static_cast<unsigned char>(c)]; }
inline bool is_hex_digit(char c) { return kIsHexDigit[static_cast<unsigned char>(c)]; }

// requires `digit` to be a hex digit (the scanner admits no other). No
// branch: digits of random dumps would defeat branch prediction.
constexpr std::uint8_t hex_digit_value(char digit) {
  const auto c = static_cast<std::uint8_t>(digit);
  return static_cast<std::uint8_t>((c & 0x0F) + 9 * (c >> 6));
}

static_assert(hex_digit_value('0') == 0 && hex_digit_value('9') == 9 && hex_digit_value('A') == 10 &&
              hex_digit_value('f') == 15 && hex_digit_value('F') == 15 && hex_digit_value('a') == 10);

// The values of eight digits, one in each byte of a word, the first digit's
// in the lowest byte.
inline std::uint64_t values_of_eight(const char* digits) {
  std::uint64_t word;
  std::memcpy(&word, digits, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = byteswap(word);
  return (word & 0x0F0F0F0F0F0F0F0F) + 9 * ((word >> 6) & 0x0101010101010101);
}

// Eight digits as the four bytes they spell, two digits a byte, high nibble
// first: "DB0F4940" is 0x40490FDB, the first byte lowest.
inline std::uint32_t hex_bytes_of_eight(const char* digits) {
  const std::uint64_t values = values_of_eight(digits);
  std::uint64_t lanes = (values << 4 | values >> 8) & 0x00FF00FF00FF00FF;  // a byte in each 16-bit lane
  lanes = (lanes | lanes >> 8) & 0x0000FFFF0000FFFF;
  return static_cast<std::uint32_t>(lanes | lanes >> 16);
}

// Eight digits as the 32-bit value whose nibbles they are, the first digit
// lowest: "1A" followed by six "0" is 0xA1.
inline std::uint32_t nibbles_of_eight(const char* digits) {
  std::uint64_t lanes = values_of_eight(digits);
  lanes = (lanes | lanes >> 4) & 0x00FF00FF00FF00FF;  // two nibbles in each 16-bit lane
  lanes = (lanes | lanes >> 8) & 0x0000FFFF0000FFFF;
  return static_cast<std::uint32_t>(lanes | lanes >> 16);
}

// The 16 bytes at `from`, classified at once: bit i of the result stands for
// from[i]. With SSE2 one compare per class; elsewhere the tables above.

// Bytes that may start a token.
inline unsigned token_starts(const char* from) {
#if FLOATDUMP_SSE2
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  __m128i hits = _mm_setzero_si128();
  for (char c : kTokenStarts) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
#else
  unsigned hits = 0;
  for (int i = 0; i < 16; ++i) hits |= unsigned{is_token_start(from[i])} << i;
  return hits;
#endif
}

// Bytes that are no hex digit.
inline unsigned non_hex_digits(const char* from) {
#if FLOATDUMP_SSE2
  // Signed compares: a byte less '0' (or, lower-cased, less 'a') lies in
  // the digit range when, shifted by -128, it is below -128 + the range's size.
  const __m128i bias = _mm_set1_epi8(-128);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  const __m128i decimal = _mm_add_epi8(_mm_sub_epi8(v, _mm_set1_epi8('0')), bias);
  const __m128i letter = _mm_add_epi8(_mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a')), bias);
  const __m128i hex = _mm_or_si128(_mm_cmplt_epi8(decimal, _mm_set1_epi8(-128 + 10)),
                                   _mm_cmplt_epi8(letter, _mm_set1_epi8(-128 + 6)));
  return ~static_cast<unsigned>(_mm_movemask_epi8(hex)) & 0xFFFF;
#else
  unsigned other = 0;
  for (int i = 0; i < 16; ++i) other |= unsigned{!is_hex_digit(from[i])} << i;
  return other;
#endif
}

// Bytes that may start a token among the 64 at `from`, bit i for from[i].
inline std::uint64_t token_starts_of_block(const char* from) {
  std::uint64_t starts = 0;
  for (int i = 0; i < 4; ++i) starts |= std::uint64_t{token_starts(from + 16 * i)} << (16 * i);
  return starts;
}

}  // namespace alphabet
