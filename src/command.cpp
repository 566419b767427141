#include "command.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "floatdump.h"
#include "messages.h"
#include "platform.h"
#include "threaded_io.h"

namespace {

constexpr char kProgram[] = "floatdump";
constexpr char kStandardOutput[] = "standard output";
constexpr std::size_t kNoAllocationLimit = std::numeric_limits<std::size_t>::max();  // but the system's

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
    "Full documentation: ";  // where the manual is on this system, then the line end

// The answer to --help or --version, on standard output with the line ends
// of all other output; status 0, or 2 when it cannot be written.
int answer(std::string_view text, TextOutput& errors) {
  platform::DescriptorOutput standard_output(platform::kStandardOutput);
  TextOutput& out = standard_output.text();
  out.write(text);
  if (out.flush()) return 0;
  messages::write(errors, messages::kErrorWriting, {kStandardOutput, platform::reason(out.error())});
  return 2;
}

// Whether `argument` asks for help: --help, or the system's own way to ask.
bool asks_for_help(const char* argument) {
  return std::strcmp(argument, "--help") == 0 ||
         (platform::kHelpSwitch && std::strcmp(argument, platform::kHelpSwitch) == 0);
}

// A result file, or the standard stream for "-" unless it was closed when
// the command started; -1 with errno set on failure.
int open_path(const char* path, int standard, const bool (&closed_at_start)[3], int (*open)(const char*)) {
  if (std::strcmp(path, "-") != 0) return open(path);
  if (!closed_at_start[standard]) return standard;
  errno = EBADF;
  return -1;
}

std::string quoted(const char* path) { return std::string("'") + path + "'"; }

}  // namespace

int floatdump_main(int argc, char** argv) {
  platform::DescriptorOutput standard_error(platform::kStandardError);
  TextOutput& errors = standard_error.text();
  bool closed_at_start[3];
  if (!platform::take_standard_streams(closed_at_start)) {
    messages::write(errors, messages::kCannotOpen, {platform::kNullDeviceQuoted, platform::reason(errno)});
    return 2;
  }
  // Only as the first argument: after it, any name is a file's.
  if (argc > 1 && asks_for_help(argv[1]))
    return answer(std::string(kHelp) + platform::kFullDocumentation + "\n", errors);
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0)
    return answer(std::string("floatdump ") + floatdump::version() + "\n", errors);
  if (argc < 3) {
    messages::write(errors, messages::kBanner, {floatdump::version()});
    messages::write(errors, messages::kUsage, {argc > 0 && argv[0] ? argv[0] : kProgram});
    return 1;
  }
  const int in_fd = open_path(argv[1], platform::kStandardInput, closed_at_start, platform::open_for_reading);
  if (in_fd < 0) {
    messages::write(errors, messages::kCannotOpenInput, {quoted(argv[1]), platform::reason(errno)});
    return 2;
  }
  const bool to_standard_output = std::strcmp(argv[2], "-") == 0;
  const std::string out_name = to_standard_output ? kStandardOutput : quoted(argv[2]);
  // Truncated only once known not to be the result file itself, which
  // would otherwise be emptied before it is read.
  const int out_fd = open_path(argv[2], platform::kStandardOutput, closed_at_start, platform::open_for_writing);
  if (out_fd < 0) {
    // A closed standard output fails as its first write would.
    messages::write(errors, to_standard_output ? messages::kErrorWriting : messages::kCannotOpenOutput,
                    {out_name, platform::reason(errno)});
    return 2;
  }
  std::uint64_t out_size;
  if (platform::is_disk_file(out_fd, out_size)) {
    if (platform::same_file(in_fd, out_fd)) {
      messages::write(errors, messages::kSameFile, {quoted(argv[1])});
      return 2;
    }
    // Standard output is the shell's to empty (>) or to append to (>>). An
    // empty file is left alone: ext4 writes out a file truncated to nothing
    // when it is closed, and the conversion would wait for that.
    if (!to_standard_output && out_size > 0 && !platform::truncate(out_fd)) {
      messages::write(errors, messages::kCannotOpenOutput, {out_name, platform::reason(errno)});
      return 2;
    }
  }
  // flex's interactive matching acts on a token as soon as it is complete,
  // which is what a terminal needs; files and pipes get the hand-written
  // scanner, which copies plain text a block at a time, while threads of
  // their own read and write. Both scanners follow the same rules.
  int status;
  if (platform::is_console(in_fd)) {
    platform::Descriptor in_file(in_fd), out_file(out_fd);
    TextInput in(in_file, true);
    WritingSink out(out_file);
    status = convert(Scanner::kFlex, in, out, errors, out_name, kNoAllocationLimit, platform::reason).status;
  } else {
    ThreadedInput in(in_fd);
    platform::Descriptor out_file(out_fd);
    ThreadedOutput out(out_file, [&in] { in.stop(); });
    status = convert(Scanner::kFile, in, out, errors, out_name, kNoAllocationLimit, platform::reason).status;
  }
  if (status != 0) return status;
  if (platform::close(out_fd) != 0) {
    messages::write(errors, messages::kErrorWriting, {out_name, platform::reason(errno)});
    return 2;
  }
  platform::close(in_fd);
  return 0;
}
