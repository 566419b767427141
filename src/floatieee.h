// Float fields: the target's raw memory bytes of a binary32 or binary64 value.
// Calibration fields (pi as the target stored it) teach each width's byte
// order; later float fields of that width are put into host order and written
// in the scientific forms.
#pragma once

#include <string_view>

#include "text_stream.h"

namespace floatieee {

// A calibration field (`!`, hex digit pairs, `!`) from a single-precision
// calibration line; problems are reported on `diagnostics`.
void calibrate_single(std::string_view field, TextOutput& diagnostics);

// The same from a double-precision calibration line.
void calibrate_double(std::string_view field, TextOutput& diagnostics);

// A float field: writes its value to `out`, or nothing when no calibrated
// record has the field's width.
void rewrite_float_field(std::string_view field, TextOutput& out);

// Forgets every calibration: each conversion starts with none.
void reset_calibration();

}  // namespace floatieee
