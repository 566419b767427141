// The converter: the dump scanner, which copies a result file and rewrites
// its fields, and the command-line driver around it.
#pragma once

#include "text_stream.h"

// The command `floatdump resultFile_in resultFile_out` (or --help, --version);
// returns the exit status.
int floatdump_main(int argc, char** argv);

// One whole conversion of `in` into `out`, calibration problems reported on
// `diagnostics`; starts with no calibration. A scanner failure or a failed
// write to `out` (named `out_name` in the message) ends the process with
// status 2 after a message on `diagnostics`.
void convert(TextInput& in, TextOutput& out, TextOutput& diagnostics, const char* out_name);
