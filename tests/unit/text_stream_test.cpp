#include "text_stream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "output_capture.h"

namespace {

// What the fake descriptor returns, read by read: bytes, or an errno to fail with.
struct Step {
  std::string bytes;
  int error = 0;
};
std::vector<Step> script;
std::size_t next_step;

ssize_t scripted_read(int, void* buffer, std::size_t count) {
  if (next_step == script.size()) return 0;
  Step& step = script[next_step];
  if (step.error != 0) {
    ++next_step;
    errno = step.error;
    return -1;
  }
  const std::size_t n = std::min(count, step.bytes.size());
  step.bytes.copy(static_cast<char*>(buffer), n);
  step.bytes.erase(0, n);
  if (step.bytes.empty()) ++next_step;
  return static_cast<ssize_t>(n);
}

// Everything the scanner would be given, asking `max` bytes at a time; the
// text "<error>" marks a failed read.
std::string deliver(const std::vector<Step>& steps, std::size_t max) {
  script = steps;
  next_step = 0;
  TextInput in(-1, scripted_read);
  std::string delivered;
  std::vector<char> buffer(max);
  for (std::ptrdiff_t got; (got = in.read(buffer.data(), max)) != 0;) {
    if (got < 0) return delivered + "<error>";
    delivered.append(buffer.data(), static_cast<std::size_t>(got));
  }
  return delivered;
}

struct Case {
  std::vector<Step> reads;
  std::string delivered;
};

TEST(TextInput, FoldsCrLfAndStopsAtCtrlZ) {
  const Case cases[] = {
      {{{"a\r\nb\nc\rd"}}, "a\nb\nc\rd"},
      {{{"a\r"}, {"\nb\r"}}, "a\nb\r"},  // the pair split between reads; a CR last stays
      {{{"\r"}, {"\r"}, {"\n"}, {"\r"}}, "\r\n\r"},
      {{{"x\r\ny\x1az\r\n"}, {"never read"}}, "x\ny"},
      {{{"a\r"}, {"\x1a\n"}}, "a\r"},
      {{{std::string("nul\0\xff\r\n", 7)}}, std::string("nul\0\xff\n", 6)},
      {{{"", EINTR}, {"ab"}, {"", EINTR}, {"c"}}, "abc"},  // interrupted reads are retried
      {{{"ab"}, {"", EIO}, {"cd"}}, "ab<error>"},
  };
  for (const Case& c : cases)
    for (std::size_t max : {1, 2, 3, 8192}) EXPECT_EQ(c.delivered, deliver(c.reads, max)) << "max " << max;
}

TEST(TextInput, NothingIsReadAfterCtrlZ) {
  deliver({{"ab\x1a"}, {"cd"}}, 8192);
  EXPECT_EQ(1u, next_step);
}

TEST(TextOutput, WritesEveryLfAsCrLf) {
  EXPECT_EQ("a\r\nb\r\r\n\r\n\x1a\r", capture_output([](TextOutput& out) {
              out.write("a\nb\r\n");
              out.write("\n");
              out.write("\x1a\r");
            }));
  const std::string lines(300000, '\n');  // more than the buffer holds, all of it doubled
  std::string expected;
  for (int i = 0; i < 300000; ++i) expected += "\r\n";
  EXPECT_EQ(expected, capture_output([&](TextOutput& out) { out.write(lines); }));
}

}  // namespace
