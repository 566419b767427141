// How fast the library converts a result file held in memory, against the
// command converting the same file from file to file: medians of several
// runs, each of the command from no output file. The library is timed twice:
// convert(bytes), whose result is new memory each time, and the streaming
// convert into a string whose memory the runs before have written already,
// which shows what the first write to each new page costs. Figures only.
//   library_bench FLOATDUMP CORPUS [RUNS]
#include <floatdump/floatdump.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The corpus, and a string that keeps its memory from one conversion to the next.
class Bytes final : public floatdump::Input {
 public:
  explicit Bytes(std::string_view bytes) : rest_(bytes) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t n = rest_.copy(buffer, size);
    rest_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view rest_;
};

class Kept final : public floatdump::Output {
 public:
  int write(const char* data, std::size_t size) override {
    text.append(data, size);
    return 0;
  }
  std::string text;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: library_bench FLOATDUMP CORPUS [RUNS]\n");
    return 1;
  }
  const std::string command = argv[1], corpus = argv[2], out = corpus + ".library_bench.out";
  const int runs = argc > 3 ? std::atoi(argv[3]) : 7;
  std::ifstream file(corpus, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};

  std::vector<double> library, reused, from_files;
  Kept kept, diagnostics;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    const floatdump::Result result = floatdump::convert(bytes);
    library.push_back(seconds_since(start));
    if (result.outcome.status != 0) return 2;

    Bytes in(bytes);
    kept.text.clear();
    start = std::chrono::steady_clock::now();
    if (floatdump::convert(in, kept, diagnostics).status != 0) return 2;
    reused.push_back(seconds_since(start));

    std::remove(out.c_str());
    start = std::chrono::steady_clock::now();
    if (std::system(("'" + command + "' '" + corpus + "' '" + out + "' 2>/dev/null").c_str()) != 0) return 2;
    from_files.push_back(seconds_since(start));
  }
  std::remove(out.c_str());
  const double mb = static_cast<double>(bytes.size()) / 1e6, command_time = median(from_files);
  std::printf("%s: %.0f MB, medians of %d runs\n", corpus.c_str(), mb, runs);
  std::printf("  command, file to file:            %.3f s  %5.0f MB/s\n", command_time, mb / command_time);
  for (const auto& [form, times] : {std::pair{"convert(bytes), new memory:       ", library},
                                    std::pair{"streaming, into memory written:   ", reused}})
    std::printf("  library, %s%.3f s  %5.0f MB/s  %.2f of the command's time\n", form, median(times),
                mb / median(times), median(times) / command_time);
}
