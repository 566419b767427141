// flex's scanner, which reads terminals, converts every end-to-end case to
// the same bytes as the command does with the hand-written scanner.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output_capture.h"
#include "scanner.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();  // empty when there is no such file
}

TEST(FlexScanner, ConvertsEveryCaseAsTheCommandDoes) {
  for (const auto& entry : std::filesystem::directory_iterator(FLOATDUMP_TESTS "/e2e/cases")) {
    std::filesystem::path c = entry.path();
    if (c.extension() != ".in") continue;
    SCOPED_TRACE(c.filename());
    const int fd = memory_file(read_file(c));
    std::string output;
    const std::string diagnostics = capture_output([&](TextOutput& errors) {
      output = capture_output([&](TextOutput& out) {
        TextInput in(fd);
        scan(kFlexScanner, in, out, errors, "memory");
      });
    });
    close(fd);
    EXPECT_TRUE(output == read_file(c.replace_extension(".expected")));
    EXPECT_TRUE(diagnostics == read_file(c.replace_extension(".stderr")));
  }
}

}  // namespace
