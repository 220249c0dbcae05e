#include "report/ArchivedRuns.h"

namespace vexal {

TableOrigin::TableOrigin(ReadingTable &table) : table_(table) {
  table_.addObserver(this);
}

TableOrigin::~TableOrigin() {
  table_.removeObserver(this);
}

void TableOrigin::fileOpened() {
  fileRows_ = table_.rowCount();
}

// Emptied (Delete Data), or replaced by a file, which fileOpened() then tells.
void TableOrigin::tableReset() {
  if (table_.rowCount() < fileRows_) fileRows_ = 0;
}

TestReadings testReadingsOfRun(const TableSnapshot &table, const InsulationRun &run) {
  TestReadings readings;
  readings.function = run.function;
  readings.mode = run.mode;
  readings.startMs = run.startMs;
  for (const RunPoint &point : runCurve(table, run)) {
    const TableRowView row = table.view(point.row);
    StoredReading reading;
    reading.elapsedMs = point.elapsedMs;
    if (row.value) reading.value = std::string(*row.value);
    if (row.unit) reading.unit = std::string(*row.unit);
    readings.readings.push_back(std::move(reading));
  }
  return readings;
}

void fillTableWithTest(ReadingTable &table, const TestReadings &readings) {
  constexpr std::int64_t kDayMs = 86'400'000;
  std::int32_t no = 1;
  for (const StoredReading &reading : readings.readings) {
    TableRow row;
    row.no = no++;
    row.timeMs = static_cast<std::int32_t>((readings.startMs + reading.elapsedMs) % kDayMs);
    row.value = reading.value;
    row.unit = reading.unit;
    row.vRange = readings.function;
    row.iRange = readings.mode;
    table.appendRow(row);
  }
}

}  // namespace vexal
