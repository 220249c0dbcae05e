// vexal-archive's command-line contract on both engines: import once, one line per run, the
// history's keys as vexal-replay --analysis gives them, the halved mark, the verdict, and the
// statuses of an unknown asset, an unreadable file and bad options.
#include <fstream>
#include <map>
#include <sstream>

#include "ArchiveFixture.h"
#include "support/ToolRun.h"

namespace vexal::archive_test {
namespace {

using test_tools::readFile;
using test_tools::runShell;
using test_tools::ToolRun;

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The text of a key's value in a JSON line whose values are numbers, words or plain texts.
std::string jsonValue(const std::string &line, const std::string &key) {
  const std::string marker = "\"" + key + "\":";
  const auto at = line.find(marker);
  if (at == std::string::npos) return "(missing)";
  const auto from = at + marker.size();
  if (line[from] == '"') return line.substr(from, line.find('"', from + 1) - from + 1);
  return line.substr(from, line.find_first_of(",}", from) - from);
}

class ArchiveToolTest : public EngineArchiveTest {
 protected:
  // Runs vexal-archive on the test's archive, in the C locale.
  ToolRun tool(const std::string &args) {
    const fs::path errFile = dir / "stderr.txt";
    return runShell("LC_ALL=C " + std::string(VEXAL_BIN_DIR) + "/vexal-archive --archive '" +
                        location.text + "' " + args + " </dev/null 2>" + errFile.string(),
                    errFile);
  }

  // A text data file of runs as the meter's table records them.
  fs::path dataFile(const std::string &name, const std::vector<TestReadings> &runs) {
    const fs::path file = dir / name;
    std::ofstream out(file, std::ios::binary);
    out << "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    int no = 1;
    for (const TestReadings &run : runs) {
      for (const StoredReading &r : run.readings) {
        const std::int64_t ms = run.startMs + r.elapsedMs;
        char time[32];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3'600'000),
                      static_cast<int>(ms / 60'000 % 60), static_cast<int>(ms / 1000 % 60),
                      static_cast<int>(ms % 1000));
        out << no++ << '\t' << time << '\t' << r.value.value_or("") << '\t' << r.unit.value_or("")
            << '\t' << run.function.value_or("") << '\t' << run.mode.value_or("") << "\r\n";
      }
      // A voltage reading between runs, as a test's end on the meter.
      out << no++ << "\t23:00:00.000\t230\tV\tDCV  600V\tContinuous\r\n";
    }
    return file;
  }

  void addMotor(const std::string &tag, const std::string &more = "") {
    ASSERT_EQ(tool("add-asset " + tag +
                   " --name Pump --rated-kv 6.6 --class F --winding form-wound " + more)
                  .status,
              0);
  }
};

TEST_P(ArchiveToolTest, ImportingTwiceStoresEachRunOnce) {
  addMotor("M1");
  const fs::path file =
      dataFile("two.txt", {tenMinuteRun(200, 3, 36'000'000), tenMinuteRun(300, 3, 40'000'000)});
  const ToolRun first = tool("import " + file.string() + " --asset M1 --date 2024-05-02");
  ASSERT_EQ(first.status, 0) << first.err;
  const auto lines = linesOf(first.out);
  ASSERT_EQ(lines.size(), 2u) << first.out;
  for (const std::string &line : lines) EXPECT_EQ(line.substr(32), "\tstored") << line;
  const ToolRun second = tool("import " + file.string() + " --asset M1 --date 2024-05-02");
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(linesOf(second.out),
            (std::vector<std::string>{lines[0].substr(0, 32) + "\talready stored",
                                      lines[1].substr(0, 32) + "\talready stored"}));
  // On another date the same runs are other tests.
  const ToolRun other = tool("import " + file.string() + " --asset M1 --date 2024-05-03");
  EXPECT_EQ(linesOf(other.out).size(), 2u);
  EXPECT_EQ(other.out.find("already"), std::string::npos);
  EXPECT_EQ(linesOf(tool("history M1 --format jsonl").out).size(), 4u);
  EXPECT_EQ(tool("check").status, 0);
}

TEST_P(ArchiveToolTest, HistoryCarriesTheAnalysisOfEachRunAsReplayGivesIt) {
  addMotor("M1");
  const fs::path file = dataFile("run.txt", {tenMinuteRun(180, 2.5, 30'000'000)});
  ASSERT_EQ(tool("import " + file.string() +
                 " --asset M1 --date 2024-05-02 --temperature 30 "
                 "--operator 'Ann Lee'")
                .status,
            0);
  const fs::path empty = dir / "empty.cap";
  std::ofstream{empty};
  const ToolRun replay =
      runShell("LC_ALL=C " + std::string(VEXAL_BIN_DIR) + "/vexal-replay --analysis " +
               "--temperature 30 --open " + file.string() + " " + empty.string());
  ASSERT_EQ(replay.status, 0);
  const auto analysis = linesOf(replay.out);
  ASSERT_EQ(analysis.size(), 1u);
  // Everything after the run's place in its file.
  const std::string keys = analysis[0].substr(analysis[0].find("\"function\""));
  const auto history = linesOf(tool("history M1 --format jsonl").out);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_NE(history[0].find(keys.substr(0, keys.size() - 1)), std::string::npos)
      << history[0] << "\n"
      << keys;
  EXPECT_EQ(jsonValue(history[0], "asset"), "\"M1\"");
  EXPECT_EQ(jsonValue(history[0], "date"), "\"2024-05-02\"");
  EXPECT_EQ(jsonValue(history[0], "temperature"), "30");
  EXPECT_EQ(jsonValue(history[0], "operator"), "\"Ann Lee\"");
  EXPECT_EQ(jsonValue(history[0], "halved"), "null");
  EXPECT_EQ(jsonValue(history[0], "test").size(), 34u);
}

TEST_P(ArchiveToolTest, HalvedComparesWithTheLatestEarlierTestOfTheSameFunction) {
  addMotor("M1");
  // Date, R(1 min) in MΩ, temperature ("" for none), function; then the halved mark expected.
  const struct {
    const char *date;
    double r60;
    const char *temperature;
    const std::string &function;
    const char *halved;
  } cases[] = {
      {"2020-06-01", 200, "40", kIr2500, "null"},  // nothing earlier
      {"2021-06-01", 100, "40", kIr2500, "true"},  // exactly half
      {"2022-06-01", 10, "40", kIr1000, "null"},   // nothing earlier at 1000 V
      {"2022-07-01", 40, "", kIr2500, "null"},     // no temperature: no R(1 min) at 40 °C
      {"2023-06-01", 51, "40", kIr2500, "false"},  // against 100 (2021), just above half
      {"2024-06-01", 51, "30", kIr2500, "true"},   // 25.5 at 40 °C: half of 51
  };
  for (const auto &c : cases) {
    const fs::path file =
        dataFile(std::string(c.date) + ".txt", {tenMinuteRun(c.r60, 3, 36'000'000, c.function)});
    std::string args = "import " + file.string() + " --asset M1 --date " + c.date;
    if (*c.temperature) args += std::string(" --temperature ") + c.temperature;
    ASSERT_EQ(tool(args).status, 0) << c.date;
  }
  const auto history = linesOf(tool("history M1 --format jsonl").out);
  ASSERT_EQ(history.size(), std::size(cases));
  for (std::size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(jsonValue(history[i], "date"), std::string("\"") + cases[i].date + "\"");
    EXPECT_EQ(jsonValue(history[i], "halved"), cases[i].halved) << cases[i].date;
  }
}

TEST_P(ArchiveToolTest, TheVerdictFollowsTheAssetAndTheTest) {
  // IEEE 43 for a 6.6 kV form-wound class F winding: at least 100 MΩ at 40 °C, PI at least 2.
  const struct {
    const char *tag, *asset;
    double r60, pi;
    const char *temperature, *verdict;
  } cases[] = {
      {"GOOD", "--kind machine --rated-kv 6.6 --class F --winding form-wound", 200, 3, "40",
       "pass"},
      {"LOWR", "--kind machine --rated-kv 6.6 --class F --winding form-wound", 50, 3, "40", "fail"},
      {"LOWPI", "--kind machine --rated-kv 6.6 --class F --winding form-wound", 200, 1.2, "40",
       "fail"},
      {"COOL", "--kind machine --rated-kv 6.6 --class F --winding form-wound", 300, 3, "20",
       "fail"},  // 75 MΩ at 40 °C
      {"NOTEMP", "--kind machine --rated-kv 6.6 --class F --winding form-wound", 200, 3, "",
       "not determined"},
      {"NOKV", "--kind machine --class F --winding form-wound", 200, 3, "40", "not determined"},
      {"CABLE", "--kind cable --rated-kv 6.6", 200, 3, "40", "not judged"},
      {"TX", "--kind transformer", 50, 1.2, "40", "not judged"},
  };
  for (const auto &c : cases) {
    ASSERT_EQ(tool(std::string("add-asset ") + c.tag + " " + c.asset).status, 0) << c.tag;
    const fs::path file = dataFile(std::string(c.tag) + ".txt", {tenMinuteRun(c.r60, c.pi)});
    std::string args = "import " + file.string() + " --asset " + c.tag + " --date 2024-01-10";
    if (*c.temperature) args += std::string(" --temperature ") + c.temperature;
    ASSERT_EQ(tool(args).status, 0) << c.tag;
    const auto history = linesOf(tool(std::string("history ") + c.tag + " --format jsonl").out);
    ASSERT_EQ(history.size(), 1u) << c.tag;
    EXPECT_EQ(jsonValue(history[0], "verdict"), std::string("\"") + c.verdict + "\"") << c.tag;
  }
  // The asset list shows each asset's last verdict.
  const auto assets = linesOf(tool("assets --format jsonl").out);
  ASSERT_EQ(assets.size(), std::size(cases));
  EXPECT_EQ(jsonValue(assets[0], "tag"), "\"CABLE\"");
  EXPECT_EQ(jsonValue(assets[0], "last_verdict"), "\"not judged\"");
}

TEST_P(ArchiveToolTest, UnknownAssetsAndUnreadableFilesStoreNothingFromThem) {
  addMotor("M1");
  const fs::path good = dataFile("good.txt", {tenMinuteRun(200, 3)});
  const ToolRun unknown = tool("import " + good.string() + " --asset M2 --date 2024-05-02");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("no asset 'M2'"), std::string::npos) << unknown.err;
  EXPECT_EQ(unknown.out, "");

  const fs::path missing = dir / "missing.txt";
  const fs::path bad = dir / "bad.xml";
  std::ofstream(bad) << "<DATAPACKET><ROWDATA><ROW";
  const ToolRun mixed = tool("import " + missing.string() + " " + bad.string() + " " +
                             good.string() + " --asset M1 --date 2024-05-02");
  EXPECT_EQ(mixed.status, 1);
  EXPECT_EQ(linesOf(mixed.out).size(), 1u) << mixed.out;  // the good file's run only
  EXPECT_NE(mixed.err.find("missing.txt' not imported"), std::string::npos) << mixed.err;
  EXPECT_NE(mixed.err.find("bad.xml' not imported"), std::string::npos) << mixed.err;
  EXPECT_EQ(linesOf(tool("history M1 --format jsonl").out).size(), 1u);

  const ToolRun history = tool("history M2");
  EXPECT_EQ(history.status, 1);
  EXPECT_EQ(history.out, "");
  EXPECT_EQ(tool("export M2").status, 1);
  EXPECT_EQ(tool("edit-asset M2 --name x").status, 1);
}

TEST_P(ArchiveToolTest, AddingAnExistingTagChangesNothing) {
  addMotor("M1");
  const ToolRun again = tool("add-asset M1 --name Other --kind cable");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("'M1' is in the archive already"), std::string::npos) << again.err;
  const auto assets = linesOf(tool("assets --format jsonl").out);
  ASSERT_EQ(assets.size(), 1u);
  EXPECT_EQ(jsonValue(assets[0], "name"), "\"Pump\"");
  EXPECT_EQ(jsonValue(assets[0], "kind"), "\"machine\"");
  // edit-asset changes only what it is given.
  ASSERT_EQ(tool("edit-asset M1 --location 'Hall 3' --rated-kv 11").status, 0);
  const auto edited = linesOf(tool("assets --search hall --format jsonl").out);
  ASSERT_EQ(edited.size(), 1u);
  EXPECT_EQ(jsonValue(edited[0], "name"), "\"Pump\"");
  EXPECT_EQ(jsonValue(edited[0], "location"), "\"Hall 3\"");
  EXPECT_EQ(jsonValue(edited[0], "rated_kv"), "11");
}

TEST_P(ArchiveToolTest, BadOptionsAreRefusedWithStatusTwo) {
  addMotor("M1");
  const fs::path file = dataFile("run.txt", {tenMinuteRun(200, 3)});
  const std::string f = file.string();
  const char *cases[] = {
      "",
      "frobnicate",
      "add-asset",
      "add-asset M2 --kind robot",
      "add-asset M2 --rated-kv x",
      "add-asset M2 --rated-kv 6600",
      "add-asset M2 --class C",
      "add-asset M2 --winding tight",
      "add-asset M2 --name",
      "add-asset M2 M3",
      "assets --format csv",
      "history M1 --format xml",
      "history",
      "check now",
      "export M1 --format jsonl",
  };
  for (const char *args : cases) {
    const ToolRun run = tool(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  const std::string imports[] = {
      "import " + f + " --date 2024-05-02",
      "import " + f + " --asset M1",
      "import --asset M1 --date 2024-05-02",
      "import " + f + " --asset M1 --date 2024-13-02",
      "import " + f + " --asset M1 --date 02.05.2024",
      "import " + f + " --asset M1 --date 2024-05-02 --temperature 300",
      "import " + f + " --asset M1 --date 2024-05-02 --temperature warm",
      "import " + f + " --asset M1 --date 2024-05-02 --purpose fun",
      "import " + f + " --asset M1 --date 2024-05-02 --run-gap -1",
  };
  for (const std::string &args : imports) {
    const ToolRun run = tool(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.out, "") << args;
  }
  EXPECT_EQ(tool("assets --format jsonl").out.find("M2"), std::string::npos);
  EXPECT_EQ(linesOf(tool("history M1 --format jsonl").out).size(), 0u);
}

TEST_P(ArchiveToolTest, ExportGivesEachTestWithItsReadings) {
  addMotor("M1");
  TestReadings run = tenMinuteRun(200, 3);
  run.readings[2].value = "L";
  ASSERT_EQ(tool("import " + dataFile("run.txt", {run}).string() +
                 " --asset M1 --date 2024-05-02 --purpose after-repair")
                .status,
            0);
  const auto lines = linesOf(tool("export M1").out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(jsonValue(lines[0], "purpose"), "\"after-repair\"");
  EXPECT_NE(
      lines[0].find("\"readings\":[{\"elapsed_ms\":0,\"value\":\"200.0\",\"unit\":\"M\xCE\xA9\"},"
                    "{\"elapsed_ms\":1000,\"value\":\"200.0\",\"unit\":\"M\xCE\xA9\"},"
                    "{\"elapsed_ms\":2000,\"value\":\"L\",\"unit\":\"M\xCE\xA9\"}"),
      std::string::npos)
      << lines[0].substr(0, 600);
  EXPECT_EQ(jsonValue(lines[0], "rows"), "601");
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveToolTest,
                         ::testing::Values(ArchiveEngineKind::Sqlite, ArchiveEngineKind::Postgres),
                         engineName);

}  // namespace
}  // namespace vexal::archive_test
