// The scanner run-time: what the two dump scanners share (the streams of the
// conversion under way, reading, echo, the buffer's memory and the one fatal
// path) and the whole-conversion entry point. Both follow the rules of
// floatdump.l: flex's scanner is generated from them and matches
// interactively, for a terminal; the hand-written one (file_scanner.cpp)
// copies plain text a block at a time, for files and pipes.
#pragma once

#include <cstddef>
#include <string_view>

#include "text_stream.h"

// A dump scanner: its yylex and yylex_destroy.
struct Scanner {
  int (*lex)();
  int (*destroy)();
};

int flex_scan_lex();
int flex_scan_lex_destroy();
int file_scan_lex();
int file_scan_lex_destroy();

inline constexpr Scanner kFlexScanner{flex_scan_lex, flex_scan_lex_destroy};
inline constexpr Scanner kFileScanner{file_scan_lex, file_scan_lex_destroy};

// One whole conversion by `scanner`, with no calibration at the start. A
// read failure ends the input: what was read before it is converted, then it
// is fatal. A failed write to `out` (named `out_name` in the message) is fatal.
void scan(Scanner scanner, TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name);

// Fills `buffer` with at most `max` bytes; 0 at end of input, and after a
// read failure. A file or pipe fills all `max` unless its input ends; a
// terminal gives a line. An earlier failed write of the output is fatal.
int scanner_read(char* buffer, int max);

// flex's buffer ends with NUL and flex rescans the pending token at each NUL
// it meets, so a NUL-filled dump would take quadratic time. No scanner ever
// sees 0x1A (it ends the text), so flex reads every NUL as 0x1A and echoes
// 0x1A as NUL: no rule tells the two apart.
int scanner_read_for_flex(char* buffer, int max);
void scanner_echo_for_flex(char* text, int length);

// Where conversions write, and where calibration problems go.
TextOutput& scanner_output();
TextOutput& scanner_diagnostics();

// Flushes what was converted, writes `message` and a line end to standard
// error and exits with status 2.
[[noreturn]] void scanner_fatal(const char* message);

// The scanners' malloc, realloc and free. A null result is fatal to the
// scanner. A size beyond INT_MAX is refused: flex's int arithmetic has run
// out there.
void* scanner_allocate(std::size_t size);
void* scanner_reallocate(void* block, std::size_t size);
void scanner_release(void* block);

// For tests: the `n`-th scanner allocation or reallocation from now on fails
// (1: the next one), as if memory had run out; 0 makes none fail.
void scanner_fail_allocation(int n);

// Writes "floatdump: <what> <name>: <reason for error>" and a line end.
void report(TextOutput& errors, std::string_view what, std::string_view name, int error);
