// The insulation analysis of one million rows, beside opening them.
//
// The table is a day and a half of PI tests, one reading a second (the worst case for the
// analysis: every row is a resistance reading with a number), each test ten and a half
// minutes long and two minutes from the next. It is saved once as
// $VEXAL_BENCH_DIR/pi_runs.txt (default /tmp/vexal-bench).
//
// - BM_OpenPiRuns: opening that file into a table (what `vexal-replay --open` does first);
// - BM_FindInsulationRuns: the analysis of the opened table;
// - BM_ReplayCommands: `vexal-replay --open FILE -` and the same with `--analysis`, run in
//   turn in each round; the counters give the best time of each and their ratio. The first
//   prints the table, which the second does not; so the pair `--out COPY` and
//   `--out COPY --analysis`, which both save the table, is timed too (save_*).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "analysis/InsulationRuns.h"
#include "common/Cp936.h"
#include "record/DataFiles.h"
#include "record/TimeOfDay.h"

#include "BenchFiles.h"

namespace {

using namespace vexal;

constexpr int kRows = 1'000'000;
constexpr int kRowsPerTest = 630;

using bench::benchDir;
using bench::QuietReporter;

ReadingTable piTests() {
  ReadingTable t;
  std::string megohm(1, 'M'), gigohm(1, 'G'), function = "IR:2500 100G";
  megohm += kOhm;
  gigohm += kOhm;
  function += kOhm;
  TableRow r;
  std::int64_t ms = 8LL * 3600 * 1000;
  for (int i = 0; i < kRows; ++i) {
    const int second = i % kRowsPerTest;
    if (i > 0) ms += second == 0 ? 120'000 : 1000;
    r.no = i + 1;
    r.timeMs = static_cast<std::int32_t>(ms % kMsPerDay);
    // Rising from 620 MΩ towards 8 GΩ, as an absorbing winding does.
    const double ohms = 8.4e9 - 7.78e9 / (1.0 + second / 60.0);
    char value[16];
    if (ohms < 1e9)
      std::snprintf(value, sizeof value, "%.1f", ohms / 1e6);
    else
      std::snprintf(value, sizeof value, "%.3f", ohms / 1e9);
    r.value = value;
    r.unit = ohms < 1e9 ? megohm : gigohm;
    r.vRange = function;
    r.iRange = "PI";
    t.appendRow(r);
  }
  return t;
}

const std::string &piTestsFile() {
  static const std::string path = [] {
    std::string p = benchDir() + "/pi_runs.txt";
    QuietReporter reporter;
    SaveTableToFile(piTests(), p, reporter);
    return p;
  }();
  return path;
}

std::unique_ptr<ReadingTable> openPiTests() {
  auto table = std::make_unique<ReadingTable>();
  QuietReporter reporter;
  LoadFileToTable(piTestsFile(), *table, reporter);
  if (reporter.failed || table->rowCount() != kRows) return nullptr;
  return table;
}

void fiveRuns(benchmark::internal::Benchmark *b) {
  b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
  b->ComputeStatistics(
      "min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); });
}

void BM_OpenPiRuns(benchmark::State &state) {
  piTestsFile();
  for (auto _ : state) {
    auto table = openPiTests();
    if (!table) state.SkipWithError("open failed");
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
}

void BM_FindInsulationRuns(benchmark::State &state) {
  const auto table = openPiTests();
  if (!table) {
    state.SkipWithError("open failed");
    return;
  }
  std::size_t runs = 0;
  for (auto _ : state) {
    const auto found = findInsulationRuns(*table);
    runs = found.size();
    benchmark::DoNotOptimize(found.data());
  }
  state.counters["runs"] = static_cast<double>(runs);
}

std::string replayTool() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vexal-replay";
}

// Wall-clock milliseconds of one shell command.
double commandMs(const std::string &command) {
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const auto end = std::chrono::steady_clock::now();
  if (status != 0) return -1;
  return std::chrono::duration<double, std::milli>(end - start).count();
}

void BM_ReplayCommands(benchmark::State &state) {
  const std::string base = replayTool() + " --open " + piTestsFile();
  const std::string plain = base + " - </dev/null >/dev/null";
  const std::string analysis = base + " --analysis - </dev/null >/dev/null";
  const std::string save = base + " --out " + benchDir() + "/pi_runs_copy.txt";
  const std::string saveAnalysis = save + " --analysis - </dev/null >/dev/null";
  double best[4] = {1e300, 1e300, 1e300, 1e300};
  for (auto _ : state) {
    const double ms[4] = {commandMs(plain), commandMs(analysis),
                          commandMs(save + " - </dev/null >/dev/null"), commandMs(saveAnalysis)};
    for (int i = 0; i < 4; ++i) {
      if (ms[i] < 0) {
        state.SkipWithError("vexal-replay failed");
        return;
      }
      best[i] = std::min(best[i], ms[i]);
    }
  }
  state.counters["open_ms"] = best[0];
  state.counters["open_analysis_ms"] = best[1];
  state.counters["ratio"] = best[1] / best[0];
  state.counters["save_ms"] = best[2];
  state.counters["save_analysis_ms"] = best[3];
  state.counters["save_ratio"] = best[3] / best[2];
}

BENCHMARK(BM_OpenPiRuns)->Apply(fiveRuns);
BENCHMARK(BM_FindInsulationRuns)->Apply(fiveRuns);
BENCHMARK(BM_ReplayCommands)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
