// The alphabet of result files, in one place: the marks that open and close
// fields and quoted text, the line-start markers, the hexadecimal digits and
// what they are worth. The hand-written scanner's dispatch and its 16-byte
// searches are built from these tables (the searches checked against them
// in the tests), so each mark is spelled once.
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

// The start conditions of floatdump.l.
enum class Condition { kInitial, kFloatCalibration, kDoubleCalibration };

// What a byte opens outside a calibration line, for the scanner's one
// dispatch on a token's first byte.
enum class TokenKind : std::uint8_t { kPlain, kQuotedText, kFloatField, kIntegerField };

// The marks that open a token other than a plain character.
struct OpeningMark {
  char byte;
  TokenKind kind;
};
inline constexpr std::array<OpeningMark, 5> kOpeningMarks = {{
    {'"', TokenKind::kQuotedText},
    {'\'', TokenKind::kQuotedText},
    {'!', TokenKind::kFloatField},
    {'(', TokenKind::kIntegerField},  // unsigned
    {'{', TokenKind::kIntegerField},  // signed
}};

// The first two bytes of a calibration line, and the calibration its fields feed.
struct LineStartMarker {
  char first;
  char second;
  Condition condition;
};
inline constexpr std::array<LineStartMarker, 4> kLineStartMarkers = {{
    {'F', '1', Condition::kFloatCalibration},
    {'F', '2', Condition::kDoubleCalibration},
    {'E', 'F', Condition::kFloatCalibration},
    {'E', 'D', Condition::kDoubleCalibration},
}};

// The bytes where plain text may end: the opening marks, and the line end,
// after which a line-start marker may follow.
inline constexpr auto kTokenStarts = [] {
  std::array<char, kOpeningMarks.size() + 1> bytes{'\n'};
  for (std::size_t i = 0; i < kOpeningMarks.size(); ++i) bytes[i + 1] = kOpeningMarks[i].byte;
  return bytes;
}();

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

inline constexpr auto kTokenKinds = [] {
  std::array<TokenKind, 256> table{};  // all kPlain
  for (const OpeningMark& mark : kOpeningMarks) table[static_cast<unsigned char>(mark.byte)] = mark.kind;
  return table;
}();

inline constexpr auto kIsMarkerLetter = [] {
  std::array<bool, 256> table{};
  for (const LineStartMarker& marker : kLineStartMarkers) table[static_cast<unsigned char>(marker.first)] = true;
  return table;
}();

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
inline TokenKind token_kind(char c) { return kTokenKinds[static_cast<unsigned char>(c)]; }
inline bool is_marker_letter(char c) { return kIsMarkerLetter[static_cast<unsigned char>(c)]; }
inline bool is_hex_digit(char c) { return kIsHexDigit[static_cast<unsigned char>(c)]; }
inline std::uint8_t closing_mark(char c) { return kClosingMark[static_cast<unsigned char>(c)]; }

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

}  // namespace alphabet
