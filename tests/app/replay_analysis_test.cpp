// vexal-replay --analysis: the refusals, and one JSON line per insulation run of the final
// table with every key as the command-line contract states it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using vexal::test_tools::readFile;
using vexal::test_tools::runShell;
using vexal::test_tools::ToolRun;

std::vector<std::string> linesOf(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const std::string kHeader = "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
const std::string kOhm = "\xA6\xB8", kMOhm = "M" + kOhm, kGOhm = "G" + kOhm;
const std::string kIr2500 = "IR:2500 100G" + kOhm, kIr1000 = "IR:1000V 40G" + kOhm;

class ReplayAnalysisTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-analysis-test-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the tool in the C locale with `args`, standard input empty.
  ToolRun replay(const std::string &args) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string cmd = "LC_ALL=C " + std::string(VEXAL_BIN_DIR) + "/vexal-replay " + args +
                            " </dev/null 2>" + errFile.string();
    return runShell(cmd, errFile);
  }

  // A text data file of the given rows (fields separated by tabs, no line end).
  fs::path dataFile(const std::vector<std::string> &rows) {
    const fs::path file = dir / "runs.txt";
    std::ofstream out(file, std::ios::binary);
    out << kHeader;
    for (const std::string &row : rows) out << row << "\r\n";
    return file;
  }

  // Three runs: a 2500 V PI test across midnight with an "L" and a change to GΩ, ended by a
  // voltage reading; a timed 1000 V test of one reading and one without a value; a run whose
  // function holds characters that JSON escapes.
  fs::path threeRuns() {
    return dataFile({
        "1\t23:59:30.000\t100\t" + kMOhm + "\t" + kIr2500 + "\tPI",
        "2\t23:59:45.000\t120\t" + kMOhm + "\t" + kIr2500 + "\tPI",
        "3\t00:00:00.000\t150\t" + kMOhm + "\t" + kIr2500 + "\tPI",
        "4\t00:00:28.500\tL\t" + kMOhm + "\t" + kIr2500 + "\tPI",
        "5\t00:00:30.000\t1.8\t" + kGOhm + "\t" + kIr2500 + "\tPI",
        "6\t00:00:31.000\t230\tV\tDCV  600V\tContinuous",
        "7\t00:01:00.000\t5\t" + kGOhm + "\t" + kIr1000 + "\tTimed",
        "8\t00:01:13.250\t\t" + kGOhm + "\t" + kIr1000 + "\tTimed",
        "9\t00:05:00.000\t7\t" + kGOhm + "\tIR:a\"b\\c\t",
    });
  }
};

const std::string kRun1 =
    "{\"run\":1,\"first_row\":1,\"last_row\":5,\"function\":\"IR:2500 100G\xCE\xA9\","
    "\"mode\":\"PI\",\"start\":\"23:59:30.000\",\"duration_s\":60.000,\"rows\":5,\"values\":4,"
    "\"r15\":1.2e+08,\"r30\":1.5e+08,\"r60\":1.8e+09,\"r600\":null,\"dar\":12.000000,"
    "\"pi\":null,\"dar_band\":\"excellent\",\"pi_band\":null,";
const std::string kRun2 =
    "{\"run\":2,\"first_row\":7,\"last_row\":8,\"function\":\"IR:1000V 40G\xCE\xA9\","
    "\"mode\":\"Timed\",\"start\":\"00:01:00.000\",\"duration_s\":13.250,\"rows\":2,"
    "\"values\":1,\"r15\":null,\"r30\":null,\"r60\":null,\"r600\":null,\"dar\":null,"
    "\"pi\":null,\"dar_band\":null,\"pi_band\":null,\"r60_40c\":null,\"pi_applicable\":null}";
const std::string kRun3 =
    "{\"run\":3,\"first_row\":9,\"last_row\":9,\"function\":\"IR:a\\\"b\\\\c\",\"mode\":\"\","
    "\"start\":\"00:05:00.000\",\"duration_s\":0.000,\"rows\":1,\"values\":1,\"r15\":null,"
    "\"r30\":null,\"r60\":null,\"r600\":null,\"dar\":null,\"pi\":null,\"dar_band\":null,"
    "\"pi_band\":null,\"r60_40c\":null,\"pi_applicable\":null}";

TEST_F(ReplayAnalysisTest, OneJsonLinePerRunInTableOrder) {
  // No capture: only the opened file. Run 2's R(15 s) falls on a blank reading: null, not the
  // older 5 GΩ; without --temperature whether the PI applies is unknown.
  const ToolRun r = replay("--analysis --open " + threeRuns().string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const auto lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0], kRun1 + "\"r60_40c\":null,\"pi_applicable\":null}");
  EXPECT_EQ(lines[1], kRun2);
  EXPECT_EQ(lines[2], kRun3);
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_EQ(replay("--analysis --open " + threeRuns().string() + " -").out, r.out);
}

TEST_F(ReplayAnalysisTest, AnOverRangeReadingIsNeverStoodInFor) {
  // 500 V: 2.0 GΩ, then over the 20 GΩ range from 15 s to 10 minutes.
  const std::string ir500 = "IR:500V 20G" + kOhm;
  std::vector<std::string> rows = {"1\t10:00:00.000\t2.00\t" + kGOhm + "\t" + ir500 + "\tPI"};
  for (int s = 15; s <= 600; s += 15)
    rows.push_back(std::to_string(s) + "\t10:" + (s / 60 < 10 ? "0" : "") + std::to_string(s / 60) +
                   ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60) + ".000\tL\t" + kGOhm +
                   "\t" + ir500 + "\tPI");
  const ToolRun r = replay("--analysis --temperature 20 --open " + dataFile(rows).string());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"r15\":null,\"r30\":null,\"r60\":null,\"r600\":null,\"dar\":null,"
                       "\"pi\":null,\"dar_band\":null,\"pi_band\":null,\"r60_40c\":null,"
                       "\"pi_applicable\":null}"),
            std::string::npos)
      << r.out;
}

TEST_F(ReplayAnalysisTest, TemperatureCorrectsRAtOneMinuteAndDecidesWhetherPiApplies) {
  const std::string file = threeRuns().string();
  // 1.8 GΩ at 30 °C is 0.9 GΩ at 40 °C.
  ToolRun r = replay("--analysis --temperature 30 --open " + file + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linesOf(r.out).at(0), kRun1 + "\"r60_40c\":9e+08,\"pi_applicable\":true}");
  // At 61.5 °C: 1.8 GΩ × 2^2.15 = 7.9889 GΩ, above 5 GΩ.
  r = replay("--analysis --temperature 61.5 --open " + file + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string first = linesOf(r.out).at(0);
  EXPECT_NE(first.find("\"r60_40c\":7988900198.88"), std::string::npos) << first;
  EXPECT_NE(first.find("\"pi_applicable\":false}"), std::string::npos) << first;
  // Below zero: 1.8 GΩ at -10 °C is 1.8 GΩ / 32 = 56.25 MΩ.
  r = replay("--analysis --temperature -10 --open " + file + " -");
  EXPECT_EQ(linesOf(r.out).at(0), kRun1 + "\"r60_40c\":56250000,\"pi_applicable\":true}");
}

TEST_F(ReplayAnalysisTest, TheRunGapInWholeSeconds) {
  const std::string file = threeRuns().string();
  // 15 s between the first rows: a gap of 14 s splits them, 15 s keeps them together.
  ToolRun r = replay("--analysis --run-gap 14 --open " + file + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linesOf(r.out).size(), 6u);  // 1, 2, 3, 4-5, 7-8, 9
  r = replay("--analysis --run-gap 15 --open " + file + " -");
  EXPECT_EQ(linesOf(r.out).size(), 4u);  // 1-3, 4-5 (28.5 s after 3), 7-8, 9
  r = replay("--analysis --run-gap 0 --open " + file + " -");
  EXPECT_EQ(linesOf(r.out).size(), 8u);
  // A gap beyond any day still takes the default's place.
  r = replay("--analysis --run-gap 99999999999999999999 --open " + file + " -");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linesOf(r.out).size(), 3u);
}

TEST_F(ReplayAnalysisTest, NoRunNoOutput) {
  ToolRun r = replay("--analysis -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  const fs::path volts = dataFile({"1\t10:00:00\t230\tV\tACV  600V\tContinuous"});
  r = replay("--analysis --open " + volts.string() + " -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(ReplayAnalysisTest, TheCapturedReadingsAreAnalysedAndOutSavesTheTable) {
  // The worked example twice at 1000 V, then a DC voltage reading: one run of two rows.
  const fs::path saved = dir / "saved.txt";
  const ToolRun r = replay("--analysis --out " + saved.string() + " " + VEXAL_TEST_DATA_DIR +
                           "/app/captures/four_frames.cap");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = linesOf(r.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("{\"run\":1,\"first_row\":1,\"last_row\":2,", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("\"mode\":\"Continuous\",\"start\":\"00:00:00.000\""), std::string::npos);
  const std::string table = readFile(saved);
  EXPECT_EQ(table.rfind(kHeader, 0), 0u);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4);
}

TEST_F(ReplayAnalysisTest, AClosedStandardOutputFails) {
  const std::string cmd = "LC_ALL=C " + std::string(VEXAL_BIN_DIR) +
                          "/vexal-replay --analysis --open " + threeRuns().string() +
                          " - </dev/null 2>&1 >&-";
  std::string said;
  FILE *p = popen(cmd.c_str(), "r");
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) said.append(buf, n);
  const int status = pclose(p);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(said.find("cannot write to standard output: Bad file descriptor"), std::string::npos)
      << said;
}

TEST_F(ReplayAnalysisTest, RefusalsSayWhyAndPrintNothing) {
  const char *refused[] = {
      "--analysis --panel",
      "--analysis --report r.pdf",
      "--report r.txt --analysis",
      "--analysis --out -",
      "--run-gap 60",
      "--temperature 20",
      "--run-gap 60 --temperature 20",
      "--analysis --run-gap -1",
      "--analysis --run-gap 1.5",
      "--analysis --run-gap +5",
      "--analysis --run-gap ''",
      "--analysis --run-gap 6O",
      "--analysis --temperature 20,5",
      "--analysis --temperature 1e3",
      "--analysis --temperature +20",
      "--analysis --temperature -",
      "--analysis --temperature ''",
      "--analysis --temperature ' 20'",
      "--analysis --temperature 1.2.3",
      "--analysis --temperature 200.5",
      "--analysis --temperature -50.01",
      "--analysis --temperature 300",
      "--analysis --temperature",
      "--analysis --run-gap",
  };
  for (const char *args : refused) {
    SCOPED_TRACE(args);
    const bool endsInOption =
        std::string(args).ends_with("temperature") || std::string(args).ends_with("run-gap");
    const ToolRun r = replay(std::string(args) + (endsInOption ? "" : " -"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("vexal-replay: "), std::string::npos) << r.err;
  }
  // Refused before anything is read or written.
  const fs::path out = dir / "out.txt";
  const ToolRun r = replay("--analysis --panel --out " + out.string() + " -");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(fs::exists(out));
  // A capture may be left out only when a file is opened.
  const ToolRun none = replay("--analysis");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no capture given"), std::string::npos) << none.err;
  // The values it takes.
  for (const char *args :
       {"--run-gap 0", "--run-gap 007", "--temperature -5.5", "--temperature 20",
        "--temperature .5", "--temperature 0", "--temperature -50", "--temperature 200"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(replay(std::string("--analysis ") + args + " -").status, 0);
  }
}

}  // namespace
