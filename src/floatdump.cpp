#include "floatdump.h"

#include <cerrno>
#include <string>
#include <utility>

#include "conversion.h"
#include "file_scanner.h"
#include "flex_adapter.h"
#include "messages.h"

namespace {

// Writes the message of a failure to `diagnostics` and returns the outcome.
floatdump::Outcome stopped(TextOutput& diagnostics, std::string message) {
  diagnostics.write(message);
  diagnostics.flush();
  message.pop_back();  // the line end
  return {2, std::move(message)};
}

}  // namespace

floatdump::Outcome convert(Scanner scanner, TextSource& in, Sink& out, TextOutput& diagnostics,
                           std::string_view out_name, std::size_t largest_allocation, messages::Reason reason) {
  Conversion conversion(in, out, diagnostics, largest_allocation);
  TextOutput& converted = conversion.out();
  try {
    if (scanner == Scanner::kFlex)
      flex_scan(conversion);
    else
      file_scan(conversion);
    if (conversion.read_failed()) Conversion::fail(messages::kReadFailed);
    if (converted.flush()) return {};
  } catch (const ScannerFailure& failure) {
    // What was converted before the failure stays in the output.
    const bool written = converted.flush();
    floatdump::Outcome outcome = stopped(diagnostics, messages::format(messages::kScannerFailure, {failure.message}));
    if (written) return outcome;
    stopped(diagnostics, messages::format(messages::kErrorWriting, {out_name, reason(converted.error())}));
    return outcome;
  } catch (const OutputFailure&) {
  }
  return stopped(diagnostics, messages::format(messages::kErrorWriting, {out_name, reason(converted.error())}));
}

namespace floatdump {
namespace {

// A caller's Input as the raw bytes the text-mode layer reads.
class CallerInput final : public RawSource {
 public:
  explicit CallerInput(Input& in) : in_(in) {}
  std::ptrdiff_t read(char* buffer, std::size_t max) override {
    const std::ptrdiff_t got = in_.read(buffer, max);
    if (got >= 0) return got;
    errno = EIO;  // the text-mode layer retries EINTR, which a caller's failure never is
    return -1;
  }
  bool ready() override { return in_.ready(); }

 private:
  Input& in_;
};

// A caller's Output as a sink: each block is written as it is put.
class CallerOutput final : public Sink {
 public:
  explicit CallerOutput(Output& out) : out_(out) {}
  char* block() override { return block_; }
  void put(std::size_t size, bool) override {
    if (error_ == 0) error_ = out_.write(block_, size);
  }
  int finish() override { return error_; }
  int error() const override { return error_; }

 private:
  Output& out_;
  int error_ = 0;
  char block_[kBlockSize];
};

}  // namespace

const char* version() { return FLOATDUMP_VERSION; }

Result convert(std::string_view input) {
  Result result;
  // Room for what the conversion will most likely write, so that the text is
  // not copied as it grows; room never written costs no memory.
  result.output.reserve(input.size() + input.size() / 2 + Sink::kBlockSize);
  MemorySource source(input);
  TextInput in(source);
  StringSink out(result.output), messages(result.diagnostics);
  TextOutput diagnostics(messages);
  result.outcome = ::convert(Scanner::kFile, in, out, diagnostics, "output");
  return result;
}

Outcome convert(Input& in, Output& out, Output& diagnostics, std::string_view out_name) {
  CallerInput source(in);
  TextInput text(source);
  CallerOutput converted(out), messages(diagnostics);
  TextOutput diagnostics_text(messages);
  return ::convert(Scanner::kFile, text, converted, diagnostics_text, out_name);
}

}  // namespace floatdump
