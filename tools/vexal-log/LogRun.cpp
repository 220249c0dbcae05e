#include "LogRun.h"

#include <unistd.h>

#include "common/TextEncoding.h"
#include "link/CableIdentity.h"
#include "link/ConnectionControl.h"

namespace vexal {

using namespace std::chrono_literals;

namespace {
// A connect that found no cable to open is tried again after this long.
constexpr auto kConnectRetry = 1s;
}  // namespace

LogRun::LogRun(const LogOptions &options, LogFile &file, int signalFd)
    : options_(options),
      file_(file),
      signalFd_(signalFd),
      // Rows written to the same terminal would run into a status line.
      statusLine_(2, !(file.isStandardOutput() && ::isatty(1) == 1)) {}

LogRun::~LogRun() {
  // The loop lets go of the controller before the session (and its controller) goes.
  loop_.detach();
  if (session_) session_->setObserver(nullptr);
  session_.reset();
}

int LogRun::run() {
  SessionTimer &watchdog = *this;
  session_ = std::make_unique<MeterSession>(clock_, makeSystemHidPlatform(), watchdog);
  // The options were checked when they were read.
  applyRecordingOptions(options_.recording, *session_);
  if (!session_->HidCtl().HidAvailable()) {
    warn("vexal-log: the HID services of this system cannot be used");
    end(kExitFailed);
    return finish();
  }
  SessionObserver &observer = *this;
  session_->setObserver(&observer);
  loop_.attach(session_->HidCtl());
  // Everything the logger waits for wakes the loop: reports, notices, signals, timers.
  loop_.setLongestWait(std::chrono::milliseconds(1000));
  loop_.setWatchdogHandler([this] { session_->Timer2Timer(); });
  loop_.setTickHandler([this] { tick(); });
  loop_.watch(signalFd_, [this] {
    char bytes[16];
    while (::read(signalFd_, bytes, sizeof bytes) > 0) {
    }
    end(0);
  });
  noteCable();
  refreshStatus();

  while (!ended()) {
    auto timeout = std::chrono::milliseconds(60'000);
    if (options_.duration) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          started_ + *options_.duration - LinkLoop::Clock::now());
      if (left <= 0ms) {
        end(0);
        break;
      }
      timeout = std::min(timeout, left);
    }
    loop_.runUntil([this] { return ended() || wantsConnect(); }, timeout);
    if (!ended() && wantsConnect()) connect();
  }

  if (*status_ == 0 && !sawCable_) {
    warn(std::string("vexal-log: the cable was never seen: no HID device named \"") + kCableName +
         "\" was there while the run lasted");
    status_ = kExitNoCable;
  }
  return finish();
}

// Reading stops and the devices are given back before the file is closed. A run that ends
// without success before its first row leaves no file behind that it made.
int LogRun::finish() {
  session_->setObserver(nullptr);
  loop_.detach();
  session_.reset();
  statusLine_.finish();
  if (*status_ != 0 && file_.removeIfNoRows()) return *status_;
  if (!file_.close()) {
    warn("vexal-log: cannot write '" + options_.out + "': " + file_.error());
    return kExitFailed;
  }
  return *status_;
}

void LogRun::end(int status) {
  if (!status_) status_ = status;
}

bool LogRun::cableSelected() const {
  const ConnectionControl &link = session_->link();
  const int selected = link.DevListSelected();
  return selected >= 0 && link.DevListBox()[static_cast<std::size_t>(selected)].text == kCableName;
}

// The link is not open yet (or found nothing to open) and a cable is there to open.
bool LogRun::wantsConnect() const {
  if (session_->link().LinkOpened() || !cableSelected()) return false;
  return !nextConnect_ || LinkLoop::Clock::now() >= *nextConnect_;
}

// "Connect": the cable is claimed, gets its line rate and is read. A cable this user may
// not read ends the run (the message names the udev rule).
void LogRun::connect() {
  session_->link().Panel2Click();
  if (!session_->link().LinkOpened()) nextConnect_ = LinkLoop::Clock::now() + kConnectRetry;
  refreshStatus();
}

void LogRun::tick() {
  session_->SampInterTimeTimer();
  if (!file_.syncInBackground()) {
    warn("vexal-log: cannot write '" + options_.out + "': " + file_.error());
    end(kExitFailed);
  }
  refreshStatus();
}

void LogRun::frameDecoded(const ReportOutcome &outcome) {
  if (outcome.limitReached && !limitWarned_) {
    limitWarned_ = true;
    warn("vexal-log: the record limit of " + std::to_string(session_->recorder.MaxRecords) +
         " readings is reached: readings are no longer recorded (--limit N raises it)");
  }
  if (outcome.recorded && !ended()) {
    const ReadingTable &table = session_->cds1;
    if (!file_.writeRow(table.view(table.rowCount() - 1))) {
      warn("vexal-log: cannot write '" + options_.out + "': " + file_.error());
      end(kExitFailed);
    } else if (options_.count && file_.rowsWritten() >= *options_.count) {
      end(0);
    }
  }
  refreshStatus();
}

void LogRun::linkChanged() {
  noteCable();
  refreshStatus();
}

void LogRun::noteCable() {
  if (cableSelected()) sawCable_ = true;
}

void LogRun::informationRequested(const std::string &text) {
  if (text == kNoAccessText) {
    warn("vexal-log: " + text);
    end(kExitFailed);
    return;
  }
  if (told_.insert(text).second) warn("vexal-log: " + text);
}

void LogRun::errorRaised(const std::string &message) {
  warn("vexal-log: " + message);
}

std::string LogRun::linkState() const {
  const ConnectionControl &link = session_->link();
  if (!cableSelected()) return "waiting for the cable";
  if (!link.LinkOpened()) return "connecting";
  return link.USBConDown() ? "reading" : "re-opening the link";
}

void LogRun::refreshStatus() {
  if (!statusLine_.shown() || !session_) return;
  StatusFacts facts;
  facts.recorded = file_.rowsWritten();
  const ReadingTable &table = session_->cds1;
  if (!table.empty()) {
    const TableRowView row = table.view(table.rowCount() - 1);
    facts.value = row.value ? cp936ToUtf8(*row.value) : "";
    facts.unit = row.unit ? cp936ToUtf8(*row.unit) : "";
    facts.function = row.vRange ? cp936ToUtf8(*row.vRange) : "";
  }
  facts.link = linkState();
  facts.running =
      std::chrono::duration_cast<std::chrono::seconds>(LinkLoop::Clock::now() - started_);
  statusLine_.update(facts);
}

void LogRun::warn(const std::string &text) {
  statusLine_.warn(text);
}

}  // namespace vexal
