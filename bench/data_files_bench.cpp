// Saving and opening one million rows in both data-file forms.
//
// The files are left in $VEXAL_BENCH_DIR (default /tmp/vexal-bench) as rows.txt and
// rows.xml, so that bench/compare_python.py can time cp and Python's parsers on the very
// same bytes.
//
// A save flushes the file to disk before it replaces the old one, so its wall-clock time
// includes the disk; the *ToMemory cases show the writers alone.
//
// Each load also reports how much memory beyond the resident size before it was in use at
// its peak (extra_MB) beside the file size and the table's own size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/Cp936.h"
#include "record/DataFiles.h"
#include "record/TableDatapacket.h"
#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"

#include "BenchFiles.h"

namespace {

using namespace vexal;

constexpr int kRows = 1'000'000;

using bench::benchDir;
using bench::QuietReporter;

// A recording session: rising numbers and times, values that wander, the usual texts.
const ReadingTable &sessionTable() {
  static const ReadingTable table = [] {
    ReadingTable t;
    const std::string units[] = {std::string("M").append(kOhm), std::string("G").append(kOhm)};
    const std::string functions[] = {"IR:500V 20G" + std::string(kOhm),
                                     "IR:1000V 40G" + std::string(kOhm)};
    const char *modes[] = {"Continuous", "Timed", "PI", "COMP:GOOD"};
    TableRow r;
    for (int i = 0; i < kRows; ++i) {
      r.no = i + 1;
      r.timeMs = (8 * 3600 * 1000 + i * 57) % kMsPerDay;
      char value[16];
      std::snprintf(value, sizeof value, "%d.%02d", 100 + i % 900, i % 100);
      r.value = value;
      r.unit = units[i / 1000 % 2];
      r.vRange = functions[i / 5000 % 2];
      r.iRange = modes[i / 250 % 4];
      t.appendRow(r);
    }
    return t;
  }();
  return table;
}

long statusKb(const char *key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
  return 0;
}

// Makes the kernel's peak resident size start again from the current size.
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void save(benchmark::State &state, const char *name) {
  const ReadingTable &table = sessionTable();
  std::string path = benchDir() + "/" + name;
  QuietReporter reporter;
  for (auto _ : state) SaveTableToFile(table, path, reporter);
  auto bytes = std::filesystem::file_size(path);
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

void load(benchmark::State &state, const char *name) {
  std::string path = benchDir() + "/" + name;
  if (!std::filesystem::exists(path)) {
    QuietReporter r;
    SaveTableToFile(sessionTable(), path, r);
  }
  double extraMb = 0, tableMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto table = std::make_unique<ReadingTable>();
    QuietReporter reporter;
    resetPeak();
    long before = statusKb("VmRSS:");
    state.ResumeTiming();

    LoadFileToTable(path, *table, reporter);

    state.PauseTiming();
    extraMb = static_cast<double>(statusKb("VmHWM:") - before) / 1e3;
    tableMb = static_cast<double>(table->approximateBytes()) / 1e6;
    if (reporter.failed || table->rowCount() != kRows) state.SkipWithError("load failed");
    table.reset();
    state.ResumeTiming();
  }
  auto bytes = std::filesystem::file_size(path);
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["extra_MB"] = extraMb;
  state.counters["table_MB"] = tableMb;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// The same bytes built in memory: the writers' own share of a save, without the file
// system and the flush to disk that a save waits for.
void toMemory(benchmark::State &state, std::string (*write)(const ReadingTable &)) {
  const ReadingTable &table = sessionTable();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out = write(table);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}

// Five single runs; the machine is shared, so the best run is reported beside the mean.
void fiveRuns(benchmark::internal::Benchmark *b) {
  b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
  b->ComputeStatistics(
      "min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); });
}

void BM_TextToMemory(benchmark::State &s) {
  toMemory(s, tableToText);
}
void BM_XmlToMemory(benchmark::State &s) {
  toMemory(s, tableToDatapacket);
}
void BM_SaveText(benchmark::State &s) {
  save(s, "rows.txt");
}
void BM_SaveXml(benchmark::State &s) {
  save(s, "rows.xml");
}
void BM_LoadText(benchmark::State &s) {
  load(s, "rows.txt");
}
void BM_LoadXml(benchmark::State &s) {
  load(s, "rows.xml");
}

BENCHMARK(BM_TextToMemory)->Apply(fiveRuns);
BENCHMARK(BM_XmlToMemory)->Apply(fiveRuns);
BENCHMARK(BM_SaveText)->Apply(fiveRuns);
BENCHMARK(BM_SaveXml)->Apply(fiveRuns);
BENCHMARK(BM_LoadText)->Apply(fiveRuns);
BENCHMARK(BM_LoadXml)->Apply(fiveRuns);

}  // namespace

BENCHMARK_MAIN();
