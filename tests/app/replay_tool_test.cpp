// End-to-end: the vexal-replay tool on small capture files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/ToolRun.h"

namespace {

namespace fs = std::filesystem;
using vexal::test_tools::readFile;
using vexal::test_tools::runShell;
using vexal::test_tools::ToolRun;

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

  // Runs a shell command line whose standard output is read back, in the C locale.
  static ToolRun shell(const std::string &cmd) {
    return runShell("LC_ALL=C; export LC_ALL; " + cmd);
  }
  static std::string tool() { return std::string(VEXAL_BIN_DIR) + "/vexal-replay"; }

  // Runs the tool in the C locale with `args`, optionally feeding `input` on stdin.
  ToolRun replay(const std::string &args, const std::string &input = "") {
    fs::path errFile = dir / "stderr.txt", inFile = dir / "stdin.txt";
    std::ofstream(inFile, std::ios::binary) << input;
    std::string cmd = "LC_ALL=C " + std::string(VEXAL_BIN_DIR) + "/vexal-replay " + args + " <" +
                      inFile.string() + " 2>" + errFile.string();
    return runShell(cmd, errFile);
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
  // Three readings refused by the limit give one warning, naming the limit; a replay the
  // limit never stops says nothing.
  EXPECT_EQ(limited.status, 0);
  EXPECT_EQ(limited.err,
            "vexal-replay: warning: the record limit of 2 readings is reached: later readings "
            "are not recorded (--limit raises it)\n");
  EXPECT_EQ(replay("--limit 5 " + capture("repeats.cap")).err, "");

  // One frame a second, the box holding 2 with the countdown at 0 as at start-up: the
  // first reading is recorded at once, then every other frame.
  ToolRun sampled = replay("--sampling 2 " + capture("every_second.cap"));
  ASSERT_EQ(sampled.status, 0) << sampled.err;
  for (const char *t :
       {"\t00:00:00\t", "\t00:00:02\t", "\t00:00:04\t", "\t00:00:06\t", "\t00:00:08\t"})
    EXPECT_NE(sampled.out.find(t), std::string::npos) << t;
  EXPECT_EQ(sampled.out.rfind(kHeader + "1\t00:00:00\t", 0), 0u);
  EXPECT_EQ(sampled.out.find("\t00:00:01\t"), std::string::npos);
  EXPECT_EQ(sampled.out.find("\t00:00:03\t"), std::string::npos);
  EXPECT_EQ(std::count(sampled.out.begin(), sampled.out.end(), '\n'), 6);
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
  EXPECT_EQ(missing.err, "Failed to Load File!\n" + (dir / "none.txt").string() +
                             ": cannot open the file: No such file or directory\n");

  ToolRun unwritable = replay("--out " + (dir / "no" / "such" / "x.txt").string() + " -", "");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("Could not save table to specified file: "), std::string::npos);
}

// ------------------------------------------------------------------ odd input and targets

TEST_F(ReplayToolTest, CaptureThatCannotBeReadFailsAndTouchesNothing) {
  fs::path out = dir / "r.txt";
  std::ofstream(out) << "keep";
  fs::create_directory(dir / "folder");
  ToolRun folder = replay("--out " + out.string() + " " + (dir / "folder").string());
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.out, "");
  EXPECT_EQ(folder.err, "vexal-replay: cannot open capture '" + (dir / "folder").string() +
                            "': Is a directory\n");
  EXPECT_EQ(readFile(out), "keep");
  // Opens, then every read fails.
  ToolRun unreadable = replay("--out " + out.string() + " /proc/self/mem");
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.err,
            "vexal-replay: cannot read capture '/proc/self/mem': Input/output error\n");
  EXPECT_EQ(readFile(out), "keep");
  ToolRun toStdout = replay("/proc/self/mem");
  EXPECT_EQ(toStdout.status, 1);
  EXPECT_EQ(toStdout.out, "");
}

TEST_F(ReplayToolTest, FailedWritesToStandardOutputFail) {
  // A large table (written while the tool runs) and a small one (only at the final flush).
  fs::path big = dir / "big.txt";
  {
    std::ofstream f(big, std::ios::binary);
    f << kHeader;
    for (int i = 1; i <= 100000; ++i) f << i << "\t10:00:00\t12.34\tV\tDCV  600V\tContinuous\r\n";
  }
  for (std::string input : {"--open " + big.string() + " -", std::string("-")}) {
    SCOPED_TRACE(input);
    ToolRun full = shell(tool() + " " + input + " </dev/null 2>&1 >/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.out.find("cannot write to standard output: No space left on device"),
              std::string::npos)
        << full.out;
    EXPECT_EQ(full.out.find("terminate"), std::string::npos);
    ToolRun closed = shell(tool() + " " + input + " </dev/null 2>&1 >&-");
    EXPECT_EQ(closed.status, 1);
    EXPECT_NE(closed.out.find("cannot write to standard output: Bad file descriptor"),
              std::string::npos)
        << closed.out;
  }
}

TEST_F(ReplayToolTest, OutDashWritesStandardOutputAndDoubleDashEndsOptions) {
  ToolRun plain = replay(capture("four_frames.cap"));
  ToolRun dash = replay("--out - " + capture("four_frames.cap"));
  EXPECT_EQ(dash.status, 0);
  EXPECT_EQ(dash.out, plain.out);
  EXPECT_FALSE(fs::exists("-"));

  fs::copy_file(capture("four_frames.cap"), dir / "-x.cap");
  ToolRun named = shell("cd " + dir.string() + " && " + tool() + " -- -x.cap");
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(named.out, plain.out);
  EXPECT_EQ(shell("cd " + dir.string() + " && " + tool() + " -x.cap 2>/dev/null").status, 2);
  EXPECT_EQ(shell("cd " + dir.string() + " && " + tool() + " -- -x.cap more 2>/dev/null").status,
            2);
}

TEST_F(ReplayToolTest, OutOntoLinkToStandardOutputGoesDownThePipe) {
  // What --out /dev/stdout does when standard output is a pipe.
  fs::path link = dir / "stdout";
  fs::create_symlink("/proc/self/fd/1", link);
  ToolRun plain = replay(capture("four_frames.cap"));
  ToolRun r =
      shell(tool() + " --out " + link.string() + " " + capture("four_frames.cap") + " | cat");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, plain.out);
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(ReplayToolTest, TabAsDecimalSeparatorStillGivesAFileThatOpens) {
  fs::path out = dir / "tab.txt";
  ToolRun saved = shell(tool() + " --decimal \"$(printf '\\t')\" --out " + out.string() + " " +
                        capture("four_frames.cap"));
  ASSERT_EQ(saved.status, 0);
  EXPECT_NE(readFile(out).find("\t12 34\t"), std::string::npos);
  ToolRun reopened = replay("--open " + out.string() + " -", "");
  EXPECT_EQ(reopened.status, 0) << reopened.err;
  EXPECT_EQ(std::count(reopened.out.begin(), reopened.out.end(), '\n'), 4);
}

TEST_F(ReplayToolTest, BadTokensAreCutAndEscapedInMessages) {
  const std::string huge = "\x1b[2J" + std::string(1 << 20, 'Z');
  ToolRun item = replay("-", huge + "\n");
  EXPECT_EQ(item.status, 2);
  EXPECT_LT(item.err.size(), 200u);
  EXPECT_EQ(item.err.find('\x1b'), std::string::npos);
  EXPECT_EQ(item.err.rfind("line 1: unknown item '\\x1b[2JZZZ", 0), 0u) << item.err;
  ToolRun data = replay("-", "R 00 \x07" + std::string(100000, 'f') + "\n");
  EXPECT_LT(data.err.size(), 200u);
  EXPECT_NE(data.err.find("data byte '\\x07fff"), std::string::npos) << data.err;

  std::ofstream(dir / "args.sh")
      << "exec " << tool()
      << " --limit \"$(printf '\\033')$(head -c 100000 /dev/zero | tr '\\0' 9)\" x\n";
  ToolRun limit = shell("sh " + (dir / "args.sh").string() + " 2>&1");
  EXPECT_EQ(limit.status, 2);
  EXPECT_EQ(limit.out.find('\x1b'), std::string::npos);
  EXPECT_NE(limit.out.find("--limit '\\x1b999"), std::string::npos);
  EXPECT_LT(limit.out.size(), 1000u);
}

}  // namespace
