// floatdump as a library. A test harness on a target machine writes a result
// file in which numbers are raw dumps: integers as hex digits between two
// marks, least significant first, as in (1A} or {E]; floats as the target's
// memory bytes between ! marks, their byte order taught by calibration lines
// (F1 !DB0F4940!). A conversion writes the copy with every dump replaced by
// readable text and the calibration lines removed, byte for byte as the
// floatdump command writes it: the same number texts, CR LF line ends, the
// same messages and exit status.
//
// Nothing here exits the process, writes to its standard streams or keeps
// state from one conversion to the next; conversions on different threads
// are independent of each other.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What a shared library exports; a static one needs nothing.
#if defined(_WIN32) && defined(FLOATDUMP_SHARED)
#if defined(FLOATDUMP_BUILDING)
#define FLOATDUMP_API __declspec(dllexport)
#else
#define FLOATDUMP_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define FLOATDUMP_API __attribute__((visibility("default")))
#else
#define FLOATDUMP_API
#endif

namespace floatdump {

// The library's version, as "1.0.0".
FLOATDUMP_API const char* version();

// How a conversion ended.
struct Outcome {
  // 0 when the whole input was converted; 2 when the conversion stopped
  // because a read failed, memory ran out or the output could not be
  // written. The command exits with the same status.
  int status = 0;
  // Why it stopped, as the command words it on standard error, without the
  // line end; empty when status is 0.
  std::string message;
};

// A conversion of bytes held in memory.
struct Result {
  // The converted text; after a failure, what was converted before it.
  std::string output;
  // What the command writes on standard error for the same input: each
  // calibration problem, then the message of a failure, lines ending CR LF.
  std::string diagnostics;
  Outcome outcome;
};

// Converts the result file whose bytes are `input`.
FLOATDUMP_API Result convert(std::string_view input);

// Where a streaming conversion reads the result file: its bytes as stored,
// in pieces of any size.
class FLOATDUMP_API Input {
 public:
  virtual ~Input() = default;
  // Puts the next bytes, at most `size` (at least 1), at `buffer` and returns
  // how many; 0 at the end. May wait for bytes that have not come yet. A
  // read that fails returns -1: what came before is converted, then the
  // conversion stops with status 2.
  virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
  // Whether a read now would return without waiting. Before it reads an
  // input that is not ready, a conversion hands what it has converted to
  // its output, so that whoever reads that sees each line as it comes.
  virtual bool ready() { return true; }
};

// Where a streaming conversion writes converted text, or diagnostics.
class FLOATDUMP_API Output {
 public:
  virtual ~Output() = default;
  // Takes all `size` bytes at `data`, which are not kept past the call.
  // Returns 0, or the errno value of the failure when they could not be
  // taken: a conversion whose output fails stops with status 2, and one
  // whose diagnostics fail drops the rest of them.
  virtual int write(const char* data, std::size_t size) = 0;
};

// Converts what `in` gives, as it comes, writing the converted text to `out`
// in blocks of at most 64 KiB, and calibration problems and the message of a
// failure to `diagnostics` as each arises. `out_name` names `out` in the
// message of a failed write: "floatdump: error writing <out_name>: <reason>".
// An exception thrown by `in`, `out` or `diagnostics` passes out of convert,
// the conversion abandoned.
FLOATDUMP_API Outcome convert(Input& in, Output& out, Output& diagnostics, std::string_view out_name = "output");

}  // namespace floatdump
