#pragma once
// Insulation runs of a reading table: consecutive resistance readings of one test (the same
// function and mode, no longer pause than the run gap) and, for each, its resistance-time
// curve, the resistance at 15 s, 30 s, 1 min and 10 min, the dielectric absorption ratio
// (DAR = R(1 min) / R(30 s)) and the polarisation index (PI = R(10 min) / R(1 min)).
//
// The rules, applied to the table's rows in table order:
// - a resistance row has the unit "Ω", "MΩ" or "GΩ", a function starting with "IR:" and a
//   time; every other row belongs to no run and ends the run before it;
// - its number is the value read as readingNumber() reads it, times the unit's factor; a
//   value without a number still belongs to the run;
// - two consecutive resistance rows are in the same run when their function and mode texts
//   are equal byte for byte (none equals none) and the step between their times, taken
//   modulo a day (a negative difference wraps past midnight), is at most the run gap;
// - a row's elapsed time is the sum of the steps from the run's first row;
// - R(t) is defined when the run's last row is at least t - 2 s into the run: it is the
//   number of the latest row at most t into it (the last in table order among equal times),
//   or nothing when that row shows no number. An over-range "L" or a blank reading is never
//   stood in for by an older reading.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/ReadingTable.h"

namespace vexal {

inline constexpr std::int64_t kDefaultRunGapMs = 60'000;
// R(t) is still taken when the run ends up to this much before t.
inline constexpr std::int64_t kRunEndToleranceMs = 2'000;
// The times at which a run's resistance is reported, in seconds.
inline constexpr int kRunMarkSeconds[] = {15, 30, 60, 600};

enum class ConditionBand { Dangerous, Questionable, Good, Excellent };
// "dangerous", "questionable", "good", "excellent".
std::string_view bandName(ConditionBand band);
// DAR below 1.0 dangerous, below 1.4 questionable, up to and including 1.6 good, above
// excellent.
ConditionBand darBand(double dar);
// PI below 1.0 dangerous, below 2.0 questionable, up to and including 4.0 good, above
// excellent.
ConditionBand piBand(double pi);

// What a run shows at one of kRunMarkSeconds.
enum class MarkState {
  RunTooShort,  // the run ended more than 2 s before the mark
  Reading,      // the row at the mark shows a number
  OverRange,    // it shows "L": above the top of the function's range
  NoNumber,     // it shows no number (blank, or not a number)
};
struct MarkReading {
  MarkState state = MarkState::RunTooShort;
  std::optional<double> ohms;  // with Reading
};

// One row of a run, for the curve.
struct RunPoint {
  std::size_t row = 0;         // position in the table, 0-based
  std::int64_t elapsedMs = 0;  // from the run's first row
  std::optional<double> ohms;  // the row's number, if its value shows one
  bool overRange = false;      // the row shows "L": above the top of the function's range
};

struct InsulationRun {
  int number = 1;            // 1, 2, ... in table order
  std::size_t firstRow = 0;  // positions in the table, 0-based
  std::size_t lastRow = 0;
  std::optional<std::string> function, mode;  // V_Range and I_Range (code page 936)
  std::int32_t startMs = 0;                   // the first row's time of day
  std::int64_t durationMs = 0;                // the last row's elapsed time
  std::size_t rows = 0;                       // rows in the run
  std::size_t values = 0;                     // rows with a number
  std::optional<double> r15, r30, r60, r600;  // ohms
  std::optional<double> dar, pi;  // nothing when a part is missing or the divisor is not > 0
  std::optional<ConditionBand> darBand, piBand;
  MarkReading marks[std::size(kRunMarkSeconds)];  // in the order of kRunMarkSeconds

  // R(t) for one of kRunMarkSeconds.
  std::optional<double> resistanceAt(int seconds) const;
  // What the run shows at one of kRunMarkSeconds (RunTooShort for any other t).
  MarkReading markAt(int seconds) const;
};

// Whether a reading's value is the meter's over-range "L".
bool isOverRange(std::string_view value);
// The result screens a PI test ends with ("COMP:GOOD", "COMP:NG" with the PI as the value).
bool isComparatorMode(std::string_view mode);

// The runs of `table`, in table order. One pass over the rows; nothing is copied.
std::vector<InsulationRun> findInsulationRuns(const ReadingTable &table,
                                              std::int64_t runGapMs = kDefaultRunGapMs);
std::vector<InsulationRun> findInsulationRuns(const TableSnapshot &table,
                                              std::int64_t runGapMs = kDefaultRunGapMs);

// The run to show first: the most recent with an R(1 min), else the longest (the latest of
// equals). 0 for no runs.
std::size_t runToOpen(const std::vector<InsulationRun> &runs);

// The rows of one run with their elapsed times and numbers (the resistance-time curve).
std::vector<RunPoint> runCurve(const ReadingTable &table, const InsulationRun &run);
std::vector<RunPoint> runCurve(const TableSnapshot &table, const InsulationRun &run);

}  // namespace vexal
