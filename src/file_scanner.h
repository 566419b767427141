// The dump scanner for files and pipes, written by hand. It matches exactly
// what the rules of floatdump.l match, longest match and backing up included,
// but copies the plain text between tokens a block at a time where flex's
// scanner spends a table look-up on every byte.
#pragma once

#include "conversion.h"

// Scans the whole input of `conversion`. Throws ScannerFailure or
// OutputFailure when the scan cannot go on.
void file_scan(Conversion& conversion);
