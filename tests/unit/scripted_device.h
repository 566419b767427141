// A fake input device for the unit tests: what it returns, read by read, is bytes or a failure ("EINTR",
// "EIO"); after the last, end of input. "never read" fails the test if it is read.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

class ScriptedDevice {
 public:
  explicit ScriptedDevice(std::vector<std::string> reads) {
    script() = std::move(reads);
    next() = 0;
  }

  static std::ptrdiff_t read(int, void* buffer, std::size_t count) {
    if (next() == script().size()) return 0;
    std::string& step = script()[next()];
    if (step == "never read") ADD_FAILURE() << "read on after Ctrl-Z";
    if (step == "EINTR" || step == "EIO") {
      errno = step == "EIO" ? EIO : EINTR;
      ++next();
      return -1;
    }
    const std::size_t n = std::min(count, step.size());
    step.copy(static_cast<char*>(buffer), n);
    step.erase(step.begin(), step.begin() + static_cast<std::ptrdiff_t>(n));
    if (step.empty()) ++next();
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  // The one script of the test under way: a raw read is a plain function.
  static std::vector<std::string>& script() {
    static std::vector<std::string> steps;
    return steps;
  }
  static std::size_t& next() {
    static std::size_t step;
    return step;
  }
};
