// A scratch file for the tests and the fuzz target: a descriptor the
// text-mode streams read or write, holding given bytes at first, and what it
// holds afterwards. Removed when closed.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

class ScratchFile {
 public:
  explicit ScratchFile(std::string_view bytes = {}) : file_(std::tmpfile()) {
    if (!file_ || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) ||
        std::fflush(file_) != 0 || lseek(fd(), 0, SEEK_SET) != 0)
      std::perror("scratch file"), std::abort();
  }
  ~ScratchFile() { std::fclose(file_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  int fd() const { return fileno(file_); }

  std::string contents() const {
    std::string bytes(static_cast<std::size_t>(lseek(fd(), 0, SEEK_END)), '\0');
    lseek(fd(), 0, SEEK_SET);
    for (std::size_t got = 0; got < bytes.size();) {
      const auto n = read(fd(), bytes.data() + got, bytes.size() - got);
      if (n <= 0) return "<unreadable>";
      got += static_cast<std::size_t>(n);
    }
    return bytes;
  }

 private:
  std::FILE* file_;
};
