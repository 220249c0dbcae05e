// The vexal-log tool's refusals, all before it looks for the cable: options it cannot read
// (status 2), an existing file without --append, a file it cannot write, a file of another
// format to append to (status 1), each leaving every file as it was.
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
using vexal::test_tools::ToolRun;

class LogToolTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-log-tool-test-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the tool with `args`; a run that got as far as waiting for the cable is ended by
  // the timeout and counts as status 124.
  ToolRun log(const std::string &args) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string cmd = "cd " + dir.string() + " && timeout 5 " + std::string(VEXAL_BIN_DIR) +
                            "/vexal-log " + args + " </dev/null >/dev/null 2>" + errFile.string();
    ToolRun run = vexal::test_tools::runShell(cmd, errFile);
    fs::remove(errFile);
    return run;
  }
  std::size_t filesInDir() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }
};

TEST_F(LogToolTest, OptionsItCannotReadAreStatus2WithTheReason) {
  const struct {
    const char *args, *says;
  } cases[] = {
      {"", "--out FILE is needed"},
      {"--out", "--out needs a value"},
      {"--out a.tsv --format xml", "--format 'xml': tsv, csv or jsonl"},
      {"--out a.tsv --count 0", "--count '0' is not a whole number above 0"},
      {"--out a.tsv --count 2x", "--count '2x'"},
      {"--out a.tsv --duration -3", "--duration '-3' is not a number of seconds"},
      {"--out a.tsv --sampling 1x", "--sampling: '1x' is not a valid integer value"},
      {"--out a.tsv --limit 99999999999", "--limit '99999999999' is not a whole number"},
      {"--out a.tsv --decimal 0123456789", "--decimal takes at most 9 bytes"},
      {"--out a.tsv extra", "unexpected argument 'extra'"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    const ToolRun r = log(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: vexal-log"), std::string::npos);
    EXPECT_EQ(filesInDir(), 0u) << "no file made";
  }
}

TEST_F(LogToolTest, AnExistingFileIsRefusedBeforeAnythingElseAndKeptAsItWas) {
  const fs::path file = dir / "monday.tsv";
  std::ofstream(file, std::ios::binary) << "held readings\r\n";
  const ToolRun r = log("--out monday.tsv");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "vexal-log: 'monday.tsv' exists; --append continues it\n");
  EXPECT_EQ(readFile(file), "held readings\r\n");

  const ToolRun other = log("--append --format csv --out monday.tsv");
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("does not start as a file of this --format"), std::string::npos)
      << other.err;
  EXPECT_EQ(readFile(file), "held readings\r\n");
}

TEST_F(LogToolTest, AFileItCannotWriteIsStatus1AtOnce) {
  const ToolRun r = log("--out no-such-folder/x.tsv");
  EXPECT_EQ(r.status, 1) << "not waiting for the cable";
  EXPECT_EQ(r.err, "vexal-log: cannot write 'no-such-folder/x.tsv': No such file or directory\n");
  fs::create_directory(dir / "folder");
  EXPECT_EQ(log("--append --out folder").status, 1);
  EXPECT_EQ(filesInDir(), 1u) << "only the folder";
}

}  // namespace
