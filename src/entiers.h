// Integer fields: hexadecimal digits between two marks, least significant
// nibble first, rewritten as binary, decimal or hexadecimal text. `(` opens an
// unsigned field, `{` a signed one whose missing high nibbles are all ones.
#pragma once

#include <string_view>

#include "text_stream.h"

// Each takes the whole field, both marks included, and writes its form to
// `out`. Only the first eight digits count: the value is 32 bits wide.
namespace entiers {

// (digits) as "0", 32 binary digits, "H".
void unsigned_binary(std::string_view field, TextOutput& out);
// (digits} as "%lu".
void unsigned_decimal(std::string_view field, TextOutput& out);
// (digits] as "0", 8 hexadecimal digits in the case written, "H".
void unsigned_hexadecimal(std::string_view field, TextOutput& out);
// {digits) as "1", 32 binary digits, "H".
void signed_binary(std::string_view field, TextOutput& out);
// {digits} as "%ld".
void signed_decimal(std::string_view field, TextOutput& out);
// {digits] as "0", 8 hexadecimal digits in the case written (F where none), "H".
void signed_hexadecimal(std::string_view field, TextOutput& out);

}  // namespace entiers
