// Closing the main window with many rows in the table, as Exit does: how long until the
// window is off the screen, and how long until everything is freed. Run offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <memory>

#include "app/qt/FrmTest.h"
#include "support/FixedClock.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

// The rows arrive as they do from a data file: in slices, the grid told after each.
void fill(ReadingTable &table, std::int64_t rows) {
  table.suspendUpdates();
  TableRow row;
  row.value = "12.34";
  row.unit = "G\xA6\xB8";
  row.vRange = "IR:1000V 40G\xA6\xB8";
  row.iRange = "Continuous";
  for (std::int64_t i = 1; i <= rows; ++i) {
    row.no = static_cast<std::int32_t>(i);
    row.timeMs = static_cast<std::int32_t>(i % 86'400'000);
    table.appendRow(row);
    if (i % 10'000 == 0) {
      table.resumeUpdates();
      QCoreApplication::processEvents();
      table.suspendUpdates();
    }
  }
  table.resumeUpdates();
}

// Notes when the window it watches is hidden.
class HideWatch : public QObject {
 public:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Hide && hiddenMs < 0) hiddenMs = clock.nsecsElapsed() / 1e6;
    return false;
  }
  QElapsedTimer clock;
  double hiddenMs = -1;
};

// The window goes the way the program ends: the message loop has returned and the window
// is destroyed. "hidden ms" is when it left the screen, the iteration time when all is freed.
void BM_CloseMainWindow(benchmark::State &state) {
  FixedClock clock{36'000'000};
  ScriptedDialogs dialogs;
  double hiddenMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto frm = std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs});
    fill(frm->session().cds1, state.range(0));
    frm->show();
    QCoreApplication::processEvents();
    HideWatch watch;
    frm->installEventFilter(&watch);
    state.ResumeTiming();
    watch.clock.start();
    frm.reset();
    hiddenMs = watch.hiddenMs;
  }
  state.counters["rows"] = static_cast<double>(state.range(0));
  state.counters["hidden ms"] = hiddenMs;
}
BENCHMARK(BM_CloseMainWindow)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace vexal
