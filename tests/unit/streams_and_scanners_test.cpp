// The text-mode streams and the two dump scanners above them, in process.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "../scratch_file.h"
#include "scanner.h"
#include "text_stream.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Set in a death test's child: operator new then fails, as once memory has run out (the scanners use malloc).
bool new_fails = false;

void* operator new(std::size_t size) {
  if (!new_fails)
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);  // tests/fuzz/convert_fuzz.cpp

namespace {

// What the fake device returns, read by read: bytes, or a failure, "EINTR" or "EIO"; after the last, end of input.
std::vector<std::string> script;
std::size_t next_step;

ssize_t scripted_read(int, void* buffer, std::size_t count) {
  if (next_step == script.size()) return 0;
  std::string& step = script[next_step];
  if (step == "never read") ADD_FAILURE() << "read on after Ctrl-Z";
  if (step == "EINTR" || step == "EIO") {
    errno = step == "EIO" ? EIO : EINTR;
    ++next_step;
    return -1;
  }
  const std::size_t n = std::min(count, step.size());
  step.copy(static_cast<char*>(buffer), n);
  step.erase(step.begin(), step.begin() + static_cast<std::ptrdiff_t>(n));
  if (step.empty()) ++next_step;
  return static_cast<ssize_t>(n);
}

TEST(TextInput, FoldsCrLfAndStopsAtCtrlZ) {
  const struct {
    std::vector<std::string> reads;
    std::string delivered;
  } cases[] = {
      {{"a\r\nb\nc\rd"}, "a\nb\nc\rd"},
      {{"a\r", "\nb\r"}, "a\nb\r"},  // the pair split between reads; a CR last stays
      {{"\r", "\r", "\n", "\r"}, "\r\n\r"},
      {{"x\r\ny\x1az\r\n", "never read"}, "x\ny"},
      {{"ab\x1a", "never read"}, "ab"},
      {{"a\r", "\x1a\n"}, "a\r"},
      {{std::string("nul\0\xff\r\n", 7)}, std::string("nul\0\xff\n", 6)},
      {{"EINTR", "ab", "EINTR", "c"}, "abc"},  // interrupted reads are retried
      {{"ab", "EIO", "cd"}, "ab<error>"},
  };
  // Everything the scanner would be given, asking `max` bytes at a time; "<error>" marks a failed read.
  for (const auto& c : cases)
    for (std::size_t max : {1, 2, 3, 8192}) {
      script = c.reads;
      next_step = 0;
      TextInput in(-1, scripted_read);
      std::string delivered;
      std::vector<char> buffer(max);
      std::ptrdiff_t got;
      while ((got = in.read(buffer.data(), max)) > 0) delivered.append(buffer.data(), static_cast<std::size_t>(got));
      EXPECT_EQ(c.delivered, got < 0 ? delivered + "<error>" : delivered) << "max " << max;
    }
}

TEST(TextOutput, WritesEveryLfAsCrLf) {
  std::FILE* const file = scratch_file();
  TextOutput out(fileno(file));
  for (const char* text : {"a\nb\r\n", "\n", "\x1a\r"}) out.write(text);
  out.write(std::string(300000, '\n'));  // more than the buffer holds, all of it doubled
  out.flush();
  std::string expected = "a\r\nb\r\r\n\r\n\x1a\r";
  for (int i = 0; i < 300000; ++i) expected += "\r\n";
  EXPECT_EQ(expected, contents(file));
  std::fclose(file);
}

// The fuzz target's checks on every end-to-end case: flex's scanner, which reads terminals, writes the same
// output and messages as the hand-written one, which the command uses on these files. A failed check aborts.
TEST(Scanners, AgreeOnEveryCase) {
  for (const auto& entry : std::filesystem::directory_iterator(FLOATDUMP_TESTS "/e2e/cases")) {
    if (entry.path().extension() != ".in") continue;
    std::printf("%s\n", entry.path().filename().string().c_str());
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
}

// A fatal failure ends a child process with status 2, the message and CR LF on standard error, and an output
// holding exactly what was converted before it.
TEST(ScannerFailure, EndsWithStatus2AndKeepsTheConvertedText) {
#if GTEST_OS_WINDOWS
  GTEST_SKIP() << "a death test's child on Windows is a new process: it cannot write the parent's output file";
#endif
  const std::string kNoMemory = "out of dynamic memory in yy_create_buffer()";
  const std::string kOverflow = "fatal error - scanner input buffer overflow";
  const std::string kReadFailed = "input in flex scanner failed";
  const std::string kLines = "F1 !DB0F4940!\nn = (1A} x = !0000803F!\n";
  const std::string kConverted = "n = 161 x = 1.0000000E+000\r\n";
  // kLines, then one token of `length` characters on a line.
  const auto long_token = [&](std::size_t length) { return kLines + "'" + std::string(length - 2, 'x') + "'\n"; };
  const struct {
    const char* what;
    std::vector<Scanner> scanners;
    int failing_allocation;  // 0: none
    std::vector<std::string> reads;
    std::string message;
    std::string output;  // what the output must hold afterwards
  } failures[] = {
      // flex starts with three allocations: the buffer stack, the buffer and its characters.
      {"buffer stack", {kFlexScanner}, 1, {kLines}, kNoMemory, ""},
      {"buffer record", {kFlexScanner}, 2, {kLines}, kNoMemory, ""},
      {"buffer characters", {kFlexScanner}, 3, {kLines}, kNoMemory, ""},
      {"buffer", {kFileScanner}, 1, {kLines}, kNoMemory, ""},
      // flex's buffer holds 16384 characters, the hand-written one's 65536;
      // each doubles when a token fills it.
      {"first growth", {kFlexScanner}, 4, {long_token(20000)}, kOverflow, kConverted},
      {"second growth", {kFlexScanner}, 5, {long_token(40000)}, kOverflow, kConverted},
      {"first growth", {kFileScanner}, 2, {long_token(80000)}, kOverflow, kConverted},
      {"second growth", {kFileScanner}, 3, {long_token(140000)}, kOverflow, kConverted},
      // A failed read ends the input: the pending (2 is plain text then.
      {"failing device", {kFlexScanner, kFileScanner}, 0, {kLines + "m = (2", "EIO"}, kReadFailed,
       kConverted + "m = (2"},
      {"failing device after a field", {kFlexScanner, kFileScanner}, 0, {"(1}", "EIO"}, kReadFailed, "1"},
      {"failing device after plain text", {kFileScanner}, 0, {std::string(20000, 'y'), "EIO"}, kReadFailed,
       std::string(20000, 'y')},
      {"failing device at once", {kFlexScanner, kFileScanner}, 0, {"EIO"}, kReadFailed, ""},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.what);
    for (const Scanner scanner : f.scanners) {
      script = f.reads;
      next_step = 0;
      std::FILE* const out_file = scratch_file();
      EXPECT_EXIT(
          {
#if defined(__SANITIZE_ADDRESS__)
            // flex drops the blocks it was building when it gives up; the process ends there.
            __lsan_disable();
#endif
            TextInput in(-1, scripted_read);
            TextOutput out(fileno(out_file));
            TextOutput errors(platform::kStandardError, /*unbuffered=*/true);
            scanner_fail_allocation(f.failing_allocation);
            new_fails = true;  // reporting a failure needs no memory
            scan(scanner, in, out, errors, "memory");
          },
          testing::ExitedWithCode(2), testing::Eq(f.message + "\r\n"));
      EXPECT_EQ(f.output, contents(out_file));
      std::fclose(out_file);
    }
  }
}

}  // namespace
