// The vexal-log tool's refusals, all before it looks for the cable: options it cannot read
// (status 2), an existing file without --append, a file it cannot write, a file of another
// format to append to, a reader that has gone (status 1), each leaving every file as it was;
// and a run on this machine, where no cable is ever plugged in (status 3).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/ToolRun.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;
using vexal::test_tools::readFile;
using vexal::test_tools::ToolRun;

const std::string kLogTool = std::string(VEXAL_BIN_DIR) + "/vexal-log";

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
    const std::string cmd = "cd " + dir.string() + " && timeout 5 " + kLogTool + " " + args +
                            " </dev/null >/dev/null 2>" + errFile.string();
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

// Standard output is a pipe whose reader has gone before the header could be written (as in
// `vexal-log --out - | head -0`): a failed write, told, not a death by SIGPIPE.
TEST_F(LogToolTest, AReaderThatHasGoneIsABrokenPipeWithStatus1) {
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  ::close(out[0]);
  const std::string errFile = (dir / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT, 0644);
  // The child starts with SIGPIPE as a program normally does: deadly unless it says otherwise.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t deadly;
  sigemptyset(&deadly);
  sigaddset(&deadly, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &deadly);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::string tool = kLogTool, outArg = "--out", dash = "-";
  char *argv[] = {tool.data(), outArg.data(), dash.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, &attributes, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(readFile(errFile), "vexal-log: cannot write to standard output: Broken pipe\n");
}

// No cable is plugged into this machine: a run that ends without ever having seen one says so
// and has a status of its own, and leaves no header-only file that would refuse the next
// run. A file it was to continue stays, only its cut-off last line is taken away (and told).
TEST_F(LogToolTest, ARunThatNeverSawTheCableSaysSoWithStatus3AndLeavesNoFile) {
  const std::string neverSeen =
      "vexal-log: the cable was never seen: no HID device named \"USB to Serial\" was there "
      "while the run lasted\n";
  for (const char *format : {"tsv", "csv", "jsonl"}) {
    SCOPED_TRACE(format);
    const ToolRun r = log(std::string("--duration 0.3 --format ") + format + " --out new.log");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, neverSeen);
    EXPECT_EQ(filesInDir(), 0u) << "no header-only file left";
  }

  const fs::path kept = dir / "kept.jsonl";
  const std::string whole = "{\"no\":1}\n{\"no\":2}\n";
  std::ofstream(kept, std::ios::binary) << whole << "{\"no\":3,\"ti";
  const ToolRun appended = log("--duration 0.3 --format jsonl --append --out kept.jsonl");
  EXPECT_EQ(appended.status, 3);
  EXPECT_EQ(appended.err,
            "vexal-log: the last line of 'kept.jsonl' was cut off (11 bytes without a line "
            "end): it is removed, and the rows go on after the last whole line\n" +
                neverSeen);
  EXPECT_EQ(readFile(kept), whole) << "a file it continued is never removed";
}

}  // namespace
