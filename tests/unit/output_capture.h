// Memory files for tests: one that holds given bytes, and the bytes a writer
// produces through a TextOutput.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "text_stream.h"

// A memory file holding `bytes`, read from its start.
inline int memory_file(const std::string& bytes = "") {
  const int fd = memfd_create("test", 0);
  return pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) ? fd : -1;
}

inline std::string contents(int fd) {
  std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
  return pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) ? bytes : "<unreadable>";
}

template <typename Writer>
std::string capture_output(Writer writer) {
  const int fd = memory_file();
  {
    TextOutput out(fd);
    writer(out);
    out.flush();
  }
  std::string bytes = contents(fd);
  close(fd);
  return bytes;
}
