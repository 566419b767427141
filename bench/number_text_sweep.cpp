// Every one of the 2^32 single-precision float fields through format_single,
// checked against the slow exact path of exact_text.h. Not run by the tests:
// it takes about forty minutes on two shared cores.
//   number_text_sweep [first last]   (hex bit patterns, default all)
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "exact_text.h"
#include "number_text.h"

namespace {

// "%.7E" of the binary32 `bits` the slow way.
std::string slow_single(std::uint32_t bits) {
  if ((bits & 0x7F800000) != 0x7F800000) return exact_text(std::bit_cast<float>(bits), 7);
  const bool negative = bits >> 31;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  std::string text = negative ? "-" : "";
  return text += fraction == 0                      ? "1.#INF000E+000"
                 : negative && fraction == 0x400000 ? "1.#IND000E+000"
                                                    : "1.#QNAN00E+000";
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
    std::uint64_t local = 0;
    char text[number_text::kMaxLength];
    for (std::uint64_t bits = from; bits <= to; ++bits) {
      const std::string_view fast(text, number_text::format_single(static_cast<std::uint32_t>(bits), text));
      const std::string slow = slow_single(static_cast<std::uint32_t>(bits));
      if (fast != slow && ++local <= 10) {
        const std::lock_guard lock(print);
        std::printf("%08" PRIX64 ": %.*s, exact path %s\n", bits, static_cast<int>(fast.size()), fast.data(), slow.c_str());
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
