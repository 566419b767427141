#include "entiers.h"

#include <gtest/gtest.h>

#include <string>

#include "output_capture.h"

namespace {

using Conversion = void (*)(std::string_view, TextOutput&);

std::string convert(Conversion conversion, std::string_view field) {
  return capture_output([&](TextOutput& out) { conversion(field, out); });
}

struct Case {
  Conversion conversion;
  const char* field;
  const char* written;
};

// The first digit of a field is its least significant nibble.
TEST(IntegerFields, EveryForm) {
  const std::string ones32(32, '1');
  const Case cases[] = {
      {entiers::unsigned_binary, "(1A)", "0000000000000000000000000" "10100001H"},
      {entiers::unsigned_hexadecimal, "(1A]", "0000000A1H"},
      {entiers::unsigned_decimal, "(1A}", "161"},
      {entiers::signed_hexadecimal, "{E]", "0FFFFFFFEH"},
      {entiers::signed_decimal, "{E}", "-2"},
      {entiers::signed_binary, "{E)", "1" "1111111111111111111111111111111" "0H"},
      // The eighth digit carries all 32 bits: no leading F nibbles are added.
      {entiers::signed_decimal, "{10000000}", "1"},
      {entiers::signed_decimal, "{00000008}", "-2147483648"},
      {entiers::unsigned_decimal, "(FFFFFFFF}", "4294967295"},
      {entiers::signed_decimal, "{FFFFFFFF}", "-1"},
      {entiers::unsigned_decimal, "(ffffffff}", "4294967295"},
      {entiers::signed_binary, "{0000000F)", "1" "1111" "0000000000000000000000000000H"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.written, convert(c.conversion, c.field)) << c.field;
}

TEST(IntegerFields, NoDigitsWriteTheBareForm) {
  const Case cases[] = {
      {entiers::unsigned_binary, "()", "000000000000000000000000000000000H"},
      {entiers::signed_binary, "{)", "111111111111111111111111111111111H"},
      {entiers::unsigned_hexadecimal, "(]", "000000000H"},
      {entiers::signed_hexadecimal, "{]", "0FFFFFFFFH"},
      {entiers::unsigned_decimal, "(}", "0"},
      {entiers::signed_decimal, "{}", "-1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.written, convert(c.conversion, c.field)) << c.field;
}

// Only the first eight digits fit 32 bits; every form writes their value.
TEST(IntegerFields, LongFieldsKeepTheirFirstEightDigits) {
  const Case cases[] = {
      {entiers::unsigned_decimal, "(123456789}", "2271560481"},  // hex 87654321
      {entiers::signed_decimal, "{123456789ABCDEF}", "-2023406815"},
      {entiers::unsigned_hexadecimal, "(123456789]", "087654321H"},
      {entiers::signed_hexadecimal, "{123456789abc]", "087654321H"},
      {entiers::unsigned_binary, "(123456789)", "0" "10000111011001010100001100100001H"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.written, convert(c.conversion, c.field)) << c.field;
}

TEST(IntegerFields, HexadecimalKeepsTheCaseWritten) {
  EXPECT_EQ("00000cBa1H", convert(entiers::unsigned_hexadecimal, "(1aBc]"));
  EXPECT_EQ("0FFFFcBa1H", convert(entiers::signed_hexadecimal, "{1aBc]"));
  EXPECT_EQ(convert(entiers::unsigned_decimal, "(1ABC}"), convert(entiers::unsigned_decimal, "(1abc}"));
  EXPECT_EQ(convert(entiers::signed_binary, "{1ABC)"), convert(entiers::signed_binary, "{1abc)"));
}

}  // namespace
