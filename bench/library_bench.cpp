// How fast the library converts a result file held in memory, against the
// command converting the same file from file to file: medians of several
// runs, each of the command from no output file. Figures only.
//   library_bench FLOATDUMP CORPUS [RUNS]
#include <floatdump/floatdump.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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

  std::vector<double> library, from_files;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    const floatdump::Result result = floatdump::convert(bytes);
    library.push_back(seconds_since(start));
    if (result.outcome.status != 0) return 2;

    std::remove(out.c_str());
    start = std::chrono::steady_clock::now();
    if (std::system(("'" + command + "' '" + corpus + "' '" + out + "' 2>/dev/null").c_str()) != 0) return 2;
    from_files.push_back(seconds_since(start));
  }
  std::remove(out.c_str());
  const double mb = static_cast<double>(bytes.size()) / 1e6, in_memory = median(library), command_time = median(from_files);
  std::printf("%s: %.0f MB; library in memory %.3f s (%.0f MB/s), command file to file %.3f s (%.0f MB/s); "
              "library / command time %.2f (medians of %d)\n",
              corpus.c_str(), mb, in_memory, mb / in_memory, command_time, mb / command_time, in_memory / command_time,
              runs);
}
