#pragma once
// Tables holding one insulation run made to order: a reading every `stepS` seconds up to
// `lastS`, its value text given by the second it is taken at.

#include <functional>
#include <string>

#include "analysis/InsulationRuns.h"
#include "common/Cp936.h"
#include "support/TableRows.h"

namespace vexal::test_rows {

inline const std::string kGigaohm = "G" + std::string(kOhm);
inline const std::string kMegaohm = "M" + std::string(kOhm);
inline const std::string kIr500 = "IR:500V 20G" + std::string(kOhm);
inline const std::string kIr2500 = "IR:2500 100G" + std::string(kOhm);

struct RunSpec {
  int lastS = 600, stepS = 1;
  std::function<std::string(int)> value = [](int) { return std::string("1.00"); };
  std::string unit = kGigaohm, function = kIr2500, mode = "PI";
};

inline void appendRun(ReadingTable &table, const RunSpec &shape, std::int32_t startMs) {
  std::int32_t no = static_cast<std::int32_t>(table.rowCount());
  for (int s = 0; s <= shape.lastS; s += shape.stepS)
    table.appendRow(
        makeRow(++no, startMs + 1000 * s, shape.value(s), shape.unit, shape.function, shape.mode));
}

// The one run of a table made from `shape`.
inline InsulationRun runOf(const RunSpec &shape) {
  ReadingTable table;
  appendRun(table, shape, at(10, 0, 0));
  return findInsulationRuns(table).at(0);
}

// A value that stays `ohms` in GΩ for the whole run, shown with two decimals.
inline std::function<std::string(int)> steady(double gigaohms) {
  return [gigaohms](int) { return std::to_string(gigaohms).substr(0, 6); };
}

}  // namespace vexal::test_rows
