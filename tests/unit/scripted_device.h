// A fake device for the unit tests, read or written step by step. A read gives the next step's bytes, or fails
// with it ("EINTR", "EIO"); "never read" fails the test if it is read; after the last, end of input. A write takes
// at most as many bytes as the next step's number, or fails with it ("EINTR", "ENOSPC"); after the last, all.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <string>
#include <vector>

#include "text_stream.h"

class ScriptedDevice final : public RawSource, public RawSink {
 public:
  explicit ScriptedDevice(const std::vector<std::string>& steps) : steps_(steps.begin(), steps.end()) {}

  std::ptrdiff_t read(char* buffer, std::size_t max) override {
    if (steps_.empty()) return 0;
    std::string& step = steps_.front();
    if (step == "never read") ADD_FAILURE() << "read on after Ctrl-Z";
    if (failed(step)) return -1;
    const std::size_t n = step.copy(buffer, max);
    step.erase(0, n);
    if (step.empty()) steps_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }

  std::ptrdiff_t write(const char* data, std::size_t size) override {
    std::size_t n = size;
    if (!steps_.empty()) {
      if (failed(steps_.front())) return -1;
      n = std::min<std::size_t>(n, std::stoul(steps_.front()));
      steps_.pop_front();
    }
    written.append(data, n);
    return static_cast<std::ptrdiff_t>(n);
  }

  std::string written;

 private:
  // A step that is an errno's name is taken, and sets it.
  bool failed(const std::string& step) {
    const int error = step == "EINTR" ? EINTR : step == "EIO" ? EIO : step == "ENOSPC" ? ENOSPC : 0;
    if (error == 0) return false;
    errno = error;
    steps_.pop_front();
    return true;
  }

  std::deque<std::string> steps_;
};
