#include "conversion.h"

#include <climits>
#include <cstdlib>

Conversion::Conversion(TextSource& in, Sink& out, TextOutput& diagnostics, std::size_t largest_allocation)
    : in_(in), out_(out, TextOutput::OnFailure::kStop), diagnostics_(diagnostics),
      // flex keeps sizes in int; a larger request means its arithmetic wrapped.
      largest_allocation_(largest_allocation < INT_MAX ? largest_allocation : INT_MAX) {}

std::size_t Conversion::read(char* buffer, std::size_t max) {
  if (read_failed_) return 0;
  // All the room is filled unless the input would wait: flex's scanner
  // rescans a pending token at every refill, so a long token read in small
  // pieces would take it time quadratic in its length. (Only the file
  // scanner, which never rescans, meets input that waits.)
  std::size_t filled = 0;
  do {
    // Someone typing at a terminal, or reading the output of a pipe whose
    // writer is slow, sees each line converted before the next is waited for.
    if (in_.interactive() || in_.would_wait()) {
      if (filled > 0) break;
      out_.hand_over();
    }
    const std::ptrdiff_t got = in_.read(buffer + filled, max - filled);
    if (got == 0) break;
    if (got < 0) {
      read_failed_ = true;  // reported once what came before is converted
      break;
    }
    filled += static_cast<std::size_t>(got);
  } while (filled < max);
  return filled;
}

void* Conversion::allocate(std::size_t size) const { return size > largest_allocation_ ? nullptr : std::malloc(size); }

void* Conversion::reallocate(void* block, std::size_t size) const {
  void* const larger = size > largest_allocation_ ? nullptr : std::realloc(block, size);
  if (!larger) std::free(block);
  return larger;
}

void Conversion::release(void* block) { std::free(block); }

void Conversion::fail(const char* message) { throw ScannerFailure{message}; }
