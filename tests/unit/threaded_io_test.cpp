// Whole conversions through the command's reader and writer threads, over pipes: the bytes of every result file
// arrive in random short writes with pauses, and come out as they do from a file; a failed write ends a
// conversion that waits on a silent pipe. Run under ThreadSanitizer too.
#include "threaded_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "floatdump.h"
#include "platform.h"

namespace {

const std::filesystem::path kCases = FLOATDUMP_TESTS "/e2e/cases";

std::string bytes_of(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// A pipe whose ends close with it, unless taken.
struct Pipe {
  Pipe() { EXPECT_TRUE(platform::open_pipe(ends)); }
  ~Pipe() {
    for (int end : ends)
      if (end >= 0) platform::close(end);
  }
  void close_write_end() {
    platform::close(ends[1]);
    ends[1] = -1;
  }
  int ends[2] = {-1, -1};
};

TEST(ThreadedIo, PipesGiveTheBytesOfFiles) {
  std::mt19937 random(20261207);
  for (const auto& entry : std::filesystem::directory_iterator(kCases)) {
    if (entry.path().extension() != ".in") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string input = bytes_of(entry.path());
    const auto expected = [&](const char* extension) { return bytes_of(std::filesystem::path(entry.path()).replace_extension(extension)); };
    Pipe in, out;
    std::string output;
    std::thread writer([&, seed = random()] {  // short writes, now and then a pause that leaves the reader waiting
      std::mt19937 pieces(seed);
      for (std::size_t at = 0; at < input.size();) {
        const std::size_t n = std::min<std::size_t>(input.size() - at, 1 + pieces() % 3000);
        platform::write(in.ends[1], input.data() + at, n);
        at += n;
        if (pieces() % 8 == 0) std::this_thread::sleep_for(std::chrono::microseconds(pieces() % 500));
      }
      in.close_write_end();
    });
    std::thread reader([&] {
      char block[4096];
      for (std::ptrdiff_t got; (got = platform::read(out.ends[0], block, sizeof block)) > 0;)
        output.append(block, static_cast<std::size_t>(got));
    });
    std::string messages;
    int status;
    {
      ThreadedInput text(in.ends[0]);
      platform::Descriptor out_file(out.ends[1]);
      ThreadedOutput converted(out_file);
      StringSink messages_sink(messages);
      TextOutput diagnostics(messages_sink);
      status = convert(Scanner::kFile, text, converted, diagnostics, "out").status;
    }
    out.close_write_end();
    writer.join();
    reader.join();
    EXPECT_EQ(0, status);
    EXPECT_TRUE(output == expected(".expected")) << "the converted text differs";
    EXPECT_EQ(expected(".stderr"), messages);
  }
}

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
  Pipe in;
  platform::write(in.ends[1], "n = (1A}\n", 9);
  ThreadedInput text(in.ends[0]);
  FullDisk disk;
  ThreadedOutput converted(disk, [&text] { text.stop(); });
  std::string messages;
  StringSink messages_sink(messages);
  TextOutput diagnostics(messages_sink);
  EXPECT_EQ(2, convert(Scanner::kFile, text, converted, diagnostics, "'out'").status);
  EXPECT_EQ("floatdump: error writing 'out': No space left on device\r\n", messages);
}

}  // namespace
