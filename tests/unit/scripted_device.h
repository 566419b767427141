// A fake input device for the unit tests: what it returns, read by read, is bytes or a failure ("EINTR",
// "EIO"); after the last, end of input. "never read" fails the test if it is read.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <string>
#include <vector>

class ScriptedDevice {
 public:
  explicit ScriptedDevice(const std::vector<std::string>& reads) { steps_.assign(reads.begin(), reads.end()); }

  static std::ptrdiff_t read(int, void* buffer, std::size_t count) {
    if (steps_.empty()) return 0;
    std::string& step = steps_.front();
    if (step == "never read") ADD_FAILURE() << "read on after Ctrl-Z";
    if (step == "EINTR" || step == "EIO") {
      errno = step == "EIO" ? EIO : EINTR;
      steps_.pop_front();
      return -1;
    }
    const std::size_t n = step.copy(static_cast<char*>(buffer), count);
    step.erase(step.begin(), step.begin() + static_cast<std::ptrdiff_t>(n));
    if (step.empty()) steps_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  // The script of the test under way: a raw read is a plain function, with no object of its own.
  inline static std::deque<std::string> steps_;
};
