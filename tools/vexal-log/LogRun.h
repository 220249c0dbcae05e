#pragma once
// One run of the logger: the session the window drives, on the machine's HID devices, with
// the program's own event loop in place of the window. Finds the cable as "Connect" does,
// records under the window's rules and writes each recorded row to the output as it is
// recorded, until a signal, the duration or the count ends it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "StatusLine.h"
#include "app/LogFile.h"
#include "app/MeterSession.h"
#include "app/RecordingOptions.h"
#include "link/LinkLoop.h"
#include "record/TimeOfDay.h"

namespace vexal {

struct LogOptions {
  RecordingOptions recording;
  LogFormat format = LogFormat::Tsv;
  std::optional<std::chrono::milliseconds> duration;
  std::optional<std::uint64_t> count;
  bool append = false;
  std::string out;
};

class LogRun : private SessionObserver, private SessionTimer {
 public:
  // `signalFd` becomes readable when the run is to end (SIGINT, SIGTERM).
  LogRun(const LogOptions &options, LogFile &file, int signalFd);
  ~LogRun() override;
  LogRun(const LogRun &) = delete;
  LogRun &operator=(const LogRun &) = delete;

  // Runs to the end; returns the exit status.
  int run();

 private:
  bool ended() const { return status_.has_value(); }
  void end(int status);
  int finish();
  void noteCable();
  bool cableSelected() const;
  bool wantsConnect() const;
  void connect();
  void tick();
  void refreshStatus();
  void warn(const std::string &text);
  std::string linkState() const;

  // SessionObserver
  void frameDecoded(const ReportOutcome &outcome) override;
  void linkChanged() override;
  void informationRequested(const std::string &text) override;
  void errorRaised(const std::string &message) override;
  // SessionTimer: the watchdog Timer2
  void start() override { loop_.startWatchdog(); }
  void stop() override { loop_.stopWatchdog(); }

  const LogOptions &options_;
  LogFile &file_;
  int signalFd_;
  SystemClock clock_;
  std::unique_ptr<MeterSession> session_;
  LinkLoop loop_;          // after the session: it lets go of the controller first
  StatusLine statusLine_;  // on standard error
  LinkLoop::Clock::time_point started_ = LinkLoop::Clock::now();
  std::optional<LinkLoop::Clock::time_point> nextConnect_;
  bool limitWarned_ = false;
  bool sawCable_ = false;       // the cable was listed at some moment of the run
  std::set<std::string> told_;  // information texts already shown
  std::optional<int> status_;
};

}  // namespace vexal
