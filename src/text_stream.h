// The text mode of result files, done here the same on every platform (the
// C runtime's own is never used): the result file is read with CR LF folded
// to LF and 0x1A as end of text; everything written reaches its file with
// each LF as CR LF. TextOutput owns that rule: write() applies it,
// and the two faster ways in take only text that already follows it
// (checked in builds with assertions).
#pragma once

#include <cassert>

#include <cstddef>
#include <cstring>
#include <string_view>

// Ctrl-Z: in a file or pipe, the end of the text.
inline constexpr char kEndOfText = 0x1A;

// The system call that fetches raw bytes; tests put a failing one in its place.
using RawRead = std::ptrdiff_t (*)(int fd, void* buffer, std::size_t count);

class TextInput {
 public:
  // Reads descriptor `fd`; a terminal is read one character at a time.
  explicit TextInput(int fd, RawRead raw_read = nullptr);

  // Delivers at most `max` folded bytes into `buffer` (max >= 1): the count,
  // 0 at end of input, or -1 with errno set when reading fails. An
  // interrupted read is retried. From a terminal, at most one line.
  std::ptrdiff_t read(char* buffer, std::size_t max);

  bool interactive() const { return interactive_; }

 private:
  std::ptrdiff_t read_block(char* buffer, std::size_t max);
  std::ptrdiff_t read_line(char* buffer, std::size_t max);
  bool refill();  // false with errno set on a read failure
  int next_byte();  // the next raw byte, -1 at end of input, -2 on failure

  static constexpr std::size_t kRawSize = 64 * 1024;
  int fd_;
  RawRead raw_read_;
  bool interactive_;
  bool source_done_ = false;  // end of file, or a 0x1A seen: never read again
  std::size_t pos_ = 0;       // raw_[pos_, end_) is read but not yet delivered
  std::size_t end_ = 0;
  char raw_[kRawSize];
};

class TextOutput {
 public:
  // Writes descriptor `fd`, in blocks, and whatever is buffered at flush().
  explicit TextOutput(int fd);

  // Appends `text`, each LF as CR LF. After a failure, text is dropped.
  void write(std::string_view text) {
    // Most texts are a token short enough to copy here with no loop: a
    // line's LF, if any, is its last byte.
    const std::size_t n = text.size();
    if (n == 0) return;
    if (n <= kShortText && kBufferSize - used_ > kShortText) {
      const std::size_t body = n - (n > 0 && text[n - 1] == '\n');
      if (std::memchr(text.data(), '\n', body) == nullptr) {
        std::memcpy(buffer_ + used_, text.data(), body);
        used_ += body;
        if (body < n) {
          buffer_[used_++] = '\r';
          buffer_[used_++] = '\n';
        }
        return;
      }
    }
    write_long(text);
  }

  // Appends `text`, which holds no LF, as it stands.
  void write_plain(std::string_view text) {
    assert(text.find('\n') == std::string_view::npos);
    if (text.size() <= kBufferSize - used_) {
      std::memcpy(buffer_ + used_, text.data(), text.size());
      used_ += text.size();
      return;
    }
    write_long(text);
  }

  // Appends, as they stand, the bytes `format(place)` writes at `place` and
  // returns the count of: at most `max` of them, each LF already after its
  // CR. The text is made in place, never copied.
  template <typename Format>
  void write_formatted(std::size_t max, Format format) {
    if (kBufferSize - used_ < max) drain();
    const std::size_t length = format(buffer_ + used_);
    assert(length <= max && each_lf_after_cr({buffer_ + used_, length}));
    used_ += length;
  }

  // Hands everything buffered to the descriptor; false once anything failed.
  bool flush();

  // errno of the first failed write, 0 while none failed.
  int error() const { return error_; }

 private:
  void write_long(std::string_view text);
  void drain();
  static bool each_lf_after_cr(std::string_view text);

  static constexpr std::size_t kBufferSize = 64 * 1024;
  static constexpr std::size_t kShortText = 32;
  int fd_;
  int error_ = 0;
  std::size_t used_ = 0;
  char buffer_[kBufferSize];
};
