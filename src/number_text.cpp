#include "number_text.h"

#include <charconv>

namespace number_text {

std::size_t format_unsigned(std::uint32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

std::size_t format_signed(std::int32_t value, char* out) {
  return static_cast<std::size_t>(std::to_chars(out, out + kMaxLength, value).ptr - out);
}

// The scientific forms come next; until then float fields write nothing.
std::uint64_t widen_binary32(std::uint32_t) { return 0; }
std::size_t format_scientific(std::uint64_t, int, char*) { return 0; }

}  // namespace number_text
