// Recording one reading with the journal on against off, with a million rows already in the
// table: the frame's last report, the decoder, the recorder and, with the journal, one line
// written to the journal file (the flush to the disk runs on the journal's own thread).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/MeterSession.h"
#include "record/ReadingJournal.h"

namespace {

using namespace vexal;
namespace fs = std::filesystem;

constexpr std::size_t kRowsBefore = 1'000'000;

struct CountingClock : Clock {
  std::int32_t ms = 0;
  std::int32_t timeOfDayMs() override { return ms = (ms + 1) % kMsPerDay; }
};

// The worked-example frame as the cable sends it.
std::vector<std::vector<std::uint8_t>> cableReports() {
  const char *hex = "FFC0000000000000000006EBA7368057D7DFD0EF0D0A";
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 44; i += 2) bytes.push_back(std::stoi(std::string(hex + i, 2), nullptr, 16));
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t i = 0; i < bytes.size(); i += 7) {
    const std::size_t n = std::min<std::size_t>(7, bytes.size() - i);
    std::vector<std::uint8_t> report{static_cast<std::uint8_t>(n)};
    report.insert(report.end(), bytes.begin() + i, bytes.begin() + i + n);
    reports.push_back(report);
  }
  reports.push_back({0});
  return reports;
}

void recordAtAMillionRows(benchmark::State &state, bool journalOn) {
  const auto reports = cableReports();
  CountingClock clock;
  MeterSession session(clock);
  session.recorder.setLimit(RecordLimit::Limitless);
  for (std::size_t i = 0; i < kRowsBefore; ++i) {
    for (const auto &r : reports) session.ReadLusk(0, r.data(), std::uint16_t(r.size()));
  }
  const fs::path folder =
      fs::temp_directory_path() / ("vexal-journal-bench-" + std::to_string(::getpid()));
  std::unique_ptr<ReadingJournal> journal;
  if (journalOn) {
    journal = std::make_unique<ReadingJournal>(folder.string());
    if (!journal->writing()) state.SkipWithError(journal->failure().c_str());
    session.setJournal(journal.get(),
                       [&state](const std::string &why) { state.SkipWithError(why.c_str()); });
  }
  for (auto _ : state) {
    // The reports before the last only collect bytes; the last one records the reading.
    state.PauseTiming();
    for (std::size_t i = 0; i + 1 < reports.size(); ++i)
      session.ReadLusk(0, reports[i].data(), std::uint16_t(reports[i].size()));
    state.ResumeTiming();
    const ReportOutcome outcome =
        session.ReadLusk(0, reports.back().data(), std::uint16_t(reports.back().size()));
    if (!outcome.recorded) state.SkipWithError("the reading was not recorded");
  }
  state.counters["rows_at_end"] = double(session.cds1.rowCount());
  if (journal) state.counters["journal_rows"] = double(journal->rows());
  session.setJournal(nullptr, {});
  if (journal) journal->closeAtExit();
  journal.reset();
  fs::remove_all(folder);
}

void BM_RecordOneReadingAt1MRows_JournalOff(benchmark::State &state) {
  recordAtAMillionRows(state, false);
}
void BM_RecordOneReadingAt1MRows_JournalOn(benchmark::State &state) {
  recordAtAMillionRows(state, true);
}
BENCHMARK(BM_RecordOneReadingAt1MRows_JournalOff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordOneReadingAt1MRows_JournalOn)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
