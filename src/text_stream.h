// The text mode of result files, done here the same on every platform (the
// C runtime's own is never used): the result file is read with CR LF folded
// to LF and 0x1A as end of text; everything written reaches its file with
// each LF as CR LF. A conversion reads through a TextSource and writes
// through a TextOutput, which hands its text to a Sink a block at a time:
// that is the seam where the command puts threads to read and write.
#pragma once

#include <cassert>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Ctrl-Z: in a file or pipe, the end of the text.
inline constexpr char kEndOfText = 0x1A;

// Raw bytes as the result file holds them, with POSIX read's contract: the
// count (at most `max`, max >= 1), 0 at the end, or -1 with errno set,
// EINTR included (the caller retries).
class RawSource {
 public:
  virtual ~RawSource() = default;
  virtual std::ptrdiff_t read(char* buffer, std::size_t max) = 0;
  // Whether a read now would return without waiting for input to come.
  virtual bool ready() { return true; }
};

// Raw bytes out, with POSIX write's contract: the count, which may be less
// than `size`, or -1 with errno set.
class RawSink {
 public:
  virtual ~RawSink() = default;
  virtual std::ptrdiff_t write(const char* data, std::size_t size) = 0;
};

// Bytes held in memory, read from the first on.
class MemorySource final : public RawSource {
 public:
  explicit MemorySource(std::string_view bytes) : rest_(bytes) {}
  std::ptrdiff_t read(char* buffer, std::size_t max) override;

 private:
  std::string_view rest_;
};

// The result file as a conversion reads it, text mode done.
class TextSource {
 public:
  virtual ~TextSource() = default;
  // At most `max` bytes (max >= 1) into `buffer`: the count, 0 at the end
  // of input, or -1 once reading has failed. Waits while nothing has come.
  virtual std::ptrdiff_t read(char* buffer, std::size_t max) = 0;
  // Whether read() would now wait for input that has not come yet.
  virtual bool would_wait() { return false; }
  // Whether a person types the input: it comes a line at a time, and
  // Ctrl-Z ends only the current line.
  virtual bool interactive() const { return false; }
};

// The text mode over raw bytes, read on the caller's thread.
class TextInput final : public TextSource {
 public:
  // `interactive`: `raw` is a terminal, read one character at a time.
  explicit TextInput(RawSource& raw, bool interactive = false) : raw_(raw), interactive_(interactive) {}

  std::ptrdiff_t read(char* buffer, std::size_t max) override;
  bool would_wait() override;
  bool interactive() const override { return interactive_; }

 private:
  std::size_t deliverable() const;  // bytes read delivers without reading the source
  std::ptrdiff_t read_block(char* buffer, std::size_t max);
  std::ptrdiff_t read_line(char* buffer, std::size_t max);
  bool refill();  // false on a read failure
  int next_byte();  // the next raw byte, -1 at end of input, -2 on failure

  static constexpr std::size_t kRawSize = 64 * 1024;
  RawSource& raw_;
  bool interactive_;
  bool source_done_ = false;  // end of file, or a 0x1A seen: never read again
  std::size_t pos_ = 0;       // raw_[pos_, end_) is read but not yet delivered
  std::size_t end_ = 0;
  char raw_buffer_[kRawSize];
};

// Where converted text goes, a block at a time, its line ends done.
class Sink {
 public:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  virtual ~Sink() = default;
  // The block to fill next, kBlockSize bytes.
  virtual char* block() = 0;
  // Takes the first `size` bytes of block(); block() is then the next one.
  // `awaited`: someone waits to read them, so they should not wait for more.
  virtual void put(std::size_t size, bool awaited) = 0;
  // Waits until everything taken is written; returns error().
  virtual int finish() = 0;
  // errno of the first failed write, 0 while none failed. Once one has
  // failed, what is put is dropped.
  virtual int error() const = 0;
};

// Writes `size` bytes through `raw`, going on after partial and interrupted
// writes: 0, or errno of the write that failed (EIO for one that took nothing).
int write_all(RawSink& raw, const char* data, std::size_t size);

// A sink that writes each block through `raw` as it is put.
class WritingSink final : public Sink {
 public:
  explicit WritingSink(RawSink& raw) : raw_(raw) {}
  char* block() override { return block_; }
  void put(std::size_t size, bool awaited) override;
  int finish() override { return error_; }
  int error() const override { return error_; }

 private:
  RawSink& raw_;
  int error_ = 0;
  char block_[kBlockSize];
};

// A write of the conversion's output failed: the scan stops, as nothing
// more can reach it.
struct OutputFailure {};

class TextOutput {
 public:
  // After a failed write: kDrop drops what follows; kStop also throws
  // OutputFailure from the write that hands a block over.
  enum class OnFailure { kDrop, kStop };
  explicit TextOutput(Sink& sink, OnFailure on_failure = OnFailure::kDrop)
      : sink_(sink), on_failure_(on_failure), buffer_(sink.block()) {}

  // Appends `text`, each LF as CR LF.
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
  // returns the count of: at most `room` bytes are written at `place`,
  // scratch included, and each LF of the count follows its CR. The text is
  // made in place, never copied.
  template <typename Format>
  void write_formatted(std::size_t room, Format format) {
    assert(room <= kBufferSize);
    if (kBufferSize - used_ < room) drain();
    const std::size_t length = format(buffer_ + used_);
    assert(length <= room && each_lf_after_cr({buffer_ + used_, length}));
    used_ += length;
  }

  // Hands what is buffered to the sink now, without waiting for it to be
  // written: for a reader who waits for each line.
  void hand_over() {
    if (used_ > 0) drain(true);
  }

  // Hands everything over and waits until it is written; false once any
  // write failed. Never throws.
  bool flush();

  // errno of the first failed write, 0 while none failed.
  int error() const { return sink_.error(); }

  static bool each_lf_after_cr(std::string_view text);

 private:
  void write_long(std::string_view text);
  void put(bool awaited);  // the buffer to the sink, never throwing
  void drain(bool awaited = false);  // put, then stop if a write has failed

  static constexpr std::size_t kBufferSize = Sink::kBlockSize;
  static constexpr std::size_t kShortText = 32;
  Sink& sink_;
  OnFailure on_failure_;
  char* buffer_;
  std::size_t used_ = 0;
};

// A sink that appends every block to a string.
class StringSink final : public Sink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  char* block() override { return block_; }
  void put(std::size_t size, bool) override { text_.append(block_, size); }
  int finish() override { return 0; }
  int error() const override { return 0; }

 private:
  std::string& text_;
  char block_[kBlockSize];
};

