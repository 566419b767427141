#include "file_scanner.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "alphabet.h"
#include "entiers.h"
#include "messages.h"

namespace {

// The start conditions of floatdump.l.
enum class Condition { kInitial, kFloatCalibration, kDoubleCalibration };

// The first byte of [from, to) that is no hex digit, or `to`.
const char* skip_hex_digits(const char* from, const char* to) {
  for (; to - from >= 16; from += 16)
    if (const unsigned other = alphabet::non_hex_digits(from)) return from + std::countr_zero(other);
  while (from < to && alphabet::is_hex_digit(*from)) ++from;
  return from;
}

// Copies [from, to) to `out` up to the first byte that may start a token and
// returns that byte, or `to`; `out` moves on by as much. A block of 16 is
// stored whole before it is searched, so up to 15 bytes past the copy are
// scratch at `out`.
const char* copy_to_token_start(const char* from, const char* to, char*& out) {
  for (; to - from >= 16; from += 16, out += 16) {
    std::memcpy(out, from, 16);
    if (const unsigned starts = alphabet::token_starts(from)) {
      const int length = std::countr_zero(starts);
      out += length;
      return from + length;
    }
  }
  for (; from < to && !alphabet::is_token_start(*from); ++from) *out++ = *from;
  return from;
}

// The conversions of integer fields, [opened by '{'][closing mark].
using IntegerConversion = void (*)(std::string_view field, TextOutput& out);
constexpr IntegerConversion kIntegerConversions[2][3] = {
    {entiers::unsigned_binary, entiers::unsigned_decimal, entiers::unsigned_hexadecimal},
    {entiers::signed_binary, entiers::signed_decimal, entiers::signed_hexadecimal}};

// The first `a` or `b` in [from, to), or `to`.
const char* find_either(const char* from, const char* to, char a, char b) {
  const void* first_a = std::memchr(from, a, static_cast<std::size_t>(to - from));
  const char* limit = first_a ? static_cast<const char*>(first_a) : to;
  const void* first_b = std::memchr(from, b, static_cast<std::size_t>(limit - from));
  return first_b ? static_cast<const char*>(first_b) : limit;
}

// One scan of one conversion's input; the buffer lives as long as the scanner.
class FileScanner {
 public:
  explicit FileScanner(Conversion& conversion);
  ~FileScanner() { conversion_.release(buffer_); }
  FileScanner(const FileScanner&) = delete;
  FileScanner& operator=(const FileScanner&) = delete;

  void run();

 private:
  // The token being matched starts at pos_; offsets below count from there.
  char byte(std::size_t k) const { return buffer_[pos_ + k]; }
  // Whether the byte at offset k is read, reading more if needed.
  bool has(std::size_t k) { return pos_ + k < end_ || read_until(k); }
  bool read_until(std::size_t k);
  bool read_more();
  std::string_view taken(std::size_t length);  // ends the token of `length` bytes

  void scan_initial();
  // What a block's token start turns out to be.
  enum class Token { kField, kPlainMark, kLeftToScanInitial };
  bool walk_blocks();
  Token field_in_block(const char* at, std::size_t open, std::size_t& next);
  bool line_start_marker();
  std::size_t quoted_text();
  std::size_t digits_end();  // offset of the first byte after the mark that is no hex digit
  std::size_t long_digits_end();  // the same, reading on as far as the digits go
  void field(char open);
  void float_field();
  void plain_text();
  void scan_calibration();

  Conversion& conversion_;
  TextOutput& out_;
  char* buffer_;
  std::size_t capacity_;
  std::size_t pos_ = 0;  // buffer_[pos_, end_) is read and not yet matched
  std::size_t end_ = 0;
  bool input_ended_ = false;
  bool at_line_start_ = true;
  Condition condition_ = Condition::kInitial;
};

// Large enough that the system calls cost little per byte, small enough to
// stay in the cache between the read and the scan.
constexpr std::size_t kInitialCapacity = 64 * 1024;

FileScanner::FileScanner(Conversion& conversion)
    : conversion_(conversion),
      out_(conversion.out()),
      buffer_(static_cast<char*>(conversion.allocate(kInitialCapacity))),
      capacity_(kInitialCapacity) {
  if (!buffer_) Conversion::fail(messages::kNoMemory);
}

void FileScanner::run() {
  while (has(0)) {
    if (condition_ == Condition::kInitial)
      scan_initial();
    else
      scan_calibration();
  }
}

bool FileScanner::read_until(std::size_t k) {
  while (pos_ + k >= end_)
    if (!read_more()) return false;
  return true;
}

// Keeps the pending token whole: it moves to the start of the buffer, and
// when it fills the buffer, the buffer grows as flex's does (doubling, then
// an eighth at a time near INT_MAX).
bool FileScanner::read_more() {
  if (input_ended_) return false;
  if (end_ == capacity_) {
    if (pos_ > 0) {
      std::memmove(buffer_, buffer_ + pos_, end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
    } else {
      const std::size_t grown = capacity_ * 2 <= INT_MAX ? capacity_ * 2 : capacity_ + capacity_ / 8;
      buffer_ = static_cast<char*>(conversion_.reallocate(buffer_, grown));
      if (!buffer_) Conversion::fail(messages::kBufferOverflow);
      capacity_ = grown;
    }
  }
  const std::size_t got = conversion_.read(buffer_ + end_, capacity_ - end_);
  if (got == 0) input_ended_ = true;
  end_ += got;
  return got > 0;
}

std::string_view FileScanner::taken(std::size_t length) {
  const std::string_view token(buffer_ + pos_, length);
  pos_ += length;
  at_line_start_ = token.back() == '\n';
  return token;
}

void FileScanner::scan_initial() {
  if (at_line_start_ && line_start_marker()) return;
  if (walk_blocks()) return;
  switch (byte(0)) {
    case '"':
    case '\'':
      out_.write_plain(taken(std::max<std::size_t>(quoted_text(), 1)));  // a quoted text has no line end
      return;
    case '!':
      float_field();
      return;
    case '(':
    case '{':
      field(byte(0));
      return;
    default:
      plain_text();
  }
}

// What the scanner looks at past a block: the block, and the digits and closing
// mark of a field that starts in it and has fewer than 32 digits.
constexpr std::size_t kLookahead = 128;

// The common tokens a block at a time: the 64 bytes at the position are
// classified at once, then plain text, line ends and fields are found in the
// masks. Leaves to scan_initial what is rare (a quote, a line starting with a
// marker's first letter, a field of 32 digits or more) and the buffer's last
// bytes; false when it matched nothing.
bool FileScanner::walk_blocks() {
  while (end_ - pos_ < kLookahead && read_more()) {
  }
  const std::size_t start = pos_;
  while (end_ - pos_ >= kLookahead) {
    const char* const at = buffer_ + pos_;
    std::uint64_t starts = alphabet::token_starts_of_block(at);
    std::size_t from = 0;  // the block's bytes before it are matched
    for (;;) {
      // `.` ECHO up to the next token that is no line end, and flex's default
      // rule for each line end on the way (CR LF). At most 128 bytes are
      // kept (64 line ends); each copy may run on 64 bytes past them, as
      // scratch.
      std::size_t t;
      bool marker = false;  // a line starts with E or F: it may start with a marker
      out_.write_formatted(4 * 64, [&](char* text) {
        char* to = text;
        for (;;) {
          t = starts ? static_cast<std::size_t>(std::countr_zero(starts)) : 64;
          std::memcpy(to, at + from, 64);
          to += t - from;
          if (t == 64 || at[t] != '\n') break;
          *to++ = '\r';
          *to++ = '\n';
          from = t + 1;
          starts &= starts - 1;
          if (alphabet::kIsMarkerLetter[static_cast<unsigned char>(at[from])]) {
            marker = true;
            break;
          }
        }
        return static_cast<std::size_t>(to - text);
      });
      if (marker || t == 64) {
        pos_ += marker ? from : 64;
        at_line_start_ = marker || from == 64;
        if (marker) return true;
        break;
      }
      std::size_t next = t + 1;  // the token's end
      const Token token = field_in_block(at, t, next);
      at_line_start_ = false;  // only ever needed before an E or F
      if (token == Token::kLeftToScanInitial) {
        pos_ += t;
        return pos_ > start;
      }
      // A plain mark is copied with the text after it.
      from = token == Token::kPlainMark ? t : next;
      if (next >= 64) {
        pos_ += from;
        break;
      }
      starts &= ~std::uint64_t{0} << next;
    }
  }
  return pos_ > start;
}

// !{HEX}*! and \({HEX}*\) \({HEX}*\} \({HEX}*\] and the same with \{, at
// `open` in the block at `at`: the field is converted and `next` set past it;
// or its mark is a plain character; or it is left to scan_initial (a quote,
// or 32 digits or more).
FileScanner::Token FileScanner::field_in_block(const char* at, std::size_t open, std::size_t& next) {
  if (at[open] == '"' || at[open] == '\'') return Token::kLeftToScanInitial;
  const char* const digits = at + open + 1;
  const std::uint64_t other =
      alphabet::non_hex_digits(digits) | std::uint64_t{alphabet::non_hex_digits(digits + 16)} << 16;
  if (other == 0) return Token::kLeftToScanInitial;
  const char* const close = digits + std::countr_zero(other);
  const std::string_view field(at + open, static_cast<std::size_t>(close - (at + open)) + 1);
  if (at[open] == '!') {
    if (*close != '!') return Token::kPlainMark;
    floatieee::rewrite_float_field(conversion_.calibration(), field, out_);
  } else {
    const std::uint8_t mark = alphabet::kClosingMark[static_cast<unsigned char>(*close)];
    if (mark == alphabet::kNotClosing) return Token::kPlainMark;
    kIntegerConversions[at[open] == '{'][mark](field, out_);
  }
  next = field.size() + open;
  return Token::kField;
}

// ^F1 ^EF enter FLOAT_CALIBRATION, ^F2 ^ED DOUBLE_CALIBRATION; nothing is written.
bool FileScanner::line_start_marker() {
  const char first = byte(0);
  if ((first != 'F' && first != 'E') || !has(1)) return false;
  const char second = byte(1);
  if ((first == 'F' && second == '1') || (first == 'E' && second == 'F'))
    condition_ = Condition::kFloatCalibration;
  else if ((first == 'F' && second == '2') || (first == 'E' && second == 'D'))
    condition_ = Condition::kDoubleCalibration;
  else
    return false;
  taken(2);
  return true;
}

// (\"[^"\n]*\")+ and ('[^'\n]*')+: the length of the longest run of whole
// segments glued together, 0 when not even one closes before the line ends.
std::size_t FileScanner::quoted_text() {
  const char quote = byte(0);
  std::size_t matched = 0;
  std::size_t k = 1;  // inside a segment: looking for its closing quote
  while (has(k)) {
    const char* from = buffer_ + pos_ + k;
    const char* stop = find_either(from, buffer_ + end_, quote, '\n');
    k += static_cast<std::size_t>(stop - from);
    if (stop == buffer_ + end_) continue;  // read on
    if (*stop == '\n') break;
    matched = ++k;  // the segment closed; a quote right after opens the next
    if (!has(k) || byte(k) != quote) break;
    ++k;
  }
  return matched;
}

// Nearly every field has at most 31 digits and is read whole: one or two
// looks at 16 bytes find its end.
std::size_t FileScanner::digits_end() {
  if (end_ - pos_ > 32) {
    const char* digits = buffer_ + pos_ + 1;
    if (const unsigned other = alphabet::non_hex_digits(digits)) return 1 + std::countr_zero(other);
    if (const unsigned other = alphabet::non_hex_digits(digits + 16)) return 17 + std::countr_zero(other);
  }
  return long_digits_end();
}

std::size_t FileScanner::long_digits_end() {
  std::size_t k = 1;
  while (has(k)) {
    const char* from = buffer_ + pos_ + k;
    const char* stop = skip_hex_digits(from, buffer_ + end_);
    k += static_cast<std::size_t>(stop - from);
    if (stop < buffer_ + end_) return k;
  }
  return k;
}

// \({HEX}*\) \({HEX}*\} \({HEX}*\] and the same with \{: an integer field,
// else the mark is a plain character. The conversion is looked up, not
// branched to: the marks of a dump follow no pattern a branch could learn.
void FileScanner::field(char open) {
  const std::size_t k = digits_end();
  const std::uint8_t close = has(k) ? alphabet::kClosingMark[static_cast<unsigned char>(byte(k))] : alphabet::kNotClosing;
  if (close == alphabet::kNotClosing) {
    out_.write_plain(taken(1));
    return;
  }
  kIntegerConversions[open == '{'][close](taken(k + 1), out_);
}

// !{HEX}*!: a float field, else the mark is a plain character.
void FileScanner::float_field() {
  const std::size_t k = digits_end();
  if (has(k) && byte(k) == '!')
    floatieee::rewrite_float_field(conversion_.calibration(), taken(k + 1), out_);
  else
    out_.write_plain(taken(1));
}

// `.` ECHO, one character after another, and flex's default rule for the
// line end: everything up to the next byte that may start another token is
// copied in one piece, line after line while no line starts with one, at
// most kPlainRun bytes at a time.
void FileScanner::plain_text() {
  constexpr std::size_t kPlainRun = 8 * 1024;
  const char* from = buffer_ + pos_;  // not a token start, or a line end
  const char* const end = buffer_ + std::min(end_, pos_ + kPlainRun);
  out_.write_formatted(2 * kPlainRun + 16, [&](char* text) {
    char* to = text;
    for (;;) {
      from = copy_to_token_start(from, end, to);
      if (from == end || *from != '\n') break;
      *to++ = '\r';
      *to++ = '\n';
      if (++from == end || alphabet::kIsMarkerLetter[static_cast<unsigned char>(*from)] || alphabet::is_token_start(*from))
        break;
    }
    return static_cast<std::size_t>(to - text);
  });
  taken(static_cast<std::size_t>(from - (buffer_ + pos_)));
}

// Inside a calibration line: \n returns to INITIAL, !{HEX}+! calibrates, any
// other character is swallowed.
void FileScanner::scan_calibration() {
  const char first = byte(0);
  if (first == '\n') {
    condition_ = Condition::kInitial;
    taken(1);
    return;
  }
  if (first == '!') {
    const std::size_t k = digits_end();
    if (k > 1 && has(k) && byte(k) == '!') {
      const std::string_view token = taken(k + 1);
      if (condition_ == Condition::kFloatCalibration)
        floatieee::calibrate_single(conversion_.calibration(), token, conversion_.diagnostics());
      else
        floatieee::calibrate_double(conversion_.calibration(), token, conversion_.diagnostics());
    } else {
      taken(1);
    }
    return;
  }
  const char* from = buffer_ + pos_;
  taken(static_cast<std::size_t>(find_either(from + 1, buffer_ + end_, '!', '\n') - from));
}

}  // namespace

void file_scan(Conversion& conversion) { FileScanner(conversion).run(); }
