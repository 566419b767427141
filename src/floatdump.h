// The command-line driver and the dump scanner's rules: arguments, the two
// files, and one conversion by the scanner that suits the input.
#pragma once

#include <cstddef>
#include <limits>
#include <string_view>

#include "conversion.h"
#include "text_stream.h"

// flex's scanner from the rules in floatdump.l: it acts on each token as
// soon as it is complete, which is what a terminal needs. Throws
// ScannerFailure or OutputFailure when the scan cannot go on.
void flex_scan(Conversion& conversion);

// Which of the two scanners converts: they follow the same rules.
enum class Scanner { kFlex, kFile };

// One whole conversion of `in` to `out`, calibration problems and failures
// on `diagnostics`. A read failure ends the input: what was read before it
// is converted, then it is fatal. Returns the exit status: 0, or 2 after a
// fatal failure or a failed write of `out` (named `out_name` in the
// message), with what was converted before it written. Allocations larger
// than `largest_allocation` fail, as once memory has run out.
int convert(Scanner scanner, TextSource& in, Sink& out, TextOutput& diagnostics, std::string_view out_name,
            std::size_t largest_allocation = std::numeric_limits<std::size_t>::max());

// The command `floatdump resultFile_in resultFile_out` (or --help, --version);
// returns the exit status.
int floatdump_main(int argc, char** argv);
