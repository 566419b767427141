// The command's reader and writer threads. Every result file goes through both over a pipe in the fuzz target's
// checks (floatdump_test.cpp); here, a failed write ends a conversion that waits on a silent pipe. Run under
// ThreadSanitizer too.
#include "threaded_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "floatdump.h"
#include "platform.h"

namespace {

// Takes nothing: every write fails as on a full disk.
class FullDisk final : public RawSink {
 public:
  std::ptrdiff_t write(const char*, std::size_t) override {
    errno = ENOSPC;
    return -1;
  }
};

// The line is converted and handed on at once, as a reader of a pipe waits for it; its write fails while the
// input stays open and silent, and the conversion must end with the message rather than wait on.
TEST(ThreadedIo, AFailedWriteEndsAConversionWaitingForInput) {
  int pipe[2];
  ASSERT_TRUE(platform::open_pipe(pipe));
  platform::write(pipe[1], "n = (1A}\n", 9);
  std::string messages;
  {
    ThreadedInput text(pipe[0]);
    FullDisk disk;
    ThreadedOutput converted(disk, [&text] { text.stop(); });
    StringSink messages_sink(messages);
    TextOutput diagnostics(messages_sink);
    EXPECT_EQ(2, convert(Scanner::kFile, text, converted, diagnostics, "'out'").status);
  }
  EXPECT_EQ("floatdump: error writing 'out': No space left on device\r\n", messages);
  platform::close(pipe[0]);
  platform::close(pipe[1]);
}

}  // namespace
