#include "floatdump.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform.h"
#include "scanner.h"

namespace {

constexpr char kProgram[] = "floatdump";

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
  TextOutput out(platform::kStandardOutput);
  out.write(text);
  if (out.flush()) return 0;
  report(errors, "error writing", "standard output", out.error());
  return 2;
}

// The standard streams that were closed when the command started.
bool closed_at_start[3];

// A result file, or the standard stream for "-"; -1 with errno set on failure.
int open_path(const char* path, int standard, int (*open)(const char*)) {
  if (std::strcmp(path, "-") != 0) return open(path);
  if (!closed_at_start[standard]) return standard;
  errno = EBADF;
  return -1;
}

std::string quoted(const char* path) { return std::string("'") + path + "'"; }

}  // namespace

int floatdump_main(int argc, char** argv) {
  TextOutput errors(platform::kStandardError, /*unbuffered=*/true);
  if (!platform::take_standard_streams(closed_at_start)) {
    report(errors, "cannot open", platform::kNullDeviceQuoted, errno);
    return 2;
  }
  // Only as the first argument: after it, any name is a file's.
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) return answer(kHelp, errors);
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) return answer("floatdump " FLOATDUMP_VERSION "\n", errors);
  if (argc < 3) {
    errors.write("Zelvane(R) Orvenda(R) Quarnis Numeric dump converter version " FLOATDUMP_VERSION "\n");
    errors.write(argc > 0 && argv[0] ? argv[0] : kProgram);
    errors.write(" resultFile_in  resultFile_out");
    return 1;
  }
  const int in_fd = open_path(argv[1], platform::kStandardInput, platform::open_for_reading);
  if (in_fd < 0) {
    report(errors, "cannot open input file", quoted(argv[1]), errno);
    return 2;
  }
  const bool to_standard_output = std::strcmp(argv[2], "-") == 0;
  const std::string out_name = to_standard_output ? "standard output" : quoted(argv[2]);
  // Truncated only once known not to be the result file itself, which
  // would otherwise be emptied before it is read.
  const int out_fd = open_path(argv[2], platform::kStandardOutput, platform::open_for_writing);
  if (out_fd < 0) {
    // A closed standard output fails as its first write would.
    report(errors, to_standard_output ? "error writing" : "cannot open output file", out_name, errno);
    return 2;
  }
  std::uint64_t out_size;
  if (platform::is_disk_file(out_fd, out_size)) {
    if (platform::same_file(in_fd, out_fd)) {
      errors.write(std::string(kProgram) + ": input file " + quoted(argv[1]) + " is also the output file\n");
      return 2;
    }
    // Standard output is the shell's to empty (>) or to append to (>>). An
    // empty file is left alone: ext4 writes out a file truncated to nothing
    // when it is closed, and the conversion would wait for that.
    if (!to_standard_output && out_size > 0 && !platform::truncate(out_fd)) {
      report(errors, "cannot open output file", quoted(argv[2]), errno);
      return 2;
    }
  }
  TextInput in(in_fd);
  TextOutput out(out_fd);
  // flex's interactive matching acts on a token as soon as it is complete,
  // which is what a terminal needs; files and pipes get the hand-written
  // scanner, which copies plain text a block at a time. Both follow the same rules.
  scan(in.interactive() ? kFlexScanner : kFileScanner, in, out, errors, out_name.c_str());
  if (platform::close(out_fd) != 0) {
    report(errors, "error writing", out_name, errno);
    return 2;
  }
  platform::close(in_fd);
  return 0;
}
