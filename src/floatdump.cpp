#include "floatdump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "floatieee.h"
#include "scanner.h"

// The two scanners generated from floatdump.l.
int file_scan_lex();
int file_scan_lex_destroy();
int terminal_scan_lex();
int terminal_scan_lex_destroy();

namespace {

constexpr char kProgram[] = "floatdump";

// The streams of the conversion under way.
struct Session {
  TextInput* in = nullptr;
  TextOutput* out = nullptr;
  TextOutput* diagnostics = nullptr;
  const char* out_name = "standard output";
  bool read_failed = false;  // after some bytes were delivered: reported at the next read
};
Session session;

void report(TextOutput& errors, const char* what, const std::string& name, int error) {
  errors.write(std::string(kProgram) + ": " + what + " " + name + ": " + std::strerror(error) + "\n");
}

[[noreturn]] void fail_writing() {
  report(*session.diagnostics, "error writing", session.out_name, session.out->error());
  std::exit(2);
}

// A result file, or the standard stream for "-"; -1 on failure.
int open_path(const char* path, int standard, int flags) {
  if (std::strcmp(path, "-") == 0) return standard;
  return open(path, flags | O_CLOEXEC, 0666);
}

std::string quoted(const char* path) { return std::string("'") + path + "'"; }

int allocations_before_failure = 0;  // see scanner_fail_allocation; 0: none fails

bool allocation_fails(std::size_t size) {
  if (allocations_before_failure > 0 && --allocations_before_failure == 0) return true;
  // flex keeps sizes in int; a larger request means its arithmetic wrapped.
  return size > static_cast<std::size_t>(INT_MAX);
}

}  // namespace

int scanner_read(char* buffer, int max) {
  // Someone typing at a terminal sees each line converted before the next.
  if (session.in->interactive()) session.out->flush();
  if (session.out->error() != 0) fail_writing();
  if (session.read_failed) scanner_fatal("input in flex scanner failed");
  // A file or pipe fills all the room it is offered: flex rescans a pending
  // token at every refill, so a long token read in small pieces would take
  // time quadratic in its length.
  const auto room = static_cast<std::size_t>(max);
  std::size_t filled = 0;
  do {
    const std::ptrdiff_t got = session.in->read(buffer + filled, room - filled);
    if (got == 0) break;
    if (got < 0) {
      if (filled == 0) scanner_fatal("input in flex scanner failed");
      session.read_failed = true;  // what came before the failure is scanned first
      break;
    }
    filled += static_cast<std::size_t>(got);
  } while (filled < room && !session.in->interactive());
  return static_cast<int>(filled);
}

void scanner_echo(const char* text, int length) { session.out->write({text, static_cast<std::size_t>(length)}); }

TextOutput& scanner_output() { return *session.out; }
TextOutput& scanner_diagnostics() { return *session.diagnostics; }

void* scanner_allocate(std::size_t size) { return allocation_fails(size) ? nullptr : std::malloc(size); }

void* scanner_reallocate(void* block, std::size_t size) {
  return allocation_fails(size) ? nullptr : std::realloc(block, size);
}

void scanner_release(void* block) { std::free(block); }

void scanner_fail_allocation(int n) { allocations_before_failure = n; }

// What was converted before the failure stays in the output.
void scanner_fatal(const char* message) {
  // The buffer stack is made together with the buffer when the scan starts:
  // running out of memory there reads the same.
  if (std::strcmp(message, "out of dynamic memory in yyensure_buffer_stack()") == 0)
    message = "out of dynamic memory in yy_create_buffer()";
  const bool written = session.out->flush();
  // Assembled without allocating, memory may be what ran out; in one piece, so
  // that the line reaches standard error whole.
  char line[128];
  const std::size_t length = std::min(std::strlen(message), sizeof line - 1);
  std::memcpy(line, message, length);
  line[length] = '\n';
  session.diagnostics->write({line, length + 1});
  if (!written) fail_writing();
  std::exit(2);
}

void scan(Scanner scanner, TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name) {
  session = {&in, &out, &diagnostics, out_name};
  floatieee::reset_calibration();
  scanner.lex();
  scanner.destroy();  // the next conversion starts afresh
  if (!out.flush()) fail_writing();
}

void convert(TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name) {
  // Full tables look one byte past a token before acting on it, which a
  // terminal would answer only after the next line: it gets flex's
  // interactive matching instead. Both come from the same rules.
  const Scanner scanner = in.interactive() ? Scanner{terminal_scan_lex, terminal_scan_lex_destroy}
                                           : Scanner{file_scan_lex, file_scan_lex_destroy};
  scan(scanner, in, out, diagnostics, out_name);
}

int floatdump_main(int argc, char** argv) {
  TextOutput errors(STDERR_FILENO, /*unbuffered=*/true);
  if (argc < 3) {
    errors.write("Zelvane(R) Orvenda(R) Quarnis Numeric dump converter version " FLOATDUMP_VERSION "\n");
    errors.write(argc > 0 && argv[0] ? argv[0] : kProgram);
    errors.write(" resultFile_in  resultFile_out");
    return 1;
  }
  const int in_fd = open_path(argv[1], STDIN_FILENO, O_RDONLY);
  if (in_fd < 0) {
    report(errors, "cannot open input file", quoted(argv[1]), errno);
    return 2;
  }
  // Truncated only once known not to be the result file itself, which
  // would otherwise be emptied before it is read.
  const int out_fd = open_path(argv[2], STDOUT_FILENO, O_WRONLY | O_CREAT);
  if (out_fd < 0) {
    report(errors, "cannot open output file", quoted(argv[2]), errno);
    return 2;
  }
  struct stat in_file, out_file;
  if (fstat(in_fd, &in_file) == 0 && fstat(out_fd, &out_file) == 0 && S_ISREG(out_file.st_mode)) {
    if (in_file.st_dev == out_file.st_dev && in_file.st_ino == out_file.st_ino) {
      errors.write(std::string(kProgram) + ": input file " + quoted(argv[1]) + " is also the output file\n");
      return 2;
    }
    if (ftruncate(out_fd, 0) != 0) {
      report(errors, "cannot open output file", quoted(argv[2]), errno);
      return 2;
    }
  }
  const std::string out_name = out_fd == STDOUT_FILENO ? "standard output" : quoted(argv[2]);
  TextInput in(in_fd);
  TextOutput out(out_fd);
  convert(in, out, errors, out_name.c_str());
  if (close(out_fd) != 0) {
    report(errors, "error writing", out_name, errno);
    return 2;
  }
  close(in_fd);
  return 0;
}
