#pragma once
// What the archive tests share: an empty archive of each engine (a SQLite file in a scratch
// folder, a fresh database on the tests' PostgreSQL server) and runs of readings to store.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/Archive.h"
#include "archive/ArchiveEngine.h"
#include "support/PostgresServer.h"

namespace vexal::archive_test {

namespace fs = std::filesystem;

inline const std::string kOhm = "\xA6\xB8", kMOhm = "M" + kOhm, kGOhm = "G" + kOhm;
inline const std::string kIr2500 = "IR:2500 100G" + kOhm, kIr1000 = "IR:1000V 40G" + kOhm;

// A ten-minute run, a reading a second: R(1 min) = r60 MΩ up to a minute, then rising evenly
// to r60 × pi at 10 min.
inline TestReadings tenMinuteRun(double r60MOhm, double pi, std::int32_t startMs = 36'000'000,
                                 const std::string &function = kIr2500) {
  TestReadings r;
  r.function = function;
  r.mode = "PI";
  r.startMs = startMs;
  for (int s = 0; s <= 600; ++s) {
    const double v = s <= 60 ? r60MOhm : r60MOhm + r60MOhm * (pi - 1) * (s - 60) / 540.0;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    r.readings.push_back({s * 1000LL, std::string(text), kMOhm});
  }
  return r;
}

class EngineArchiveTest : public ::testing::TestWithParam<ArchiveEngineKind> {
 protected:
  fs::path dir = fs::temp_directory_path() /
                 ("vexal-archive-test-" + std::to_string(::getpid()) + "-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ArchiveLocation location;

  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    location = GetParam() == ArchiveEngineKind::Sqlite
                   ? ArchiveLocation{ArchiveEngineKind::Sqlite, (dir / "archive.sqlite").string()}
                   : ArchiveLocation{ArchiveEngineKind::Postgres, test_pg::freshDatabase()};
  }
  void TearDown() override { fs::remove_all(dir); }

  std::unique_ptr<Archive> open() { return Archive::open(location); }

 public:
  static Asset motor(const std::string &tag) {
    Asset a;
    a.tag = tag;
    a.name = "Motor " + tag;
    a.ratedKv = 6.6;
    a.insulationClass = ArchiveClass::F;
    a.winding = ArchiveWinding::FormWound;
    return a;
  }

  static NewTest test(const std::string &tag, const std::string &date, TestReadings readings,
                      std::optional<double> temperatureC = 40.0) {
    NewTest t;
    t.assetTag = tag;
    t.particulars.date = date;
    t.particulars.windingTemperatureC = temperatureC;
    t.readings = std::move(readings);
    return t;
  }
};

inline std::string engineName(const ::testing::TestParamInfo<ArchiveEngineKind> &info) {
  return info.param == ArchiveEngineKind::Sqlite ? "Sqlite" : "Postgres";
}

}  // namespace vexal::archive_test
