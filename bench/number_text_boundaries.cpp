// Why the 17-digit rounding of src/number_text.cpp needs no check near a
// rounding boundary (the proof above scale()): at every binary exponent e whose
// power of ten is inexact, 2z = significand * 2^(e + 1) * 10^t =
// significand * N / D stays more than 2^-68 from every integer, over all
// significands. The residues of m * N modulo D nearest 0 from above (below)
// and from below (above) for 1 <= m <= most come from the continued-fraction
// walk: the side farther from 0 takes the other's multiplier as often as it
// stays on its side and within `most`. The nearest values that are binary64
// values are formatted and held to exact_text.h, and the nearest of them
// printed, with their digits about the 17-digit cut: rows for
// tests/unit/number_texts.txt. Exits 1 when a value lies too near or a text
// differs; takes about a second.
#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "exact_text.h"
#include "number_text.h"

namespace {

// Exact unsigned big numbers, 32-bit limbs, least significant first, no leading zero limb.
using Big = std::vector<std::uint32_t>;

Big times(const Big& n, std::uint64_t factor) {  // factor < 2^64, in two 32-bit halves
  Big product(n.size() + 3, 0);
  for (int half = 0; half < 2; ++half) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < n.size() || carry != 0; ++i) {
      carry += product[i + half] + (i < n.size() ? n[i] * (factor >> 32 * half & 0xFFFFFFFF) : 0);
      product[i + half] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
  }
  while (!product.empty() && product.back() == 0) product.pop_back();
  return product;
}

bool less(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

void subtract(Big& a, const Big& b) {  // a >= b
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    borrow += std::int64_t{a[i]} - (i < b.size() ? b[i] : 0);
    a[i] = static_cast<std::uint32_t>(borrow);
    borrow = borrow < 0 ? -1 : 0;
  }
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// The largest k <= limit with k * step < from (step < from); takes k * step from `from`.
std::uint64_t take(Big& from, const Big& step, std::uint64_t limit) {
  std::uint64_t low = 0;
  const std::size_t quotient_bits = std::min<std::size_t>(62, 32 * (from.size() - step.size() + 1));
  std::uint64_t high = std::min(limit, std::uint64_t{1} << quotient_bits);
  while (low < high) {
    const std::uint64_t middle = high - (high - low) / 2;
    if (less(times(step, middle), from)) low = middle;
    else high = middle - 1;
  }
  subtract(from, times(step, low));
  return low;
}

double log2_of(const Big& n) {  // n > 0
  double top = 0;
  for (std::size_t i = n.size(); i-- > 0 && i + 3 >= n.size();) top = top * 4294967296.0 + n[i];
  return std::log2(top) + 32.0 * static_cast<double>(n.size() - std::min<std::size_t>(n.size(), 3));
}

struct Nearest {
  double distance;  // log2 of 2z's distance from the nearest integer
  std::uint64_t bits;
  int t;
};

}  // namespace

int main() {
  const auto multiply_by = [](Big& n, std::uint64_t factor, int count) {
    for (int i = 0; i < count; ++i) n = times(n, factor);
  };
  double nearest = 0;  // of all, at nearest_m * 2^nearest_e and scale nearest_t
  std::uint64_t nearest_m = 0;
  int nearest_e = 0, nearest_t = 0;
  int too_near = 0, differences = 0;
  std::vector<Nearest> values;
  for (int e = -1074 - 52; e <= 1023 - 52; ++e) {
    const int estimate = ((e + 52) * 78913) >> 18;
    for (const int t : {16 - estimate, 15 - estimate}) {  // a binade's values may need either scale
      if (t >= 0 && t <= 55) continue;                     // exact powers: no error
      Big numerator{1}, denominator{1};
      multiply_by(t > 0 ? numerator : denominator, 5, std::abs(t));
      multiply_by(e + 1 + t > 0 ? numerator : denominator, 2, std::abs(e + 1 + t));
      Big below;  // numerator mod denominator, bit by bit
      for (std::size_t bit = 32 * numerator.size(); bit-- > 0;) {
        below = times(below, 2);
        if ((numerator[bit / 32] >> bit % 32 & 1) != 0) {
          if (below.empty()) below.push_back(1);
          else below[0] |= 1;
        }
        if (!less(below, denominator)) subtract(below, denominator);
      }
      Big above = denominator;
      subtract(above, below);
      std::uint64_t most = (std::uint64_t{1} << 53) - 1;  // every significand; past D the residues repeat
      if (denominator.size() == 1) most = std::min<std::uint64_t>(most, denominator[0] - 1);
      if (denominator.size() == 2) most = std::min(most, (denominator[0] | std::uint64_t{denominator[1]} << 32) - 1);
      std::uint64_t below_multiplier = 1, above_multiplier = 1;
      for (bool moved = true; moved;) {
        if (less(above, below)) {
          const std::uint64_t k = take(below, above, (most - below_multiplier) / above_multiplier);
          below_multiplier += k * above_multiplier;
          moved = k > 0;
        } else if (less(below, above)) {
          const std::uint64_t k = take(above, below, (most - above_multiplier) / below_multiplier);
          above_multiplier += k * below_multiplier;
          moved = k > 0;
        } else {
          moved = false;
        }
      }
      const std::pair<const Big*, std::uint64_t> sides[] = {{&below, below_multiplier}, {&above, above_multiplier}};
      for (const auto& [residue, m] : sides) {
        const double distance = residue->empty() ? -INFINITY : log2_of(*residue) - log2_of(denominator);
        if (distance < nearest) nearest = distance, nearest_m = m, nearest_e = e, nearest_t = t;
        if (distance <= -68) {
          ++too_near;
          std::printf("too near: %" PRIu64 " * 2^%d at scale %d, 2^%.1f from an integer\n", m, e, t, distance);
        }
        const double value = std::ldexp(static_cast<double>(m), e);
        if (value == 0 || std::ldexp(value, -e) != static_cast<double>(m)) continue;  // no binary64
        const auto bits = std::bit_cast<std::uint64_t>(value);
        char text[number_text::kMaxLength];
        const std::string fast(text, number_text::format_double(bits, text));
        if (fast != exact_text(value, 15)) {
          ++differences;
          std::printf("%016" PRIX64 ": %s, exact path %s\n", bits, fast.c_str(), exact_text(value, 15).c_str());
        }
        values.push_back({distance, bits, t});
      }
    }
  }
  // The nearest values at their own scale, where the 17-digit cut falls at the boundary found; and the nearest
  // of them whose text at precision 15 turns on that cut: a 4 before a half, which rounds to 5 or stays.
  const auto by_bits = [](const Nearest& a, const Nearest& b) { return a.bits < b.bits; };
  std::sort(values.begin(), values.end(), by_bits);
  const auto same = [](const Nearest& a, const Nearest& b) { return a.bits == b.bits; };
  values.erase(std::unique(values.begin(), values.end(), same), values.end());  // m * 2^e and 2m * 2^(e - 1)
  const auto nearer = [](const Nearest& a, const Nearest& b) { return a.distance < b.distance; };
  std::stable_sort(values.begin(), values.end(), nearer);
  std::printf("nearest binary64 values, their exact digits about the 17-digit cut, * where it turns the text:\n");
  int shown = 0, turning = 0;
  for (const Nearest& v : values) {
    char digits[40];
    const int exponent = exact_digits(std::bit_cast<double>(v.bits), digits, 40);
    const std::string_view after(digits + 17, 40 - 17);
    const bool turns = digits[16] == '4' && (after.starts_with("50000") || after.starts_with("49999"));
    if (16 - exponent != v.t || (shown >= 6 && (!turns || turning >= 6))) continue;
    char text[number_text::kMaxLength];
    const std::size_t length = number_text::format_double(v.bits, text);
    std::printf("15 %016" PRIX64 " %.*s   2^%.1f: %.17s|%.23s%s\n", v.bits, static_cast<int>(length), text,
                v.distance, digits, digits + 17, turns ? " *" : "");
    shown += 1;
    turning += turns ? 1 : 0;
    if (shown >= 6 && turning >= 6) break;
  }
  std::printf("nearest of all: 2z 2^%.1f from an integer (limit 2^-68) at %" PRIu64 " * 2^%d, scale %d\n", nearest,
              nearest_m, nearest_e, nearest_t);
  std::printf("%d too near, %zu distinct values formatted, %d differences\n", too_near, values.size(), differences);
  return too_near == 0 && differences == 0 ? 0 : 1;
}
