// libFuzzer target: whole conversions of arbitrary bytes, in process. Besides what the sanitizers catch, the
// hand-written scanner must write the same output and calibration messages as flex's scanner from the rules,
// also when the bytes come through a pipe in short writes to the command's reader thread, so that its reads end
// anywhere; no LF may go without its CR, and a conversion that fails is a finding too. The unit tests run it on
// every end-to-end case.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#include "../harness.h"
#include "platform.h"
#include "threaded_io.h"

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

// The bytes written into a pipe in pieces of 1 to 64 bytes, their sizes drawn from the bytes themselves, and
// converted as the command converts a pipe, with its reader and writer threads.
Converted through_pipe(std::string_view bytes) {
  int ends[2];
  if (!platform::open_pipe(ends)) fail("no pipe");
  // Nothing after the first Ctrl-Z is read: writing it would wait forever on the full pipe.
  const std::size_t end_of_text = bytes.find('\x1a');
  const std::string_view text = end_of_text == std::string_view::npos ? bytes : bytes.substr(0, end_of_text + 1);
  std::thread writer([&] {
    std::minstd_rand pieces(static_cast<unsigned>(std::hash<std::string_view>{}(bytes)));
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t n = std::min<std::size_t>(text.size() - at, 1 + pieces() % 64);
      if (platform::write(ends[1], text.data() + at, n) != static_cast<std::ptrdiff_t>(n)) fail("pipe write");
      at += n;
    }
    platform::close(ends[1]);
  });
  Converted converted{};
  OneStream output;
  {
    ThreadedInput in(ends[0]);
    ThreadedOutput out(output);
    StringSink messages(converted.messages);
    TextOutput diagnostics(messages);
    converted.status = convert(Scanner::kFile, in, out, diagnostics, "memory").status;
  }
  converted.output = output.bytes;
  writer.join();
  platform::close(ends[0]);
  return converted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string file = checked(convert_bytes(Scanner::kFile, bytes));
  if (file != checked(convert_bytes(Scanner::kFlex, bytes))) fail("the hand-written scanner differs from flex's");
  if (file != checked(through_pipe(bytes))) fail("the bytes through a pipe convert differently");
  return 0;
}
