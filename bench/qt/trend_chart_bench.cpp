// The trend chart over a large reading table: recording a reading while the chart shows the
// last page (the page is drawn from its own rows), Save Whole drawing and writing a picture
// of every reading, and the resident memory with the chart at 10k and 1M rows. Run
// offscreen; compare each figure with its baseline in the same run. Resident memory is
// only meaningful with one benchmark per process, e.g.
//   trend_chart_bench --benchmark_filter=BM_SaveWhole/1000000/
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <fstream>

#include "common/Cp936.h"
#include "decode/Reading.h"
#include "record/Recorder.h"
#include "record/qt/TrendChart.h"

namespace vexal {
namespace {

class CountingClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override { return now = (now + 500) % kMsPerDay; }
  std::int32_t now = 0;
};

double residentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A table of `rows` recorded readings, with or without a shown chart over all of them.
struct Recording {
  Recording(std::int64_t rows, bool withChart) : recorder(table, reading, clock) {
    recorder.setLimit(RecordLimit::Limitless);
    reading.ValueText = "12.34";
    reading.UnitText = std::string("G").append(kOhm);
    if (withChart) {
      TrendChartHost host;
      host.recordNo = [this] { return recorder.RecordNo; };
      host.pictureFolder = (folder.path() + "/").toStdString();
      chart = std::make_unique<TrendChart>(table, std::move(host));
      chart->resize(361, 209);
      chart->show();
    }
    tableMegabytesBefore = residentMegabytes();
    table.suspendUpdates();  // as opening a text file does: the rows join the chart
    for (std::int64_t i = 0; i < rows; ++i) {
      // A slow ramp with a spike now and then, so that the picture has something to show.
      reading.ValueText = std::to_string(i % 997 == 0 ? 9000 : (i % 200) * 10);
      recorder.INDataToTable(1);
    }
    table.resumeUpdates();
    QCoreApplication::processEvents();
  }

  QTemporaryDir folder;
  CountingClock clock;
  Reading reading;
  ReadingTable table;
  Recorder recorder;
  std::unique_ptr<TrendChart> chart;
  double tableMegabytesBefore = 0;
};

void appendAndPaint(benchmark::State &state, bool withChart) {
  Recording setup(state.range(0), withChart);
  setup.reading.ValueText = "12.34";
  for (auto _ : state) {
    setup.reading.ValueText = setup.reading.ValueText == "12.34" ? "12.35" : "12.34";
    setup.recorder.INDataToTable(1);
    QCoreApplication::processEvents();  // the chart repaints its page
  }
  state.counters["rows"] = static_cast<double>(setup.table.rowCount());
  if (withChart && setup.chart->paging().page() != setup.chart->paging().pageCount())
    state.SkipWithError("the chart did not follow the newest reading");
}

void BM_RecordReadingChartOnLastPage(benchmark::State &state) {
  appendAndPaint(state, true);
}
BENCHMARK(BM_RecordReadingChartOnLastPage)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond);

void BM_RecordReadingWithoutChart(benchmark::State &state) {
  appendAndPaint(state, false);
}
BENCHMARK(BM_RecordReadingWithoutChart)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void BM_SaveWhole(benchmark::State &state) {
  Recording setup(state.range(0), true);
  const double chartBefore = residentMegabytes();
  for (auto _ : state) setup.chart->SavepictureClick();
  state.counters["rows"] = static_cast<double>(setup.table.rowCount());
  // What drawing every reading added to the process: the chart's own memory.
  state.counters["rss_MB"] = residentMegabytes();
  state.counters["rss_growth_by_chart_MB"] = residentMegabytes() - chartBefore;
  state.counters["rss_growth_by_rows_MB"] = chartBefore - setup.tableMegabytesBefore;
  state.counters["table_MB"] = double(setup.table.approximateBytes()) / (1024.0 * 1024.0);
  const auto files = QDir(setup.folder.path()).entryList(QDir::Files);
  if (files.size() != 1 || !files[0].endsWith("Fullpage.bmp")) {
    state.SkipWithError("no Save Whole picture written");
    return;
  }
  // With VEXAL_SHOT_DIR set the picture is kept there as PNG, to be looked at.
  const QString shots = qEnvironmentVariable("VEXAL_SHOT_DIR");
  if (!shots.isEmpty() && QDir().mkpath(shots))
    QImage(setup.folder.path() + "/" + files[0])
        .save(shots + QString("/save_whole_%1.png").arg(state.range(0)));
}
BENCHMARK(BM_SaveWhole)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace vexal
