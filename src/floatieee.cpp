#include "floatieee.h"

namespace floatieee {

void calibrate_single(std::string_view, TextOutput&) {}
void calibrate_double(std::string_view, TextOutput&) {}
void rewrite_float_field(std::string_view, TextOutput&) {}
void reset_calibration() {}

}  // namespace floatieee
