#pragma once
// A row's reading as a physical quantity: resistance in ohms or voltage in volts. The one
// reading of value texts and units that the chart, the insulation analysis and the reports
// share.

#include <optional>
#include <string_view>

#include "record/ReadingTable.h"

namespace vexal {

enum class QuantityKind { Resistance, Voltage };

struct Quantity {
  QuantityKind kind = QuantityKind::Resistance;
  double value = 0;  // ohms or volts
  bool operator==(const Quantity &) const = default;
};

// The number a value text shows: the whole text is an optional "-", then digits with at most
// one "." or "," (files come from any locale), as in "12.34", "-0,5", "7." or ".5". "L", an
// empty text, blanks or any other text give nothing.
std::optional<double> readingNumber(std::string_view value);

// What a unit text (code page 936, as the table stores it) measures, and the factor that
// turns its numbers into ohms or volts: "Ω" 1, "MΩ" 10^6, "GΩ" 10^9, "V" 1. Nothing for any
// other text.
struct UnitScale {
  QuantityKind kind;
  double factor;
};
std::optional<UnitScale> unitScale(std::string_view unit);

// The row's reading as a quantity; nothing when the unit is none of the above or the value
// shows no number.
std::optional<Quantity> readingQuantity(std::optional<std::string_view> value,
                                        std::optional<std::string_view> unit);
inline std::optional<Quantity> readingQuantity(const TableRowView &row) {
  return readingQuantity(row.value, row.unit);
}

}  // namespace vexal
