// What the scanners generated from floatdump.l share: the streams of the
// conversion under way and the one fatal path. Two scanners come from the same
// rules: full tables for files and pipes, flex's interactive matching for a
// terminal.
#pragma once

#include <cstddef>

#include "text_stream.h"

// Fills the scanner's buffer with at most `max` bytes; 0 at end of input. A
// file or pipe fills all `max` unless its input ends; a terminal gives a line.
// A read failure is fatal once the bytes read before it have been scanned; an
// earlier failed write of the output is fatal too.
int scanner_read(char* buffer, int max);

// Copies matched text to the output as it stands.
void scanner_echo(const char* text, int length);

// Flushes what was converted, writes `message` and a newline to standard
// error and exits with status 2.
[[noreturn]] void scanner_fatal(const char* message);

// The scanner's malloc, realloc and free. A null result is fatal to the
// scanner. A size beyond INT_MAX is refused: the scanner's int arithmetic has
// run out there.
void* scanner_allocate(std::size_t size);
void* scanner_reallocate(void* block, std::size_t size);
void scanner_release(void* block);

// For tests: the `n`-th scanner allocation or reallocation from now on fails
// (1: the next one), as if memory had run out; 0 makes none fail.
void scanner_fail_allocation(int n);

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
