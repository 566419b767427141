// Every result file of the end-to-end cases through every way in: the library's calls, in memory and as a stream
// read in small pieces, give its .expected output and its .stderr diagnostics, and the fuzz target's checks hold
// (flex's scanner and the command's reader and writer threads over a pipe give the same); failures give the
// command's status and message, with what was converted before them.
#include "floatdump/floatdump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);  // tests/fuzz/convert_fuzz.cpp

namespace {

const std::filesystem::path kCases = FLOATDUMP_TESTS "/e2e/cases";

std::string bytes_of(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// The bytes in pieces of 1 to 7 bytes, then a failure after `fail_after` bytes if that is less than their size.
class Pieces final : public floatdump::Input {
 public:
  explicit Pieces(std::string bytes, std::size_t fail_after = std::string::npos)
      : bytes_(std::move(bytes)), fail_after_(fail_after) {}
  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    if (at_ >= fail_after_) return -1;
    const std::size_t n = std::min({size, bytes_.size() - at_, 1 + at_ % 7, fail_after_ - at_});
    std::copy_n(bytes_.data() + at_, n, buffer);
    at_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string bytes_;
  std::size_t fail_after_;
  std::size_t at_ = 0;
};

// Keeps what it takes; fails with `error` once it holds more than `room` bytes.
class Kept final : public floatdump::Output {
 public:
  explicit Kept(std::size_t room = std::string::npos, int error = 0) : room_(room), error_(error) {}
  int write(const char* data, std::size_t size) override {
    if (size > room_ - bytes.size()) return error_;
    bytes.append(data, size);
    return 0;
  }
  std::string bytes;

 private:
  std::size_t room_;
  int error_;
};

TEST(EveryCase, GivesTheCommandsBytesEveryWayIn) {
  for (const auto& entry : std::filesystem::directory_iterator(kCases)) {
    if (entry.path().extension() != ".in") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string input = bytes_of(entry.path());
    const std::string expected = bytes_of(std::filesystem::path(entry.path()).replace_extension(".expected"));
    const std::string diagnostics = bytes_of(std::filesystem::path(entry.path()).replace_extension(".stderr"));

    const floatdump::Result result = floatdump::convert(input);
    EXPECT_TRUE(result.output == expected) << "in memory";
    EXPECT_EQ(diagnostics, result.diagnostics);
    EXPECT_EQ(0, result.outcome.status);

    Pieces in(input);
    Kept out, messages;
    EXPECT_EQ(0, floatdump::convert(in, out, messages).status);
    EXPECT_TRUE(out.bytes == expected) << "as a stream";
    EXPECT_EQ(diagnostics, messages.bytes);

    std::printf("%s\n", entry.path().filename().string().c_str());  // a failed check aborts: this names the case
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
}

TEST(Library, FailuresGiveTheCommandsStatusAndMessage) {
  const std::string lines = "F1 !DB0F4940! !DB0F4940!\nn = (1A}\n";
  const std::string conflicts =
      "conflit dans le reorder octet 0 et octet 0\r\nconflit dans le reorder octet 1 et octet 1\r\n"
      "conflit dans le reorder octet 2 et octet 2\r\nconflit dans le reorder octet 3 et octet 3\r\n";
  const struct {
    const char* what;
    std::size_t fail_after;  // bytes the input gives before its read fails
    std::size_t room;        // bytes the output takes before its write fails
    std::string output, message;
  } failures[] = {
      {"a read fails", lines.size() + 5, std::string::npos, "n = 161\r\nm = (", "input in flex scanner failed"},
      {"a write fails", std::string::npos, 4, "", "floatdump: error writing 'out': No space left on device"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.what);
    Pieces in(lines + "m = (2}\n", f.fail_after);
    Kept out(f.room, ENOSPC), messages;
    const floatdump::Outcome outcome = floatdump::convert(in, out, messages, "'out'");
    EXPECT_EQ(2, outcome.status);
    EXPECT_EQ(f.message, outcome.message);
    EXPECT_EQ(conflicts + f.message + "\r\n", messages.bytes);
    EXPECT_EQ(f.output, out.bytes);
  }
}

}  // namespace
