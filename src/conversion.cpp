#include "conversion.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "messages.h"

namespace {

constexpr char kEndOfText = 0x1A;

void swap_bytes(char* text, std::size_t length, char from, char to) {
  for (char* at = text; (at = static_cast<char*>(std::memchr(at, from, length - (at - text)))) != nullptr;) *at++ = to;
}

}  // namespace

Conversion::Conversion(TextInput& in, TextOutput& out, TextOutput& diagnostics, std::size_t largest_allocation)
    : in_(in), out_(out), diagnostics_(diagnostics),
      // flex keeps sizes in int; a larger request means its arithmetic wrapped.
      largest_allocation_(largest_allocation < INT_MAX ? largest_allocation : INT_MAX) {}

std::size_t Conversion::read(char* buffer, std::size_t max) {
  // Someone typing at a terminal sees each line converted before the next.
  if (in_.interactive()) out_.flush();
  if (out_.error() != 0) throw OutputFailure{};
  if (read_failed_) return 0;
  // A file or pipe fills all the room it is offered: a scanner rescans a
  // pending token at every refill, so a long token read in small pieces would
  // take time quadratic in its length.
  std::size_t filled = 0;
  do {
    const std::ptrdiff_t got = in_.read(buffer + filled, max - filled);
    if (got == 0) break;
    if (got < 0) {
      read_failed_ = true;  // reported once what came before is converted
      break;
    }
    filled += static_cast<std::size_t>(got);
  } while (filled < max && !in_.interactive());
  return filled;
}

std::size_t Conversion::read_for_flex(char* buffer, std::size_t max) {
  const std::size_t got = read(buffer, max);
  swap_bytes(buffer, got, '\0', kEndOfText);
  return got;
}

void Conversion::echo_for_flex(char* text, std::size_t length) {
  swap_bytes(text, length, kEndOfText, '\0');
  out_.write({text, length});
}

void* Conversion::allocate(std::size_t size) { return size > largest_allocation_ ? nullptr : std::malloc(size); }

void* Conversion::reallocate(void* block, std::size_t size) {
  void* larger = size > largest_allocation_ ? nullptr : std::realloc(block, size);
  // flex drops its pointer to the block when it cannot grow it.
  if (!larger) std::free(block);
  return larger;
}

void Conversion::release(void* block) { std::free(block); }

void Conversion::fail(const char* message) { throw ScannerFailure{message}; }
