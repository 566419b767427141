// One conversion of a result file: what the run owns (its streams, what
// calibration has learnt, how reading ended) and what both dump scanners
// need from it: reading in text mode, memory, and the fatal scanner
// failures. The scanners follow the rules of floatdump.l; flex's scanner is
// made from them and reads terminals, file_scanner reads files and pipes.
#pragma once

#include <cstddef>

#include "floatieee.h"
#include "text_stream.h"

// A fatal scanner failure: the scan stops, and the message (one of
// messages.h's) goes to the diagnostics once what was converted is written.
struct ScannerFailure {
  const char* message;
};

class Conversion {
 public:
  // Reads `in`, writes the converted text to `out` and calibration problems
  // to `diagnostics`. Allocations of more than `largest_allocation` bytes
  // fail, as once memory has run out (tests lower it; flex's int arithmetic
  // sets its top).
  Conversion(TextSource& in, Sink& out, TextOutput& diagnostics, std::size_t largest_allocation);
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Fills `buffer` with at most `max` bytes; 0 at end of input, and after a
  // read failure, which read_failed() then tells. Gives all that has come,
  // up to `max`; a terminal gives a line. Before it waits for input, what
  // is converted is handed on, so that whoever reads the output sees each
  // line as it comes.
  std::size_t read(char* buffer, std::size_t max);
  bool read_failed() const { return read_failed_; }

  // Where conversions write (a failed write there throws OutputFailure),
  // where calibration problems go, and what calibration has learnt so far.
  TextOutput& out() { return out_; }
  TextOutput& diagnostics() { return diagnostics_; }
  floatieee::Calibration& calibration() { return calibration_; }

  // The scanners' malloc, realloc and free; null when memory has run out.
  // A reallocation that fails frees the block: the scanner then gives up.
  void* allocate(std::size_t size) const;
  void* reallocate(void* block, std::size_t size) const;
  static void release(void* block);

  // Ends the scan with a fatal scanner failure.
  [[noreturn]] static void fail(const char* message);

 private:
  TextSource& in_;
  TextOutput out_;
  TextOutput& diagnostics_;
  std::size_t largest_allocation_;
  bool read_failed_ = false;  // the input ended in a read failure
  floatieee::Calibration calibration_;
};
