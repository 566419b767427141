// One whole conversion in process, for the unit tests and the fuzz target:
// the converted text, the messages and the exit status.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "floatdump.h"

struct Converted {
  int status;
  std::string output;
  std::string messages;
};

inline Converted convert_raw(Scanner scanner, RawSource& source, std::size_t largest_allocation = SIZE_MAX) {
  Converted converted{};
  TextInput in(source);
  StringSink out(converted.output), messages(converted.messages);
  TextOutput diagnostics(messages);
  converted.status = convert(scanner, in, out, diagnostics, "memory", largest_allocation).status;
  return converted;
}

inline Converted convert_bytes(Scanner scanner, std::string_view bytes) {
  MemorySource source(bytes);
  return convert_raw(scanner, source);
}
