// The archive at its expected size, on both engines: 1,000 assets and 10,000 tests of 601
// readings. An asset's history and trend (≤ 30 ms), one test's readings (≤ 10 ms), the asset
// search (≤ 50 ms) and saving one test with its commit synced (≤ 20 ms); on SQLite, the bytes
// on disk per stored reading (≤ 32). PostgreSQL runs on a server of its own on loopback,
// with fsync on.
//
// Each save is one synced commit on both engines: SQLite (WAL, synchronous = FULL) syncs its
// write-ahead file with fdatasync at every commit, and PostgreSQL (fsync and
// synchronous_commit on, as the server's defaults) its write-ahead log with fdatasync
// (wal_sync_method's default on Linux).
//
// The archives are built once in $VEXAL_BENCH_DIR (default /tmp/vexal-bench) and take a few
// minutes; this benchmark is not part of the test suite.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

#include "BenchFiles.h"
#include "archive/Archive.h"
#include "archive/ArchiveEngine.h"
#include "support/PostgresServer.h"

namespace {

using namespace vexal;
namespace fs = std::filesystem;

constexpr int kAssets = 1000;
constexpr int kTestsPerAsset = 10;
constexpr int kReadings = 601;

const std::string kMOhm = "M\xA6\xB8";

TestReadings run(int seed) {
  TestReadings r;
  r.function = "IR:2500 100G\xA6\xB8";
  r.mode = "PI";
  r.startMs = 30'000'000 + seed % 1000 * 1000;
  const double r60 = 50 + seed % 900;
  for (int s = 0; s < kReadings; ++s) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", s <= 60 ? r60 : r60 * (1 + 2.0 * (s - 60) / 540));
    r.readings.push_back({s * 1000LL, std::string(text), kMOhm});
  }
  return r;
}

std::string tag(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "P-%04d", i);
  return text;
}

void fill(Archive &archive) {
  for (int a = 0; a < kAssets; ++a) {
    Asset asset;
    asset.tag = tag(a);
    asset.name = (a % 3 ? "Pump motor " : "Fan motor ") + std::to_string(a);
    asset.location = "Hall " + std::to_string(a % 20);
    asset.ratedKv = 6.6;
    asset.insulationClass = ArchiveClass::F;
    asset.winding = ArchiveWinding::FormWound;
    archive.addAsset(asset);
  }
  std::vector<NewTest> batch;
  for (int t = 0; t < kAssets * kTestsPerAsset; ++t) {
    NewTest test;
    test.assetTag = tag(t % kAssets);
    char date[48];
    std::snprintf(date, sizeof date, "%04d-06-01", 2010 + t / kAssets);
    test.particulars.date = date;
    test.particulars.windingTemperatureC = 20 + t % 15;
    test.readings = run(t);
    batch.push_back(std::move(test));
    if (batch.size() == 500) {
      archive.storeTests(batch);
      batch.clear();
    }
  }
}

struct Place {
  std::unique_ptr<test_pg::PostgresServer> server;
  std::unique_ptr<Archive> archive;
  std::vector<std::string> testIds;
};

// The archive of an engine, built on first use.
Place &place(ArchiveEngineKind engine) {
  static Place places[2];
  Place &p = places[engine == ArchiveEngineKind::Sqlite ? 0 : 1];
  if (p.archive) return p;
  const std::string dir = bench::benchDir();
  ArchiveLocation location;
  if (engine == ArchiveEngineKind::Sqlite) {
    location = {ArchiveEngineKind::Sqlite, dir + "/archive-bench.sqlite"};
  } else {
    p.server = std::make_unique<test_pg::PostgresServer>(dir + "/archive-bench-pg", true);
    location = {ArchiveEngineKind::Postgres, p.server->conninfo()};
  }
  const bool built = engine == ArchiveEngineKind::Sqlite && fs::exists(location.text);
  p.archive = Archive::open(location);
  if (!built || p.archive->assets().size() != kAssets) fill(*p.archive);
  // The bulk load's backlog is flushed before anything is timed, on both engines alike.
  if (engine == ArchiveEngineKind::Sqlite)
    p.archive->engine().query("PRAGMA wal_checkpoint(TRUNCATE)", {});
  else
    p.archive->engine().script("CHECKPOINT");
  for (const SqlRow &row : p.archive->engine().query("SELECT id FROM tests ORDER BY id", {}))
    p.testIds.push_back(sqlText(row.at(0)).value_or(""));
  return p;
}

void BM_History(benchmark::State &state, ArchiveEngineKind engine) {
  Archive &archive = *place(engine).archive;
  std::mt19937 pick(1);
  for (auto _ : state) benchmark::DoNotOptimize(archive.history(tag(pick() % kAssets)));
}

void BM_Trend(benchmark::State &state, ArchiveEngineKind engine) {
  Archive &archive = *place(engine).archive;
  std::mt19937 pick(2);
  for (auto _ : state) benchmark::DoNotOptimize(archive.trend(tag(pick() % kAssets)));
}

void BM_TestReadings(benchmark::State &state, ArchiveEngineKind engine) {
  Place &p = place(engine);
  std::mt19937 pick(3);
  for (auto _ : state)
    benchmark::DoNotOptimize(p.archive->testReadings(p.testIds[pick() % p.testIds.size()]));
}

void BM_Search(benchmark::State &state, ArchiveEngineKind engine) {
  Archive &archive = *place(engine).archive;
  const char *searches[] = {"p-04", "fan motor 12", "hall 7", "nothing"};
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(archive.assets(searches[i++ % 4]));
}

// Every save is a new test (a test already stored would write nothing and sync nothing):
// the days go on from the saves of earlier runs on the same archive.
void BM_SaveOneTest(benchmark::State &state, ArchiveEngineKind engine) {
  Archive &archive = *place(engine).archive;
  int day = static_cast<int>(
      sqlInt(archive.engine()
                 .query("SELECT count(*) FROM tests WHERE test_date >= '2030-01-01'", {})
                 .at(0)
                 .at(0))
          .value_or(0));
  for (auto _ : state) {
    state.PauseTiming();
    NewTest test;
    test.assetTag = tag(day % kAssets);
    char date[48];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2030 + day / 336, 1 + day / 28 % 12,
                  1 + day % 28);
    ++day;
    test.particulars.date = date;
    test.particulars.windingTemperatureC = 25;
    test.readings = run(day);
    state.ResumeTiming();
    if (archive.storeTest(test).alreadyStored) {
      state.SkipWithError("a save found its test stored already: nothing was written");
      break;
    }
  }
}

void BM_BytesPerReading(benchmark::State &state) {
  Place &p = place(ArchiveEngineKind::Sqlite);
  p.archive->engine().query("PRAGMA wal_checkpoint(TRUNCATE)", {});
  const std::string file = bench::benchDir() + "/archive-bench.sqlite";
  double bytes = 0;
  for (auto _ : state) bytes = static_cast<double>(fs::file_size(file));
  const auto readings =
      sqlInt(
          p.archive->engine().query("SELECT sum(reading_count) FROM test_readings", {}).at(0).at(0))
          .value_or(1);
  state.counters["bytes_per_reading"] = bytes / static_cast<double>(readings);
  state.counters["readings"] = static_cast<double>(readings);
}

void registerAll() {
  for (ArchiveEngineKind engine : {ArchiveEngineKind::Sqlite, ArchiveEngineKind::Postgres}) {
    const std::string name = engine == ArchiveEngineKind::Sqlite ? "sqlite" : "postgres";
    benchmark::RegisterBenchmark(("BM_History/" + name).c_str(), BM_History, engine)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_Trend/" + name).c_str(), BM_Trend, engine)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_TestReadings/" + name).c_str(), BM_TestReadings, engine)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_Search/" + name).c_str(), BM_Search, engine)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("BM_SaveOneTest/" + name).c_str(), BM_SaveOneTest, engine)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200);
  }
  benchmark::RegisterBenchmark("BM_BytesPerReading/sqlite", BM_BytesPerReading)->Iterations(1);
}

}  // namespace

int main(int argc, char **argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
