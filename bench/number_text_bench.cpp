// How many float fields per second become number text: "%.7E" of binary32
// and "%.15E" of binary64 values, median of several runs over random finite
// bit patterns (the mix a result file of measurements gives: every binade).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "number_text.h"

namespace {

constexpr std::size_t kValues = 1 << 20;
constexpr int kRuns = 9;

template <typename Word, typename Format>
double median_rate(const std::vector<Word>& values, Format format, std::uint64_t& checksum) {
  std::vector<double> rates;
  char text[number_text::kMaxLength];
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (Word bits : values) {
      const std::size_t length = format(bits, text);
      checksum += length + static_cast<unsigned char>(text[length - 5]);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    rates.push_back(static_cast<double>(values.size()) / seconds.count());
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

}  // namespace

int main() {
  std::mt19937_64 random(20240611);
  std::vector<std::uint32_t> singles;
  std::vector<std::uint64_t> doubles;
  while (singles.size() < kValues) {
    const auto bits = static_cast<std::uint32_t>(random());
    if ((bits & 0x7F800000) != 0x7F800000) singles.push_back(bits);
  }
  while (doubles.size() < kValues) {
    const std::uint64_t bits = random();
    if ((bits & 0x7FF0000000000000) != 0x7FF0000000000000) doubles.push_back(bits);
  }

  std::uint64_t checksum = 0;
  const double single_rate = median_rate(singles, number_text::format_single, checksum);
  const double double_rate = median_rate(doubles, number_text::format_double, checksum);
  std::printf("%%.7E : %6.2f million values/s (median of %d runs of %zu)\n", single_rate / 1e6,
              kRuns, kValues);
  std::printf("%%.15E: %6.2f million values/s (median of %d runs of %zu)\n", double_rate / 1e6,
              kRuns, kValues);
  std::printf("checksum %llu\n", static_cast<unsigned long long>(checksum));
}
