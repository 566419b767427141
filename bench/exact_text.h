// The text of a float field the slow way, by other means than src/: printf
// writes a finite binary64 in fixed notation with as many decimals as it has
// binary places, which is its whole exact expansion, so printf rounds nothing
// whatever its rounding mode; the digits are then rounded half up by string,
// to 17 significant digits and again to precision + 1. The unit tests and the
// checks in bench/ hold the number texts to it.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

// The first `count` significant digits of the finite `value`, cut, not
// rounded, into `digits` (zeros past the end of the expansion, all zeros for
// zero); returns floor(log10 |value|), 0 for zero.
inline int exact_digits(double value, char* digits, int count) {
  // value = m * 2^q with m odd: -q decimals, or none, write every digit.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int field = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t m = (bits & 0xFFFFFFFFFFFFF) | (field != 0 ? std::uint64_t{1} << 52 : 0);
  const int q = (field != 0 ? field : 1) - 1075 + (m != 0 ? std::countr_zero(m) : 0);
  char fixed[1500];  // 309 integer digits, a point and 1074 decimals at most
  std::snprintf(fixed, sizeof fixed, "%.*f", q < 0 ? -q : 0, std::fabs(value));
  int exponent = -1;
  for (const char* c = fixed; *c != '\0' && *c != '.'; ++c) ++exponent;
  int kept = 0;
  for (const char* c = fixed; *c != '\0' && kept < count; ++c) {
    if (*c == '.') continue;
    if (kept == 0 && *c == '0') --exponent;  // a leading zero
    else digits[kept++] = *c;
  }
  for (int i = kept; i < count; ++i) digits[i] = '0';
  return kept == 0 ? 0 : exponent;
}

// "%.<precision>E" of the finite `value`, precision < 17, as the converter
// writes it.
inline std::string exact_text(double value, int precision) {
  char digits[18];  // half up needs no digit past the one after the cut
  int exponent = exact_digits(value, digits, 18);
  for (const int keep : {17, precision + 1}) {
    if (digits[keep] >= '5') {
      int i = keep;
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) digits[0] = '1', ++exponent;  // 9.99... became 10.00...
      else ++digits[i - 1];
    }
    for (int i = keep; i < 18; ++i) digits[i] = '0';
  }
  char text[40];
  std::snprintf(text, sizeof text, "%s%c.%.*sE%+04d", value < 0 ? "-" : "", digits[0], precision, digits + 1, exponent);
  return text;
}
