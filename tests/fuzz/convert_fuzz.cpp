// libFuzzer target: one whole conversion of arbitrary bytes, in process, by each scanner. Besides what the
// sanitizers catch, the hand-written scanner must write the same output and calibration messages as flex's
// scanner from the rules, and no LF without its CR; a conversion that fails is a finding too. The unit tests run it on every end-to-end case.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../scratch_file.h"
#include "floatdump.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "convert_fuzz: %s\n", what);
  std::abort();
}

bool has_lone_lf(const std::string& text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return true;
  return false;
}

// The output and the messages, one after the other.
std::string convert_with(Scanner scanner, std::string_view bytes) {
  ScratchFile input(bytes), output, messages;
  TextInput in(input.fd());
  TextOutput out(output.fd()), diagnostics(messages.fd());
  const int status = convert(scanner, in, out, diagnostics, "memory");
  if (status != 0) fail("a conversion failed");
  const std::string converted = output.contents(), reported = messages.contents();
  if (has_lone_lf(converted) || has_lone_lf(reported)) fail("an LF was written without its CR");
  return converted + "\n--- messages:\n" + reported;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (convert_with(Scanner::kFile, bytes) != convert_with(Scanner::kFlex, bytes))
    fail("the hand-written scanner differs from flex's");
  return 0;
}
