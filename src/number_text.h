// The exact texts of the numbers the converter writes: the two scientific
// forms of float fields and the decimal and binary forms of integer fields. Each formats
// one value into a caller's buffer of kMaxLength bytes, which it may use
// whole, and returns the length; no allocation, no locale, the same
// characters on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace number_text {

// Room enough for any text below ("-1.797693134862316E+308" is the longest).
inline constexpr std::size_t kMaxLength = 32;

// "%lu": the decimal digits of `value`, no sign, no padding.
std::size_t format_unsigned(std::uint32_t value, char* out);

// "%ld" and "%d": as above, with "-" before a negative value.
std::size_t format_signed(std::int32_t value, char* out);

// The 32 binary digits of `value`, most significant first, no terminator.
void format_binary(std::uint32_t value, char* out);

// The binary64 value equal to the binary32 value `bits`; a NaN keeps its
// sign, quiet bit and payload.
std::uint64_t widen_binary32(std::uint32_t bits);

// "%.7E" of the binary32 value `bits`, as the result file has it: the exact
// value rounded half up to 17 significant digits, then half up again to 8
// digits; exponent signed and three digits wide; zero unsigned; special
// values as 1.#INF000E+000, -1.#IND000E+000, 1.#QNAN00E+000.
std::size_t format_single(std::uint32_t bits, char* out);

// "%.15E" of the binary64 value `bits`: the same, rounded again to 16 digits.
std::size_t format_double(std::uint64_t bits, char* out);

}  // namespace number_text
