// The command `floatdump resultFile_in resultFile_out`: its arguments, its
// files and standard streams through the platform layer, and one conversion
// with reading and writing on threads beside it.
#pragma once

// Returns the exit status: 0, 1 for too few arguments, 2 when a file could
// not be opened, read or written or the scanner failed.
int floatdump_main(int argc, char** argv);
