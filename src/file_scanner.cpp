// The dump scanner for files and pipes, written by hand: it finds the next
// byte that can start a token with a vectorised search and copies the plain
// text before it in one piece, where flex's scanner spends a table look-up on
// every byte. It matches exactly what the rules of floatdump.l match, longest
// match and backing up included, and keeps flex's buffer contract: a token is
// never cut, the buffer grows only for one token longer than it, and plain
// text, however long its lines, takes no more memory.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__) && !defined(FLOATDUMP_PORTABLE)
#include <emmintrin.h>
#endif

#include "entiers.h"
#include "floatieee.h"
#include "scanner.h"

namespace {

// The start conditions of floatdump.l.
enum class Condition { kInitial, kFloatCalibration, kDoubleCalibration };

// Bytes that may start a token other than a plain character in INITIAL: the
// line end (after which a line-start marker may follow), quotes and opening marks.
constexpr bool is_token_start(unsigned char c) {
  return c == '\n' || c == '"' || c == '\'' || c == '!' || c == '(' || c == '{';
}

// A table rather than comparisons: the digits of dumps are random, and a
// branch per digit on its kind would be mispredicted half the time.
constexpr auto kHexDigit = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  return table;
}();

// The bytes among the 16 at `from` that are no hex digit, bit i for from[i].
unsigned non_hex_digits(const char* from) {
#if defined(__SSE2__) && !defined(FLOATDUMP_PORTABLE)
  // Signed compares: a byte less '0' (or, lower-cased, less 'a') lies in
  // the digit range when, shifted by -128, it is below -128 + the range's size.
  const __m128i bias = _mm_set1_epi8(-128);
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  const __m128i decimal = _mm_add_epi8(_mm_sub_epi8(v, _mm_set1_epi8('0')), bias);
  const __m128i letter = _mm_add_epi8(_mm_sub_epi8(_mm_or_si128(v, _mm_set1_epi8(0x20)), _mm_set1_epi8('a')), bias);
  const __m128i hex = _mm_or_si128(_mm_cmplt_epi8(decimal, _mm_set1_epi8(-128 + 10)),
                                   _mm_cmplt_epi8(letter, _mm_set1_epi8(-128 + 6)));
  return ~static_cast<unsigned>(_mm_movemask_epi8(hex)) & 0xFFFF;
#else
  unsigned other = 0;
  for (int i = 0; i < 16; ++i) other |= unsigned{!kHexDigit[static_cast<unsigned char>(from[i])]} << i;
  return other;
#endif
}

// The first byte of [from, to) that is no hex digit, or `to`.
const char* skip_hex_digits(const char* from, const char* to) {
  for (; to - from >= 16; from += 16)
    if (const unsigned other = non_hex_digits(from)) return from + std::countr_zero(other);
  while (from < to && kHexDigit[static_cast<unsigned char>(*from)]) ++from;
  return from;
}

// Copies [from, to) to `out` up to the first byte that may start a token and
// returns that byte, or `to`; `out` moves on by as much. A block of 16 is
// stored whole before it is searched, so up to 15 bytes past the copy are
// scratch at `out`.
const char* copy_to_token_start(const char* from, const char* to, char*& out) {
#if defined(__SSE2__) && !defined(FLOATDUMP_PORTABLE)
  const __m128i line_end = _mm_set1_epi8('\n'), double_quote = _mm_set1_epi8('"'), quote = _mm_set1_epi8('\''),
                bang = _mm_set1_epi8('!'), parenthesis = _mm_set1_epi8('('), brace = _mm_set1_epi8('{');
  for (; to - from >= 16; from += 16, out += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, line_end), _mm_cmpeq_epi8(v, double_quote)),
                     _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, bang))),
        _mm_or_si128(_mm_cmpeq_epi8(v, parenthesis), _mm_cmpeq_epi8(v, brace)));
    if (const int mask = _mm_movemask_epi8(hits)) {
      const int length = std::countr_zero(static_cast<unsigned>(mask));
      out += length;
      return from + length;
    }
  }
#endif
  for (; from < to && !is_token_start(static_cast<unsigned char>(*from)); ++from) *out++ = *from;
  return from;
}

// An integer field's closing mark: 0 for ')', 1 for '}', 2 for ']'.
constexpr std::uint8_t kNoClosingMark = 3;
constexpr auto kClosingMark = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(kNoClosingMark);
  table[')'] = 0;
  table['}'] = 1;
  table[']'] = 2;
  return table;
}();

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

// The scanner's state lives for one conversion: file_scan_lex makes it,
// file_scan_lex_destroy frees the buffer.
class FileScanner {
 public:
  void run();
  void release();

 private:
  // The token being matched starts at pos_; offsets below count from there.
  char byte(std::size_t k) const { return buffer_[pos_ + k]; }
  // Whether the byte at offset k is read, reading more if needed.
  bool has(std::size_t k) { return pos_ + k < end_ || read_until(k); }
  bool read_until(std::size_t k);
  bool read_more();
  std::string_view taken(std::size_t length);  // ends the token of `length` bytes

  void scan_initial();
  bool line_start_marker();
  std::size_t quoted_text();
  std::size_t digits_end();  // offset of the first byte after the mark that is no hex digit
  std::size_t long_digits_end();  // the same, reading on as far as the digits go
  void field(char open);
  void float_field();
  void plain_text();
  void scan_calibration();

  TextOutput* out_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t pos_ = 0;  // buffer_[pos_, end_) is read and not yet matched
  std::size_t end_ = 0;
  bool input_ended_ = false;
  bool at_line_start_ = true;
  Condition condition_ = Condition::kInitial;
};

// Large enough that the system calls cost little per byte, small enough to
// stay in the cache between the read and the scan.
constexpr std::size_t kInitialCapacity = 64 * 1024;

void FileScanner::run() {
  out_ = &scanner_output();
  buffer_ = static_cast<char*>(scanner_allocate(kInitialCapacity));
  if (!buffer_) scanner_fatal("out of dynamic memory in yy_create_buffer()");
  capacity_ = kInitialCapacity;
  while (has(0)) {
    if (condition_ == Condition::kInitial)
      scan_initial();
    else
      scan_calibration();
  }
}

void FileScanner::release() {
  scanner_release(buffer_);
  *this = FileScanner();
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
      char* larger = static_cast<char*>(scanner_reallocate(buffer_, grown));
      if (!larger) scanner_fatal("fatal error - scanner input buffer overflow");
      buffer_ = larger;
      capacity_ = grown;
    }
  }
  const int got = scanner_read(buffer_ + end_, static_cast<int>(capacity_ - end_));
  if (got == 0) input_ended_ = true;
  end_ += static_cast<std::size_t>(got);
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
  TextOutput& out = *out_;
  switch (byte(0)) {
    case '"':
    case '\'':
      out.write_plain(taken(std::max<std::size_t>(quoted_text(), 1)));  // a quoted text has no line end
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
    if (const unsigned other = non_hex_digits(digits)) return 1 + std::countr_zero(other);
    if (const unsigned other = non_hex_digits(digits + 16)) return 17 + std::countr_zero(other);
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
  const std::uint8_t close = has(k) ? kClosingMark[static_cast<unsigned char>(byte(k))] : kNoClosingMark;
  if (close == kNoClosingMark) {
    out_->write_plain(taken(1));
    return;
  }
  kIntegerConversions[open == '{'][close](taken(k + 1), *out_);
}

// !{HEX}*!: a float field, else the mark is a plain character.
void FileScanner::float_field() {
  const std::size_t k = digits_end();
  if (has(k) && byte(k) == '!')
    floatieee::rewrite_float_field(taken(k + 1), *out_);
  else
    out_->write_plain(taken(1));
}

// `.` ECHO, one character after another, and flex's default rule for the
// line end: everything up to the next byte that may start another token is
// copied in one piece, line after line while no line starts with one, at
// most kPlainRun bytes at a time.
void FileScanner::plain_text() {
  constexpr std::size_t kPlainRun = 8 * 1024;
  const char* from = buffer_ + pos_;  // not a token start, or a line end
  const char* const end = buffer_ + std::min(end_, pos_ + kPlainRun);
  out_->write_formatted(2 * kPlainRun + 16, [&](char* text) {
    char* to = text;
    for (;;) {
      from = copy_to_token_start(from, end, to);
      if (from == end || *from != '\n') break;
      *to++ = '\r';
      *to++ = '\n';
      if (++from == end || *from == 'E' || *from == 'F' || is_token_start(static_cast<unsigned char>(*from))) break;
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
        floatieee::calibrate_single(token, scanner_diagnostics());
      else
        floatieee::calibrate_double(token, scanner_diagnostics());
    } else {
      taken(1);
    }
    return;
  }
  const char* from = buffer_ + pos_;
  taken(static_cast<std::size_t>(find_either(from + 1, buffer_ + end_, '!', '\n') - from));
}

FileScanner scanner;

}  // namespace

int file_scan_lex() {
  scanner.run();
  return 0;
}

int file_scan_lex_destroy() {
  scanner.release();
  return 0;
}
