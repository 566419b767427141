// libFuzzer target: one whole conversion of arbitrary bytes, in process, by each scanner. Besides what the
// sanitizers catch, the hand-written scanner must write the same output and calibration messages as flex's
// scanner from the rules, the same bytes when it converts them again (no state is left from a conversion), and
// no LF without its CR. A conversion that ends the process (a fatal scanner error) is a finding too. The unit
// tests run it on every end-to-end case.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scanner.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "convert_fuzz: %s\n", what);
  std::abort();
}

// Memory files, reused from one input to the next: emptied, then holding `bytes`.
int holding(int fd, const void* bytes, std::size_t size) {
  if (ftruncate(fd, 0) != 0 || pwrite(fd, bytes, size, 0) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0)
    fail("cannot fill a memory file");
  return fd;
}

std::string contents(int fd) {
  std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
  if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) fail("cannot read a memory file");
  return bytes;
}

const int input = memfd_create("input", 0), output = memfd_create("output", 0), messages = memfd_create("messages", 0);

// The output and the messages, one after the other.
std::string convert_with(Scanner scanner, const std::uint8_t* data, std::size_t size) {
  TextInput in(holding(input, data, size));
  TextOutput out(holding(output, nullptr, 0)), diagnostics(holding(messages, nullptr, 0));
  scan(scanner, in, out, diagnostics, "memory");
  diagnostics.flush();
  return contents(output) + "\n--- messages:\n" + contents(messages);
}

bool has_lone_lf(const std::string& text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reference = convert_with(kFlexScanner, data, size);
  const std::string fast = convert_with(kFileScanner, data, size);
  if (has_lone_lf(contents(output)) || has_lone_lf(contents(messages))) fail("an LF was written without its CR");
  if (convert_with(kFileScanner, data, size) != fast) fail("converting the same bytes twice gave different bytes");
  if (fast != reference) fail("the hand-written scanner differs from flex's");
  return 0;
}
