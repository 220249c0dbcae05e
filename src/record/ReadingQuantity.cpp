#include "record/ReadingQuantity.h"

#include <charconv>
#include <string>

#include "common/Cp936.h"

namespace vexal {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> readingNumber(std::string_view value) {
  // A value text holds at most 20 bytes; anything longer is no reading.
  char buffer[32];
  if (value.empty() || value.size() >= sizeof buffer) return std::nullopt;
  std::size_t i = 0, length = 0;
  if (value[0] == '-') buffer[length++] = value[i++];
  bool digits = false, point = false;
  for (; i < value.size(); ++i) {
    const char c = value[i];
    if (isDigit(c)) {
      digits = true;
      buffer[length++] = c;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
      buffer[length++] = '.';
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double number = 0;
  // from_chars reads "7." as 7 but "." alone never reaches here (no digits).
  auto [end, ec] = std::from_chars(buffer, buffer + length, number);
  if (ec != std::errc() || end != buffer + length) return std::nullopt;
  return number;
}

std::optional<UnitScale> unitScale(std::string_view unit) {
  static const std::string ohm(kOhm), megaohm = "M" + ohm, gigaohm = "G" + ohm;
  if (unit == ohm) return UnitScale{QuantityKind::Resistance, 1.0};
  if (unit == megaohm) return UnitScale{QuantityKind::Resistance, 1e6};
  if (unit == gigaohm) return UnitScale{QuantityKind::Resistance, 1e9};
  if (unit == "V") return UnitScale{QuantityKind::Voltage, 1.0};
  return std::nullopt;
}

std::optional<Quantity> readingQuantity(std::optional<std::string_view> value,
                                        std::optional<std::string_view> unit) {
  if (!value || !unit) return std::nullopt;
  const auto scale = unitScale(*unit);
  if (!scale) return std::nullopt;
  const auto number = readingNumber(*value);
  if (!number) return std::nullopt;
  return Quantity{scale->kind, *number * scale->factor};
}

}  // namespace vexal
