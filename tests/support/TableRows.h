#pragma once
// Rows and times of day made to order for the reading-table tests.

#include <cstdint>
#include <optional>
#include <string>

#include "record/ReadingTable.h"

namespace vexal::test_rows {

inline TableRow makeRow(std::optional<std::int32_t> no, std::optional<std::int32_t> ms,
                        std::optional<std::string> value, std::optional<std::string> unit = {},
                        std::optional<std::string> vRange = {},
                        std::optional<std::string> iRange = {}) {
  TableRow r;
  r.no = no;
  r.timeMs = ms;
  r.value = std::move(value);
  r.unit = std::move(unit);
  r.vRange = std::move(vRange);
  r.iRange = std::move(iRange);
  return r;
}

inline std::int32_t at(int h, int m, int s, int ms = 0) {
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

}  // namespace vexal::test_rows
