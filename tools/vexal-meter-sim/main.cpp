// vexal-meter-sim: a virtual meter behind a virtual "USB to Serial" cable, for trying Vexal
// and for end-to-end tests without hardware. Linux only (/dev/uhid).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "CableReports.h"
#include "CaptureFile.h"
#include "Options.h"
#include "ReportSource.h"
#include "Scenario.h"
#include "UhidDevice.h"

namespace vexal::sim {
namespace {

Micros monotonicMicros() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<Micros>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string spacedHex(const std::vector<std::uint8_t> &bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) text += ' ';
    text += hexText(&bytes[i], 1);
  }
  return text;
}

// Event log: one line per event, seconds since start first, flushed at once so that a test
// can follow it while the sim runs.
class EventLog {
 public:
  explicit EventLog(const std::string &path) : start_(monotonicMicros()) {
    if (path == "-")
      file_ = stdout;
    else if (!path.empty())
      file_ = std::fopen(path.c_str(), "a");
  }
  ~EventLog() {
    if (file_ && file_ != stdout) std::fclose(file_);
  }
  bool ok(const std::string &path) const { return path.empty() || file_; }

  void line(const char *format, ...) __attribute__((format(printf, 2, 3))) {
    if (!file_) return;
    std::fprintf(file_, "%.3f ", (monotonicMicros() - start_) / 1e6);
    va_list args;
    va_start(args, format);
    std::vfprintf(file_, format, args);
    va_end(args);
    std::fputc('\n', file_);
    std::fflush(file_);
  }

 private:
  FILE *file_ = nullptr;
  Micros start_;
};

class Simulator {
 public:
  Simulator(const Options &options, std::unique_ptr<ReportSource> source, std::size_t inputSize)
      : options_(options),
        log_(options.log),
        source_(std::move(source)),
        cable_(cableId(inputSize)),
        other_(otherId()) {}

  int run();

 private:
  UhidIdentity cableId(std::size_t inputSize) const {
    UhidIdentity id;
    id.uniq = options_.serial;
    id.inputSize = inputSize;
    return id;
  }
  static UhidIdentity otherId() {
    UhidIdentity id;
    id.name = "HID Test Gadget";
    id.vendor = 0x1209;
    id.product = 0x0001;
    id.acceptsFeatures = false;
    return id;
  }

  bool setUp();
  void plug();
  void unplug(const char *how);
  void plugOther(bool in);
  void handleCableEvent();
  void handleFeature(const std::vector<std::uint8_t> &data);
  void sendDueReports();
  void unplugIfDue();
  void endTransmission();
  void handleSignal();
  void handleControl();
  void command(const std::string &line);
  int pollTimeoutMs() const;

  const Options &options_;
  EventLog log_;
  std::unique_ptr<ReportSource> source_;
  UhidDevice cable_;
  UhidDevice other_;
  TransmissionTracker tracker_;
  bool sending_ = false;  // the line rate 2400 has been set since the cable was plugged in
  bool unplugMidFrame_ = false;
  Micros unplugAt_ = -1;  // a mid-frame unplug waiting for its moment
  bool quit_ = false;
  long frames_ = 0;
  Micros deadline_ = -1;
  int signalFd_ = -1;
  int controlFd_ = -1;
  std::string controlBuffer_;
};

bool Simulator::setUp() {
  if (!log_.ok(options_.log)) {
    std::fprintf(stderr, "vexal-meter-sim: cannot write %s\n", options_.log.c_str());
    return false;
  }
  sigset_t mask;
  sigemptyset(&mask);
  for (int s : {SIGUSR1, SIGUSR2, SIGINT, SIGTERM, SIGHUP}) sigaddset(&mask, s);
  sigprocmask(SIG_BLOCK, &mask, nullptr);
  signalFd_ = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);
  if (!options_.control.empty()) {
    if (mkfifo(options_.control.c_str(), 0600) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "vexal-meter-sim: cannot make %s: %s\n", options_.control.c_str(),
                   std::strerror(errno));
      return false;
    }
    // Read-write, so the FIFO never reports end-of-file when a writer goes away.
    controlFd_ = open(options_.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (controlFd_ < 0) {
      std::fprintf(stderr, "vexal-meter-sim: cannot open %s: %s\n", options_.control.c_str(),
                   std::strerror(errno));
      return false;
    }
  }
  std::string error;
  if (!cable_.create(error)) {
    std::fprintf(stderr, "vexal-meter-sim: %s\n", error.c_str());
    return false;
  }
  log_.line("plugged \"%s\" %04x:%04x%s%s", cable_.identity().name.c_str(),
            cable_.identity().vendor, cable_.identity().product,
            options_.serial.empty() ? "" : " serial ", options_.serial.c_str());
  std::fprintf(stderr,
               "vexal-meter-sim: \"USB to Serial\" cable plugged in; the meter starts once the "
               "line rate 2400 is set (press Connect in Vexal)\n");
  if (options_.other) plugOther(true);
  if (options_.stopAfterMs >= 0) deadline_ = monotonicMicros() + msToMicros(options_.stopAfterMs);
  return true;
}

void Simulator::plug() {
  if (cable_.created()) return;
  std::string error;
  if (!cable_.create(error)) {
    log_.line("plug failed: %s", error.c_str());
    return;
  }
  sending_ = false;
  endTransmission();
  log_.line("plugged \"%s\" %04x:%04x", cable_.identity().name.c_str(), cable_.identity().vendor,
            cable_.identity().product);
}

void Simulator::unplug(const char *how) {
  if (!cable_.created()) return;
  cable_.destroy();
  sending_ = false;
  unplugMidFrame_ = false;
  unplugAt_ = -1;
  log_.line("unplugged%s", how);
  endTransmission();
}

// A transmission whose closing report was never sent: its bytes are logged, since a receiver
// keeps them and the first report without data after it reconnects closes them as a frame.
void Simulator::endTransmission() {
  if (tracker_.inTransmission())
    log_.line("cut frame %s", hexText(tracker_.bytes().data(), tracker_.bytes().size()).c_str());
  tracker_.reset();
}

void Simulator::plugOther(bool in) {
  if (in == other_.created()) return;
  std::string error;
  if (!in)
    other_.destroy();
  else if (!other_.create(error)) {
    log_.line("other plug failed: %s", error.c_str());
    return;
  }
  log_.line("other %s \"%s\" %04x:%04x", in ? "plugged" : "unplugged",
            other_.identity().name.c_str(), other_.identity().vendor, other_.identity().product);
}

void Simulator::handleFeature(const std::vector<std::uint8_t> &data) {
  const auto rate = lineRateFromFeature(data.data(), data.size());
  log_.line("feature %s rate %u", spacedHex(data).c_str(), rate.value_or(0));
  if (rate == kRequiredLineRate) {
    if (!sending_) {
      sending_ = true;
      endTransmission();
      source_->restart(monotonicMicros());
      log_.line("sending");
    }
  } else if (sending_) {
    sending_ = false;
    log_.line("waiting for line rate %u", kRequiredLineRate);
  }
}

void Simulator::handleCableEvent() {
  const UhidDevice::Event ev = cable_.readEvent();
  switch (ev.type) {
    case UhidDevice::Event::Open:
      log_.line("open");
      break;
    case UhidDevice::Event::Close:
      log_.line("close");
      break;
    case UhidDevice::Event::SetFeature:
      handleFeature(ev.data);
      break;
    case UhidDevice::Event::GetFeature:
      log_.line("feature read");
      break;
    case UhidDevice::Event::Output:
      log_.line("output %s", spacedHex(ev.data).c_str());
      break;
    default:
      break;
  }
}

void Simulator::sendDueReports() {
  Micros now = monotonicMicros();
  while (cable_.created() && sending_ && unplugAt_ < 0 && source_->nextDue() <= now) {
    const Report report = source_->take(now);
    if (!cable_.sendInput(report)) {
      log_.line("input report failed: %s", std::strerror(errno));
      return;
    }
    if (options_.logReports) log_.line("report %s", reportText(0, report).c_str());
    if (auto frame = tracker_.feed(report)) {
      ++frames_;
      log_.line("frame %ld %s", frames_, hexText(frame->data(), frame->size()).c_str());
    }
    if (unplugMidFrame_ && tracker_.inTransmission()) {
      // The plug comes out between this report and the next one.
      unplugMidFrame_ = false;
      unplugAt_ = now + msToMicros(options_.pollMs) / 2;
      return;
    }
    now = monotonicMicros();
  }
}

void Simulator::unplugIfDue() {
  if (unplugAt_ < 0 || monotonicMicros() < unplugAt_) return;
  unplugAt_ = -1;
  char how[64];
  std::snprintf(how, sizeof how, " mid-frame after %zu bytes", tracker_.bytesSoFar());
  unplug(how);
}

void Simulator::command(const std::string &line) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word)) return;
  double ms = 0;
  if (word == "unplug")
    unplug("");
  else if (word == "unplug-mid-frame")
    unplugMidFrame_ = cable_.created();
  else if (word == "plug")
    plug();
  else if (word == "pause" && in >> ms && ms >= 0) {
    source_->silenceUntil(monotonicMicros() + msToMicros(ms));
    log_.line("paused %.0f ms", ms);
  } else if (word == "stop") {
    source_->stop();
    log_.line("stopped");
  } else if (word == "resume") {
    source_->resume();
    log_.line("resumed");
  } else if (word == "other-plug")
    plugOther(true);
  else if (word == "other-unplug")
    plugOther(false);
  else if (word == "quit")
    quit_ = true;
  else
    log_.line("unknown command: %s", line.c_str());
}

void Simulator::handleControl() {
  char buf[256];
  ssize_t n;
  while ((n = read(controlFd_, buf, sizeof buf)) > 0) controlBuffer_.append(buf, n);
  std::size_t eol;
  while ((eol = controlBuffer_.find('\n')) != std::string::npos) {
    command(controlBuffer_.substr(0, eol));
    controlBuffer_.erase(0, eol + 1);
  }
}

void Simulator::handleSignal() {
  signalfd_siginfo info{};
  while (read(signalFd_, &info, sizeof info) == sizeof info) {
    if (info.ssi_signo == SIGUSR1)
      unplug("");
    else if (info.ssi_signo == SIGUSR2)
      plug();
    else
      quit_ = true;
  }
}

int Simulator::pollTimeoutMs() const {
  Micros wake = -1;
  if (cable_.created() && sending_) wake = unplugAt_ >= 0 ? unplugAt_ : source_->nextDue();
  if (deadline_ >= 0 && (wake < 0 || deadline_ < wake)) wake = deadline_;
  if (wake < 0) return -1;
  const Micros left = wake - monotonicMicros();
  return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

int Simulator::run() {
  if (!setUp()) return 1;
  while (!quit_) {
    pollfd fds[4] = {{cable_.fd(), POLLIN, 0},
                     {other_.fd(), POLLIN, 0},
                     {signalFd_, POLLIN, 0},
                     {controlFd_, POLLIN, 0}};
    if (poll(fds, 4, pollTimeoutMs()) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) handleCableEvent();
    if (fds[1].revents & POLLIN) other_.readEvent();
    if (fds[2].revents & POLLIN) handleSignal();
    if (fds[3].revents & POLLIN) handleControl();
    sendDueReports();
    unplugIfDue();
    if (deadline_ >= 0 && monotonicMicros() >= deadline_) quit_ = true;
  }
  unplug("");
  plugOther(false);
  log_.line("exit after %ld frames", frames_);
  return 0;
}

std::unique_ptr<ReportSource> makeSource(const Options &o, std::size_t &inputSize) {
  Pacing pacing;
  pacing.framePeriod = msToMicros(o.periodMs);
  pacing.poll = msToMicros(o.pollMs);
  pacing.byteTime = 10 * 1000000 / static_cast<Micros>(o.baud);
  pacing.loop = o.loop;
  pacing.maxFrames = o.frames;
  pacing.pauseAfterFrames = o.pauseAfter;
  pacing.pauseLength = msToMicros(o.pauseMs);
  inputSize = kInputReportSize;
  if (!o.capture.empty()) {
    auto source = std::make_unique<CaptureSource>(loadCapture(o.capture), pacing);
    inputSize = source->reportSize();
    return source;
  }
  auto scenario = builtinScenario(o.scenario, o.repeats);
  if (!scenario) throw std::invalid_argument("unknown scenario " + o.scenario);
  return std::make_unique<ScenarioSource>(std::move(*scenario), pacing);
}

}  // namespace
}  // namespace vexal::sim

int main(int argc, char **argv) {
  using namespace vexal::sim;
  std::string error;
  const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options || options->help) {
    if (!options) std::fprintf(stderr, "vexal-meter-sim: %s\n", error.c_str());
    std::fputs(usageText().c_str(), options ? stdout : stderr);
    return options ? 0 : 2;
  }
  try {
    std::size_t inputSize = 0;
    auto source = makeSource(*options, inputSize);
    Simulator sim(*options, std::move(source), inputSize);
    return sim.run();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "vexal-meter-sim: %s\n", e.what());
    return 2;
  }
}
