#include "number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>

namespace number_text {

std::size_t format_unsigned(std::uint32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

std::size_t format_signed(std::int32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

namespace {

// The one platform assumption: double is IEEE 754 binary64, so a float
// field's 64 bits can be handed to std::to_chars as they are.
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8);

// The fields of a float field's bit pattern.
template <typename Word, int kFractionBits, int kExponentBits>
struct Fields {
  static constexpr int kFractionWidth = kFractionBits;
  static constexpr int kBias = (1 << (kExponentBits - 1)) - 1;
  static constexpr Word kFractionMask = (Word{1} << kFractionBits) - 1;
  static constexpr Word kHiddenBit = Word{1} << kFractionBits;
  static constexpr Word kExponentMask = ((Word{1} << kExponentBits) - 1) << kFractionBits;
  static constexpr Word kSignMask = Word{1} << (kFractionBits + kExponentBits);
  static constexpr Word kQuietBit = Word{1} << (kFractionBits - 1);
  static constexpr int kMaxExponent = (1 << kExponentBits) - 1;

  static constexpr int exponent(Word bits) {
    return static_cast<int>((bits & kExponentMask) >> kFractionBits);
  }
};
using Binary32 = Fields<std::uint32_t, 23, 8>;
using Binary64 = Fields<std::uint64_t, 52, 11>;

using Uint128 = unsigned __int128;
constexpr int kSignificantDigits = 17;
constexpr std::uint64_t kTen16 = 10'000'000'000'000'000;
constexpr std::uint64_t kTen17 = 100'000'000'000'000'000;

// 10^t for every scale a finite binary64 needs (t = 16 - floor(log10|x|)),
// cut to its top 128 bits: 10^t = (high:low + delta) * 2^binary_exponent,
// 0 <= delta < 1, and delta = 0 for 0 <= t <= 55.
struct PowerOfTen {
  std::uint64_t high;
  std::uint64_t low;
  int binary_exponent;
};
constexpr int kMinScale = -292;  // |x| near the largest binary64
constexpr int kMaxScale = 340;   // |x| near the smallest subnormal

constexpr auto kPowersOfTen = [] {
  // Exact big numbers, 32-bit limbs, least significant first.
  constexpr int kLimbs = 36;
  constexpr int kReciprocalShift = 32 * (kLimbs - 1);  // 2^1120 / 10^292 still has 150 bits
  using Big = std::array<std::uint32_t, kLimbs>;
  const auto top_128_bits = [](const Big& n, int scale) {
    int top = kLimbs - 1;
    while (n[top] == 0) --top;
    const int width = top * 32 + std::bit_width(n[top]);
    PowerOfTen power{0, 0, width - 128 + scale};
    for (int i = width - 1; i >= width - 128; --i) {
      const std::uint64_t bit = i < 0 ? 0 : (n[i / 32] >> (i % 32)) & 1;
      power.high = power.high << 1 | power.low >> 63;
      power.low = power.low << 1 | bit;
    }
    return power;
  };
  std::array<PowerOfTen, kMaxScale - kMinScale + 1> table{};
  Big power{};  // 10^t, exact
  power[0] = 1;
  for (int t = 0; t <= kMaxScale; ++t) {
    table[t - kMinScale] = top_128_bits(power, 0);
    std::uint64_t carry = 0;
    for (auto& limb : power) {
      carry += std::uint64_t{limb} * 10;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
  }
  Big reciprocal{};  // floor(2^1120 / 10^-t); its top bits are those of 10^t
  reciprocal[kLimbs - 1] = 1;
  for (int t = -1; t >= kMinScale; --t) {
    std::uint64_t remainder = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      const std::uint64_t current = remainder << 32 | reciprocal[i];
      reciprocal[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    table[t - kMinScale] = top_128_bits(reciprocal, -kReciprocalShift);
  }
  return table;
}();

// "00" to "99".
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Exactly 8 digits of v < 10^8, two at a time.
void write_8_digits(std::uint32_t v, char* out) {
  const std::uint32_t parts[4] = {v / 1'000'000, v / 10'000 % 100, v / 100 % 100, v % 100};
  for (int i = 0; i < 4; ++i) std::memcpy(out + 2 * i, &kDigitPairs[2 * parts[i]], 2);
}

// The 17 digits of 10^16 <= n < 10^17.
void write_17_digits(std::uint64_t n, char* out) {
  const std::uint64_t high = n / 100'000'000;  // 9 digits
  out[0] = static_cast<char>('0' + high / 100'000'000);
  write_8_digits(static_cast<std::uint32_t>(high % 100'000'000), out + 1);
  write_8_digits(static_cast<std::uint32_t>(n % 100'000'000), out + 9);
}

// The same 17 digits from the standard library: correctly rounded, which is
// half up for every value that reaches it (it is never an exact tie).
int seventeen_digits_by_library(std::uint64_t magnitude, char* digits) {
  char text[32];  // d.dddddddddddddddde±dd[d]
  const char* end = std::to_chars(text, text + sizeof text, std::bit_cast<double>(magnitude),
                                  std::chars_format::scientific, kSignificantDigits - 1)
                        .ptr;
  digits[0] = text[0];
  for (int i = 1; i < kSignificantDigits; ++i) digits[i] = text[i + 1];
  const char* sign = text + kSignificantDigits + 2;
  int exponent = 0;
  for (const char* p = sign + 1; p != end; ++p) exponent = exponent * 10 + (*p - '0');
  return *sign == '-' ? -exponent : exponent;
}

// The 17 significant digits of |x| = magnitude (finite, nonzero), rounded
// half up on the exact value, into `digits`; returns the decimal exponent
// D - 1. z = |x| * 10^t lies in [10^16, 2 * 10^17) and one 128-bit product
// gives it to within 2^-69; the 17 digits are z rounded half up when
// z < 10^17, else z / 10 rounded half up. The cut 10^t is exact wherever an
// exact 18-digit tie can occur (t <= 24), so ties round up, as the number
// text wants. A z closer than the error to a rounding boundary (no value
// seen in testing) is left to the library.
int seventeen_digits(std::uint64_t magnitude, char* digits) {
  std::uint64_t significand = magnitude & Binary64::kFractionMask;
  int binary_exponent = Binary64::exponent(magnitude) - Binary64::kBias - Binary64::kFractionWidth;
  if (Binary64::exponent(magnitude) == 0) {  // subnormal: bring the top bit to the hidden place
    const int shift = std::countl_zero(significand) - (63 - Binary64::kFractionWidth);
    significand <<= shift;
    binary_exponent += 1 - shift;
  } else {
    significand |= Binary64::kHiddenBit;
  }
  // floor(log10 2^top) (exact over the whole binary64 range); D - 1 is it or one more.
  const int estimate = ((binary_exponent + Binary64::kFractionWidth) * 78913) >> 18;
  const PowerOfTen& power = kPowersOfTen[kSignificantDigits - 1 - estimate - kMinScale];

  const Uint128 low_product = Uint128{significand} * power.low;
  const Uint128 upper = Uint128{significand} * power.high + (low_product >> 64);
  const int fraction_bits = -(binary_exponent + power.binary_exponent);  // 122..127
  const auto integer = static_cast<std::uint64_t>(upper >> (fraction_bits - 64));
  const Uint128 fraction = (upper << 64 | static_cast<std::uint64_t>(low_product))
                           << (128 - fraction_bits);  // frac(z) * 2^128
  constexpr Uint128 kHalf = Uint128{1} << 127;
  constexpr Uint128 kError = Uint128{1} << 61;  // > significand * delta * 2^(128 - fraction_bits)

  std::uint64_t rounded = 0;
  int exponent = estimate;
  bool undecided = false;
  if (integer < kTen17) {
    undecided = fraction < kHalf && fraction >= kHalf - kError;
    rounded = integer + (fraction >= kHalf ? 1 : 0);
  } else {
    // floor(z) may be one more, which matters only to a ...4 becoming ...5.
    undecided = fraction >= -kError && integer % 10 == 4;
    rounded = (integer + 5) / 10;
    ++exponent;
  }
  if (undecided) return seventeen_digits_by_library(magnitude, digits);
  if (rounded == kTen17) {  // 99999999999999999.5 carries into a new digit
    rounded = kTen16;
    ++exponent;
  }
  write_17_digits(rounded, digits);
  return exponent;
}

// Writes [-]d.<precision digits>E<sign><3 digits> from digits[0, count),
// padded with zeros, rounded half up once more on the one character after
// the last kept, as the result file has it (a double rounding).
std::size_t write_text(bool negative, const char* digits, int count, int exponent, int precision,
                       char* out) {
  char* p = out;
  if (negative) *p++ = '-';
  char* const first = p;
  const int kept = precision + 1;
  const int copied = std::min(count, kept);
  *p++ = digits[0];
  *p++ = '.';
  std::memcpy(p, digits + 1, static_cast<std::size_t>(copied - 1));
  p += copied - 1;
  std::memset(p, '0', static_cast<std::size_t>(kept - copied));
  p += kept - copied;
  // 4. Second rounding, on the 17-digit text: a carry runs through the 9s, past the point.
  if (kept < count && digits[kept] >= '5') {
    char* q = p - 1;
    for (; q >= first && (*q == '9' || *q == '.'); --q) {
      if (*q == '9') *q = '0';
    }
    if (q >= first) {
      ++*q;
    } else {  // 9.99...9 became 10.00...0: one digit more, exponent up
      *first = '1';
      ++exponent;
    }
  }
  // 5. Exponent: always signed, always three digits.
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  const int size = exponent < 0 ? -exponent : exponent;
  *p++ = static_cast<char>('0' + size / 100);
  *p++ = static_cast<char>('0' + size / 10 % 10);
  *p++ = static_cast<char>('0' + size % 10);
  return static_cast<std::size_t>(p - out);
}

// Infinities and NaNs take the same cut as digits, with exponent 0 (below
// precision 5 it rounds their letters too: "%.2E" of infinity is 1.#JE+000).
std::size_t write_special(bool negative, std::string_view text, int precision, char* out) {
  return write_text(negative, text.data(), static_cast<int>(text.size()), 0, precision, out);
}

}  // namespace

// 1. Widen: every binary32 value is exactly a binary64 value.
std::uint64_t widen_binary32(std::uint32_t bits) {
  const std::uint64_t sign = std::uint64_t{bits & Binary32::kSignMask} << 32;
  int exponent = Binary32::exponent(bits);
  std::uint32_t fraction = bits & Binary32::kFractionMask;
  constexpr int kFractionShift = Binary64::kFractionWidth - Binary32::kFractionWidth;
  // Infinity stays infinity; a NaN keeps its payload on top and turns quiet.
  if (exponent == Binary32::kMaxExponent) {
    const std::uint64_t quiet = fraction != 0 ? Binary64::kQuietBit : 0;
    return sign | Binary64::kExponentMask | std::uint64_t{fraction} << kFractionShift | quiet;
  }
  if (exponent == 0) {
    if (fraction == 0) return sign;
    // A binary32 subnormal is a binary64 normal: its top bit goes to the hidden place.
    const int shift = std::countl_zero(fraction) - (31 - Binary32::kFractionWidth);
    fraction = (fraction << shift) & Binary32::kFractionMask;
    exponent = 1 - shift;
  }
  const auto widened_exponent =
      static_cast<std::uint64_t>(exponent - Binary32::kBias + Binary64::kBias);
  return sign | widened_exponent << Binary64::kFractionWidth |
         std::uint64_t{fraction} << kFractionShift;
}

std::size_t format_scientific(std::uint64_t bits, int precision, char* out) {
  const bool negative = (bits & Binary64::kSignMask) != 0;
  const std::uint64_t magnitude = bits & ~Binary64::kSignMask;
  const std::uint64_t fraction = bits & Binary64::kFractionMask;

  // 2. Classify on the fields; the special kinds leave here. A signalling NaN
  // prints as the quiet NaN it becomes: with its quiet bit set the fraction
  // is never the quiet bit alone, so it is never the indefinite.
  if (Binary64::exponent(bits) == Binary64::kMaxExponent) {
    if (fraction == 0) return write_special(negative, "1#INF", precision, out);
    if (fraction == Binary64::kQuietBit && negative) {
      return write_special(true, "1#IND", precision, out);
    }
    return write_special(negative, "1#QNAN", precision, out);
  }
  // Zero of either sign is written unsigned.
  if (magnitude == 0) return write_text(false, "0", 1, 0, precision, out);

  // 3. The 17 significant digits, half up on the exact value.
  char digits[kSignificantDigits];
  const int exponent = seventeen_digits(magnitude, digits);

  // 4-5. Cut to the field's precision, then the text.
  return write_text(negative, digits, kSignificantDigits, exponent, precision, out);
}

}  // namespace number_text
