// The I/O floor of a conversion: reads a file in 64 KiB blocks and writes it
// with every LF as CR LF, nothing else. No converter can beat it; throughput.sh
// shows how far floatdump is from it.
//
// usage: io_floor IN OUT
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: io_floor IN OUT\n");
    return 1;
  }
  const int in = open(argv[1], O_RDONLY);
  const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in < 0 || out < 0) {
    std::perror("io_floor");
    return 1;
  }
  static char block[64 * 1024], converted[2 * sizeof block];
  for (ssize_t got; (got = read(in, block, sizeof block)) > 0;) {
    char* to = converted;
    for (const char* from = block; from < block + got;) {
      const auto* lf = static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(block + got - from)));
      const char* stop = lf ? lf : block + got;
      std::memcpy(to, from, static_cast<std::size_t>(stop - from));
      to += stop - from;
      from = stop;
      if (lf) {
        *to++ = '\r';
        *to++ = '\n';
        ++from;
      }
    }
    if (write(out, converted, static_cast<std::size_t>(to - converted)) != to - converted) {
      std::perror("io_floor");
      return 1;
    }
  }
  return close(out) == 0 ? 0 : 1;
}
