// Reading and writing beside the scan, for the command's files and pipes: a
// reader thread puts the result file's text into a few fixed blocks and a
// writer thread writes the blocks of converted text, each handing them over
// in order to and from the one thread that runs the conversion. The
// conversion sees a TextSource and a Sink, as it would without threads.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform.h"
#include "text_stream.h"

// Blocks of Sink::kBlockSize bytes passed from a thread that fills them to a
// thread that empties them, in order, and back. Each side waits only when
// there is nothing for it to take, and is woken only once there is enough
// to be worth it: waking a thread costs about as much as a system call.
class BlockQueue {
 public:
  static constexpr std::size_t kBlocks = 4;
  struct Filled {
    char* data;
    std::ptrdiff_t size;  // a reader's 0 or -1: the end of input, or a read failure
  };

  // A waiting emptying side is woken once `batch` blocks are filled, or
  // by a block put as urgent.
  explicit BlockQueue(std::size_t batch);

  // The filling side: an empty block, waiting for half of them to be empty
  // if none is; null once closed.
  char* take_empty();
  void put_filled(Filled block, bool urgent);
  // The emptying side: the next filled block, waiting for one; data is null
  // once closed with none left.
  Filled take_filled();
  void put_empty(char* data);
  // Whether take_filled() would not wait.
  bool has_filled();
  // Waits until every block but `kept` ones is back empty.
  void wait_until_empty(std::size_t kept);
  // Ends every wait: take_empty() gives null, take_filled() what is left, then null.
  void close();

 private:
  std::mutex mutex_;
  std::condition_variable emptied_, filled_;
  std::unique_ptr<char[]> storage_;
  // Two rings of block pointers; each holds at most kBlocks.
  std::array<char*, kBlocks> empty_{};
  std::array<Filled, kBlocks> full_{};
  std::size_t empty_first_ = 0, empty_count_ = 0, full_first_ = 0, full_count_ = 0;
  const std::size_t batch_;
  bool urgent_ = false;
  std::size_t empty_wanted_ = 0;  // what a waiting filling side waits for, 0 while none waits
  bool emptier_waits_ = false;
  bool closed_ = false;
};

// The text of a file or pipe, read ahead by a thread of its own. Where no
// thread can be made it is read on the caller's thread instead.
class ThreadedInput final : public TextSource {
 public:
  explicit ThreadedInput(int fd);
  // Stops the reader, also while it waits on a silent pipe, and joins it.
  ~ThreadedInput() override;
  ThreadedInput(const ThreadedInput&) = delete;
  ThreadedInput& operator=(const ThreadedInput&) = delete;

  std::ptrdiff_t read(char* buffer, std::size_t max) override;
  bool would_wait() override;

  // Ends the input here, from any thread, also while the conversion waits
  // for it: for a conversion whose output has failed.
  void stop();

 private:
  // The descriptor, read only once the wait says a read would not wait.
  class WaitingSource final : public RawSource {
   public:
    explicit WaitingSource(int fd) : descriptor_(fd) {}
    std::ptrdiff_t read(char* buffer, std::size_t max) override;
    std::unique_ptr<platform::InputWait> wait;  // null where none could be made

   private:
    platform::Descriptor descriptor_;
  };
  void read_ahead();  // the reader thread

  WaitingSource source_;
  TextInput text_;
  BlockQueue queue_{1};  // the conversion waits for no more than it needs
  BlockQueue::Filled block_{nullptr, 0};  // the block being read, from offset_ on
  std::size_t offset_ = 0;
  std::ptrdiff_t last_ = 1;  // 0 or -1 once the input has ended so
  std::atomic<bool> stopped_{false};
  std::thread reader_;
};

// Writes with a thread of its own. Where no thread can be made each block is
// written on the caller's thread as it is put.
class ThreadedOutput final : public Sink {
 public:
  // `failed` is called on the writer's thread when a write fails, so that
  // a conversion waiting for its input learns at once that it cannot go on.
  explicit ThreadedOutput(RawSink& raw, std::function<void()> failed = {});
  // Writes what was put, then joins the writer.
  ~ThreadedOutput() override;
  ThreadedOutput(const ThreadedOutput&) = delete;
  ThreadedOutput& operator=(const ThreadedOutput&) = delete;

  char* block() override { return block_; }
  void put(std::size_t size, bool awaited) override;
  int finish() override;
  int error() const override { return error_.load(std::memory_order_relaxed); }

 private:
  void write_behind();  // the writer thread

  RawSink& raw_;
  std::function<void()> failed_;
  BlockQueue queue_{BlockQueue::kBlocks / 2};
  char* block_;
  std::atomic<int> error_{0};
  std::thread writer_;
};
