// Speed of the road of a reading: cable reports -> frames -> decoded -> recorded.
#include <benchmark/benchmark.h>

#include <vector>

#include "app/MeterSession.h"

namespace {

using namespace vexal;

struct CountingClock : Clock {
  std::int32_t ms = 0;
  std::int32_t timeOfDayMs() override { return ms = (ms + 1) % kMsPerDay; }
};

// The worked-example frame and a second value, as the cable sends them: three reports of
// seven bytes, one of one byte, then an idle report.
std::vector<std::vector<std::uint8_t>> cableReports(const char *hex) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 44; i += 2) {
    auto nib = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
    bytes.push_back(static_cast<std::uint8_t>(nib(hex[i]) * 16 + nib(hex[i + 1])));
  }
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t i = 0; i < bytes.size(); i += 7) {
    std::size_t n = std::min<std::size_t>(7, bytes.size() - i);
    std::vector<std::uint8_t> r(8, 0);
    r[0] = static_cast<std::uint8_t>(0xF0 | n);
    std::copy(bytes.begin() + i, bytes.begin() + i + n, r.begin() + 1);
    reports.push_back(r);
  }
  reports.push_back(std::vector<std::uint8_t>(8, 0xF0));
  return reports;
}

void BM_ReportsToRecordedRows(benchmark::State &state) {
  const auto a = cableReports("FFC0000000000000000006EBA7368057D7DFD0EF0D0A");
  const auto b = cableReports("FFC0000000000000000006EBA7365B57D7DFD0EF0D0A");
  CountingClock clock;
  MeterSession pipe(clock);
  pipe.recorder.setLimit(RecordLimit::Limitless);
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (const auto *reports : {&a, &b}) {
      for (const auto &r : *reports)
        pipe.ReadLusk(0, r.data(), static_cast<std::uint16_t>(r.size()));
      ++frames;
    }
    if (pipe.cds1.rowCount() >= 5'000'000) {
      state.PauseTiming();
      pipe.recorder.ClearData();
      state.ResumeTiming();
    }
  }
  state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  state.SetItemsProcessed(frames);
}
BENCHMARK(BM_ReportsToRecordedRows);

}  // namespace

BENCHMARK_MAIN();
