// Every one of the 2^32 single-precision float fields through format_single,
// checked against a slow exact path: glibc's printf, rounding toward zero,
// gives the first 18 significant digits of the exact value, which are then
// rounded half up to 17 and again to 8 by string. Not run by the tests: it
// takes about twenty minutes on two shared cores.
//   number_text_sweep [first last]   (hex bit patterns, default all)
#include <atomic>
#include <bit>
#include <cfenv>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "number_text.h"

namespace {

constexpr int kSlowLength = 48;  // room for any snprintf below

// Keeps `count` digits of `digits`, adding one to the last when the next is 5 or more.
int round_half_up(char* digits, int count) {
  const bool up = digits[count] >= '5';
  digits[count] = '\0';
  if (!up) return 0;
  int i = count - 1;
  while (i >= 0 && digits[i] == '9') digits[i--] = '0';
  if (i >= 0) {
    ++digits[i];
    return 0;
  }
  digits[0] = '1';
  return 1;  // one more digit: the exponent goes up
}

// "%.7E" of the binary32 `bits` the slow way; needs FE_TOWARDZERO.
void slow_single(std::uint32_t bits, char* out) {
  const bool negative = bits >> 31;
  const std::uint32_t exponent = bits >> 23 & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  if (exponent == 0xFF) {
    const char* text = fraction == 0                      ? "1.#INF000E+000"
                       : negative && fraction == 0x400000 ? "1.#IND000E+000"
                                                          : "1.#QNAN00E+000";
    std::snprintf(out, kSlowLength, "%s%s", negative ? "-" : "", text);
    return;
  }
  if ((bits & 0x7FFFFFFF) == 0) {
    std::strcpy(out, "0.0000000E+000");
    return;
  }
  char exact[40];  // d.ddddddddddddddddde±ddd, cut (not rounded) after 18 digits
  const float magnitude = std::bit_cast<float>(bits & 0x7FFFFFFF);
  std::snprintf(exact, sizeof exact, "%.17e", static_cast<double>(magnitude));
  char digits[20];
  digits[0] = exact[0];
  std::memcpy(digits + 1, exact + 2, 17);
  int decimal_exponent = std::atoi(exact + 20);
  decimal_exponent += round_half_up(digits, 17);
  decimal_exponent += round_half_up(digits, 8);
  std::snprintf(out, kSlowLength, "%s%c.%sE%c%03d", negative ? "-" : "", digits[0], digits + 1,
                decimal_exponent < 0 ? '-' : '+', std::abs(decimal_exponent));
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t first = 0;
  std::uint64_t last = 0xFFFFFFFF;
  if (argc == 3) {
    first = std::strtoull(argv[1], nullptr, 16);
    last = std::strtoull(argv[2], nullptr, 16);
  }
  std::atomic<std::uint64_t> differences{0};
  std::mutex print;
  const auto sweep = [&](std::uint64_t from, std::uint64_t to) {
    std::fesetround(FE_TOWARDZERO);  // per thread
    std::uint64_t local = 0;
    char fast[number_text::kMaxLength + 1];
    char slow[kSlowLength];
    for (std::uint64_t bits = from; bits <= to; ++bits) {
      fast[number_text::format_single(static_cast<std::uint32_t>(bits), fast)] = '\0';
      slow_single(static_cast<std::uint32_t>(bits), slow);
      if (std::strcmp(fast, slow) != 0 && ++local <= 10) {
        const std::lock_guard lock(print);
        std::printf("%08" PRIX64 ": %s, exact path %s\n", bits, fast, slow);
      }
    }
    differences += local;
  };
  const auto start = std::chrono::steady_clock::now();
  const std::uint64_t middle = first + (last - first) / 2;
  std::thread other(sweep, middle + 1, last);
  sweep(first, middle);
  other.join();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%" PRIu64 " bit patterns %08" PRIX64 "..%08" PRIX64 ": %" PRIu64
              " differences, %.1f s on 2 threads\n",
              last - first + 1, first, last, differences.load(), seconds.count());
  return differences == 0 ? 0 : 1;
}
