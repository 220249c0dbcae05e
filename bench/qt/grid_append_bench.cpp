// Appending a reading to the reading grid when the table already holds a million rows: the
// recorder appends the row, the model tells the grid, the grid moves to the new row and
// repaints. Run offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "decode/Reading.h"
#include "record/Recorder.h"
#include "record/qt/ReadingGrid.h"
#include "record/qt/ReadingGridModel.h"

namespace vexal {
namespace {

class CountingClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override { return now = (now + 500) % kMsPerDay; }
  std::int32_t now = 0;
};

// A shown grid over a table of `rows` recorded readings.
struct GridWithRows {
  explicit GridWithRows(std::int64_t rows) : recorder(table, reading, clock), model(table) {
    recorder.setLimit(RecordLimit::Limitless);
    reading.ValueText = "12.34";
    reading.UnitText = std::string("G").append(kOhm);
    table.suspendUpdates();
    for (std::int64_t i = 0; i < rows; ++i) recorder.INDataToTable(1);
    table.resumeUpdates();
    grid.resize(617, 177);
    grid.setModel(&model);
    grid.show();
    QCoreApplication::processEvents();
  }

  CountingClock clock;
  Reading reading;
  ReadingTable table;
  Recorder recorder;
  ReadingGridModel model;
  ReadingGrid grid;
};

void BM_AppendReadingAndPaint(benchmark::State &state) {
  GridWithRows setup(state.range(0));
  for (auto _ : state) {
    setup.recorder.INDataToTable(1);
    QCoreApplication::processEvents();  // the grid repaints the rows in view
  }
  state.counters["rows"] = static_cast<double>(setup.table.rowCount());
  if (setup.grid.currentRow() + 1 != static_cast<int>(setup.table.rowCount()))
    state.SkipWithError("the grid did not move to the new row");
}
BENCHMARK(BM_AppendReadingAndPaint)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void BM_AppendReadingNoPaint(benchmark::State &state) {
  GridWithRows setup(state.range(0));
  for (auto _ : state) setup.recorder.INDataToTable(1);
  state.counters["rows"] = static_cast<double>(setup.table.rowCount());
}
BENCHMARK(BM_AppendReadingNoPaint)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vexal
