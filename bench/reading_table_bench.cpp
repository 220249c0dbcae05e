// Memory and append cost of the reading table in "Limitless" mode.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "common/Cp936.h"
#include "record/ReadingTable.h"
#include "record/TimeOfDay.h"

namespace {

using namespace vexal;

std::size_t heapInUse() {
  return mallinfo2().uordblks;
}

TableRow sampleRow(std::int32_t i) {
  TableRow r;
  r.no = i;
  r.timeMs = i % kMsPerDay;
  r.value = std::to_string(i % 10000 / 100) + "." + std::to_string(i % 100);
  r.unit = "G" + std::string(kOhm);
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

}  // namespace

BENCHMARK_MAIN();
