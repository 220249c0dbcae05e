// The archive on both engines: what is stored reads back exactly, stored tests never change,
// an archive of a newer version is refused untouched, the first version migrates, and a
// kill -9 or a second writer loses nothing.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "ArchiveFixture.h"
#include "archive/ArchiveSchema.h"
#include "archive/TestJudgement.h"
#include "support/ToolRun.h"

namespace vexal::archive_test {
namespace {

using ArchiveTest = EngineArchiveTest;
using namespace std::chrono_literals;

TEST_P(ArchiveTest, StoredTestReadsBackExactlyWithItsResults) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  TestReadings r = tenMinuteRun(200, 3);
  // Readings as a table holds them: an over-range "L", a reading without a value, a change of
  // unit, a decimal comma.
  r.readings[3].value = "L";
  r.readings[4].value.reset();
  r.readings[5] = {5000, "0,2", "G" + kOhm};
  NewTest t = test("M1", "2024-03-01", r, 20.0);
  t.particulars.operatorName = "Ann";
  t.particulars.purpose = TestPurpose::Routine;
  t.particulars.remarks = "after cleaning";
  const StoreOutcome stored = archive->storeTest(t);
  ASSERT_FALSE(stored.alreadyStored);
  EXPECT_EQ(stored.id.size(), 32u);

  EXPECT_EQ(archive->testReadings(stored.id), r);
  const auto summary = archive->findTest(stored.id);
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->particulars.operatorName, "Ann");
  EXPECT_EQ(summary->particulars.purpose, TestPurpose::Routine);
  EXPECT_EQ(summary->particulars.remarks, "after cleaning");
  EXPECT_EQ(summary->function, "IR:2500 100G\xCE\xA9");
  EXPECT_EQ(summary->results.r60, 200e6);
  // 20 °C: halved twice to 40 °C.
  EXPECT_EQ(summary->results.r60At40C, 50e6);
  EXPECT_EQ(summary->results.rows, 601);
  EXPECT_EQ(summary->results.values, 599);
  // What is stored is what the one judgement gives for those readings.
  EXPECT_EQ(summary->results, judgeTest(r, motor("M1"), 20.0));
  EXPECT_EQ(archive->check().problems, std::vector<std::string>{});
}

TEST_P(ArchiveTest, TheSameRunIsStoredOnceAndACorrectionSupersedesIt) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  archive->addAsset(motor("M2"));
  const auto first = archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  const auto again = archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  EXPECT_TRUE(again.alreadyStored);
  EXPECT_EQ(again.id, first.id);
  // Another date, another start, other readings or another asset: another test.
  EXPECT_FALSE(archive->storeTest(test("M1", "2024-03-02", tenMinuteRun(200, 3))).alreadyStored);
  EXPECT_FALSE(
      archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3, 36'001'000))).alreadyStored);
  EXPECT_FALSE(archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(201, 3))).alreadyStored);
  EXPECT_FALSE(archive->storeTest(test("M2", "2024-03-01", tenMinuteRun(200, 3))).alreadyStored);
  EXPECT_EQ(archive->history("M1").size(), 4u);

  NewTest correction = test("M1", "2024-03-01", tenMinuteRun(200, 3), 30.0);
  correction.particulars.supersedes = first.id;
  const auto corrected = archive->storeTest(correction);
  EXPECT_FALSE(corrected.alreadyStored);
  const auto history = archive->history("M1");
  ASSERT_EQ(history.size(), 4u);
  std::vector<std::string> ids;
  for (const TestSummary &t : history) ids.push_back(t.id);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), first.id), 0);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), corrected.id), 1);
  EXPECT_EQ(archive->findTest(corrected.id)->particulars.supersedes, first.id);
  EXPECT_EQ(archive->allTests("M1").size(), 5u);
  // A correction names a test of its own asset.
  NewTest wrong = test("M2", "2024-03-05", tenMinuteRun(200, 3));
  wrong.particulars.supersedes = first.id;
  EXPECT_THROW(archive->storeTest(wrong), EArchiveError);
}

TEST_P(ArchiveTest, RefusedWritesChangeNothing) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  Asset other = motor("M1");
  other.name = "another";
  EXPECT_THROW(archive->addAsset(other), EArchiveError);
  EXPECT_EQ(archive->findAsset("M1")->name, "Motor M1");
  EXPECT_THROW(archive->editAsset("M9", {}), EArchiveError);
  EXPECT_THROW(archive->storeTest(test("M9", "2024-03-01", tenMinuteRun(200, 3))), EArchiveError);
  EXPECT_THROW(archive->storeTest(test("M1", "2024-02-30", tenMinuteRun(200, 3))), EArchiveError);
  // Readings that are not one insulation run (a voltage reading in the middle).
  TestReadings broken = tenMinuteRun(200, 3);
  broken.readings[300].unit = "V";
  EXPECT_THROW(archive->storeTest(test("M1", "2024-03-01", broken)), EArchiveError);
  EXPECT_TRUE(archive->history("M1").empty());
  EXPECT_EQ(archive->assets().size(), 1u);
}

TEST_P(ArchiveTest, StoredTestsNeverChangeEvenFromUnderneath) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  const auto stored = archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  const char *statements[] = {
      "UPDATE tests SET verdict = 'pass'",
      "DELETE FROM tests",
      "UPDATE test_readings SET reading_count = 1",
      "DELETE FROM test_readings",
      "DELETE FROM asset_changes",
  };
  for (const char *sql : statements)
    EXPECT_THROW(archive->engine().query(sql, {}), EArchiveError) << sql;
  EXPECT_EQ(archive->testReadings(stored.id), tenMinuteRun(200, 3));
  EXPECT_TRUE(archive->check().whole());
}

TEST_P(ArchiveTest, CheckFindsResultsThatAreNotTheirReadings) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  const auto stored = archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  const auto other = archive->storeTest(test("M1", "2024-03-02", tenMinuteRun(300, 3)));
  ArchiveEngine &engine = archive->engine();
  // Only by switching the database's own guard off.
  if (engine.kind() == ArchiveEngineKind::Sqlite)
    engine.script("DROP TRIGGER tests_never_updated");
  else
    engine.script("ALTER TABLE tests DISABLE TRIGGER tests_never_changed");
  engine.query(
      "UPDATE tests SET results = replace(results, '\"rows\":601', '\"rows\":600') "
      "WHERE id = $1",
      {stored.id});
  const CheckReport report = archive->check();
  EXPECT_EQ(report.testsChecked, 2);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find(stored.id), std::string::npos) << report.problems[0];
  // A verdict that is not its results' is found as well.
  engine.query("UPDATE tests SET verdict = 'fail' WHERE id = $1", {other.id});
  EXPECT_EQ(archive->check().problems.size(), 2u);
}

TEST_P(ArchiveTest, AssetsAreFoundByTagNameOrLocation) {
  auto archive = open();
  const struct {
    const char *tag, *name, *location;
  } assets[] = {{"P-101", "Feed pump", "Hall 1"},
                {"M-7", "Fan 50% load", "Roof"},
                {"T2", "Main transformer", "Substation hall"}};
  for (const auto &a : assets) {
    Asset asset = motor(a.tag);
    asset.name = a.name;
    asset.location = a.location;
    archive->addAsset(asset);
  }
  archive->storeTest(test("M-7", "2023-01-01", tenMinuteRun(200, 3)));
  archive->storeTest(test("M-7", "2024-01-01", tenMinuteRun(50, 3)));
  const struct {
    std::string search;
    std::vector<std::string> tags;
  } cases[] = {{"", {"M-7", "P-101", "T2"}},
               {"hall", {"P-101", "T2"}},
               {"PUMP", {"P-101"}},
               {"p-1", {"P-101"}},
               {"50%", {"M-7"}},
               {"%", {"M-7"}},
               {"_", {}},
               {"nothing", {}}};
  for (const auto &c : cases) {
    std::vector<std::string> tags;
    for (const AssetSummary &s : archive->assets(c.search)) tags.push_back(s.asset.tag);
    EXPECT_EQ(tags, c.tags) << "search '" << c.search << "'";
  }
  const auto fan = archive->assets("fan").at(0);
  EXPECT_EQ(fan.tests, 2);
  EXPECT_EQ(fan.lastDate, "2024-01-01");
  EXPECT_EQ(fan.lastVerdict, "fail");  // 50 MΩ at 40 °C, below 100 MΩ
}

TEST_P(ArchiveTest, AnAssetsChangesAreKeptAndItsTestsKeepWhatTheyWereJudgedWith) {
  auto archive = open();
  archive->addAsset(motor("M1"));
  const auto before = archive->storeTest(test("M1", "2024-03-01", tenMinuteRun(200, 3)));
  AssetChange change;
  change.ratedKv = 11.0;
  change.location = "Hall 2";
  archive->editAsset("M1", change);
  EXPECT_EQ(archive->findAsset("M1")->ratedKv, 11.0);
  std::vector<std::string> fields;
  for (const auto &c : archive->assetChanges("M1")) fields.push_back(c.field + ":" + c.newValue);
  EXPECT_EQ(fields, (std::vector<std::string>{"created:M1", "location:Hall 2", "rated_kv:11"}));
  EXPECT_EQ(archive->findTest(before.id)->assetAtTest.ratedKv, 6.6);
  EXPECT_TRUE(archive->check().whole());
}

TEST_P(ArchiveTest, AnArchiveOfANewerVersionIsRefusedAndLeftUntouched) {
  {
    auto archive = open();
    archive->addAsset(motor("M1"));
    archive->engine().query("UPDATE archive_meta SET value = '3' WHERE key = 'schema_version'", {});
  }
  const std::string fileBefore =
      GetParam() == ArchiveEngineKind::Sqlite ? test_tools::readFile(location.text) : "";
  try {
    open();
    ADD_FAILURE() << "a newer archive was opened";
  } catch (const EArchiveError &e) {
    EXPECT_NE(std::string(e.what()).find("newer Vexal"), std::string::npos) << e.what();
  }
  if (GetParam() == ArchiveEngineKind::Sqlite) {
    EXPECT_EQ(test_tools::readFile(location.text), fileBefore);
  }
  auto engine = connectArchiveEngine(location);
  EXPECT_EQ(sqlText(engine->query("SELECT value FROM archive_meta WHERE key = 'schema_version'", {})
                        .at(0)
                        .at(0)),
            "3");
}

TEST_P(ArchiveTest, AnArchiveOfTheFirstVersionMigratesWithItsAssets) {
  {
    auto engine = connectArchiveEngine(location);
    createArchiveSchema(*engine, kFirstArchiveVersion);
    // An asset as the first version stored it, without a change log.
    engine->query(
        "INSERT INTO assets (tag, kind, rated_kv, insulation_class, winding) VALUES "
        "('OLD', 'machine', 6.6, 'F', 'form-wound')",
        {});
  }
  auto archive = open();
  EXPECT_EQ(archive->schemaVersion(), kArchiveVersion);
  EXPECT_EQ(sqlText(archive->engine()
                        .query("SELECT value FROM archive_meta WHERE key = 'schema_version'", {})
                        .at(0)
                        .at(0)),
            std::to_string(kArchiveVersion));
  // Its asset got the "created" line of the change log, and takes tests as any other.
  const auto changes = archive->assetChanges("OLD");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].field, "created");
  const auto stored = archive->storeTest(test("OLD", "2024-03-01", tenMinuteRun(200, 3)));
  EXPECT_EQ(archive->history("OLD").at(0).id, stored.id);
  EXPECT_TRUE(archive->check().whole());
}

// A writer in a child process: stores `count` tests of `tag` from `firstDay` on, then exits 0.
pid_t storeInChild(const ArchiveLocation &location, const std::string &tag, int firstDay,
                   int count) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  int status = 0;
  try {
    auto archive = Archive::open(location);
    for (int i = 0; i < count; ++i) {
      char date[32];
      std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + (firstDay + i) / 28,
                    1 + (firstDay + i) % 28);
      NewTest t;
      t.assetTag = tag;
      t.particulars.date = date;
      t.particulars.windingTemperatureC = 40;
      t.readings = tenMinuteRun(100 + i, 3);
      archive->storeTest(t);
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "writer %s: %s\n", tag.c_str(), e.what());
    status = 1;
  }
  ::_exit(status);
}

TEST_P(ArchiveTest, TwoWritersAtOnceBothSucceed) {
  {
    auto archive = open();
    archive->addAsset(motor("A"));
    archive->addAsset(motor("B"));
  }
  const pid_t a = storeInChild(location, "A", 0, 25);
  const pid_t b = storeInChild(location, "B", 0, 25);
  int statusA = -1, statusB = -1;
  ::waitpid(a, &statusA, 0);
  ::waitpid(b, &statusB, 0);
  EXPECT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
  EXPECT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);
  auto archive = open();
  EXPECT_EQ(archive->history("A").size(), 25u);
  EXPECT_EQ(archive->history("B").size(), 25u);
  EXPECT_TRUE(archive->check().whole());
}

// As the program closes, a save still waiting for another program's write is cancelled:
// it gives up at once (not after the minute it would wait) and stores nothing.
TEST_P(ArchiveTest, ACancelledSaveGivesUpWaitingForAnotherWriter) {
  auto archive = open();
  archive->addAsset(motor("W"));
  auto other = open();
  other->engine().begin();
  if (GetParam() == ArchiveEngineKind::Postgres)
    other->engine().script("LOCK TABLE tests IN EXCLUSIVE MODE");
  auto save = std::async(std::launch::async, [&] {
    archive->storeTest(test("W", "2024-05-01", tenMinuteRun(900, 2.5)));
  });
  EXPECT_EQ(save.wait_for(300ms), std::future_status::timeout) << "the save waits";
  archive->cancel();
  ASSERT_EQ(save.wait_for(20s), std::future_status::ready);
  EXPECT_THROW(save.get(), EArchiveError);
  other->engine().rollback();
  EXPECT_TRUE(open()->history("W").empty());
}

TEST_P(ArchiveTest, AKillDuringSavesLeavesEveryTestWholeOrAbsent) {
  {
    auto archive = open();
    archive->addAsset(motor("K"));
  }
  // Killed at moments spread over the saves: while opening, between and inside commits.
  std::size_t stored = 0;
  for (int delayMs : {0, 3, 7, 15, 30, 60, 90}) {
    const pid_t child = storeInChild(location, "K", static_cast<int>(stored) + 1, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    auto archive = open();
    const CheckReport report = archive->check();
    EXPECT_EQ(report.problems, std::vector<std::string>{}) << "killed after " << delayMs << " ms";
    const auto history = archive->history("K");
    EXPECT_GE(history.size(), stored);
    stored = history.size();
    for (const TestSummary &t : history)
      EXPECT_EQ(archive->testReadings(t.id)->readings.size(), 601u) << t.id;
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveTest,
                         ::testing::Values(ArchiveEngineKind::Sqlite, ArchiveEngineKind::Postgres),
                         engineName);

}  // namespace
}  // namespace vexal::archive_test
