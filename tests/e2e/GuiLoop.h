#pragma once
// The GUI thread of a guest test: the program's own LinkLoop (hand-overs, change notices,
// the watchdog timer) as the connection control's shell, collecting message boxes; and
// `HangGuard`.

#include <chrono>
#include <string>
#include <vector>

#include "link/ConnectionControl.h"
#include "link/LinkLoop.h"

namespace vexal::e2e {

class GuiLoop : public LinkLoop, public LinkShell {
 public:
  // The connection control whose Timer2Timer the watchdog timer calls.
  void setConnection(ConnectionControl *connection) {
    setWatchdogHandler([connection] {
      if (connection) connection->Timer2Timer();
    });
  }

  // LinkShell
  void timer2Start() override { startWatchdog(); }
  void timer2Stop() override { stopWatchdog(); }
  void showInformation(const std::string &text) override { messages.push_back(text); }
  void linkStateChanged() override {}

  std::vector<std::string> messages;  // texts of the message boxes shown
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
