#include "floatieee.h"

#include <gtest/gtest.h>

#include <string>

#include "output_capture.h"

namespace {

// Calibration and float fields share the process-wide records: each test
// starts as a run does, with nothing calibrated. The helpers return what was
// written: diagnostics for a calibration, the number text for a float field.
class FloatFields : public ::testing::Test {
 protected:
  void SetUp() override { floatieee::reset_calibration(); }

  static std::string single(std::string_view field) {
    return capture_output([&](TextOutput& d) { floatieee::calibrate_single(field, d); });
  }
  static std::string dual(std::string_view field) {
    return capture_output([&](TextOutput& d) { floatieee::calibrate_double(field, d); });
  }
  static std::string rewrite(std::string_view field) {
    return capture_output([&](TextOutput& out) { floatieee::rewrite_float_field(field, out); });
  }
};

struct ByteOrder {
  const char* calibration;  // pi as the target stores it
  const char* one;          // 1.0 as the same target stores it
};

TEST_F(FloatFields, EveryByteOrderGivesTheSameValue) {
  const ByteOrder singles[] = {
      {"!DB0F4940!", "!0000803F!"},  // little-endian
      {"!40490FDB!", "!3F800000!"},  // big-endian
      {"!0F40DB49!", "!003F0080!"},  // scrambled: map 1, 3, 0, 2
      {"!db0f4940!", "!0000803f!"},  // lower-case digits
  };
  for (const ByteOrder& order : singles) {
    SetUp();
    EXPECT_EQ("", single(order.calibration));
    EXPECT_EQ("1.0000000E+000", rewrite(order.one)) << order.calibration;
  }
  const ByteOrder doubles[] = {
      {"!182D4454FB210940!", "!000000000000F03F!"},  // little-endian
      {"!400921FB54442D18!", "!3FF0000000000000!"},  // big-endian
      {"!FB210940182D4454!", "!0000F03F00000000!"},  // high word first, words little-endian
  };
  for (const ByteOrder& order : doubles) {
    SetUp();
    EXPECT_EQ("", dual(order.calibration));
    EXPECT_EQ("1.000000000000000E+000", rewrite(order.one)) << order.calibration;
    EXPECT_EQ("3.141592653589793E+000", rewrite(order.calibration));
  }
}

TEST_F(FloatFields, ReversedMapReadsTheFieldBackwards) {
  single("!40490FDB!");
  EXPECT_EQ("4.6006030E-041", rewrite("!0000803F!"));  // bits 0000803F, a subnormal
}

// The substitution looks at the text as written, before any reordering.
TEST_F(FloatFields, SpecialTextsAreSubstitutedExactly) {
  single("!DB0F4940!");
  EXPECT_EQ("1.#INF000E+000", rewrite("!FFFF7F7F!"));
  EXPECT_EQ("3.4028235E+038", rewrite("!ffff7f7f!"));  // not the exact text
  EXPECT_EQ("0.0000000E+000", rewrite("!00000080!"));
  SetUp();
  single("!40490FDB!");
  EXPECT_EQ("4.6095713E-041", rewrite("!FFFF7F7F!"));  // !0000807F! read big-endian
  EXPECT_EQ("3.4028235E+038", rewrite("!7F7FFFFF!"));
  EXPECT_EQ("0.0000000E+000", rewrite("!00000080!"));  // zero, not the subnormal 1.79E-043
}

TEST_F(FloatFields, FieldsWithoutARecordOfTheirWidthAreDropped) {
  EXPECT_EQ("", rewrite("!0000803F!"));  // before any calibration
  single("!DB0F4940!");
  const char* dropped[] = {"!!", "!0000803!", "!0000803F00!", "!000000000000F03F!"};
  for (const char* field : dropped) EXPECT_EQ("", rewrite(field)) << field;
}

TEST_F(FloatFields, RepeatedCalibrationReportsEveryConflict) {
  single("!DB0F4940!");
  EXPECT_EQ(
      "conflit dans le reorder octet 0 et octet 3\r\n"
      "conflit dans le reorder octet 1 et octet 2\r\n"
      "conflit dans le reorder octet 2 et octet 1\r\n"
      "conflit dans le reorder octet 3 et octet 0\r\n",
      single("!40490FDB!"));
  EXPECT_EQ("1.0000000E+000", rewrite("!0000803F!"));  // the first map stays
}

TEST_F(FloatFields, UnmatchedAndRepeatedBytesLeaveGaps) {
  EXPECT_EQ("manque match octet 3 \r\n", single("!DB0F4941!"));
  // The unmatched byte is dropped; position 3 keeps pi's byte 40.
  EXPECT_EQ("4.0000000E+000", rewrite("!0000803F!"));
  SetUp();
  EXPECT_EQ("", single("!DB0F49DB!"));  // bytes 0 and 3 both map to position 0
  EXPECT_EQ("4.0000300E+000", rewrite("!0000803F!"));  // bytes 3F 00 80 40
}

TEST_F(FloatFields, OtherWidthsChangeOnlyTheWidth) {
  single("!DB0F4940!");
  EXPECT_EQ("", single("!DB0F494!"));  // three complete pairs
  EXPECT_EQ("", rewrite("!0000803F!"));
  EXPECT_EQ("6.0000000E+000", rewrite("!0000C0!"));  // the kind stays; position 3 keeps 40
  SetUp();
  dual("!182D4454FB210940!");
  single("!DB0F4940!");
  rewrite("!0000803F!");
  single("!1!");  // no complete pair: width 0, which a later !! finds
  EXPECT_EQ("1.0000000E+000", rewrite("!!"));
}

TEST_F(FloatFields, DoublePrecisionRecordWinsATie) {
  dual("!DB0F4940!");   // a 4-byte field makes it a single-precision record
  single("!40490FDB!");
  EXPECT_EQ("1.0000000E+000", rewrite("!0000803F!"));
}

TEST_F(FloatFields, MapEntriesOutsideTheValueAreDropped) {
  dual("!400921FB54442D18!");  // map 7, 6, ..., 0
  EXPECT_EQ(
      "conflit dans le reorder octet 7 et octet 0\r\n"
      "conflit dans le reorder octet 6 et octet 1\r\n"
      "conflit dans le reorder octet 5 et octet 2\r\n"
      "conflit dans le reorder octet 4 et octet 3\r\n",
      dual("!DB0F4940!"));
  // Positions 7 to 4 are outside the 4-byte value: every byte is dropped and
  // the value stays the pi the calibration put there.
  EXPECT_EQ("3.1415927E+000", rewrite("!0000803F!"));
}

TEST_F(FloatFields, OnlyFortyBytesTakePart) {
  const std::string filler = [] { std::string s; for (int i = 0; i < 37; ++i) s += "AB"; return s; }();
  EXPECT_EQ("", rewrite("!0000803F" + filler + "!"));  // no record of 41 bytes
  single("!DB0F4940!");
  EXPECT_EQ("", single("!DB0F4940" + filler + "!"));
  EXPECT_EQ("1.0000000E+000", rewrite("!0000803F" + filler + "!"));
}

}  // namespace
