#include "floatieee.h"

#include <array>
#include <cstdint>
#include <initializer_list>

#include "alphabet.h"
#include "byte_order.h"
#include "messages.h"
#include "number_text.h"

namespace floatieee {

ReorderRecord::ReorderRecord() { map.fill(-1); }

namespace {

constexpr std::int8_t kUnset = -1;
using Kind = ReorderRecord::Kind;
using Order = ReorderRecord::Order;

// pi in the order values are assembled, least significant byte first; within
// each, all bytes differ, so every byte of a sound calibration field matches
// exactly one position.
constexpr std::array<std::uint8_t, 4> kSinglePi = {0xDB, 0x0F, 0x49, 0x40};
constexpr std::array<std::uint8_t, 8> kDoublePi = {0x18, 0x2D, 0x44, 0x54, 0xFB, 0x21, 0x09, 0x40};

// The bytes of a field as written, at most the first kMapSize of them.
struct FieldBytes {
  std::size_t width;  // complete digit pairs between the marks
  std::array<std::uint8_t, kMapSize> byte;
};

// Two texts stand for other values whatever the byte order: read least
// significant byte first, the largest finite binary32 becomes infinity and
// negative zero becomes zero. Exact and case-sensitive, as written.
std::string_view substitute(std::string_view field) {
  if (field == "!FFFF7F7F!") return "!0000807F!";
  if (field == "!00000080!") return "!00000000!";
  return field;
}

// `field` is `!`, hex digits, `!`; a last unpaired digit takes no part.
FieldBytes decode(std::string_view field) {
  FieldBytes bytes;  // only the bytes decoded are ever read
  bytes.width = (field.size() - 2) / 2;
  const std::size_t kept = bytes.width < kMapSize ? bytes.width : kMapSize;
  for (std::size_t i = 0; i < kept; ++i)
    bytes.byte[i] = static_cast<std::uint8_t>(alphabet::hex_digit_value(field[1 + 2 * i]) << 4 |
                                              alphabet::hex_digit_value(field[2 + 2 * i]));
  return bytes;
}

std::string_view decimal(int value, char (&text)[number_text::kMaxLength]) {
  return {text, number_text::format_signed(value, text)};
}

template <std::size_t N>
void match(ReorderRecord& record, const FieldBytes& bytes, const std::array<std::uint8_t, N>& reference,
           TextOutput& diagnostics) {
  char first[number_text::kMaxLength], second[number_text::kMaxLength];
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t j = 0;
    while (j < N && reference[j] != bytes.byte[i]) ++j;
    if (j == N) {
      messages::write(diagnostics, messages::kUnmatchedByte, {decimal(static_cast<int>(i), first)});
    } else if (record.map[i] == kUnset) {
      record.map[i] = static_cast<std::int8_t>(j);
    } else {
      // A record learns once per run; the stored position stays.
      messages::write(diagnostics, messages::kReorderConflict,
                      {decimal(record.map[i], first), decimal(static_cast<int>(j), second)});
    }
  }
}

template <std::size_t N>
Order order_of(const ReorderRecord& record) {
  if (record.width != N) return Order::kScattered;
  bool same = true, reversed = true;
  for (std::size_t i = 0; i < N; ++i) {
    same = same && record.map[i] == static_cast<int>(i);
    reversed = reversed && record.map[i] == static_cast<int>(N - 1 - i);
  }
  return same ? Order::kSame : reversed ? Order::kReversed : Order::kScattered;
}

// Bytes whose map entry is unset or names no position of this value are
// dropped: nothing is written outside the value.
template <std::size_t N>
void place(const ReorderRecord& record, const FieldBytes& bytes, std::array<std::uint8_t, N>& value) {
  const std::size_t count = bytes.width < kMapSize ? bytes.width : kMapSize;
  for (std::size_t i = 0; i < count; ++i) {
    const int position = record.map[i];
    if (position >= 0 && static_cast<std::size_t>(position) < N) value[position] = bytes.byte[i];
  }
}

template <typename Word, std::size_t N>
Word load_little_endian(const std::array<std::uint8_t, N>& bytes) {
  static_assert(sizeof(Word) == N);
  Word word = 0;
  for (std::size_t i = N; i-- > 0;) word = static_cast<Word>(word << 8 | bytes[i]);
  return word;
}

template <typename Word, std::size_t N>
void store_little_endian(Word word, std::array<std::uint8_t, N>& bytes) {
  static_assert(sizeof(Word) == N);
  for (std::size_t i = 0; i < N; ++i, word = static_cast<Word>(word >> 8)) bytes[i] = static_cast<std::uint8_t>(word);
}

// The value of a field as wide as `value` in `record`'s byte order, which
// `value` keeps for the next field. Whole fields from targets of either byte
// order are read eight digits at a time; other maps place byte after byte.
template <typename Word, std::size_t N>
Word assemble(const ReorderRecord& record, std::string_view field, std::array<std::uint8_t, N>& value) {
  if (record.order == Order::kScattered) {
    place(record, decode(field), value);
    return load_little_endian<Word>(value);
  }
  Word word = alphabet::hex_bytes_of_eight(field.data() + 1);
  if constexpr (N == 8) word |= Word{alphabet::hex_bytes_of_eight(field.data() + 9)} << 32;
  if (record.order == Order::kReversed) word = byteswap(word);
  store_little_endian(word, value);
  return word;
}

}  // namespace

// The width found in the text, not the calibration line, decides the
// reference: a 4-byte field on a double-precision line makes that record a
// single-precision one. Other widths change only the record's width.
void Calibration::calibrate(ReorderRecord& record, std::string_view field, TextOutput& diagnostics) {
  const FieldBytes bytes = decode(substitute(field));
  record.width = bytes.width;
  if (bytes.width == kSinglePi.size()) {
    single_value_ = kSinglePi;
    match(record, bytes, kSinglePi, diagnostics);
    record.kind = Kind::kSinglePrecision;
  } else if (bytes.width == kDoublePi.size()) {
    double_value_ = kDoublePi;
    match(record, bytes, kDoublePi, diagnostics);
    record.kind = Kind::kDoublePrecision;
  }
  record.order = record.kind == Kind::kSinglePrecision   ? order_of<kSinglePi.size()>(record)
                 : record.kind == Kind::kDoublePrecision ? order_of<kDoublePi.size()>(record)
                                                         : Order::kScattered;
}

void Calibration::calibrate_single(std::string_view field, TextOutput& diagnostics) {
  calibrate(single_record_, field, diagnostics);
}

void Calibration::calibrate_double(std::string_view field, TextOutput& diagnostics) {
  calibrate(double_record_, field, diagnostics);
}

void Calibration::rewrite_float_field(std::string_view field, TextOutput& out) {
  field = substitute(field);
  const std::size_t width = (field.size() - 2) / 2;
  const ReorderRecord* record = nullptr;
  for (const ReorderRecord* candidate : {&double_record_, &single_record_})
    if (!record && candidate->width == width) record = candidate;
  if (!record) return;  // no calibration of this width yet: the field is dropped

  if (record->kind == Kind::kSinglePrecision) {
    const auto bits = assemble<std::uint32_t>(*record, field, single_value_);
    out.write_formatted(number_text::kMaxLength, [&](char* text) { return number_text::format_single(bits, text); });
  } else if (record->kind == Kind::kDoublePrecision) {
    const auto bits = assemble<std::uint64_t>(*record, field, double_value_);
    out.write_formatted(number_text::kMaxLength, [&](char* text) { return number_text::format_double(bits, text); });
  }
}

}  // namespace floatieee
