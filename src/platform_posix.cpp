// The platform layer on POSIX systems: descriptors are raw already; a file
// is its device and inode number.
#include "platform.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <system_error>

namespace platform {

const char* const kNullDeviceQuoted = "'/dev/null'";
const char* const kFullDocumentation = "man floatdump";
const char* const kHelpSwitch = nullptr;

std::string reason(int error) { return std::strerror(error); }

// open() hands out the lowest free number, so a closed standard stream's
// would go to a file: the result file taken for standard output, messages
// written into the output file.
bool take_standard_streams(bool closed[3]) {
  for (int fd : {kStandardInput, kStandardOutput, kStandardError}) {
    closed[fd] = fcntl(fd, F_GETFD) < 0 && errno == EBADF;
    if (closed[fd] && open("/dev/null", fd == kStandardInput ? O_WRONLY : O_RDONLY) != fd) return false;
  }
  return true;
}

int open_for_reading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }

int open_for_writing(const char* path) { return open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666); }

bool open_pipe(int (&ends)[2]) {
  if (pipe(ends) != 0) return false;
  for (int end : ends) fcntl(end, F_SETFD, FD_CLOEXEC);
  return true;
}

std::ptrdiff_t read(int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); }

std::ptrdiff_t write(int fd, const void* buffer, std::size_t count) { return ::write(fd, buffer, count); }

int close(int fd) { return ::close(fd); }

bool is_console(int fd) { return isatty(fd) > 0; }

// A terminal takes the bytes as they are: nothing is ever cut.
std::ptrdiff_t write_readable(int fd, const char* data, std::size_t size, std::string&) {
  return ::write(fd, data, size);
}

bool is_disk_file(int fd, std::uint64_t& size) {
  struct stat file;
  if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) return false;
  size = static_cast<std::uint64_t>(file.st_size);
  return true;
}

bool same_file(int a, int b) {
  struct stat first, second;
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool truncate(int fd) { return ftruncate(fd, 0) == 0; }

// A pipe of its own: stop() writes a byte that is never read, so that every
// poll on the pipe's read end returns from then on. A regular file always
// polls readable, so only pipes, terminals and devices ever wait here.
InputWait::InputWait() {
  int ends[2];
  if (!open_pipe(ends)) throw std::system_error(errno, std::generic_category(), "pipe");
  handles_[0] = ends[0];
  handles_[1] = ends[1];
}

InputWait::~InputWait() {
  ::close(static_cast<int>(handles_[0]));
  ::close(static_cast<int>(handles_[1]));
}

bool InputWait::wait(int fd) {
  pollfd waits[2] = {{fd, POLLIN, 0}, {static_cast<int>(handles_[0]), POLLIN, 0}};
  while (poll(waits, 2, -1) < 0 && errno == EINTR) {
  }
  // A descriptor poll cannot watch (POLLNVAL) is left to the read to report.
  return waits[1].revents == 0;
}

void InputWait::stop() {
  const char byte = 0;
  while (::write(static_cast<int>(handles_[1]), &byte, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace platform
