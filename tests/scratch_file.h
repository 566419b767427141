// A scratch file for the tests and the fuzz target, on every platform the
// build targets: a descriptor the text-mode streams read or write, holding
// given bytes at first, and what it holds afterwards. Unnamed, and removed
// when closed; read and written raw through the platform layer.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform.h"

class ScratchFile {
 public:
  explicit ScratchFile(std::string_view bytes = {}) : file_(std::tmpfile()) {
    if (!file_ || platform::write(fd(), bytes.data(), bytes.size()) != static_cast<std::ptrdiff_t>(bytes.size()))
      std::abort();
    std::rewind(file_);
  }
  ~ScratchFile() { std::fclose(file_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  int fd() const { return fileno(file_); }

  std::string contents() const {
    std::rewind(file_);
    std::string bytes;
    char block[65536];
    for (std::ptrdiff_t got; (got = platform::read(fd(), block, sizeof block)) > 0;)
      bytes.append(block, static_cast<std::size_t>(got));
    return bytes;
  }

 private:
  std::FILE* file_;
};
