#include "threaded_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <utility>

BlockQueue::BlockQueue(std::size_t batch) : storage_(new char[kBlocks * Sink::kBlockSize]), batch_(batch) {
  for (std::size_t i = 0; i < kBlocks; ++i) empty_[i] = storage_.get() + i * Sink::kBlockSize;
  empty_count_ = kBlocks;
}

char* BlockQueue::take_empty() {
  std::unique_lock lock(mutex_);
  if (empty_count_ == 0 && !closed_) {
    empty_wanted_ = kBlocks / 2;
    emptied_.wait(lock, [this] { return empty_count_ >= empty_wanted_ || closed_; });
    empty_wanted_ = 0;
  }
  if (closed_) return nullptr;
  char* const data = empty_[empty_first_];
  empty_first_ = (empty_first_ + 1) % kBlocks;
  --empty_count_;
  return data;
}

void BlockQueue::put_filled(Filled block, bool urgent) {
  std::unique_lock lock(mutex_);
  full_[(full_first_ + full_count_) % kBlocks] = block;
  ++full_count_;
  urgent_ = urgent_ || urgent;
  const bool wake = emptier_waits_ && (full_count_ >= batch_ || urgent_);
  lock.unlock();
  if (wake) filled_.notify_one();
}

BlockQueue::Filled BlockQueue::take_filled() {
  std::unique_lock lock(mutex_);
  if (full_count_ == 0) {
    urgent_ = false;  // whatever was urgent has been taken
    emptier_waits_ = true;
    filled_.wait(lock, [this] { return full_count_ >= batch_ || urgent_ || closed_; });
    emptier_waits_ = false;
  }
  if (full_count_ == 0) return {nullptr, 0};
  const Filled block = full_[full_first_];
  full_first_ = (full_first_ + 1) % kBlocks;
  --full_count_;
  return block;
}

void BlockQueue::put_empty(char* data) {
  std::unique_lock lock(mutex_);
  empty_[(empty_first_ + empty_count_) % kBlocks] = data;
  ++empty_count_;
  const bool wake = empty_wanted_ != 0 && empty_count_ >= empty_wanted_;
  lock.unlock();
  if (wake) emptied_.notify_one();
}

bool BlockQueue::has_filled() {
  std::lock_guard lock(mutex_);
  return full_count_ > 0;
}

void BlockQueue::wait_until_empty(std::size_t kept) {
  std::unique_lock lock(mutex_);
  if (empty_count_ + kept == kBlocks) return;
  empty_wanted_ = kBlocks - kept;
  emptied_.wait(lock, [&] { return empty_count_ + kept == kBlocks; });
  empty_wanted_ = 0;
}

void BlockQueue::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  emptied_.notify_all();
  filled_.notify_all();
}

std::ptrdiff_t ThreadedInput::WaitingSource::read(char* buffer, std::size_t max) {
  if (wait && !wait->wait(descriptor_.fd())) {
    errno = ECANCELED;  // the conversion has stopped: nothing more is read
    return -1;
  }
  return descriptor_.read(buffer, max);
}

ThreadedInput::ThreadedInput(int fd) : source_(fd), text_(source_) {
  try {
    // A disk file never keeps a read waiting: only other input is waited on.
    std::uint64_t size;
    if (!platform::is_disk_file(fd, size)) source_.wait = std::make_unique<platform::InputWait>();
    reader_ = std::thread(&ThreadedInput::read_ahead, this);
  } catch (const std::system_error&) {
    source_.wait.reset();  // read as it is asked for, on the caller's thread
  }
}

ThreadedInput::~ThreadedInput() {
  if (!reader_.joinable()) return;
  stop();
  reader_.join();
}

void ThreadedInput::stop() {
  if (!reader_.joinable()) return;
  stopped_.store(true);
  if (source_.wait) source_.wait->stop();
  queue_.close();
}

void ThreadedInput::read_ahead() {
  while (char* const data = queue_.take_empty()) {
    const std::ptrdiff_t got = text_.read(data, Sink::kBlockSize);
    queue_.put_filled({data, got}, true);
    if (got <= 0) return;
  }
}

std::ptrdiff_t ThreadedInput::read(char* buffer, std::size_t max) {
  if (!reader_.joinable()) return text_.read(buffer, max);
  if (stopped_.load()) return 0;  // a read the stop cut short is no failure of the input
  if (last_ <= 0) return last_;
  if (!block_.data) {
    block_ = queue_.take_filled();
    offset_ = 0;
    if (stopped_.load()) return 0;
    if (block_.size <= 0) {
      last_ = block_.size;
      return last_;
    }
  }
  const std::size_t n = std::min(max, static_cast<std::size_t>(block_.size) - offset_);
  std::memcpy(buffer, block_.data + offset_, n);
  offset_ += n;
  if (offset_ == static_cast<std::size_t>(block_.size)) {
    queue_.put_empty(block_.data);
    block_.data = nullptr;
  }
  return static_cast<std::ptrdiff_t>(n);
}

bool ThreadedInput::would_wait() { return reader_.joinable() && last_ > 0 && !block_.data && !queue_.has_filled(); }

ThreadedOutput::ThreadedOutput(RawSink& raw, std::function<void()> failed)
    : raw_(raw), failed_(std::move(failed)), block_(queue_.take_empty()) {
  try {
    writer_ = std::thread(&ThreadedOutput::write_behind, this);
  } catch (const std::system_error&) {
  }
}

ThreadedOutput::~ThreadedOutput() {
  if (!writer_.joinable()) return;
  queue_.close();
  writer_.join();
}

void ThreadedOutput::write_behind() {
  for (BlockQueue::Filled block; (block = queue_.take_filled()).data;) {
    if (error() == 0) {
      const int failure = write_all(raw_, block.data, static_cast<std::size_t>(block.size));
      if (failure != 0) {
        error_.store(failure, std::memory_order_relaxed);
        if (failed_) failed_();
      }
    }
    queue_.put_empty(block.data);
  }
}

void ThreadedOutput::put(std::size_t size, bool awaited) {
  if (!writer_.joinable()) {
    if (error() == 0) error_.store(write_all(raw_, block_, size), std::memory_order_relaxed);
    return;
  }
  queue_.put_filled({block_, static_cast<std::ptrdiff_t>(size)}, awaited);
  block_ = queue_.take_empty();
}

int ThreadedOutput::finish() {
  if (writer_.joinable()) queue_.wait_until_empty(1);
  return error();
}
