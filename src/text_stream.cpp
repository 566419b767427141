#include "text_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace {

std::ptrdiff_t read_retrying(RawSource& raw, char* buffer, std::size_t max) {
  std::ptrdiff_t got;
  do {
    got = raw.read(buffer, max);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

std::ptrdiff_t MemorySource::read(char* buffer, std::size_t max) {
  const std::size_t n = rest_.copy(buffer, max);
  rest_.remove_prefix(n);
  return static_cast<std::ptrdiff_t>(n);
}

std::ptrdiff_t TextInput::read(char* buffer, std::size_t max) {
  return interactive_ ? read_line(buffer, max) : read_block(buffer, max);
}

// A CR is delivered only once the byte after it is known, so a CR LF pair
// split between two reads still folds; a CR that ends the input is
// delivered as it is.
std::size_t TextInput::deliverable() const {
  std::size_t limit = end_;
  if (!source_done_ && limit > pos_ && raw_buffer_[limit - 1] == '\r') --limit;
  return limit - pos_;
}

bool TextInput::would_wait() { return !interactive_ && !source_done_ && deliverable() == 0 && !raw_.ready(); }

// Files and pipes.
std::ptrdiff_t TextInput::read_block(char* buffer, std::size_t max) {
  for (;;) {
    const std::size_t limit = pos_ + deliverable();
    if (pos_ < limit) {
      std::size_t n = 0;
      while (n < max && pos_ < limit) {
        const std::size_t span = std::min(limit - pos_, max - n);
        const char* from = raw_buffer_ + pos_;
        const void* cr = std::memchr(from, '\r', span);
        const std::size_t run = cr ? static_cast<const char*>(cr) - from : span;
        std::memcpy(buffer + n, from, run);
        n += run;
        pos_ += run;
        if (!cr) break;
        // pos_ < limit, so the byte after this CR has been read unless the
        // input ends with it.
        const bool pair = pos_ + 1 < end_ && raw_buffer_[pos_ + 1] == '\n';
        buffer[n++] = pair ? '\n' : '\r';
        pos_ += pair ? 2 : 1;
      }
      return static_cast<std::ptrdiff_t>(n);
    }
    if (source_done_) return 0;
    if (!refill()) return -1;
  }
}

bool TextInput::refill() {
  const std::size_t kept = end_ - pos_;  // at most a held-back CR
  std::memmove(raw_buffer_, raw_buffer_ + pos_, kept);
  pos_ = 0;
  end_ = kept;
  const std::ptrdiff_t got = read_retrying(raw_, raw_buffer_ + end_, kRawSize - end_);
  if (got < 0) return false;
  if (got == 0) {
    source_done_ = true;
    return true;
  }
  // The first 0x1A of a file or pipe is its end: nothing from it on exists.
  const void* eot = std::memchr(raw_buffer_ + end_, kEndOfText, static_cast<std::size_t>(got));
  if (eot) {
    end_ = static_cast<std::size_t>(static_cast<const char*>(eot) - raw_buffer_);
    source_done_ = true;
  } else {
    end_ += static_cast<std::size_t>(got);
  }
  return true;
}

int TextInput::next_byte() {
  if (pos_ < end_) return static_cast<unsigned char>(raw_buffer_[pos_++]);
  if (source_done_) return -1;
  char c;
  const std::ptrdiff_t got = read_retrying(raw_, &c, 1);
  if (got < 0) return -2;
  if (got == 0) {
    source_done_ = true;
    return -1;
  }
  return static_cast<unsigned char>(c);
}

// A terminal is read a byte at a time so that each line is scanned as soon as
// its newline arrives. There 0x1A does not end the input for good: it ends
// the current read, dropping the rest of the line typed after it, and at the
// start of a read it is the end of input for the scanner.
std::ptrdiff_t TextInput::read_line(char* buffer, std::size_t max) {
  std::size_t n = 0;
  while (n < max) {
    int c = next_byte();
    if (c == -2) return -1;
    if (c == -1) break;
    if (c == kEndOfText) {
      while (c >= 0 && c != '\n') c = next_byte();
      if (c == -2) return -1;
      break;
    }
    if (c == '\r') {
      const int after = next_byte();
      if (after == -2) return -1;
      if (after == '\n') {
        c = '\n';
      } else if (after >= 0) {
        raw_buffer_[0] = static_cast<char>(after);  // nothing else is pending here
        pos_ = 0;
        end_ = 1;
      }
    }
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return static_cast<std::ptrdiff_t>(n);
}

int write_all(RawSink& raw, const char* data, std::size_t size) {
  while (size > 0) {
    const std::ptrdiff_t put = raw.write(data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put == 0 ? EIO : errno;  // a sink that takes nothing would loop forever
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return 0;
}

void WritingSink::put(std::size_t size, bool) {
  if (error_ == 0) error_ = write_all(raw_, block_, size);
}

bool TextOutput::each_lf_after_cr(std::string_view text) {
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
    if (at == 0 || text[at - 1] != '\r') return false;
  return true;
}

void TextOutput::write_long(std::string_view text) {
  while (!text.empty()) {
    // Room for the worst case, every byte an LF.
    if (kBufferSize - used_ < 2 * std::min(text.size(), kBufferSize / 2)) drain();
    const std::size_t take = std::min(text.size(), (kBufferSize - used_) / 2);
    const char* from = text.data();
    const char* const stop = from + take;
    char* to = buffer_ + used_;
    while (from < stop) {
      const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(stop - from));
      const std::size_t run = lf ? static_cast<const char*>(lf) - from : stop - from;
      std::memcpy(to, from, run);
      to += run;
      from += run;
      if (!lf) break;
      *to++ = '\r';
      *to++ = '\n';
      ++from;
    }
    used_ = static_cast<std::size_t>(to - buffer_);
    text.remove_prefix(take);
  }
}

bool TextOutput::flush() {
  if (used_ > 0) put(true);
  return sink_.finish() == 0;
}

void TextOutput::put(bool awaited) {
  sink_.put(used_, awaited);
  buffer_ = sink_.block();
  used_ = 0;
}

void TextOutput::drain(bool awaited) {
  put(awaited);
  if (on_failure_ == OnFailure::kStop && sink_.error() != 0) throw OutputFailure{};
}
