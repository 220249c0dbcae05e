#include "SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

extern char **environ;

namespace vexal::e2e {

std::string meterSimPath() {
  if (const char *env = std::getenv("VEXAL_METER_SIM"); env && *env) return env;
#ifdef VEXAL_METER_SIM_PATH
  return VEXAL_METER_SIM_PATH;
#else
  return "vexal-meter-sim";
#endif
}

bool haveUhid() {
  const int fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

SimProcess::SimProcess(const std::vector<std::string> &args) {
  char pattern[] = "/tmp/vexal-sim.XXXXXX";
  if (!mkdtemp(pattern)) {
    why_ = "mkdtemp failed";
    return;
  }
  dir_ = pattern;
  log_ = dir_ + "/sim.log";
  control_ = dir_ + "/control";
  std::vector<std::string> argv = {meterSimPath(), "--log", log_, "--control", control_};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char *> cargv;
  for (std::string &a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  if (posix_spawn(&pid_, cargv[0], nullptr, nullptr, cargv.data(), environ) != 0) {
    why_ = "cannot start " + argv[0];
    pid_ = -1;
    return;
  }
  if (waitForEvent("plugged", 10s) < 0) {
    why_ = "the sim did not plug its cable in";
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      why_ += " (it exited with status " + std::to_string(WEXITSTATUS(status)) + ")";
      pid_ = -1;
    }
    return;
  }
  started_ = true;
}

SimProcess::~SimProcess() {
  stop();
  if (!dir_.empty()) {
    unlink(log_.c_str());
    unlink(control_.c_str());
    rmdir(dir_.c_str());
  }
}

bool SimProcess::command(const std::string &line) {
  const int fd = open(control_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string text = line + "\n";
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

std::vector<std::string> SimProcess::events() const {
  std::vector<std::string> lines;
  std::ifstream in(log_);
  std::string line;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    lines.push_back(space == std::string::npos ? line : line.substr(space + 1));
  }
  return lines;
}

int SimProcess::waitForEvent(const std::function<bool(const std::string &)> &match,
                             std::chrono::milliseconds timeout, std::size_t from) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto lines = events();
    for (std::size_t i = from; i < lines.size(); ++i)
      if (match(lines[i])) return static_cast<int>(i);
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(20ms);
  }
}

int SimProcess::waitForEvent(const std::string &prefix, std::chrono::milliseconds timeout,
                             std::size_t from) const {
  return waitForEvent([&](const std::string &l) { return l.rfind(prefix, 0) == 0; }, timeout, from);
}

std::vector<std::string> SimProcess::framesSent() const {
  std::vector<std::string> frames;
  for (const std::string &l : events())
    if (l.rfind("frame ", 0) == 0) frames.push_back(l.substr(l.rfind(' ') + 1));
  return frames;
}

std::optional<std::string> wholeFrameSent(const std::string &event) {
  const std::string hex = event.substr(event.rfind(' ') + 1);
  if (event.rfind("frame ", 0) == 0) return hex;
  if (event.rfind("cut frame ", 0) == 0 && hex.size() >= 44 && hex.compare(40, 4, "0D0A") == 0)
    return hex;
  return std::nullopt;
}

std::vector<std::string> SimProcess::framesSentWhole() const {
  std::vector<std::string> frames;
  for (const std::string &l : events())
    if (auto hex = wholeFrameSent(l)) frames.push_back(*hex);
  return frames;
}

int SimProcess::stop() {
  if (pid_ < 0) return status_;
  command("quit");
  int status = 0;
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(20ms);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return status_ = 128 + SIGKILL;
}

}  // namespace vexal::e2e
