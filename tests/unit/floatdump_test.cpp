// Every result file of the end-to-end cases through every way in: the library's conversion in memory gives its
// .expected output and its .stderr diagnostics, and the fuzz target's checks hold (flex's scanner, and the
// command's reader and writer threads over a pipe, give the same). The library's streaming calls and their
// failures are tested through the Python module (tests/python), which is built over them.
#include "floatdump/floatdump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);  // tests/fuzz/convert_fuzz.cpp

namespace {

TEST(EveryCase, GivesTheCommandsBytesEveryWayIn) {
  for (const auto& entry : std::filesystem::directory_iterator(FLOATDUMP_TESTS "/e2e/cases")) {
    std::filesystem::path path = entry.path();
    if (path.extension() != ".in") continue;
    const std::string name = path.stem().string();
    SCOPED_TRACE(name);
    const std::string input = bytes_of(path);
    const floatdump::Result result = floatdump::convert(input);
    EXPECT_TRUE(result.output == bytes_of(path.replace_extension(".expected")));
    EXPECT_EQ(bytes_of(path.replace_extension(".stderr")), result.diagnostics);
    EXPECT_EQ(0, result.outcome.status);

    std::printf("%s\n", name.c_str());  // a failed check aborts: this names the case
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
