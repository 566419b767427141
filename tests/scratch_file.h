// Scratch files for tests, on every platform the build targets: unnamed,
// removed when the process ends, read and written raw through the platform layer.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform.h"

// An empty scratch file; the descriptor is fileno() of it.
inline std::FILE* scratch_file() {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) std::abort();
  return file;
}

// Empties `file`, writes `bytes` and rewinds it; its descriptor.
inline int holding(std::FILE* file, const std::string& bytes) {
  std::rewind(file);
  if (!platform::truncate(fileno(file)) ||
      platform::write(fileno(file), bytes.data(), bytes.size()) != static_cast<std::ptrdiff_t>(bytes.size()))
    std::abort();
  std::rewind(file);
  return fileno(file);
}

inline std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string bytes;
  char block[65536];
  for (std::ptrdiff_t got; (got = platform::read(fileno(file), block, sizeof block)) > 0;)
    bytes.append(block, static_cast<std::size_t>(got));
  return bytes;
}
