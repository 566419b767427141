#include "entiers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "alphabet.h"
#include "number_text.h"

namespace entiers {
namespace {

constexpr std::size_t kValueDigits = 8;  // nibbles in 32 bits

// The digits between the marks; the scanner admits only hexadecimal ones.
std::string_view digits_of(std::string_view field) { return field.substr(1, field.size() - 2); }

// The field's value: its first eight digits, the first one lowest. A signed
// field shorter than that stands for a value whose leading F nibbles the
// target left out. The digits are gathered in one word, with no loop whose
// length follows the field's.
std::uint32_t value_of(std::string_view digits, bool is_signed) {
  char eight[kValueDigits];
  std::memset(eight, is_signed ? 'F' : '0', kValueDigits);
  std::memcpy(eight, digits.data(), std::min(digits.size(), kValueDigits));
  return alphabet::nibbles_of_eight(eight);
}

constexpr std::size_t kBinaryLength = 34;       // fill digit, 32 bits, H
constexpr std::size_t kHexadecimalLength = 10;  // 0, 8 digits, H

// Fill digit, then the 32 bits most significant first, then "H".
void write_binary(std::uint32_t value, char fill, TextOutput& out) {
  out.write_formatted(kBinaryLength, [&](char* text) {
    text[0] = fill;
    number_text::format_binary(value, text + 1);
    text[33] = 'H';
    return kBinaryLength;
  });
}

// The digits are placed as written, so a lower-case digit stays lower-case;
// template places no digit reaches keep the template's fill.
void write_hexadecimal(std::string_view digits, const char (&form)[kHexadecimalLength + 1], TextOutput& out) {
  out.write_formatted(kHexadecimalLength, [&](char* text) {
    std::memcpy(text, form, kHexadecimalLength);
    const std::size_t count = std::min(digits.size(), kValueDigits);
    for (std::size_t k = 0; k < count; ++k) text[8 - k] = digits[k];
    return kHexadecimalLength;
  });
}

}  // namespace

void unsigned_binary(std::string_view field, TextOutput& out) {
  write_binary(value_of(digits_of(field), false), '0', out);
}

void unsigned_decimal(std::string_view field, TextOutput& out) {
  const std::uint32_t value = value_of(digits_of(field), false);
  out.write_formatted(number_text::kMaxLength, [&](char* text) { return number_text::format_unsigned(value, text); });
}

void unsigned_hexadecimal(std::string_view field, TextOutput& out) {
  write_hexadecimal(digits_of(field), "000000000H", out);
}

void signed_binary(std::string_view field, TextOutput& out) {
  write_binary(value_of(digits_of(field), true), '1', out);
}

void signed_decimal(std::string_view field, TextOutput& out) {
  const auto value = static_cast<std::int32_t>(value_of(digits_of(field), true));
  out.write_formatted(number_text::kMaxLength, [&](char* text) { return number_text::format_signed(value, text); });
}

void signed_hexadecimal(std::string_view field, TextOutput& out) {
  write_hexadecimal(digits_of(field), "0FFFFFFFFH", out);
}

}  // namespace entiers
