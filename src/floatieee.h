// Float fields: the target's raw memory bytes of a binary32 or binary64 value.
// Calibration fields (pi as the target stored it) teach each width's byte
// order; later float fields of that width are put into host order and written
// in the scientific forms.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text_stream.h"

namespace floatieee {

// Room for the widest field a reorder record describes; bytes beyond are dropped.
inline constexpr std::size_t kMapSize = 40;

// What a calibration learned about one width: where each byte of a float
// field belongs in the value.
struct ReorderRecord {
  enum Kind { kNotCalibrated, kSinglePrecision, kDoublePrecision };
  // How the map moves the bytes of a field exactly as wide as its value: as
  // they are or reversed (a target of either byte order), or some other way.
  enum class Order { kScattered, kSame, kReversed };

  ReorderRecord();

  Kind kind = kNotCalibrated;
  std::size_t width = 0;  // bytes in the fields this record converts
  std::array<std::int8_t, kMapSize> map;  // field byte i -> value position, or -1 while unset
  Order order = Order::kScattered;  // of map, found after each calibration
};

// What the calibration lines of one result file have taught, from its start
// to its end, and the float fields it converts; a new conversion starts with
// a calibration of its own, which knows nothing yet.
class Calibration {
 public:
  // A calibration field (`!`, hex digit pairs, `!`) from a single-precision
  // calibration line; problems are reported on `diagnostics`.
  void calibrate_single(std::string_view field, TextOutput& diagnostics);

  // The same from a double-precision calibration line.
  void calibrate_double(std::string_view field, TextOutput& diagnostics);

  // A float field: writes its value to `out`, or nothing when no calibrated
  // record has the field's width. The value's bytes stay for the next field.
  void rewrite_float_field(std::string_view field, TextOutput& out);

 private:
  void calibrate(ReorderRecord& record, std::string_view field, TextOutput& diagnostics);

  ReorderRecord single_record_;
  ReorderRecord double_record_;  // searched first: double precision wins a tie of widths
  // The values being assembled. Positions no map entry names keep what the
  // last calibration or field left there.
  std::array<std::uint8_t, 4> single_value_{};
  std::array<std::uint8_t, 8> double_value_{};
};

}  // namespace floatieee
