// End-to-end: the vexal-replay tool on small capture files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ReplayToolTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-replay-test-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  static std::string capture(const char *name) {
    return std::string(VEXAL_TEST_DATA_DIR) + "/app/captures/" + name;
  }

  // Runs the tool in the C locale with `args`, optionally feeding `input` on stdin.
  ToolRun replay(const std::string &args, const std::string &input = "") {
    fs::path errFile = dir / "stderr.txt", inFile = dir / "stdin.txt";
    std::ofstream(inFile, std::ios::binary) << input;
    std::string cmd = "LC_ALL=C " + std::string(VEXAL_BIN_DIR) + "/vexal-replay " + args + " <" +
                      inFile.string() + " 2>" + errFile.string();
    ToolRun run;
    FILE *p = popen(cmd.c_str(), "r");
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.out.append(buf, n);
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readFile(errFile);
    return run;
  }
};

const std::string kHeader = "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
const std::string kGOhm = "G\xA6\xB8";

TEST_F(ReplayToolTest, WritesTheTableAsTabSeparatedText) {
  ToolRun r = replay(capture("four_frames.cap"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kHeader + "1\t00:00:00\t12.34\t" + kGOhm + "\tIR:1000V 40" + kGOhm +
                       "\tContinuous\r\n"
                       "2\t00:00:00\t-12.34\t" +
                       kGOhm + "\tIR:1000V 40" + kGOhm +
                       "\tContinuous\r\n"
                       "3\t00:00:01\t12.34\tV\tDCV  600V\tContinuous\r\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(ReplayToolTest, RecordingOptions) {
  ToolRun comma = replay("--decimal , " + capture("four_frames.cap"));
  EXPECT_NE(comma.out.find("\t12,34\t"), std::string::npos);

  ToolRun repeats = replay(capture("repeats.cap"));
  ToolRun noRepeat = replay("--no-repeat " + capture("repeats.cap"));
  EXPECT_EQ(std::count(repeats.out.begin(), repeats.out.end(), '\n'), 5);
  EXPECT_EQ(std::count(noRepeat.out.begin(), noRepeat.out.end(), '\n'), 3);

  ToolRun limited = replay("--limit 2 " + capture("repeats.cap"));
  EXPECT_EQ(std::count(limited.out.begin(), limited.out.end(), '\n'), 3);

  // One frame a second, a two-second interval typed into the box: the countdown starts
  // from the typed value, then every other frame is recorded.
  ToolRun sampled = replay("--sampling 2 " + capture("every_second.cap"));
  ASSERT_EQ(sampled.status, 0) << sampled.err;
  for (const char *t : {"\t00:00:02\t", "\t00:00:04\t", "\t00:00:06\t", "\t00:00:08\t"})
    EXPECT_NE(sampled.out.find(t), std::string::npos) << t;
  EXPECT_EQ(sampled.out.find("\t00:00:00\t"), std::string::npos);
  EXPECT_EQ(sampled.out.find("\t00:00:03\t"), std::string::npos);
  EXPECT_EQ(std::count(sampled.out.begin(), sampled.out.end(), '\n'), 5);
  ToolRun everyFrame = replay("--sampling 0 " + capture("every_second.cap"));
  EXPECT_EQ(std::count(everyFrame.out.begin(), everyFrame.out.end(), '\n'), 11);
}

TEST_F(ReplayToolTest, PanelLinesOnePerDecoderCall) {
  ToolRun r = replay("--panel " + capture("four_frames.cap"));
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> json;
  for (std::string l; std::getline(lines, l);) json.push_back(l);
  ASSERT_EQ(json.size(), 4u);
  EXPECT_NE(json[0].find("\"value\":\"12.34\",\"unit\":\"G\xCE\xA9\""), std::string::npos);
  EXPECT_NE(json[0].find("\"recorded\":true"), std::string::npos);
  EXPECT_NE(json[2].find("\"function\":\"DCV  600V\""), std::string::npos);
  EXPECT_EQ(json[2].find("\"KD\""), std::string::npos);  // the DC frame hides the bar graph
  EXPECT_NE(json[3].find("\"recorded\":false"), std::string::npos);  // blank digits
  EXPECT_NE(json[3].find("\"LabelA\":\"1\""), std::string::npos);    // hidden, still held
  EXPECT_EQ(json[3].find("\"visible\":[\"LabelA\""), std::string::npos);
}

TEST_F(ReplayToolTest, CaptureFromStandardInputAndItsErrors) {
  std::string cap = readFile(capture("four_frames.cap"));
  ToolRun ok = replay("-", "  # indented comment\n\n" + cap);
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(std::count(ok.out.begin(), ok.out.end(), '\n'), 4);

  ToolRun bad = replay("-", "R 00  F1 22\nW 10\nX what\n");
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, "line 3: unknown item 'X'\n");
  EXPECT_EQ(replay("-", "R 0G\n").err, "line 1: report ID '0G' is not two hex digits\n");
  EXPECT_EQ(replay("-", "W -5\n").status, 2);
  EXPECT_EQ(replay("--bogus x").status, 2);
}

TEST_F(ReplayToolTest, OpenAndSaveDataFiles) {
  fs::path xml = dir / "DATA.XML", txt = dir / "data.txt";
  ToolRun saved = replay("--out " + xml.string() + " " + capture("four_frames.cap"));
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.out, "");
  EXPECT_EQ(saved.err, "");  // success is not announced
  std::string packet = readFile(xml);
  EXPECT_EQ(packet.rfind("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET", 0), 0u);
  EXPECT_NE(packet.find("CHANGE_LOG=\"1 0 4 2 0 4 3 0 4\""), std::string::npos);

  // Opening the XML file replaces the table; new readings continue from number 1 (the
  // number is not taken from the file).
  ToolRun reopened =
      replay("--open " + xml.string() + " --out " + txt.string() + " " + capture("repeats.cap"));
  ASSERT_EQ(reopened.status, 0) << reopened.err;
  std::string text = readFile(txt);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 3 + 4);

  // A text file opened twice doubles its rows.
  ToolRun twice = replay("--open " + txt.string() + " --open " + txt.string() + " -", "");
  EXPECT_EQ(std::count(twice.out.begin(), twice.out.end(), '\n'), 1 + 2 * 7);

  ToolRun missing = replay("--open " + (dir / "none.txt").string() + " -", "");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "Failed to Load File!\n");

  ToolRun unwritable = replay("--out " + (dir / "no" / "such" / "x.txt").string() + " -", "");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("Could not save table to specified file: "), std::string::npos);
}

}  // namespace
