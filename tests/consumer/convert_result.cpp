// convert_result IN OUT: a result file converted with the floatdump library,
// as the README shows it.
#include <floatdump/floatdump.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  std::ifstream in(argv[1], std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};

  const floatdump::Result result = floatdump::convert(bytes);

  std::ofstream(argv[2], std::ios::binary) << result.output;
  std::cerr << result.diagnostics;  // calibration problems, and why a conversion stopped
  return result.outcome.status;
}
