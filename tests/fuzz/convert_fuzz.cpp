// libFuzzer target: whole conversions of arbitrary bytes, in process. Besides what the sanitizers catch, the
// hand-written scanner must write the same output and calibration messages as flex's scanner from the rules; no
// LF may go without its CR, and a conversion that fails is a finding too. The unit tests run it on every
// end-to-end case.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../harness.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "convert_fuzz: %s\n", what);
  std::abort();
}

// The output and the messages, one after the other.
std::string checked(const Converted& converted) {
  if (converted.status != 0) fail("a conversion failed");
  if (!TextOutput::each_lf_after_cr(converted.output) || !TextOutput::each_lf_after_cr(converted.messages))
    fail("an LF was written without its CR");
  return converted.output + "\n--- messages:\n" + converted.messages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string file = checked(convert_bytes(Scanner::kFile, bytes));
  if (file != checked(convert_bytes(Scanner::kFlex, bytes))) fail("the hand-written scanner differs from flex's");
  return 0;
}
