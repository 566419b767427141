// Integer fields: the first digit is the least significant nibble, only the
// first eight digits count, and a signed field's missing nibbles are F. Each
// form, end to end, is in the integer-fields fixture.
#include "entiers.h"

#include <gtest/gtest.h>

#include "output_capture.h"

namespace {

struct Case {
  void (*conversion)(std::string_view, TextOutput&);
  const char* field;
  const char* written;
};

TEST(Entiers, FillLengthAndCase) {
  using namespace entiers;
  const Case cases[] = {
      {signed_decimal,       "{1234567}",         "-144358623"},  // F7654321
      // The eighth digit carries all 32 bits: no F nibbles are added.
      {signed_decimal,       "{10000000}",        "1"},
      {signed_decimal,       "{00000008}",        "-2147483648"},
      {signed_binary,        "{0000000F)",        "111110000000000000000000000000000H"},
      {unsigned_decimal,     "(FFFFFFFF}",        "4294967295"},
      // Digits past the eighth are dropped, in every form.
      {unsigned_binary,      "(123456789)",       "010000111011001010100001100100001H"},
      {unsigned_hexadecimal, "(123456789]",       "087654321H"},
      {signed_hexadecimal,   "{123456789abc]",    "087654321H"},
      {signed_decimal,       "{123456789ABCDEF}", "-2023406815"},
      // Hexadecimal digits keep the case written; the fill is upper-case.
      {unsigned_hexadecimal, "(1aBc]",            "00000cBa1H"},
      {signed_hexadecimal,   "{1aBc]",            "0FFFFcBa1H"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.written, capture_output([&](TextOutput& out) { c.conversion(c.field, out); })) << c.field;
  }
}

}  // namespace
