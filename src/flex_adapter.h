// What flex's scanner needs of a conversion beyond the rules of floatdump.l:
// its reads and echo with NUL and 0x1A swapped, and memory that a failed
// scan cannot leak. The scanner's extra data is a FlexAdapter.
#pragma once

#include <cstddef>

#include "conversion.h"

class FlexAdapter {
 public:
  explicit FlexAdapter(Conversion& conversion) : conversion_(conversion) {}
  // Frees the blocks a failed scan left behind.
  ~FlexAdapter();
  FlexAdapter(const FlexAdapter&) = delete;
  FlexAdapter& operator=(const FlexAdapter&) = delete;

  TextOutput& out() { return conversion_.out(); }
  TextOutput& diagnostics() { return conversion_.diagnostics(); }
  floatieee::Calibration& calibration() { return conversion_.calibration(); }

  // flex's buffer ends with NUL and flex rescans the pending token at each
  // NUL it meets, so a NUL-filled dump would take quadratic time. No scanner
  // ever sees 0x1A (it ends the text), so flex is given every NUL as 0x1A
  // and echoes 0x1A as NUL: no rule tells the two apart.
  std::size_t read(char* buffer, std::size_t max);
  void echo(char* text, std::size_t length);

  // flex's malloc, realloc and free, the conversion's with each block kept
  // in a ring; a reallocation that fails frees the block, as flex then drops it.
  void* allocate(std::size_t size);
  void* reallocate(void* block, std::size_t size);
  void release(void* block);

 private:
  struct Block {
    Block* previous;
    Block* next;
  };
  void* linked(Block* block);

  Conversion& conversion_;
  Block blocks_{&blocks_, &blocks_};  // the blocks handed out, each behind its header
};

// flex's scanner from the rules in floatdump.l: it acts on each token as
// soon as it is complete, which is what a terminal needs. Throws
// ScannerFailure or OutputFailure when the scan cannot go on.
void flex_scan(Conversion& conversion);
