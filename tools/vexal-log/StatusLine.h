#pragma once
// The logger's one live line on a terminal: readings recorded, the last value and unit, the
// function, the link's state and the time running, rewritten in place. Warnings printed
// while it shows take it away first and bring it back after.

#include <chrono>
#include <cstdint>
#include <string>

namespace vexal {

struct StatusFacts {
  std::uint64_t recorded = 0;
  std::string value, unit, function;  // UTF-8
  std::string link;
  std::chrono::seconds running{0};
};

// "12 readings | 12.34 GΩ | IR:1000V 40GΩ | reading | 00:01:05"
std::string statusText(const StatusFacts &facts);

class StatusLine {
 public:
  // Shown only where `fd` (standard error) is a terminal and `wanted` holds.
  StatusLine(int fd, bool wanted);
  bool shown() const { return terminal_; }
  void update(const StatusFacts &facts);
  // A warning or error on a line of its own.
  void warn(const std::string &text);
  // Leaves the last status on its line (at the end of the run).
  void finish();

 private:
  void put(const std::string &bytes);
  int fd_;
  bool terminal_;
  std::string last_;
};

}  // namespace vexal
