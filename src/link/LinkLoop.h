#pragma once
// The GUI thread of a program without a window (the logger, the guest tests): it carries out
// the HID controller's hand-overs, watches the device-change notice, runs the link watchdog
// as a 1000 ms timer and a timer that ticks every second, and watches further descriptors
// (a signal pipe), all on the calling thread.

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "link/HidControllerClass.h"

namespace vexal {

class LinkLoop {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kWatchdogInterval{1000};
  static constexpr std::chrono::milliseconds kTickInterval{1000};

  LinkLoop();
  virtual ~LinkLoop();
  LinkLoop(const LinkLoop &) = delete;
  LinkLoop &operator=(const LinkLoop &) = delete;

  // The controller whose hand-overs and notices this loop serves; detach before it goes.
  void attach(THidDeviceController &controller);
  void detach();
  // What the watchdog timer calls when it fires (the connection control's Timer2Timer).
  void setWatchdogHandler(std::function<void()> handler) { onWatchdog_ = std::move(handler); }
  // What the one-second timer calls; it ticks from the moment it is set, never stopped.
  void setTickHandler(std::function<void()> handler);
  // Calls `handler` whenever `fd` is readable (the handler drains it).
  void watch(int fd, std::function<void()> handler);

  // The watchdog: (re)start, so the full interval counts from now; stop.
  void startWatchdog() { watchdogDue_ = Clock::now() + kWatchdogInterval; }
  void stopWatchdog() { watchdogDue_.reset(); }
  bool watchdogRunning() const { return watchdogDue_.has_value(); }

  // The longest single wait for something to happen (default 20 ms): `done` of runUntil is
  // looked at least this often. A program that waits only for its descriptors and timers
  // sets it longer, so that it does not wake for nothing.
  void setLongestWait(std::chrono::milliseconds wait) { longestWait_ = wait; }

  // Runs the loop until `done` holds or `timeout` passes; returns whether it held.
  bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);
  void runFor(std::chrono::milliseconds duration);

  int watchdogTicks = 0;

 private:
  void runOnce(Clock::time_point until);
  void runDueTimers();

  THidDeviceController *controller_ = nullptr;
  int wakeFd_ = -1;
  std::chrono::milliseconds longestWait_{20};
  std::optional<Clock::time_point> watchdogDue_;
  std::function<void()> onWatchdog_;
  std::optional<Clock::time_point> tickDue_;
  std::function<void()> onTick_;
  struct Watched {
    int fd;
    std::function<void()> handler;
  };
  std::vector<Watched> watched_;
};

}  // namespace vexal
