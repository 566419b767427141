// One whole conversion in process, for the unit tests and the fuzz target:
// the converted text, the messages and the exit status; and a file's bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>

#include "floatdump.h"

inline std::string bytes_of(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

struct Converted {
  int status;
  std::string output;
  std::string messages;
};

// Raw bytes out into one string, from any thread: the command's writer thread and the conversion's own may
// write into it, as they do into one stream with 2>&1.
class OneStream final : public RawSink {
 public:
  std::ptrdiff_t write(const char* data, std::size_t size) override {
    std::lock_guard lock(mutex_);
    bytes.append(data, size);
    return static_cast<std::ptrdiff_t>(size);
  }
  std::string bytes;

 private:
  std::mutex mutex_;
};

inline Converted convert_bytes(Scanner scanner, std::string_view bytes) {
  Converted converted{};
  MemorySource source(bytes);
  TextInput in(source);
  StringSink out(converted.output), messages(converted.messages);
  TextOutput diagnostics(messages);
  converted.status = convert(scanner, in, out, diagnostics, "memory").status;
  return converted;
}
