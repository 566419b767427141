#include "floatdump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "file_scanner.h"
#include "messages.h"

namespace {

constexpr char kProgram[] = "floatdump";
constexpr char kStandardOutput[] = "standard output";

constexpr char kHelp[] =
    "Usage: floatdump resultFile_in resultFile_out\n"
    "  or:  floatdump --help | --version\n"
    "Convert the numeric dumps in a test result file to readable text.\n"
    "\n"
    "  resultFile_in   the result file to convert; - reads standard input\n"
    "  resultFile_out  the copy to write, created or emptied; - writes standard output\n"
    "  --help          show this help and exit (first argument only)\n"
    "  --version       show the version and exit (first argument only)\n"
    "\n"
    "Exit status:\n"
    "  0  the whole input was converted\n"
    "  1  fewer than two arguments: the usage text is on standard error\n"
    "  2  a file could not be opened, read or written, or the scanner failed\n"
    "\n"
    "Full documentation: man floatdump\n";

// The answer to --help or --version, on standard output with the line ends
// of all other output; status 0, or 2 when it cannot be written.
int answer(const char* text, TextOutput& errors) {
  TextOutput out(STDOUT_FILENO);
  out.write(text);
  if (out.flush()) return 0;
  messages::write(errors, messages::kErrorWriting, {kStandardOutput, messages::reason(out.error())});
  return 2;
}

// The standard streams that were closed when the command started.
bool closed_at_start[3];

// open() hands out the lowest free number, so a closed standard stream's
// would go to a file: the result file taken for standard output, messages
// written into the output file. Each closed one is given /dev/null, opened
// the other way round so that using it still fails as on a closed stream.
bool occupy_closed_standard_streams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    closed_at_start[fd] = fcntl(fd, F_GETFD) < 0 && errno == EBADF;
    if (closed_at_start[fd] && open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) != fd) return false;
  }
  return true;
}

// A result file, or the standard stream for "-"; -1 with errno set on failure.
int open_path(const char* path, int standard, int flags) {
  if (std::strcmp(path, "-") != 0) return open(path, flags | O_CLOEXEC, 0666);
  if (!closed_at_start[standard]) return standard;
  errno = EBADF;
  return -1;
}

std::string quoted(const char* path) { return std::string("'") + path + "'"; }

}  // namespace

int convert(Scanner scanner, TextInput& in, TextOutput& out, TextOutput& diagnostics, std::string_view out_name,
            std::size_t largest_allocation) {
  Conversion conversion(in, out, diagnostics, largest_allocation);
  try {
    if (scanner == Scanner::kFlex)
      flex_scan(conversion);
    else
      file_scan(conversion);
    if (conversion.read_failed()) Conversion::fail(messages::kReadFailed);
    if (out.flush()) return 0;
  } catch (const ScannerFailure& failure) {
    // What was converted before the failure stays in the output.
    const bool written = out.flush();
    messages::write(diagnostics, messages::kScannerFailure, {failure.message});
    if (written) return 2;
  } catch (const OutputFailure&) {
  }
  messages::write(diagnostics, messages::kErrorWriting, {out_name, messages::reason(out.error())});
  return 2;
}

int floatdump_main(int argc, char** argv) {
  TextOutput errors(STDERR_FILENO);
  if (!occupy_closed_standard_streams()) {
    messages::write(errors, messages::kCannotOpen, {"'/dev/null'", messages::reason(errno)});
    return 2;
  }
  // Only as the first argument: after it, any name is a file's.
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) return answer(kHelp, errors);
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) return answer("floatdump " FLOATDUMP_VERSION "\n", errors);
  if (argc < 3) {
    messages::write(errors, messages::kBanner, {FLOATDUMP_VERSION});
    messages::write(errors, messages::kUsage, {argc > 0 && argv[0] ? argv[0] : kProgram});
    return 1;
  }
  const int in_fd = open_path(argv[1], STDIN_FILENO, O_RDONLY);
  if (in_fd < 0) {
    messages::write(errors, messages::kCannotOpenInput, {quoted(argv[1]), messages::reason(errno)});
    return 2;
  }
  const bool to_standard_output = std::strcmp(argv[2], "-") == 0;
  const std::string out_name = to_standard_output ? kStandardOutput : quoted(argv[2]);
  // Truncated only once known not to be the result file itself, which
  // would otherwise be emptied before it is read.
  const int out_fd = open_path(argv[2], STDOUT_FILENO, O_WRONLY | O_CREAT);
  if (out_fd < 0) {
    // A closed standard output fails as its first write would.
    messages::write(errors, to_standard_output ? messages::kErrorWriting : messages::kCannotOpenOutput,
                    {out_name, messages::reason(errno)});
    return 2;
  }
  struct stat in_file, out_file;
  if (fstat(in_fd, &in_file) == 0 && fstat(out_fd, &out_file) == 0 && S_ISREG(out_file.st_mode)) {
    if (in_file.st_dev == out_file.st_dev && in_file.st_ino == out_file.st_ino) {
      messages::write(errors, messages::kSameFile, {quoted(argv[1])});
      return 2;
    }
    // Standard output is the shell's to empty (>) or to append to (>>). An
    // empty file is left alone: ext4 writes out a file truncated to nothing
    // when it is closed, and the conversion would wait for that.
    if (!to_standard_output && out_file.st_size > 0 && ftruncate(out_fd, 0) != 0) {
      messages::write(errors, messages::kCannotOpenOutput, {out_name, messages::reason(errno)});
      return 2;
    }
  }
  TextInput in(in_fd);
  TextOutput out(out_fd);
  // flex's interactive matching acts on a token as soon as it is complete,
  // which is what a terminal needs; files and pipes get the hand-written
  // scanner, which copies plain text a block at a time. Both follow the same rules.
  const int status = convert(in.interactive() ? Scanner::kFlex : Scanner::kFile, in, out, errors, out_name);
  if (status != 0) return status;
  if (close(out_fd) != 0) {
    messages::write(errors, messages::kErrorWriting, {out_name, messages::reason(errno)});
    return 2;
  }
  close(in_fd);
  return 0;
}
