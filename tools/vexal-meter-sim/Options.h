#pragma once
// Command line of vexal-meter-sim.

#include <optional>
#include <string>
#include <vector>

namespace vexal::sim {

struct Options {
  std::string scenario = "pi";
  std::string capture;  // replay this file instead of a scenario
  int repeats = 2;      // frames per scenario step
  bool loop = false;
  long frames = -1;  // the meter falls silent after this many frames
  double periodMs = 500;
  double pollMs = 12;
  unsigned baud = 2400;  // pace of the serial bytes
  long pauseAfter = -1;  // frames before the meter pauses once
  double pauseMs = 0;
  double stopAfterMs = -1;  // unplug and exit after this long
  std::string log;          // event log file; "-" = standard output
  bool logReports = false;  // log every input report too
  std::string control;      // control FIFO (created when missing)
  std::string serial;       // a serial number, which makes the cable unrecognisable
  bool other = false;       // also plug in an unrelated HID device at start
  bool help = false;
};

// Parses argv[1..]. On a bad command line returns nullopt with `error` set.
std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error);
std::string usageText();

}  // namespace vexal::sim
