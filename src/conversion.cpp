#include "conversion.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "messages.h"

namespace {

void swap_bytes(char* text, std::size_t length, char from, char to) {
  for (char* at = text; (at = static_cast<char*>(std::memchr(at, from, length - (at - text)))) != nullptr;) *at++ = to;
}

}  // namespace

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

std::size_t Conversion::read_for_flex(char* buffer, std::size_t max) {
  const std::size_t got = read(buffer, max);
  swap_bytes(buffer, got, '\0', kEndOfText);
  return got;
}

void Conversion::echo_for_flex(char* text, std::size_t length) {
  swap_bytes(text, length, kEndOfText, '\0');
  out_.write({text, length});
}

Conversion::~Conversion() {
  while (blocks_.next != &blocks_) release(blocks_.next + 1);
}

void* Conversion::linked(Block* block) {
  if (!block) return nullptr;
  *block = {&blocks_, blocks_.next};
  blocks_.next->previous = block;
  blocks_.next = block;
  return block + 1;
}

void* Conversion::allocate(std::size_t size) {
  return size > largest_allocation_ ? nullptr : linked(static_cast<Block*>(std::malloc(sizeof(Block) + size)));
}

void* Conversion::reallocate(void* block, std::size_t size) {
  if (!block) return allocate(size);
  Block* const header = static_cast<Block*>(block) - 1;
  header->previous->next = header->next;
  header->next->previous = header->previous;
  auto* larger = size > largest_allocation_ ? nullptr : static_cast<Block*>(std::realloc(header, sizeof(Block) + size));
  // flex drops its pointer to the block when it cannot grow it.
  if (!larger) std::free(header);
  return linked(larger);
}

void Conversion::release(void* block) {
  if (!block) return;
  Block* const header = static_cast<Block*>(block) - 1;
  header->previous->next = header->next;
  header->next->previous = header->previous;
  std::free(header);
}

void Conversion::fail(const char* message) { throw ScannerFailure{message}; }
