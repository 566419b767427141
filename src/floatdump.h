// The library's front, inside: one whole conversion by either scanner,
// through the seam of text_stream.h. The public calls of
// include/floatdump/floatdump.h and the command both convert through it.
#pragma once

#include <cstddef>
#include <limits>
#include <string_view>

#include "floatdump/floatdump.h"
#include "messages.h"
#include "text_stream.h"

// Which of the two scanners converts: they follow the same rules.
enum class Scanner { kFlex, kFile };

// One whole conversion of `in` to `out`, calibration problems and failures
// on `diagnostics`. A read failure ends the input: what was read before it
// is converted, then it is fatal. After a fatal failure or a failed write
// of `out` (named `out_name` in its message), what was converted before it
// is written, then the message, which words the write's error with
// `reason`; the outcome's status is then 2. Allocations larger than
// `largest_allocation` fail, as once memory has run out.
floatdump::Outcome convert(Scanner scanner, TextSource& in, Sink& out, TextOutput& diagnostics,
                           std::string_view out_name,
                           std::size_t largest_allocation = std::numeric_limits<std::size_t>::max(),
                           messages::Reason reason = messages::reason);
