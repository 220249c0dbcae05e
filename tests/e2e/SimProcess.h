#pragma once
// Runs vexal-meter-sim as a child process for a guest test, with its event log and control
// FIFO in a private folder, and lets the test follow the log and send commands.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexal::e2e {

using namespace std::chrono_literals;

// Where the sim binary is: $VEXAL_METER_SIM, else the path this program was built with.
std::string meterSimPath();

// The hex text of a frame whose 22 bytes all went out, from an event line: "frame N HEX", or
// "cut frame HEX" when the bytes hold the line end; nothing for any other line.
std::optional<std::string> wholeFrameSent(const std::string &event);

// True where /dev/uhid can be opened (inside the guest, or on a machine with uhid loaded).
bool haveUhid();

class SimProcess {
 public:
  // Starts the sim with these extra arguments and waits until its cable is plugged in.
  // On failure, started() is false and why() says what went wrong.
  explicit SimProcess(const std::vector<std::string> &args);
  ~SimProcess();
  SimProcess(const SimProcess &) = delete;
  SimProcess &operator=(const SimProcess &) = delete;

  bool started() const { return started_; }
  const std::string &why() const { return why_; }
  pid_t pid() const { return pid_; }

  // Sends one control command ("unplug", "plug", "pause 1500", ...).
  bool command(const std::string &line);
  // The event lines logged so far, without their time stamps.
  std::vector<std::string> events() const;
  // Waits until an event line from index `from` on satisfies `match`; returns its index or -1.
  int waitForEvent(const std::function<bool(const std::string &)> &match,
                   std::chrono::milliseconds timeout = 10s, std::size_t from = 0) const;
  // Waits for an event line that starts with `prefix`.
  int waitForEvent(const std::string &prefix, std::chrono::milliseconds timeout = 10s,
                   std::size_t from = 0) const;
  // "frame N HEX" lines: the transmissions the sim has completed, as hex text.
  std::vector<std::string> framesSent() const;
  // The frames whose 22 bytes all went out, in order: those completed, and those whose closing
  // report was cut off, which a receiver closes with the first report without data once it
  // reconnects.
  std::vector<std::string> framesSentWhole() const;
  // Ends the sim (quit command, then SIGKILL after 5 s); returns its exit status.
  int stop();

 private:
  std::string dir_, log_, control_;
  pid_t pid_ = -1;
  bool started_ = false;
  std::string why_;
  int status_ = -1;
};

}  // namespace vexal::e2e
