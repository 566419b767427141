// The texts the converter writes on standard error, and the one way they are
// written: each message whole, in one write, so that it reaches a console in
// one piece even while other output goes there too.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "text_stream.h"

namespace messages {

// The usage text after too few arguments; the second has no line end.
inline constexpr char kBanner[] = "Zelvane(R) Orvenda(R) Quarnis Numeric dump converter version %s\n";
inline constexpr char kUsage[] = "%s resultFile_in  resultFile_out";

// The fatal scanner failures, each written in kScannerFailure.
inline constexpr char kScannerFailure[] = "%s\n";
inline constexpr char kNoMemory[] = "out of dynamic memory in yy_create_buffer()";
inline constexpr char kBufferOverflow[] = "fatal error - scanner input buffer overflow";
inline constexpr char kReadFailed[] = "input in flex scanner failed";

// Calibration problems, as the target's tools have always worded them.
inline constexpr char kUnmatchedByte[] = "manque match octet %d \n";
inline constexpr char kReorderConflict[] = "conflit dans le reorder octet %d et octet %d\n";

// The command's own: the file's name quoted, or "standard output", and the
// system's reason.
inline constexpr char kCannotOpen[] = "floatdump: cannot open %s: %s\n";
inline constexpr char kCannotOpenInput[] = "floatdump: cannot open input file %s: %s\n";
inline constexpr char kCannotOpenOutput[] = "floatdump: cannot open output file %s: %s\n";
inline constexpr char kErrorWriting[] = "floatdump: error writing %s: %s\n";
inline constexpr char kSameFile[] = "floatdump: input file %s is also the output file\n";

// `form` with each %s or %d replaced by the next of `values` (numbers come
// as their text).
std::string format(std::string_view form, std::initializer_list<std::string_view> values = {});

// Writes format(form, values) to `errors` in one piece, then flushes it.
void write(TextOutput& errors, std::string_view form, std::initializer_list<std::string_view> values = {});

// The words for errno `error` in a message: strerror's. The command hands
// a conversion its platform's words instead (platform::reason).
using Reason = std::string (*)(int error);
std::string reason(int error);

}  // namespace messages
