// The text-mode streams: CR LF folded and 0x1A as end of text on reading, every LF as CR LF on writing.
#include "text_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <string>
#include <vector>

#include "scripted_device.h"

namespace {

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
      ScriptedDevice device(c.reads);
      TextInput in(device);
      std::string delivered;
      std::vector<char> buffer(max);
      std::ptrdiff_t got;
      while ((got = in.read(buffer.data(), max)) > 0) delivered.append(buffer.data(), static_cast<std::size_t>(got));
      EXPECT_EQ(c.delivered, got < 0 ? delivered + "<error>" : delivered) << "max " << max;
    }
}

TEST(TextOutput, WritesEveryLfAsCrLf) {
  std::string written;
  StringSink sink(written);
  TextOutput out(sink);
  for (const char* text : {"a\nb\r\n", "\n", "\x1a\r"}) out.write(text);
  out.write(std::string(300000, '\n'));  // more than a block holds, all of it doubled
  out.flush();
  std::string expected = "a\r\nb\r\r\n\r\n\x1a\r";
  for (int i = 0; i < 300000; ++i) expected += "\r\n";
  EXPECT_EQ(expected, written);
}

// A block goes out whole through partial and interrupted writes; a failure keeps what went before it and drops
// all after, and a device that takes nothing is a failure, not a loop.
TEST(WritingSink, GoesOnAfterPartialWritesUntilOneFails) {
  const struct {
    std::vector<std::string> steps;
    std::string written;
    int error;
  } cases[] = {
      {{"1", "EINTR", "3", "EINTR"}, "abc\r\ndef" "more\r\n", 0},
      {{"5", "ENOSPC", "7"}, "abc\r\n", ENOSPC},
      {{"4", "0"}, "abc\r", EIO},
  };
  for (const auto& c : cases) {
    ScriptedDevice device(c.steps);
    WritingSink sink(device);
    TextOutput out(sink);
    out.write("abc\ndef");
    out.flush();
    out.write("more\n");
    EXPECT_EQ(c.error == 0, out.flush());
    EXPECT_EQ(c.error, out.error());
    EXPECT_EQ(c.written, device.written);
  }
}

}  // namespace
