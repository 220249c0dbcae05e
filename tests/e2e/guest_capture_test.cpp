// Guest test: the user's tools on a real kernel HID stack. vexal-capture records the virtual
// cable into a capture file, vexal-replay decodes that file, and the sim plays it back to a
// reader as a cable would. Runs inside the QEMU guest (run-e2e.sh); skips elsewhere.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <hidapi.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "support/MeterFrames.h"

extern char **environ;

namespace vexal::e2e {
namespace {

const std::string kWorkedExample = kWorkedExampleFrame;

bool isEndOfWorkedExample(const std::string &frame) {
  const std::string whole = kWorkedExample;
  return !frame.empty() && frame.size() <= whole.size() &&
         whole.compare(whole.size() - frame.size(), frame.size(), frame) == 0;
}

// Runs a program with its standard output into `outPath`; returns its exit status, or -1
// when it did not end within `limit`.
int runTool(std::vector<std::string> argv, const std::string &outPath, std::chrono::seconds limit) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<char *> args;
  for (std::string &a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The serial-byte transmissions in a capture's R lines, as hex text.
std::vector<std::string> captureFrames(const std::string &capture, int &reports, int &waits) {
  std::vector<std::string> frames;
  std::string current;
  std::istringstream lines(capture);
  std::string line;
  reports = waits = 0;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string tag, id, byte;
    f >> tag;
    if (tag == "W") ++waits;
    if (tag != "R") continue;
    ++reports;
    f >> id;
    std::vector<std::string> bytes;
    while (f >> byte) bytes.push_back(byte);
    const unsigned n = bytes.empty() ? 0 : std::stoul(bytes[0], nullptr, 16) & 0x0F;
    if (n >= 1 && n <= 9) {
      for (unsigned k = 1; k <= n && k < bytes.size(); ++k) current += bytes[k];
    } else if (!current.empty()) {
      frames.push_back(current);
      current.clear();
    }
  }
  return frames;
}

TEST(CaptureOnHidraw, RecordReplayAndPlayBack) {
  if (!haveUhid()) GTEST_SKIP() << "needs /dev/uhid (run through tests/e2e/run-e2e.sh)";
  const std::string capture = "/tmp/vexal-e2e-recorded.txt";
  {
    SimProcess sim({"--scenario", "steady", "--period-ms", "300"});
    ASSERT_TRUE(sim.started()) << sim.why();
    std::this_thread::sleep_for(300ms);  // the kernel adds the device a moment after
    ASSERT_EQ(runTool({VEXAL_CAPTURE_PATH, "--seconds", "3", "--out", capture}, "/dev/null", 30s),
              0);
    EXPECT_GE(sim.waitForEvent("feature 00 60 09 00 00 03 00 00 00 00 rate 2400"), 0);
    EXPECT_EQ(sim.stop(), 0);
  }
  const std::string text = readFile(capture);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text[0], '#') << "a comment header names the device";
  int reports = 0, waits = 0;
  const auto frames = captureFrames(text, reports, waits);
  EXPECT_GE(reports, 100) << "about one report every 12 ms for 3 s";
  EXPECT_GE(waits, 50) << "the time between reports is kept";
  ASSERT_GE(frames.size(), 5u);
  // Reading starts when the tool has set the cable up, possibly while a frame is on its way.
  EXPECT_TRUE(isEndOfWorkedExample(frames[0])) << frames[0];
  for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_EQ(frames[i], kWorkedExample);

  const std::string table = "/tmp/vexal-e2e-table.txt";
  ASSERT_EQ(runTool({VEXAL_REPLAY_PATH, "--decimal", ".", capture}, table, 60s), 0);
  const std::string rows = readFile(table);
  int recorded = 0;
  for (std::size_t at = rows.find("\t12.34\t"); at != std::string::npos;
       at = rows.find("\t12.34\t", at + 1))
    ++recorded;
  EXPECT_GE(recorded, 2) << rows;

  // The recorded capture, played back by the sim, reaches a reader as the original did.
  SimProcess replay({"--capture", capture});
  ASSERT_TRUE(replay.started()) << replay.why();
  hid_init();
  hid_device *dev = nullptr;
  for (int i = 0; i < 200 && !dev; ++i, std::this_thread::sleep_for(20ms))
    dev = hid_open(0x1a86, 0xe008, nullptr);
  ASSERT_NE(dev, nullptr);
  const unsigned char feature[10] = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03};
  ASSERT_EQ(hid_send_feature_report(dev, feature, sizeof feature), 10);
  std::string bytes;
  int played = 0;
  const auto end = std::chrono::steady_clock::now() + 2s;
  while (std::chrono::steady_clock::now() < end) {
    unsigned char buf[16];
    const int n = hid_read_timeout(dev, buf, sizeof buf, 50);
    ASSERT_GE(n, 0);
    if (n == 0) continue;
    const unsigned count = buf[0] & 0x0F;
    if (count >= 1 && count <= 9) {
      char hex[3];
      for (unsigned k = 1; k <= count && k < static_cast<unsigned>(n); ++k) {
        std::snprintf(hex, sizeof hex, "%02X", buf[k]);
        bytes += hex;
      }
    } else if (!bytes.empty()) {
      if (played == 0) {
        EXPECT_TRUE(isEndOfWorkedExample(bytes)) << bytes;  // as recorded
      } else {
        EXPECT_EQ(bytes, kWorkedExample);
      }
      ++played;
      bytes.clear();
    }
  }
  EXPECT_GE(played, 3);
  hid_close(dev);
  hid_exit();
  EXPECT_EQ(replay.stop(), 0);
}

}  // namespace
}  // namespace vexal::e2e
