// Whole conversions in process: a fatal failure keeps what was converted, and two conversions at once each give
// their own bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../harness.h"
#include "scripted_device.h"
#include "threaded_io.h"

namespace {

const std::filesystem::path kCases = FLOATDUMP_TESTS "/e2e/cases";

// A fatal failure gives status 2, and one stream holding exactly what was converted before it, then the message
// and CR LF.
TEST(ScannerFailure, EndsWithStatus2AndKeepsTheConvertedText) {
  const std::string kNoMemory = "out of dynamic memory in yy_create_buffer()";
  const std::string kOverflow = "fatal error - scanner input buffer overflow";
  const std::string kReadFailed = "input in flex scanner failed";
  const std::string kLines = "F1 !DB0F4940!\nn = (1A} x = !0000803F!\n";
  const std::string kConverted = "n = 161 x = 1.0000000E+000\r\n";
  // kLines, then one token of `length` characters on a line.
  const auto long_token = [&](std::size_t length) { return kLines + ('\'' + std::string(length - 2, 'x')) + "'\n"; };
  const auto kBoth = {Scanner::kFlex, Scanner::kFile};
  const struct {
    const char* what;
    std::vector<Scanner> scanners;
    std::size_t largest_allocation;
    std::vector<std::string> reads;
    std::string message;
    std::string output;  // what the output must hold afterwards
  } failures[] = {
      {"no memory at all", kBoth, 0, {kLines}, kNoMemory, ""},
      {"memory for the buffer's record, not its characters", kBoth, 1000, {kLines}, kNoMemory, ""},
      // flex's buffer holds 16384 characters, the hand-written one's 65536; each doubles when a token fills it.
      {"first growth", {Scanner::kFlex}, 20000, {long_token(20000)}, kOverflow, kConverted},
      {"second growth", {Scanner::kFlex}, 40000, {long_token(40000)}, kOverflow, kConverted},
      {"first growth", {Scanner::kFile}, 100000, {long_token(80000)}, kOverflow, kConverted},
      {"second growth", {Scanner::kFile}, 200000, {long_token(140000)}, kOverflow, kConverted},
      // A failed read ends the input: the pending (2 is plain text then.
      {"failing device", kBoth, SIZE_MAX, {kLines + "m = (2", "EIO"}, kReadFailed, kConverted + "m = (2"},
      {"failing device after a field", kBoth, SIZE_MAX, {"(1}", "EIO"}, kReadFailed, "1"},
      {"failing device after plain text", kBoth, SIZE_MAX, {std::string(20000, 'y'), "EIO"}, kReadFailed,
       std::string(20000, 'y')},
      {"failing device at once", kBoth, SIZE_MAX, {"EIO"}, kReadFailed, ""},
  };
  for (const auto& f : failures)
    for (const Scanner scanner : f.scanners) {
      SCOPED_TRACE(testing::Message() << f.what << (scanner == Scanner::kFlex ? ", flex" : ", file"));
      ScriptedDevice device(f.reads);
      TextInput in(device);
      OneStream stream;
      WritingSink messages(stream);
      TextOutput diagnostics(messages);
      {
        ThreadedOutput out(stream);
        EXPECT_EQ(2, convert(scanner, in, out, diagnostics, "memory", f.largest_allocation).status);
      }
      EXPECT_EQ(f.output + f.message + "\r\n", stream.bytes);
    }
}

// Nothing of one conversion is shared with another: two result files with opposite calibrations, converted
// over and over on two threads at once by both scanners, each give the bytes of their own run as a command.
// Run under ThreadSanitizer too.
TEST(Conversion, TwoAtOnceEachGiveTheirOwnBytes) {
  const char* const names[] = {"float-fields-big-endian", "float-fields-little-endian"};
  std::string converted[2];
  std::thread threads[2];
  for (int i = 0; i < 2; ++i)
    threads[i] = std::thread([&, i] {
      const std::string bytes = bytes_of(kCases / (std::string(names[i]) + ".in"));
      for (int round = 0; round < 20; ++round) {
        const Converted run = convert_bytes(round % 2 ? Scanner::kFlex : Scanner::kFile, bytes);
        converted[i] += run.output + run.messages;
      }
    });
  for (int i = 0; i < 2; ++i) {
    threads[i].join();
    std::string expected;
    for (int round = 0; round < 20; ++round) expected += bytes_of(kCases / (std::string(names[i]) + ".expected"));
    EXPECT_EQ(expected, converted[i]) << names[i];
  }
}

}  // namespace
