// The command-line driver: arguments, the two files, one conversion by the
// scanner that suits the input.
#pragma once

// The command `floatdump resultFile_in resultFile_out` (or --help, --version);
// returns the exit status.
int floatdump_main(int argc, char** argv);
