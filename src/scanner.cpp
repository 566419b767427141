#include "scanner.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "floatieee.h"

namespace {

constexpr char kEndOfText = 0x1A;

// The streams of the conversion under way.
struct Session {
  TextInput* in = nullptr;
  TextOutput* out = nullptr;
  TextOutput* diagnostics = nullptr;
  const char* out_name = "standard output";
  bool read_failed = false;  // the input ended in a read failure
};
Session session;

[[noreturn]] void fail_writing() {
  report(*session.diagnostics, "error writing", session.out_name, session.out->error());
  std::exit(2);
}

int allocations_before_failure = 0;  // see scanner_fail_allocation; 0: none fails

bool allocation_fails(std::size_t size) {
  if (allocations_before_failure > 0 && --allocations_before_failure == 0) return true;
  // flex keeps sizes in int; a larger request means its arithmetic wrapped.
  return size > static_cast<std::size_t>(INT_MAX);
}

void swap_bytes(char* text, std::size_t length, char from, char to) {
  for (char* at = text; (at = static_cast<char*>(std::memchr(at, from, length - (at - text)))) != nullptr;) *at++ = to;
}

}  // namespace

void report(TextOutput& errors, std::string_view what, std::string_view name, int error) {
  // Assembled without allocating, in one piece so that it reaches standard
  // error whole.
  char line[512];
  std::size_t length = 0;
  for (std::string_view part : {std::string_view("floatdump: "), what, std::string_view(" "), name,
                                std::string_view(": "), std::string_view(std::strerror(error)), std::string_view("\n")}) {
    const std::size_t take = std::min(part.size(), sizeof line - 1 - length);
    std::memcpy(line + length, part.data(), take);
    length += take;
  }
  if (line[length - 1] != '\n') line[length++] = '\n';
  errors.write({line, length});
}

int scanner_read(char* buffer, int max) {
  // Someone typing at a terminal sees each line converted before the next.
  if (session.in->interactive()) session.out->flush();
  if (session.out->error() != 0) fail_writing();
  if (session.read_failed) return 0;
  // A file or pipe fills all the room it is offered: a scanner rescans a
  // pending token at every refill, so a long token read in small pieces would
  // take time quadratic in its length.
  const auto room = static_cast<std::size_t>(max);
  std::size_t filled = 0;
  do {
    const std::ptrdiff_t got = session.in->read(buffer + filled, room - filled);
    if (got == 0) break;
    if (got < 0) {
      session.read_failed = true;  // reported once what came before is converted
      break;
    }
    filled += static_cast<std::size_t>(got);
  } while (filled < room && !session.in->interactive());
  return static_cast<int>(filled);
}

int scanner_read_for_flex(char* buffer, int max) {
  const int got = scanner_read(buffer, max);
  swap_bytes(buffer, static_cast<std::size_t>(got), '\0', kEndOfText);
  return got;
}

void scanner_echo_for_flex(char* text, int length) {
  swap_bytes(text, static_cast<std::size_t>(length), kEndOfText, '\0');
  session.out->write({text, static_cast<std::size_t>(length)});
}

TextOutput& scanner_output() { return *session.out; }
TextOutput& scanner_diagnostics() { return *session.diagnostics; }

void* scanner_allocate(std::size_t size) { return allocation_fails(size) ? nullptr : std::malloc(size); }

void* scanner_reallocate(void* block, std::size_t size) {
  return allocation_fails(size) ? nullptr : std::realloc(block, size);
}

void scanner_release(void* block) { std::free(block); }

void scanner_fail_allocation(int n) { allocations_before_failure = n; }

// What was converted before the failure stays in the output.
void scanner_fatal(const char* message) {
  // flex makes its buffer stack together with the buffer when the scan
  // starts: running out of memory there reads the same.
  if (std::strcmp(message, "out of dynamic memory in yyensure_buffer_stack()") == 0)
    message = "out of dynamic memory in yy_create_buffer()";
  const bool written = session.out->flush();
  // Assembled without allocating, memory may be what ran out; in one piece, so
  // that the line reaches standard error whole.
  char line[128];
  const std::size_t length = std::min(std::strlen(message), sizeof line - 1);
  std::memcpy(line, message, length);
  line[length] = '\n';
  session.diagnostics->write({line, length + 1});
  if (!written) fail_writing();
  std::exit(2);
}

void scan(Scanner scanner, TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name) {
  session = {&in, &out, &diagnostics, out_name};
  floatieee::reset_calibration();
  scanner.lex();
  scanner.destroy();  // the next conversion starts afresh
  if (session.read_failed) scanner_fatal("input in flex scanner failed");
  if (!out.flush()) fail_writing();
}
