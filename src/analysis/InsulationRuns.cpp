#include "analysis/InsulationRuns.h"

#include <array>

#include "record/ReadingQuantity.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

constexpr std::size_t kMarkCount = std::size(kRunMarkSeconds);

// The unit's factor to ohms when the row is a resistance row; nothing otherwise.
std::optional<double> resistanceFactor(const TableRowView &row) {
  if (!row.unit || !row.vRange || !row.timeMs) return std::nullopt;
  if (!row.vRange->starts_with("IR:")) return std::nullopt;
  const auto scale = unitScale(*row.unit);
  if (!scale || scale->kind != QuantityKind::Resistance) return std::nullopt;
  return scale->factor;
}

std::optional<double> rowOhms(const TableRowView &row, double factor) {
  if (!row.value) return std::nullopt;
  const auto number = readingNumber(*row.value);
  if (!number) return std::nullopt;
  return *number * factor;
}

// From one time of day to the next, wrapping past midnight: 0 to one day less 1 ms.
std::int64_t stepMs(std::int32_t from, std::int32_t to) {
  std::int64_t step = (static_cast<std::int64_t>(to) - from) % kMsPerDay;
  return step < 0 ? step + kMsPerDay : step;
}

std::optional<std::string> ownedText(std::optional<std::string_view> text) {
  if (!text) return std::nullopt;
  return std::string(*text);
}

std::optional<double> ratio(std::optional<double> over, std::optional<double> under) {
  if (!over || !under || !(*under > 0)) return std::nullopt;
  return *over / *under;
}

// Walks the rows once, keeping only the run being built. For each mark t it holds what the
// latest row at most t into the run shows: elapsed times never decrease within a run, so the
// candidate only ever moves forward.
class RunFinder {
 public:
  explicit RunFinder(std::int64_t runGapMs) : gapMs_(runGapMs) {}

  void addRow(std::size_t index, const TableRowView &row) {
    const auto factor = factorOf(row);
    if (!factor) resultScreen_.reset();
    if (!factor || isResultScreen(row)) {
      closeRun();
      return;
    }
    if (open_ && sameTest(row) && stepMs(lastTimeMs_, *row.timeMs) <= gapMs_) {
      elapsedMs_ += stepMs(lastTimeMs_, *row.timeMs);
    } else {
      closeRun();
      openRun(index, row);
    }
    lastTimeMs_ = *row.timeMs;
    run_.lastRow = index;
    ++run_.rows;
    MarkReading shown;
    if (const auto ohms = rowOhms(row, *factor)) {
      ++run_.values;
      shown = {MarkState::Reading, ohms};
    } else {
      shown.state =
          row.value && isOverRange(*row.value) ? MarkState::OverRange : MarkState::NoNumber;
    }
    for (std::size_t m = 0; m < kMarkCount; ++m)
      if (elapsedMs_ <= kRunMarkSeconds[m] * 1000LL) latest_[m] = shown;
  }

  std::vector<InsulationRun> finish() {
    closeRun();
    return std::move(runs_);
  }

 private:
  // resistanceFactor() of the row, remembered for the last unit and function seen: they
  // repeat from row to row, and while the table is walked equal pool texts share one address.
  std::optional<double> factorOf(const TableRowView &row) {
    if (!row.unit || !row.vRange || !row.timeMs) return std::nullopt;
    if (row.unit->data() != seenUnit_.data() || row.unit->size() != seenUnit_.size() ||
        row.vRange->data() != seenFunction_.data() || row.vRange->size() != seenFunction_.size()) {
      seenUnit_ = *row.unit;
      seenFunction_ = *row.vRange;
      seenFactor_ = resistanceFactor(row);
    }
    return seenFactor_;
  }

  // The screen a PI test ends with shows the PI, not a resistance, in the last unit shown:
  // comparator rows right after a PI run, of its function, belong to no run.
  bool isResultScreen(const TableRowView &row) {
    const bool comparator = row.iRange && isComparatorMode(*row.iRange);
    if (!comparator) {
      resultScreen_.reset();
      return false;
    }
    if (resultScreen_ && *resultScreen_ == *row.vRange) return true;
    if (open_ && mode_ == std::string_view("PI") && function_ == row.vRange) {
      resultScreen_ = std::string(*row.vRange);
      return true;
    }
    return false;
  }

  bool sameTest(const TableRowView &row) const {
    return row.vRange == function_ && row.iRange == mode_;
  }

  void openRun(std::size_t index, const TableRowView &row) {
    open_ = true;
    run_ = InsulationRun{};
    run_.number = static_cast<int>(runs_.size()) + 1;
    run_.firstRow = index;
    run_.startMs = *row.timeMs;
    function_ = row.vRange;
    mode_ = row.iRange;
    elapsedMs_ = 0;
    latest_ = {};
  }

  void closeRun() {
    if (!open_) return;
    open_ = false;
    run_.function = ownedText(function_);
    run_.mode = ownedText(mode_);
    run_.durationMs = elapsedMs_;
    for (std::size_t m = 0; m < kMarkCount; ++m)
      if (elapsedMs_ >= kRunMarkSeconds[m] * 1000LL - kRunEndToleranceMs)
        run_.marks[m] = latest_[m];
    run_.r15 = run_.marks[0].ohms;
    run_.r30 = run_.marks[1].ohms;
    run_.r60 = run_.marks[2].ohms;
    run_.r600 = run_.marks[3].ohms;
    run_.dar = ratio(run_.r60, run_.r30);
    run_.pi = ratio(run_.r600, run_.r60);
    if (run_.dar) run_.darBand = darBand(*run_.dar);
    if (run_.pi) run_.piBand = piBand(*run_.pi);
    runs_.push_back(std::move(run_));
  }

  std::int64_t gapMs_;
  std::vector<InsulationRun> runs_;
  bool open_ = false;
  InsulationRun run_;
  std::optional<std::string_view> function_, mode_;  // views into the table while walking
  std::int32_t lastTimeMs_ = 0;
  std::int64_t elapsedMs_ = 0;
  std::array<MarkReading, kMarkCount> latest_{};
  std::optional<std::string> resultScreen_;  // the function of the result screen being passed
  std::string_view seenUnit_, seenFunction_;
  std::optional<double> seenFactor_;
};

template <class Table>
std::vector<InsulationRun> findRuns(const Table &table, std::int64_t runGapMs) {
  RunFinder finder(runGapMs);
  const std::size_t count = table.rowCount();
  for (std::size_t i = 0; i < count; ++i) finder.addRow(i, table.view(i));
  return finder.finish();
}

template <class Table>
std::vector<RunPoint> curveOf(const Table &table, const InsulationRun &run) {
  std::vector<RunPoint> points;
  if (run.rows == 0 || run.lastRow >= table.rowCount()) return points;
  points.reserve(run.rows);
  std::int64_t elapsedMs = 0;
  std::int32_t lastTimeMs = 0;
  for (std::size_t i = run.firstRow; i <= run.lastRow; ++i) {
    const TableRowView row = table.view(i);
    const auto factor = resistanceFactor(row);
    if (!factor) break;  // not the run it was found as: the table changed since
    if (i != run.firstRow) elapsedMs += stepMs(lastTimeMs, *row.timeMs);
    lastTimeMs = *row.timeMs;
    points.push_back({i, elapsedMs, rowOhms(row, *factor), row.value && isOverRange(*row.value)});
  }
  return points;
}

}  // namespace

std::string_view bandName(ConditionBand band) {
  switch (band) {
    case ConditionBand::Dangerous:
      return "dangerous";
    case ConditionBand::Questionable:
      return "questionable";
    case ConditionBand::Good:
      return "good";
    case ConditionBand::Excellent:
      return "excellent";
  }
  return "";
}

ConditionBand darBand(double dar) {
  if (dar < 1.0) return ConditionBand::Dangerous;
  if (dar < 1.4) return ConditionBand::Questionable;
  if (dar <= 1.6) return ConditionBand::Good;
  return ConditionBand::Excellent;
}

ConditionBand piBand(double pi) {
  if (pi < 1.0) return ConditionBand::Dangerous;
  if (pi < 2.0) return ConditionBand::Questionable;
  if (pi <= 4.0) return ConditionBand::Good;
  return ConditionBand::Excellent;
}

std::optional<double> InsulationRun::resistanceAt(int seconds) const {
  switch (seconds) {
    case 15:
      return r15;
    case 30:
      return r30;
    case 60:
      return r60;
    case 600:
      return r600;
  }
  return std::nullopt;
}

MarkReading InsulationRun::markAt(int seconds) const {
  for (std::size_t m = 0; m < kMarkCount; ++m)
    if (kRunMarkSeconds[m] == seconds) return marks[m];
  return {};
}

bool isOverRange(std::string_view value) {
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  return value == "L";
}

bool isComparatorMode(std::string_view mode) {
  return mode == "COMP:GOOD" || mode == "COMP:NG";
}

std::vector<InsulationRun> findInsulationRuns(const ReadingTable &table, std::int64_t runGapMs) {
  return findRuns(table, runGapMs);
}

std::vector<InsulationRun> findInsulationRuns(const TableSnapshot &table, std::int64_t runGapMs) {
  return findRuns(table, runGapMs);
}

std::size_t runToOpen(const std::vector<InsulationRun> &runs) {
  for (std::size_t i = runs.size(); i-- > 0;)
    if (runs[i].r60) return i;
  std::size_t longest = 0;
  for (std::size_t i = 0; i < runs.size(); ++i)
    if (runs[i].durationMs >= runs[longest].durationMs) longest = i;
  return longest;
}

std::vector<RunPoint> runCurve(const ReadingTable &table, const InsulationRun &run) {
  return curveOf(table, run);
}

std::vector<RunPoint> runCurve(const TableSnapshot &table, const InsulationRun &run) {
  return curveOf(table, run);
}

}  // namespace vexal
