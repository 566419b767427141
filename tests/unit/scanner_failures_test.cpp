// The scanners' fatal failures, each in a child process: exit status 2, the
// message and CR LF on standard error, and an output that holds exactly the
// text converted before the failure.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "output_capture.h"
#include "scanner.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Set in a death test's child: from then on operator new fails, as it does
// once memory has run out. The scanner allocates with malloc, through hooks
// of its own.
bool new_fails = false;

void* operator new(std::size_t size) {
  if (!new_fails)
    if (void* block = std::malloc(size != 0 ? size : 1)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

// A device that delivers what the file holds and then fails instead of
// reporting its end.
ssize_t read_then_fail(int fd, void* buffer, std::size_t count) {
  const ssize_t got = ::read(fd, buffer, count);
  if (got != 0) return got;
  errno = EIO;
  return -1;
}

// One token of `length` characters.
std::string quoted_text(std::size_t length) {
  std::string text(length, 'x');
  text.front() = text.back() = '\'';
  return text;
}

struct Failure {
  const char* what;
  Scanner scanner;
  std::string input;
  int failing_allocation;  // 0: none
  RawRead raw_read;        // nullptr: read(2)
  std::string message;
  std::string output;  // what the output must hold afterwards
};

TEST(ScannerFailure, EndsWithStatus2AndKeepsTheConvertedText) {
  const std::string kNoMemory = "out of dynamic memory in yy_create_buffer()";
  const std::string kOverflow = "fatal error - scanner input buffer overflow";
  const std::string kReadFailed = "input in flex scanner failed";
  const std::string kLines = "F1 !DB0F4940!\nn = (1A} x = !0000803F!\n";
  const std::string kConverted = "n = 161 x = 1.0000000E+000\r\n";
  const Failure failures[] = {
      // flex starts with three allocations: the buffer stack, the buffer and its characters.
      {"buffer stack", kFlexScanner, kLines, 1, nullptr, kNoMemory, ""},
      {"buffer record", kFlexScanner, kLines, 2, nullptr, kNoMemory, ""},
      {"buffer characters", kFlexScanner, kLines, 3, nullptr, kNoMemory, ""},
      {"buffer", kFileScanner, kLines, 1, nullptr, kNoMemory, ""},
      // flex's buffer holds 16384 characters, the hand-written one's 65536;
      // each doubles when a token fills it.
      {"first growth", kFlexScanner, kLines + quoted_text(20000) + "\n", 4, nullptr, kOverflow, kConverted},
      {"second growth", kFlexScanner, kLines + quoted_text(40000) + "\n", 5, nullptr, kOverflow, kConverted},
      {"first growth", kFileScanner, kLines + quoted_text(80000) + "\n", 2, nullptr, kOverflow, kConverted},
      {"second growth", kFileScanner, kLines + quoted_text(140000) + "\n", 3, nullptr, kOverflow, kConverted},
      // A failed read ends the input: the pending (2 is plain text then.
      {"failing device", kFlexScanner, kLines + "m = (2", 0, read_then_fail, kReadFailed, kConverted + "m = (2"},
      {"failing device", kFileScanner, kLines + "m = (2", 0, read_then_fail, kReadFailed, kConverted + "m = (2"},
      {"failing device after a field", kFlexScanner, "(1}", 0, read_then_fail, kReadFailed, "1"},
      {"failing device after a field", kFileScanner, "(1}", 0, read_then_fail, kReadFailed, "1"},
      {"failing device after plain text", kFileScanner, std::string(20000, 'y'), 0, read_then_fail, kReadFailed,
       std::string(20000, 'y')},
      {"failing device at once", kFlexScanner, "", 0, read_then_fail, kReadFailed, ""},
      {"failing device at once", kFileScanner, "", 0, read_then_fail, kReadFailed, ""},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.what);
    const int in_fd = memory_file(f.input);
    const int out_fd = memory_file("");
    EXPECT_EXIT(
        {
#if defined(__SANITIZE_ADDRESS__)
          // flex drops the blocks it was building when it gives up; the process ends there.
          __lsan_disable();
#endif
          TextInput in(in_fd, f.raw_read);
          TextOutput out(out_fd);
          TextOutput errors(STDERR_FILENO, /*unbuffered=*/true);
          scanner_fail_allocation(f.failing_allocation);
          new_fails = true;  // reporting a failure needs no memory
          scan(f.scanner, in, out, errors, "memory");
        },
        testing::ExitedWithCode(2), testing::Eq(f.message + "\r\n"));
    EXPECT_EQ(f.output, contents(out_fd));
    close(in_fd);
    close(out_fd);
  }
}

}  // namespace
