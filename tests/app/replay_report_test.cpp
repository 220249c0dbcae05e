// vexal-replay --report: the data report of the replayed table in each format, and the
// odd names and targets that must write nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ReplayReportTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-replay-report-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override {
    fs::create_directories(dir);
    // 40 rows: two pages.
    std::ofstream rows(dir / "rows.txt", std::ios::binary);
    rows << "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    for (int i = 1; i <= 40; ++i)
      rows << i << "\t10:00:" << (i < 10 ? "0" : "") << i << "\t" << i
           << ".5\tM\xA6\xB8\tDCV  600V\t" << (i == 3 ? "a,b" : "Continuous") << "\r\n";
  }
  void TearDown() override { fs::remove_all(dir); }

  // Replays an empty capture over the 40 rows and writes the report to `report`.
  // Standard output goes to `out` when given.
  int replay(const std::string &report, std::string *err = nullptr, std::string *out = nullptr) {
    std::ofstream(dir / "empty.cap") << "";
    const fs::path errFile = dir / "stderr.txt";
    const fs::path outFile = dir / "stdout.txt";
    const std::string cmd = "LC_ALL=C QT_QPA_PLATFORM=offscreen " + std::string(VEXAL_BIN_DIR) +
                            "/vexal-replay --open " + (dir / "rows.txt").string() + " --report '" +
                            report + "' " + (dir / "empty.cap").string() + " >" + outFile.string() +
                            " 2>" + errFile.string();
    const int status = std::system(cmd.c_str());
    if (err) *err = readFile(errFile);
    if (out) *out = readFile(outFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(ReplayReportTest, WritesCsv) {
  ASSERT_EQ(replay((dir / "r.CSV").string()), 0);
  const std::string csv = readFile(dir / "r.CSV");
  EXPECT_EQ(
      csv.rfind("\xEF\xBB\xBFNo,Time,Value,Unit,Function,Remark\r\n1,10:00:01,1.5,M\u03A9,", 0),
      0u);
  EXPECT_NE(csv.find("\r\n3,10:00:03,3.5,M\u03A9,DCV  600V,\"a,b\"\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\r\n40,10:00:40,40.5,"), std::string::npos);
}

TEST_F(ReplayReportTest, WritesPlainTextPageByPage) {
  ASSERT_EQ(replay((dir / "r.txt").string()), 0);
  const std::string text = readFile(dir / "r.txt");
  EXPECT_NE(text.find("The Page 1  Of 2"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 1);
  EXPECT_LT(text.find("The Page 1  Of 2"), text.find('\f'));
  EXPECT_GT(text.find("The Page 2  Of 2"), text.find('\f'));
  EXPECT_NE(text.find("The Page 2  Of 2"), std::string::npos);
}

TEST_F(ReplayReportTest, DashWritesThePlainTextReportToStandardOutput) {
  std::string out;
  ASSERT_EQ(replay("-", nullptr, &out), 0);
  EXPECT_NE(out.find("TEST DATA REPORT"), std::string::npos);
  EXPECT_LT(out.find("The Page 1  Of 2"), out.find('\f'));
  EXPECT_NE(out.find("The Page 2  Of 2"), std::string::npos);
  EXPECT_EQ(out.find("Measurement No."), std::string::npos) << "the report, not the table";
  EXPECT_FALSE(fs::exists("-"));
}

TEST_F(ReplayReportTest, WritesHtml) {
  ASSERT_EQ(replay((dir / "r.html").string()), 0);
  const std::string html = readFile(dir / "r.html");
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.find("<td>40.5</td>"), std::string::npos);
  EXPECT_NE(html.find("The Page 2 Of 2"), std::string::npos);
}

TEST_F(ReplayReportTest, WritesPdf) {
  ASSERT_EQ(replay((dir / "r.pdf").string()), 0);
  const std::string pdf = readFile(dir / "r.pdf");
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  EXPECT_NE(pdf.find("/Count 2"), std::string::npos);
}

TEST_F(ReplayReportTest, OtherExtensionIsAUsageErrorAndWritesNothing) {
  std::string err;
  EXPECT_EQ(replay((dir / "r.xls").string(), &err), 2);
  EXPECT_NE(err.find(".pdf, .html, .txt or .csv"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "r.xls"));
}

TEST_F(ReplayReportTest, FailedWriteExitsOneAndLeavesNoFile) {
  std::string err;
  EXPECT_EQ(replay((dir / "missing" / "r.csv").string(), &err), 1);
  EXPECT_NE(err.find("Cannot create file"), std::string::npos);
  fs::create_directories(dir / "ro");
  // A folder in the target's place: nothing may be written over it.
  fs::create_directories(dir / "ro" / "r.pdf");
  EXPECT_EQ(replay((dir / "ro" / "r.pdf").string(), &err), 1);
  EXPECT_TRUE(fs::is_directory(dir / "ro" / "r.pdf"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ro"), {}), 1);
  std::set<std::string> names;
  for (const auto &e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  EXPECT_EQ(names,
            (std::set<std::string>{"empty.cap", "ro", "rows.txt", "stderr.txt", "stdout.txt"}));
}

}  // namespace
