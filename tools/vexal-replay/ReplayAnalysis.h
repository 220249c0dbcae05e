#pragma once
// vexal-replay --analysis: the insulation runs of the final table, one JSON line each.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/InsulationRuns.h"
#include "record/ReadingTable.h"

namespace vexal {

// --run-gap S: whole seconds, 0 or more, as milliseconds. Gaps beyond a day all keep every
// step in the run, so larger numbers are held as a day. Nothing for any other text.
std::optional<std::int64_t> parseRunGap(std::string_view text);
// --temperature C: an optional "-", digits and at most one "." (20, -5.5, 0.5), from -50 to
// 200. Nothing for any other text or number.
std::optional<double> parseTemperature(std::string_view text);

// Writes the line of every run of `table` on standard output; false, after saying why on
// stderr, when a write fails.
bool writeAnalysis(const ReadingTable &table, std::int64_t runGapMs,
                   std::optional<double> temperatureC);

}  // namespace vexal
