// libFuzzer target: one whole conversion of arbitrary bytes, in process, by each scanner. Besides what the
// sanitizers catch, the hand-written scanner must write the same output and calibration messages as flex's
// scanner from the rules, the same bytes when it converts them again (no state is left from a conversion), and
// no LF without its CR. A conversion that ends the process (a fatal scanner error) is a finding too. The unit
// tests run it on every end-to-end case.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../scratch_file.h"
#include "scanner.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "convert_fuzz: %s\n", what);
  std::abort();
}

// Scratch files, reused from one input to the next.
std::FILE* const input = scratch_file();
std::FILE* const output = scratch_file();
std::FILE* const messages = scratch_file();

// The output and the messages, one after the other.
std::string convert_with(Scanner scanner, const std::uint8_t* data, std::size_t size) {
  TextInput in(holding(input, std::string(reinterpret_cast<const char*>(data), size)));
  TextOutput out(holding(output, "")), diagnostics(holding(messages, ""));
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
