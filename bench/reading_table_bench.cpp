// Memory and append cost of the reading table in "Limitless" mode.
#include <benchmark/benchmark.h>
#include <fstream>

#include <deque>
#include <memory>
#include <string>

#include "common/Cp936.h"
#include "record/ReadingTable.h"
#include "record/RowBlocks.h"
#include "record/TimeOfDay.h"

namespace {

using namespace vexal;

// Memory the process holds: the rows' large blocks come straight from the system, the rest
// from the heap, and only what is touched counts.
std::size_t heapInUse() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6)) * 1024;
  return 0;
}

TableRow sampleRow(std::int32_t i) {
  TableRow r;
  r.no = i;
  r.timeMs = i % kMsPerDay;
  r.value = std::to_string(i % 10000 / 100) + "." + std::to_string(i % 100);
  r.unit = std::string("G").append(kOhm);
  r.vRange = "IR:1000V 40G" + std::string(kOhm);
  r.iRange = (i % 3) ? "Continuous" : "PI";
  return r;
}

// Heap bytes per recorded row at one million rows (the table must hold ten million).
void BM_BytesPerRowAtOneMillion(benchmark::State &state) {
  for (auto _ : state) {
    std::size_t before = heapInUse();
    auto *table = new ReadingTable;
    for (std::int32_t i = 1; i <= 1'000'000; ++i) table->appendRow(sampleRow(i));
    std::size_t after = heapInUse();
    state.counters["bytes_per_row"] = double(after - before) / 1'000'000.0;
    delete table;
  }
}
BENCHMARK(BM_BytesPerRowAtOneMillion)->Iterations(1)->Unit(benchmark::kMillisecond);

// Appending stays constant-time as the table grows.
void BM_AppendAtSize(benchmark::State &state) {
  ReadingTable table;
  for (std::int32_t i = 0; i < state.range(0); ++i) table.appendRow(sampleRow(i));
  TableRow row = sampleRow(7);
  std::int64_t n = 0;
  for (auto _ : state) {
    table.appendRow(row);
    ++n;
  }
  state.SetItemsProcessed(n);
}
BENCHMARK(BM_AppendAtSize)->Arg(1000)->Arg(1'000'000)->Arg(5'000'000);

// Freeing a table of a million rows, as closing the program does at the end.
void BM_FreeOneMillionRows(benchmark::State &state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto table = std::make_unique<ReadingTable>();
    for (std::int32_t i = 1; i <= 1'000'000; ++i) table->appendRow(sampleRow(i));
    state.ResumeTiming();
    table.reset();
  }
}
BENCHMARK(BM_FreeOneMillionRows)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same number of row-sized records in a deque, as the table held them before it kept its
// rows in large blocks: filling and freeing, for comparison.
void BM_DequeOfOneMillionRowRecords(benchmark::State &state) {
  struct Record {
    char bytes[40];
  };
  for (auto _ : state) {
    auto rows = std::make_unique<std::deque<Record>>();
    for (int i = 0; i < 1'000'000; ++i) rows->push_back(Record{{static_cast<char>(i)}});
    benchmark::DoNotOptimize(rows->back());
    rows.reset();
  }
}
BENCHMARK(BM_DequeOfOneMillionRowRecords)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_BlocksOfOneMillionRowRecords(benchmark::State &state) {
  struct Record {
    char bytes[40];
  };
  for (auto _ : state) {
    auto rows = std::make_unique<RowBlocks<Record>>();
    for (int i = 0; i < 1'000'000; ++i) rows->push_back(Record{{static_cast<char>(i)}});
    benchmark::DoNotOptimize((*rows)[999'999]);
    rows.reset();
  }
}
BENCHMARK(BM_BlocksOfOneMillionRowRecords)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
