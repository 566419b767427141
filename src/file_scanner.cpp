#include "file_scanner.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "alphabet.h"
#include "entiers.h"
#include "floatieee.h"
#include "messages.h"

namespace {

using alphabet::Condition;
using alphabet::TokenKind;

// How the scanner uses its buffers. Input: no byte at or past the end of
// what is read is ever looked at; 16 bytes are classified at once only where
// 16 are read. Output: plain text is copied 16 bytes at a time, so up to 15
// bytes past what a copy keeps are scratch, within the room it asked for.
constexpr std::size_t kLook = 16;

// The first byte of [from, to) that is no hex digit, or `to`.
const char* skip_hex_digits(const char* from, const char* to) {
  for (; to - from >= static_cast<std::ptrdiff_t>(kLook); from += kLook)
    if (const unsigned other = alphabet::non_hex_digits(from)) return from + std::countr_zero(other);
  while (from < to && alphabet::is_hex_digit(*from)) ++from;
  return from;
}

// Copies [from, to) to `out` up to the first byte that may start a token and
// returns that byte, or `to`; `out` moves on by as much. Stores up to 15
// bytes of scratch past the copy.
const char* copy_to_token_start(const char* from, const char* to, char*& out) {
  for (; to - from >= static_cast<std::ptrdiff_t>(kLook); from += kLook, out += kLook) {
    std::memcpy(out, from, kLook);
    if (const unsigned starts = alphabet::token_starts(from)) {
      const int length = std::countr_zero(starts);
      out += length;
      return from + length;
    }
  }
  for (; from < to && !alphabet::is_token_start(*from); ++from) *out++ = *from;
  return from;
}

// The first `a` or `b` in [from, to), or `to`. Both are looked for a window
// at a time, so that the cost follows the distance to the answer, not to `to`.
const char* find_either(const char* from, const char* to, char a, char b) {
  constexpr std::ptrdiff_t kWindow = 256;
  for (;;) {
    const char* const end = to - from > kWindow ? from + kWindow : to;
    const void* first_a = std::memchr(from, a, static_cast<std::size_t>(end - from));
    const char* const limit = first_a ? static_cast<const char*>(first_a) : end;
    if (const void* first_b = std::memchr(from, b, static_cast<std::size_t>(limit - from)))
      return static_cast<const char*>(first_b);
    if (first_a || end == to) return limit;
    from = end;
  }
}

// The conversions of integer fields, [opened by '{'][closing mark]. Looked
// up, not branched to: the marks of a dump follow no pattern a branch could learn.
using IntegerConversion = void (*)(std::string_view field, TextOutput& out);
constexpr IntegerConversion kIntegerConversions[2][3] = {
    {entiers::unsigned_binary, entiers::unsigned_decimal, entiers::unsigned_hexadecimal},
    {entiers::signed_binary, entiers::signed_decimal, entiers::signed_hexadecimal}};

// Plain text is copied at most this much at a time, so that its worst case,
// every byte a line end written as CR LF, fits in the room of one write.
constexpr std::size_t kPlainRun = 8 * 1024;

// One scan of one conversion's input; the buffer lives as long as the scanner.
class FileScanner {
 public:
  explicit FileScanner(Conversion& conversion);
  ~FileScanner() { conversion_.release(buffer_); }
  FileScanner(const FileScanner&) = delete;
  FileScanner& operator=(const FileScanner&) = delete;

  void run();

 private:
  // The token being matched starts at pos_; offsets k count from there.
  char byte(std::size_t k) const {
    assert(pos_ + k < end_);
    return buffer_[pos_ + k];
  }
  // Whether the byte at offset k is read, reading on if needed.
  bool has(std::size_t k) { return pos_ + k < end_ || read_until(k); }
  bool read_until(std::size_t k);
  void make_room();
  // Ends the token of `length` bytes at pos_: the scan goes on after it.
  std::string_view taken(std::size_t length);

  // The rules, a function for each group.
  bool line_start_marker();
  void plain_text();
  void quoted_text();
  void float_field();
  void integer_field();
  void calibration_line();
  std::size_t digits_end();
  std::size_t long_digits_end();

  Conversion& conversion_;
  TextOutput& out_;
  char* buffer_;
  std::size_t capacity_;
  std::size_t pos_ = 0;  // buffer_[pos_, end_) is read and not yet matched
  std::size_t end_ = 0;
  bool input_ended_ = false;
  bool at_line_start_ = true;  // the last token matched ended with a line end
  Condition condition_ = Condition::kInitial;
};

// Large enough that the reads cost little per byte, small enough to stay in
// the cache between the read and the scan. (flex's starts at 16 KiB: under a
// memory limit, a token may fail to fit in one scanner and not the other.)
constexpr std::size_t kInitialCapacity = 64 * 1024;

FileScanner::FileScanner(Conversion& conversion)
    : conversion_(conversion),
      out_(conversion.out()),
      buffer_(static_cast<char*>(conversion.allocate(kInitialCapacity))),
      capacity_(kInitialCapacity) {
  if (!buffer_) Conversion::fail(messages::kNoMemory);
}

// Every token goes through here: the calibration lines' rules, or in
// INITIAL the line-start markers, then one dispatch on the first byte.
void FileScanner::run() {
  while (has(0)) {
    if (condition_ != Condition::kInitial || at_line_start_) {  // one test for the rare cases
      if (condition_ != Condition::kInitial) {
        calibration_line();
        continue;
      }
      if (line_start_marker()) continue;
    }
    switch (alphabet::token_kind(byte(0))) {
      case TokenKind::kQuotedText:
        quoted_text();
        break;
      case TokenKind::kFloatField:
        float_field();
        break;
      case TokenKind::kIntegerField:
        integer_field();
        break;
      case TokenKind::kPlain:
        plain_text();
        break;
    }
  }
}

bool FileScanner::read_until(std::size_t k) {
  while (pos_ + k >= end_) {
    if (input_ended_) return false;
    if (end_ == capacity_) make_room();
    const std::size_t got = conversion_.read(buffer_ + end_, capacity_ - end_);
    if (got == 0) {
      input_ended_ = true;
      return false;
    }
    end_ += got;
  }
  return true;
}

// Keeps the pending token whole: it moves to the start of the buffer, and
// when it fills the buffer, the buffer grows as flex's does (doubling, then
// an eighth at a time near INT_MAX).
void FileScanner::make_room() {
  if (pos_ > 0) {
    std::memmove(buffer_, buffer_ + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    return;
  }
  const std::size_t grown = capacity_ * 2 <= INT_MAX ? capacity_ * 2 : capacity_ + capacity_ / 8;
  buffer_ = static_cast<char*>(conversion_.reallocate(buffer_, grown));
  if (!buffer_) Conversion::fail(messages::kBufferOverflow);
  capacity_ = grown;
}

std::string_view FileScanner::taken(std::size_t length) {
  assert(length > 0 && pos_ + length <= end_);
  const std::string_view token(buffer_ + pos_, length);
  pos_ += length;
  at_line_start_ = token.back() == '\n';
  return token;
}

// The offset of the first byte after the opening mark that is no hex digit,
// reading on as far as the digits go; at the end of input, its offset. A
// field of fewer than 32 digits that is read whole takes one or two looks.
inline std::size_t FileScanner::digits_end() {
  if (end_ - pos_ > 2 * kLook) {
    const char* const digits = buffer_ + pos_ + 1;
    if (const unsigned other = alphabet::non_hex_digits(digits)) return 1 + std::countr_zero(other);
    if (const unsigned other = alphabet::non_hex_digits(digits + kLook)) return 1 + kLook + std::countr_zero(other);
  }
  return long_digits_end();
}

std::size_t FileScanner::long_digits_end() {
  std::size_t k = 1;
  while (has(k)) {
    const char* const from = buffer_ + pos_ + k;
    const char* const stop = skip_hex_digits(from, buffer_ + end_);
    k += static_cast<std::size_t>(stop - from);
    if (stop < buffer_ + end_) break;
  }
  return k;
}

// ^F1 ^EF enter FLOAT_CALIBRATION, ^F2 ^ED DOUBLE_CALIBRATION; nothing is written.
bool FileScanner::line_start_marker() {
  if (!alphabet::is_marker_letter(byte(0)) || !has(1)) return false;
  for (const alphabet::LineStartMarker& marker : alphabet::kLineStartMarkers) {
    if (byte(0) == marker.first && byte(1) == marker.second) {
      condition_ = marker.condition;
      taken(2);
      return true;
    }
  }
  return false;
}

// `.` ECHO for each plain byte, and flex's default rule for each line end,
// written as CR LF. The byte at pos_ is plain (no token starts there, or
// the one that does failed to match), and so is everything up to the next
// byte that may start a token: all of it goes out in one piece. A line-start
// marker may follow a line end, so the piece ends there when the next line
// begins with a marker's first letter or is not read yet.
void FileScanner::plain_text() {
  const char* const start = buffer_ + pos_;
  const char* const end = buffer_ + std::min(end_, pos_ + kPlainRun);
  const std::size_t room = 2 * static_cast<std::size_t>(end - start);  // every byte a line end, at worst
  const char* from = start;
  out_.write_formatted(room, [&](char* const text) {
    char* to = text;
    if (*from != '\n') *to++ = *from++;
    for (;;) {
      assert(to + 2 * (end - from) <= text + room);  // the scratch of a look stays within it
      from = copy_to_token_start(from, end, to);
      if (from == end || *from != '\n') break;
      *to++ = '\r';
      *to++ = '\n';
      if (++from == end || alphabet::is_marker_letter(*from)) break;
    }
    return static_cast<std::size_t>(to - text);
  });
  taken(static_cast<std::size_t>(from - start));
}

// (\"[^"\n]*\")+ and ('[^'\n]*')+: the longest run of closed segments glued
// together is copied as it stands. A quote that closes no segment before
// the line ends is a plain character.
void FileScanner::quoted_text() {
  const char quote = byte(0);
  std::size_t matched = 0;
  std::size_t k = 1;        // inside a segment: looking for its closing quote
  while (has(k)) {
    const char* const from = buffer_ + pos_ + k;
    const char* const stop = find_either(from, buffer_ + end_, quote, '\n');
    k += static_cast<std::size_t>(stop - from);
    if (stop == buffer_ + end_) continue;  // read on
    if (*stop == '\n') break;
    matched = ++k;  // the segment closed; a quote right after opens the next
    if (!has(k) || byte(k) != quote) break;
    ++k;
  }
  if (matched == 0)
    plain_text();
  else
    out_.write_plain(taken(matched));
}

// !{HEX}*!: a float field; else the `!` is a plain character.
void FileScanner::float_field() {
  const std::size_t close = digits_end();
  if (has(close) && byte(close) == '!')
    conversion_.calibration().rewrite_float_field(taken(close + 1), out_);
  else
    plain_text();
}

// \({HEX}*\) \({HEX}*\} \({HEX}*\] and the same opened by \{: an integer
// field; else the opening mark is a plain character.
void FileScanner::integer_field() {
  const bool is_signed = byte(0) == '{';
  const std::size_t close = digits_end();
  const std::uint8_t mark = has(close) ? alphabet::closing_mark(byte(close)) : alphabet::kNotClosing;
  if (mark == alphabet::kNotClosing)
    plain_text();
  else
    kIntegerConversions[is_signed][mark](taken(close + 1), out_);
}

// In FLOAT_CALIBRATION and DOUBLE_CALIBRATION: \n returns to INITIAL,
// !{HEX}+! calibrates, and `.` swallows every other byte; nothing is written.
void FileScanner::calibration_line() {
  if (byte(0) == '\n') {
    condition_ = Condition::kInitial;
    taken(1);
    return;
  }
  if (byte(0) == '!') {
    const std::size_t close = digits_end();
    if (close > 1 && has(close) && byte(close) == '!') {
      if (condition_ == Condition::kFloatCalibration)
        conversion_.calibration().calibrate_single(taken(close + 1), conversion_.diagnostics());
      else
        conversion_.calibration().calibrate_double(taken(close + 1), conversion_.diagnostics());
      return;
    }
  }
  // `.`: this byte, and every other up to the next that may matter.
  const char* const from = buffer_ + pos_;
  taken(static_cast<std::size_t>(find_either(from + 1, buffer_ + end_, '!', '\n') - from));
}

}  // namespace

void file_scan(Conversion& conversion) { FileScanner(conversion).run(); }
