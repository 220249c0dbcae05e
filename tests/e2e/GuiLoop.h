#pragma once
// A stand-in for the program's GUI thread in guest tests: it carries out the controller's
// hand-overs, watches the device-change notice, runs the link watchdog as a 1000 ms timer and
// collects message boxes, all on the test's own thread.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/ConnectionControl.h"
#include "link/HidControllerClass.h"

namespace vexal::e2e {

class GuiLoop : public LinkShell {
 public:
  using Clock = std::chrono::steady_clock;

  GuiLoop();
  ~GuiLoop() override;
  GuiLoop(const GuiLoop &) = delete;
  GuiLoop &operator=(const GuiLoop &) = delete;

  // The controller whose hand-overs and notices this loop serves.
  void attach(THidDeviceController &controller);
  // The connection control whose Timer2Timer the watchdog timer calls.
  void setConnection(ConnectionControl *connection) { connection_ = connection; }

  // Runs the loop until `done` holds or `timeout` passes; returns whether it held.
  bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout);
  void runFor(std::chrono::milliseconds duration);

  // LinkShell
  void timer2Start() override;
  void timer2Stop() override { timerDue_.reset(); }
  void showInformation(const std::string &text) override { messages.push_back(text); }
  void linkStateChanged() override {}

  std::vector<std::string> messages;  // texts of the message boxes shown
  int watchdogTicks = 0;

 private:
  void runOnce(Clock::time_point until);

  THidDeviceController *controller_ = nullptr;
  ConnectionControl *connection_ = nullptr;
  int wakeFd_ = -1;
  std::optional<Clock::time_point> timerDue_;
};

// Ends the whole test program when a test does not finish in time: a hang (two threads
// waiting for each other) must fail the run, not stall it until the guest is killed.
class HangGuard {
 public:
  explicit HangGuard(std::chrono::seconds limit);
  ~HangGuard();

 private:
  struct State;
  State *state_;
};

}  // namespace vexal::e2e
