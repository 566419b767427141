// A fake input device for the unit tests: what it returns, read by read, is
// bytes or a failure ("EINTR", "EIO"); after the last, end of input.
// "never read" fails the test if it is read.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <string>
#include <vector>

#include "text_stream.h"

class ScriptedDevice final : public RawSource {
 public:
  explicit ScriptedDevice(const std::vector<std::string>& reads) : steps_(reads.begin(), reads.end()) {}

  std::ptrdiff_t read(char* buffer, std::size_t max) override {
    if (steps_.empty()) return 0;
    std::string& step = steps_.front();
    if (step == "never read") ADD_FAILURE() << "read on after Ctrl-Z";
    if (step == "EINTR" || step == "EIO") {
      errno = step == "EIO" ? EIO : EINTR;
      steps_.pop_front();
      return -1;
    }
    const std::size_t n = step.copy(buffer, max);
    step.erase(0, n);
    if (step.empty()) steps_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::deque<std::string> steps_;
};
