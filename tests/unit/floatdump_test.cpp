#include "floatdump.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <string>

#include "output_capture.h"
#include "scanner.h"


namespace {

// A result file with every kind of text the rules tell apart, shuffled: whole
// fields and calibration lines, and loose marks, quotes, marker letters,
// CR, NUL and 8-bit bytes that may or may not make tokens with their
// neighbours.
std::string mixed_result_file(std::size_t size) {
  static constexpr std::string_view kPieces[] = {
      "F1 !DB0F4940!\n", "EF!40490FDB!\n", "F2 !182D4454FB210940!\n", "ED !400921FB54442D18!\n", "F1", "F2",
      "EF", "ED", "E", "F", "D", "1", "2", "\n", "\n", "\n", "\r\n", "\r", " ", " ", "  ", "x = ", "text",
      "(", "{", ")", "}", "]", "[", "!", "!", "'", "'", "\"", "\"", "0", "7", "A", "b", "f", "g",
      "!0000803F!", "!3FF0000000000000!", "!FFFF7F7F!", "!00000080!", "!db0f4940!", "(1A}", "{E]", "(F0)",
      "{12345678}", "'(1}'", "\"!0000803F!\"", "'a''b'", std::string_view("\0", 1), "\xff", "\x80",
  };
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::string text;
  while (text.size() < size) {
    text += kPieces[pick(random)];
  }
  return text;
}

struct Converted {
  std::string output;
  std::string diagnostics;
};

Converted run(Scanner scanner, const std::string& result_file) {
  const int fd = memfd_create("result", 0);
  EXPECT_EQ(static_cast<ssize_t>(result_file.size()), write(fd, result_file.data(), result_file.size()));
  lseek(fd, 0, SEEK_SET);
  Converted converted;
  converted.diagnostics = capture_output([&](TextOutput& diagnostics) {
    converted.output = capture_output([&](TextOutput& out) {
      TextInput in(fd);
      scan(scanner, in, out, diagnostics, "memory");
    });
  });
  close(fd);
  return converted;
}

// The hand-written scanner may not change one output byte or one matching
// decision of flex's.
TEST(Scanner, FileScannerMatchesFlex) {
  const std::string result_file = mixed_result_file(2 << 20);
  const Converted reference = run(kFlexScanner, result_file);
  ASSERT_GT(reference.output.size(), result_file.size() / 2);
  ASSERT_FALSE(reference.diagnostics.empty());
  const Converted fast = run(kFileScanner, result_file);
  EXPECT_TRUE(fast.output == reference.output);
  EXPECT_TRUE(fast.diagnostics == reference.diagnostics);
}

}  // namespace
