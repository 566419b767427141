#include "number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>

#include "byte_order.h"

namespace number_text {

std::size_t format_unsigned(std::uint32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

std::size_t format_signed(std::int32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

namespace {

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

// The one place that multiplies 64 by 64 bits into 128: with the compiler's
// 128-bit integer where it has one (GCC and Clang on 64-bit targets), else
// from four 32 x 32 -> 64 bit products (32-bit targets, MSVC).
struct Product {
  std::uint64_t high;
  std::uint64_t low;
  friend constexpr bool operator==(const Product&, const Product&) = default;
};

// The middle column adds at most three 32-bit numbers, so it cannot
// overflow; its carry goes to the high word.
constexpr Product multiply_portable(std::uint64_t a, std::uint64_t b) {
  constexpr std::uint64_t kLow = 0xFFFFFFFF;
  const std::uint64_t low_low = (a & kLow) * (b & kLow);
  const std::uint64_t low_high = (a & kLow) * (b >> 32);
  const std::uint64_t high_low = (a >> 32) * (b & kLow);
  const std::uint64_t high_high = (a >> 32) * (b >> 32);
  const std::uint64_t middle = (low_low >> 32) + (low_high & kLow) + (high_low & kLow);
  return {high_high + (low_high >> 32) + (high_low >> 32) + (middle >> 32), middle << 32 | (low_low & kLow)};
}
// Every build checks it, also where it is not used; the all-ones factors carry in every column.
static_assert(multiply_portable(0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF) == Product{0xFFFFFFFFFFFFFFFE, 1});
static_assert(multiply_portable(0xFFFFFFFFFFFFFFFF, 0xFFFFFFFF00000001) == Product{0xFFFFFFFF00000000, 0xFFFFFFFF});
static_assert(multiply_portable(0xFFFFFFFF, 0xFFFFFFFF) == Product{0, 0xFFFFFFFE00000001});
static_assert(multiply_portable(std::uint64_t{1} << 32, std::uint64_t{1} << 32) == Product{1, 0});
static_assert(multiply_portable(10'000'000'000'000'000'000u, 10'000'000'000'000'000'000u) ==
              Product{0x4B3B4CA85A86C47A, 0x098A224000000000});  // 10^38

#ifdef __SIZEOF_INT128__
constexpr Product multiply(std::uint64_t a, std::uint64_t b) {
  const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
}
// Where both exist, they agree on a few thousand fixed pseudo-random factors.
static_assert([] {
  std::uint64_t state = 0x9E3779B97F4A7C15;
  const auto next = [&state] { return state ^= state << 13, state ^= state >> 7, state ^= state << 17; };
  for (int i = 0; i < 4000; ++i) {
    const std::uint64_t a = next(), b = next();
    if (multiply(a, b) != multiply_portable(a, b)) return false;
  }
  return true;
}());
#else
constexpr Product multiply(std::uint64_t a, std::uint64_t b) { return multiply_portable(a, b); }
#endif

constexpr int kSignificantDigits = 17;

// 10^t for every scale a finite binary64 needs (t = 16 - floor(log10|x|)),
// cut to its top 128 bits: 10^t = (high:low + delta) * 2^(shift - 128), with
// 0 <= delta < 1, delta = 0 for 0 <= t <= 55, and 1 <= shift + e <= 6 for
// every binary exponent e that t serves (checked below).
struct PowerOfTen {
  std::uint64_t high;
  std::uint64_t low;
  int shift;
};
constexpr int kMinScale = -292;  // |x| near the largest binary64
constexpr int kMaxScale = 340;   // |x| near the smallest subnormal
constexpr int kMinBinaryExponent = -1074 - 52;  // |x| = significand * 2^e, 2^52 <= significand < 2^53
constexpr int kMaxBinaryExponent = 1023 - 52;

// floor(log10 2^(e + 52)), exact over the whole binary64 range (checked below
// against the table); floor(log10 |x|) is it or one more.
constexpr int decimal_estimate(int binary_exponent) { return ((binary_exponent + 52) * 78913) >> 18; }

// For each scale t: 10^t, and the bits of the smallest binary64 >= 10^(17 - t),
// which |x| reaches when floor(log10 |x|) is one more than t's estimate.
struct DecimalScales {
  std::array<PowerOfTen, kMaxScale - kMinScale + 1> powers;
  std::array<std::uint64_t, kMaxScale - kMinScale + 1> next_decade;
};

constexpr DecimalScales kScales = [] {
  // Exact big numbers, 32-bit limbs, least significant first.
  constexpr int kLimbs = 36;
  // 2^1120 / 10^292 still has 150 bits, and 2^1120 / 10^323 all down to 2^-1074.
  constexpr int kReciprocalShift = 32 * (kLimbs - 1);
  using Big = std::array<std::uint32_t, kLimbs>;
  const auto top_128_bits = [](const Big& n, int scale) {
    int top = kLimbs - 1;
    while (n[top] == 0) --top;
    const int width = top * 32 + std::bit_width(n[top]);
    PowerOfTen power{0, 0, width + scale};  // 10^t = (high:low + delta) * 2^(width + scale - 128)
    for (int i = width - 1; i >= width - 128; --i) {
      const std::uint64_t bit = i < 0 ? 0 : (n[i / 32] >> (i % 32)) & 1;
      power.high = power.high << 1 | power.low >> 63;
      power.low = power.low << 1 | bit;
    }
    return power;
  };
  // The bits of the smallest binary64 >= n * 2^scale, or > it when n is cut.
  const auto smallest_double_at_least = [](const Big& n, int scale, bool cut) -> std::uint64_t {
    int top = kLimbs - 1;
    while (n[top] == 0) --top;
    const int width = top * 32 + std::bit_width(n[top]);
    const int exponent = width - 1 + scale;
    if (exponent > 1023) return Binary64::kExponentMask;  // infinity, above every finite value
    const int lowest = exponent >= -1022 ? width - 53 : -1074 - scale;  // 53 bits, or down to 2^-1074
    std::uint64_t kept = 0;
    for (int i = width - 1; i >= lowest; --i) kept = kept << 1 | (i < 0 ? 0 : (n[i / 32] >> (i % 32)) & 1);
    bool rest = cut;
    for (int i = std::min(lowest, width) - 1; i >= 0; --i) rest = rest || ((n[i / 32] >> (i % 32)) & 1) != 0;
    kept += rest ? 1 : 0;
    if (exponent < -1022) return kept;  // subnormal
    return (static_cast<std::uint64_t>(exponent + 1023) << 52) + (kept - Binary64::kHiddenBit);  // 2^53 carries
  };
  DecimalScales scales{};
  Big power{};  // 10^t, exact
  power[0] = 1;
  for (int t = 0; t <= kMaxScale; ++t) {
    scales.powers[t - kMinScale] = top_128_bits(power, 0);
    if (17 - t >= kMinScale) scales.next_decade[17 - t - kMinScale] = smallest_double_at_least(power, 0, false);
    std::uint64_t carry = 0;
    for (auto& limb : power) {
      carry += std::uint64_t{limb} * 10;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
  }
  Big reciprocal{};  // floor(2^1120 / 10^-t); its top bits are those of 10^t
  reciprocal[kLimbs - 1] = 1;
  for (int t = -1; 17 - t <= kMaxScale; --t) {
    std::uint64_t remainder = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
      const std::uint64_t current = remainder << 32 | reciprocal[i];
      reciprocal[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    if (t >= kMinScale) scales.powers[t - kMinScale] = top_128_bits(reciprocal, -kReciprocalShift);
    scales.next_decade[17 - t - kMinScale] = smallest_double_at_least(reciprocal, -kReciprocalShift, true);
  }
  return scales;
}();

// The estimate against the exact powers: k = floor(log10 2^n) means
// 10^k <= 2^n < 10^(k + 1). No power of ten but 10^0 is a power of two, so
// 10^k <= 2^n exactly when n > floor(log2 10^k), or k = n = 0; the table holds
// 10^t in [2^(shift - 1), 2^shift), so floor(log2 10^k) is shift - 1 at t = k,
// or -shift at t = -k.
constexpr bool power_of_ten_at_most(int k, int n) {  // 10^k <= 2^n
  const int order = k >= kMinScale ? kScales.powers[k - kMinScale].shift - 1 : -kScales.powers[-k - kMinScale].shift;
  return n > order || (k == 0 && n == 0);
}
static_assert([] {
  for (int e = kMinBinaryExponent; e <= kMaxBinaryExponent; ++e) {
    const int k = decimal_estimate(e);
    if (!power_of_ten_at_most(k, e + 52) || power_of_ten_at_most(k + 1, e + 52)) return false;
  }
  return true;
}());

// The scale's place in the tables for |x| = significand * 2^binary_exponent
// with bits `magnitude`: t = 16 - floor(log10 |x|), one less than the
// estimate's when |x| reaches the next decade.
constexpr std::size_t scale_index(int binary_exponent, std::uint64_t magnitude) {
  const auto index = static_cast<std::size_t>(kSignificantDigits - 1 - decimal_estimate(binary_exponent) - kMinScale);
  return index - (magnitude >= kScales.next_decade[index] ? 1 : 0);
}

// The significand, shifted left by 1 to 6 bits, times the power puts z's
// integer part in the top 64 bits of the 192-bit product for every exponent
// and both scales its binade may take; and e + 1 + t >= 1 where t < 0.
static_assert([] {
  for (int e = kMinBinaryExponent; e <= kMaxBinaryExponent; ++e) {
    const auto bits = [](int exponent) {  // of 2^(exponent + 52), the binade's smallest value
      return exponent >= -1074 ? static_cast<std::uint64_t>(exponent + 1075) << 52 : std::uint64_t{1} << (exponent + 1126);
    };
    for (const std::uint64_t magnitude : {bits(e), bits(e + 1) - 1}) {
      const std::size_t index = scale_index(e, magnitude);
      const int shift = kScales.powers[index].shift + e;
      const int t = static_cast<int>(index) + kMinScale;
      if (shift < 1 || shift > 6 || (t < 0 && e + 1 + t < 1)) return false;
    }
  }
  return true;
}());

// 10^0 to 10^17.
constexpr auto kPowersOfTenExact = [] {
  std::array<std::uint64_t, 18> powers{};
  powers[0] = 1;
  for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}();

// Stores eight characters held in a word, the first in its lowest byte.
inline void store_eight(std::uint64_t characters, char* out) {
  if constexpr (std::endian::native == std::endian::big) characters = byteswap(characters);
  std::memcpy(out, &characters, sizeof characters);
}

// x / 100 = x * 10486 >> 20 for x < 10^4, and x / 10 = x * 103 >> 10 for x < 100.
constexpr std::uint64_t kHundredth = 10486;
constexpr int kHundredthShift = 20;
constexpr std::uint64_t kTenth = 103;
constexpr int kTenthShift = 10;
// Exact over every value a lane holds (below 10^4 in 32 bits, below 100 in
// 16), and each product stays inside its lane, so no lane's quotient takes
// bits from another.
static_assert([] {
  for (std::uint64_t x = 0; x < 10000; ++x)
    if ((x * kHundredth >> kHundredthShift) != x / 100 || x * kHundredth >> 32 != 0) return false;
  for (std::uint64_t x = 0; x < 100; ++x)
    if ((x * kTenth >> kTenthShift) != x / 10 || x * kTenth >> 16 != 0) return false;
  return true;
}());

// The eight decimal digits of n < 10^8 as characters, the first in the
// lowest byte: split in halves, quarters and digits within one word, each
// division by a multiplication exact over its lane's range. Each step puts
// the quotient q in the low part of a lane and the remainder x - d q above
// it: q + ((x - d q) << s) = (x << s) + q * (1 - (d << s)).
constexpr std::uint64_t eight_digits(std::uint32_t n) {
  const std::uint64_t halves = n / 10000;
  std::uint64_t lanes = (std::uint64_t{n} << 32) + halves * (1 - (std::uint64_t{10000} << 32));  // 2 lanes < 10^4
  const std::uint64_t hundreds = (lanes * kHundredth >> kHundredthShift) & 0x0000007F0000007F;
  lanes = (lanes << 16) + hundreds * (1 - (std::uint64_t{100} << 16));  // 4 lanes < 100
  const std::uint64_t tens = (lanes * kTenth >> kTenthShift) & 0x000F000F000F000F;
  lanes = (lanes << 8) + tens * (1 - (std::uint64_t{10} << 8));  // 8 lanes < 10
  return lanes + 0x3030303030303030;
}

// |x| scaled to z = |x| * 10^(16 - exponent) in [10^16, 10^17), exponent =
// floor(log10 |x|): z's integer part and whether its fraction is a half or
// more. The 17 significant digits of |x|, half up on the exact value, are
// integer + up; 10^17 when 9.99...95 rounds up.
struct Scaled {
  std::uint64_t integer;
  std::uint64_t up;
  int exponent;
};

// 3. The 17 significant digits: z for |x| = significand * 2^binary_exponent
// (2^52 <= significand < 2^53) with bits `magnitude`.
//
// With S = significand << (shift + e) < 2^59 and P = high:low, the power's
// 128 bits, z = S * (P + delta) * 2^-128. The two products give S * P
// exactly in 192 bits; integer:fraction keeps their top 128 and drops
// lower.low, so what is computed is z_c = floor(S * P / 2^64) * 2^-64 and
//   z - z_c = (lower.low + S * delta) * 2^-128 < 2^-64 + 2^-69,
// with 0 <= lower.low < 2^64 and 0 <= S * delta < 2^59. Rounding z_c half up
// (up is the fraction's top bit) gives the digits of z unless a half lies in
// (z_c, z]. The dropped lower.low moves no half there: a half is a multiple
// of 2^-64, so one at most S * P * 2^-128 is at most z_c. That leaves
// (S * P * 2^-128, z], less than 2^-69 wide, and empty for 0 <= t <= 55,
// where delta = 0. At an inexact power (t < 0 or t > 55) no half lies in it:
// - 2z is never an odd integer: t > 55 leaves at least 2^54 in the
//   denominator of 2z; for t < 0, 2z = significand / 5^-t * 2^(e + 1 + t)
//   with e + 1 + t >= 1 (checked with the shifts above), even when it is an
//   integer;
// - and where 2z is not an integer, it lies more than 2^-68 (twice the
//   window) from every integer: bench/number_text_boundaries finds the
//   nearest over all significands for every exponent and scale (2^-65.4, at
//   2^665 * significand).
// An exact tie therefore only occurs with an exact power, where z_c = z, and
// rounds up.
Scaled scale(std::uint64_t significand, int binary_exponent, std::uint64_t magnitude) {
  // The decade is chosen by the table index, without a branch: |x| reaches
  // the next one unpredictably.
  const std::size_t index = scale_index(binary_exponent, magnitude);
  const PowerOfTen& power = kScales.powers[index];
  const std::uint64_t shifted = significand << (power.shift + binary_exponent);
  // integer:fraction = floor(shifted * (high:low) / 2^64): z_c, the low word of `lower` dropped.
  const Product upper = multiply(shifted, power.high);
  const Product lower = multiply(shifted, power.low);
  const std::uint64_t fraction = upper.low + lower.high;
  const std::uint64_t integer = upper.high + (fraction < upper.low ? 1 : 0);
  return {integer, fraction >> 63, kSignificantDigits - 1 - kMinScale - static_cast<int>(index)};
}

// The exponent parts "E-324" to "E+308", each in a word, 'E' in its lowest byte.
constexpr int kMinExponent = -324;
constexpr int kMaxExponent = 308;
constexpr auto kExponentTexts = [] {
  std::array<std::uint64_t, kMaxExponent - kMinExponent + 1> texts{};
  for (int exponent = kMinExponent; exponent <= kMaxExponent; ++exponent) {
    const int size = exponent < 0 ? -exponent : exponent;
    const char text[5] = {'E', exponent < 0 ? '-' : '+', static_cast<char>('0' + size / 100),
                          static_cast<char>('0' + size / 10 % 10), static_cast<char>('0' + size % 10)};
    for (int i = 4; i >= 0; --i) texts[exponent - kMinExponent] = texts[exponent - kMinExponent] << 8 | text[i];
  }
  return texts;
}();

// Writes the exponent part: E, a sign always, three digits always; may
// store three bytes past it.
char* write_exponent(int exponent, char* p) {
  store_eight(kExponentTexts[exponent - kMinExponent], p);
  return p + 5;
}

// Writes [-]d.<precision digits>E<sign><3 digits> of a finite nonzero value,
// precision 7 or 15.
inline std::size_t write_finite(bool negative, Scaled z, int precision, char* out) {
  // 4. The second rounding: the 17 digits rounded half up once more on the
  // digit after the last kept one (a double rounding, as the result file has
  // it). Both roundings in one division, with h half the dropped part's unit q.
  const int dropped = kSignificantDigits - 1 - precision;
  const std::uint64_t half = dropped > 0 ? 5 * kPowersOfTenExact[dropped - 1] : 0;
  std::uint64_t kept = (z.integer + z.up + half) / kPowersOfTenExact[dropped];
  int exponent = z.exponent;
  if (kept == kPowersOfTenExact[precision + 1]) {  // 9.99...95 carried into a new digit
    kept = kPowersOfTenExact[precision];
    ++exponent;
  }
  // 5. The text, d0 '.' d1 d2 ...: the digits go one place to the right of
  // their final place in words of eight, then d0 moves left over the point's
  // place.
  char* p = out;
  *p = '-';
  p += negative ? 1 : 0;
  std::uint64_t first = 0;  // d0 in the lowest byte
  if (precision == 7) {
    first = eight_digits(static_cast<std::uint32_t>(kept));
    store_eight(first, p + 1);
  } else {
    const std::uint64_t high = kept / 100'000'000;
    first = eight_digits(static_cast<std::uint32_t>(high));
    store_eight(first, p + 1);
    store_eight(eight_digits(static_cast<std::uint32_t>(kept - high * 100'000'000)), p + 9);
  }
  p[0] = static_cast<char>(first & 0xFF);
  p[1] = '.';
  p = write_exponent(exponent, p + 2 + precision);
  return static_cast<std::size_t>(p - out);
}

// Zero and the special kinds: the first character of `text`, a point, the
// rest, zeros up to `precision` characters after the point, exponent 0.
// Every text fits whole from precision 5 on.
std::size_t write_text(bool negative, std::string_view text, int precision, char* out) {
  char* p = out;
  if (negative) *p++ = '-';
  *p++ = text[0];
  *p++ = '.';
  const std::size_t rest = text.size() - 1;
  std::memcpy(p, text.data() + 1, rest);
  std::memset(p + rest, '0', static_cast<std::size_t>(precision) - rest);
  p = write_exponent(0, p + precision);
  return static_cast<std::size_t>(p - out);
}

// "%.<precision>E" of the binary64 value `bits`, precision 7 or 15: the slow
// path, which the two forms take for subnormals, zero and the special kinds.
std::size_t format_scientific(std::uint64_t bits, int precision, char* out) {
  const bool negative = (bits & Binary64::kSignMask) != 0;
  const std::uint64_t magnitude = bits & ~Binary64::kSignMask;
  const std::uint64_t fraction = bits & Binary64::kFractionMask;

  // 2. Classify on the fields; the special kinds and zero leave here. The
  // indefinite is the negative quiet NaN without payload; a signalling NaN
  // (quiet bit clear, fraction not zero) prints as a quiet one.
  if (Binary64::exponent(bits) == Binary64::kMaxExponent) {
    if (fraction == 0) return write_text(negative, "1#INF", precision, out);
    if (fraction == Binary64::kQuietBit && negative) return write_text(true, "1#IND", precision, out);
    return write_text(negative, "1#QNAN", precision, out);
  }
  // Zero of either sign is written unsigned.
  if (magnitude == 0) return write_text(false, "0", precision, out);

  std::uint64_t significand = fraction;
  int binary_exponent = Binary64::exponent(bits) - Binary64::kBias - Binary64::kFractionWidth;
  if (Binary64::exponent(bits) == 0) {  // subnormal: bring the top bit to the hidden place
    const int shift = std::countl_zero(significand) - (63 - Binary64::kFractionWidth);
    significand <<= shift;
    binary_exponent += 1 - shift;
  } else {
    significand |= Binary64::kHiddenBit;
  }
  return write_finite(negative, scale(significand, binary_exponent, magnitude), precision, out);
}

}  // namespace

void format_binary(std::uint32_t value, char* out) {
  for (int k = 0; k < 4; ++k) {
    // The byte in all eight lanes, lane i keeping bit 7 - i; each lane then becomes '0' or '1'.
    const std::uint64_t bits = std::uint64_t{value >> (24 - 8 * k) & 0xFF} * 0x0101010101010101 & 0x0102040810204080;
    store_eight(((bits + 0x7F7F7F7F7F7F7F7F) >> 7 & 0x0101010101010101) + 0x3030303030303030, out + 8 * k);
  }
}

// 1. Widen: every binary32 value is exactly a binary64 value.
std::uint64_t widen_binary32(std::uint32_t bits) {
  const std::uint64_t sign = std::uint64_t{bits & Binary32::kSignMask} << 32;
  int exponent = Binary32::exponent(bits);
  std::uint32_t fraction = bits & Binary32::kFractionMask;
  constexpr int kFractionShift = Binary64::kFractionWidth - Binary32::kFractionWidth;
  // Infinity stays infinity; a NaN keeps its quiet bit and payload on top.
  if (exponent == Binary32::kMaxExponent) {
    return sign | Binary64::kExponentMask | std::uint64_t{fraction} << kFractionShift;
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

// The two forms of float fields get copies of their own for normal values,
// dividing by constants; subnormals, zero and the special kinds, rare in a
// result file, take format_scientific.

std::size_t format_double(std::uint64_t bits, char* out) {
  const int exponent = Binary64::exponent(bits);
  if (static_cast<unsigned>(exponent - 1) >= Binary64::kMaxExponent - 1) return format_scientific(bits, 15, out);
  const std::uint64_t significand = (bits & Binary64::kFractionMask) | Binary64::kHiddenBit;
  const Scaled z = scale(significand, exponent - Binary64::kBias - Binary64::kFractionWidth, bits & ~Binary64::kSignMask);
  return write_finite((bits & Binary64::kSignMask) != 0, z, 15, out);
}

std::size_t format_single(std::uint32_t bits, char* out) {
  const int exponent = Binary32::exponent(bits);
  if (static_cast<unsigned>(exponent - 1) >= Binary32::kMaxExponent - 1) {
    return format_scientific(widen_binary32(bits), 7, out);
  }
  // Widened as widen_binary32 does, but straight to the significand and exponent scale() takes.
  constexpr int kWiden = Binary64::kFractionWidth - Binary32::kFractionWidth;
  const std::uint64_t significand = std::uint64_t{(bits & Binary32::kFractionMask) | Binary32::kHiddenBit} << kWiden;
  constexpr std::uint64_t kRebias = std::uint64_t{Binary64::kBias - Binary32::kBias} << Binary64::kFractionWidth;
  const std::uint64_t magnitude = (std::uint64_t{bits & ~Binary32::kSignMask} << kWiden) + kRebias;
  const Scaled z = scale(significand, exponent - Binary32::kBias - Binary32::kFractionWidth - kWiden, magnitude);
  return write_finite((bits & Binary32::kSignMask) != 0, z, 7, out);
}

}  // namespace number_text
