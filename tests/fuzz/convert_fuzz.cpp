// libFuzzer target: one whole conversion of arbitrary bytes, in process, by
// each scanner. Besides what AddressSanitizer and UndefinedBehaviorSanitizer
// catch, it checks that
// - the hand-written scanner writes the same output and the same calibration
//   messages as flex's scanner from the rules;
// - converting the same bytes twice gives the same bytes;
// - no LF reaches the output or the messages without its CR.
// A conversion that ends the process (a fatal scanner error) is a finding too.
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

// A file in memory, reused from one input to the next.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("convert_fuzz", 0)) {
    if (fd_ < 0) fail("memfd_create failed");
  }

  // Emptied, positioned at its start.
  int empty() {
    if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) fail("cannot empty a memory file");
    return fd_;
  }

  // Holding `data`, positioned at its start.
  int holding(const std::uint8_t* data, std::size_t size) {
    empty();
    for (std::size_t done = 0; done < size;) {
      const ssize_t put = write(fd_, data + done, size - done);
      if (put <= 0) fail("cannot fill a memory file");
      done += static_cast<std::size_t>(put);
    }
    if (lseek(fd_, 0, SEEK_SET) != 0) fail("cannot rewind a memory file");
    return fd_;
  }

  std::string contents() const {
    std::string bytes;
    char chunk[65536];
    for (off_t at = 0;;) {
      const ssize_t got = pread(fd_, chunk, sizeof chunk, at);
      if (got < 0) fail("cannot read a memory file back");
      if (got == 0) return bytes;
      bytes.append(chunk, static_cast<std::size_t>(got));
      at += got;
    }
  }

 private:
  int fd_;
};

struct Converted {
  std::string output;
  std::string diagnostics;
  bool operator==(const Converted&) const = default;
};

MemoryFile input, output, diagnostics;

Converted convert_with(Scanner scanner, const std::uint8_t* data, std::size_t size) {
  {
    TextInput in(input.holding(data, size));
    TextOutput out(output.empty());
    TextOutput messages(diagnostics.empty());
    scan(scanner, in, out, messages, "memory");
    messages.flush();
  }
  return {output.contents(), diagnostics.contents()};
}

bool has_lone_lf(const std::string& text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Converted reference = convert_with(kFlexScanner, data, size);
  const Converted fast = convert_with(kFileScanner, data, size);
  const Converted again = convert_with(kFileScanner, data, size);
  if (has_lone_lf(fast.output) || has_lone_lf(fast.diagnostics)) fail("an LF was written without its CR");
  if (!(again == fast)) fail("converting the same bytes twice gave different bytes");
  if (!(fast == reference)) fail("the hand-written scanner differs from flex's");
  return 0;
}
