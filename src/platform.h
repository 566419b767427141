// What differs between the systems the command runs on, behind a few calls:
// descriptors opened raw (text_stream does line ends and Ctrl-Z itself, the
// C runtime must not), the standard streams, consoles, whether two
// descriptors are one file, the system's words for its errors, how a user
// asks for help and where the manual is. platform_posix.cpp and
// platform_win32.cpp each implement all of it; the build compiles one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text_stream.h"

namespace platform {

constexpr int kStandardInput = 0, kStandardOutput = 1, kStandardError = 2;

// The null device's name as a message quotes it: "'/dev/null'" or "'NUL'".
extern const char* const kNullDeviceQuoted;

// Where --help sends a reader for the whole manual: "man floatdump", or on
// Windows the HTML page that the zip holds beside floatdump.exe.
extern const char* const kFullDocumentation;

// The system's own way to ask a command for help, which the first argument
// answers as --help does: "/?" on Windows; null on POSIX, where "/?" is a
// file's name.
extern const char* const kHelpSwitch;

// Failures below set errno. On Windows, where the failure is the system's,
// errno holds Windows' own error code negated (errno values are positive):
// the C runtime's mapping would lose it, and report a file that another
// program holds open as "Permission denied".
//
// The system's words for `error`, as one line without a closing period:
// strerror on POSIX; on Windows the system's message for its code, or for
// the code an errno stands for, in the user's language.
std::string reason(int error);

// Makes the three standard streams raw and records in `closed` which were
// closed when the command started. Each closed one is given the null device
// opened the other way round, so that no file opened later takes its number
// and using it still fails as on a closed stream. false with errno set when
// the null device cannot be opened.
bool take_standard_streams(bool closed[3]);

// Opens a file named by `path` (UTF-8) raw and not inherited by children:
// for reading, or for writing, created when missing but not truncated.
// -1 with errno set on failure.
int open_for_reading(const char* path);
int open_for_writing(const char* path);

// A pipe, its read end in ends[0] and its write end in ends[1], raw and not
// inherited by children; false with errno set.
bool open_pipe(int (&ends)[2]);

// The raw bytes, as POSIX read and write: the count, or -1 with errno set.
std::ptrdiff_t read(int fd, void* buffer, std::size_t count);
std::ptrdiff_t write(int fd, const void* buffer, std::size_t count);
int close(int fd);  // 0, or -1 with errno set (a write that failed late)

// Whether `fd` is a terminal or console that a person types at, where the
// input comes a line at a time and Ctrl-Z ends only the current read.
bool is_console(int fd);

// Whether `fd` is a file on a disk (not a pipe, terminal or device); its
// length in `size`.
bool is_disk_file(int fd, std::uint64_t& size);

// Whether two descriptors lead to the same file, through whatever names,
// links or redirections.
bool same_file(int a, int b);

// Empties the file open for writing on `fd`; false with errno set.
bool truncate(int fd);

// A wait for input that another thread can end: the command's reader thread
// waits through it before each read, so that a conversion that stops while
// a pipe is silent does not leave that thread blocked.
class InputWait {
 public:
  // Throws std::system_error when the system gives nothing to wait with.
  InputWait();
  ~InputWait();
  InputWait(const InputWait&) = delete;
  InputWait& operator=(const InputWait&) = delete;

  // Waits until a read of `fd` would not wait: bytes, the end of the input
  // or a failure are there to be read. false once stop() has been called.
  bool wait(int fd);
  // Ends the wait under way and every one to come; from any thread.
  void stop();

 private:
  std::intptr_t handles_[2];
};

// A descriptor read and written through the calls above.
class Descriptor final : public RawSource, public RawSink {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  std::ptrdiff_t read(char* buffer, std::size_t max) override { return platform::read(fd_, buffer, max); }
  std::ptrdiff_t write(const char* data, std::size_t size) override { return platform::write(fd_, data, size); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Writes text for a person to read, UTF-8, as write() does: messages, and the
// answer to --help. On Windows a console is given it as UTF-16, so that
// every character of a file's name shows whatever the console's code page;
// a file or pipe, and every descriptor on POSIX, gets the bytes. A
// character cut in two by the end of `data` waits in `cut` for the rest.
std::ptrdiff_t write_readable(int fd, const char* data, std::size_t size, std::string& cut);

// A TextOutput of readable text that writes a descriptor as each block
// fills: standard error, and --help.
class DescriptorOutput {
 public:
  explicit DescriptorOutput(int fd) : readable_(fd), sink_(readable_), text_(sink_) {}
  DescriptorOutput(const DescriptorOutput&) = delete;
  DescriptorOutput& operator=(const DescriptorOutput&) = delete;
  TextOutput& text() { return text_; }

 private:
  class Readable final : public RawSink {
   public:
    explicit Readable(int fd) : fd_(fd) {}
    std::ptrdiff_t write(const char* data, std::size_t size) override { return write_readable(fd_, data, size, cut_); }

   private:
    int fd_;
    std::string cut_;
  };
  Readable readable_;
  WritingSink sink_;
  TextOutput text_;
};

}  // namespace platform
