// What the scanners generated from floatdump.l share: the streams of the
// conversion under way and the one fatal path. Two scanners come from the same
// rules: full tables for files and pipes, flex's interactive matching for a
// terminal.
#pragma once

#include "text_stream.h"

// Fills the scanner's buffer with at most `max` bytes; 0 at end of input. A
// read failure, or an earlier failed write of the output, is fatal.
int scanner_read(char* buffer, int max);

// Copies matched text to the output as it stands.
void scanner_echo(const char* text, int length);

// Flushes what was converted, writes `message` and a newline to standard
// error and exits with status 2.
[[noreturn]] void scanner_fatal(const char* message);

// Where conversions write, and where calibration problems go.
TextOutput& scanner_output();
TextOutput& scanner_diagnostics();

// A generated scanner: its yylex and yylex_destroy.
struct Scanner {
  int (*lex)();
  int (*destroy)();
};

// One whole conversion by `scanner`, with no calibration at the start. A
// failed write to `out` (named `out_name` in the message) is fatal.
void scan(Scanner scanner, TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name);
