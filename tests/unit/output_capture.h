// Runs a writer against a TextOutput and returns the bytes it produced.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "text_stream.h"

template <typename Writer>
std::string capture_output(Writer writer) {
  const int fd = memfd_create("captured", 0);
  {
    TextOutput out(fd);
    writer(out);
    out.flush();
  }
  std::string bytes;
  char chunk[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<std::size_t>(got));
  close(fd);
  return bytes;
}
