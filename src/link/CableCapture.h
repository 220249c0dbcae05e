#pragma once
// Recording the cable's raw input reports into a capture file (the replay format): finding
// the cable among the HID devices, and writing each report with the time since the previous
// one. The command-line tool vexal-capture runs these on the system's HID backend.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "link/CableIdentity.h"
#include "link/HidControllerClass.h"

namespace vexal {

// One attached HID device as the listing shows it.
struct CaptureCandidate {
  int index = 0;  // position in the controller's DeviceList
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string product;  // UTF-8
  std::string serial;   // UTF-8
  bool readWriteAccess = false;
  bool isCable = false;  // product "USB to Serial" and no serial number
};

// Every attached device of the controller, read through Enumerate (which closes them
// again). Replaces the controller's OnEnumerate handler for the walk.
std::vector<CaptureCandidate> listCaptureCandidates(THidDeviceController &controller);

// "[2] 1A86:E008 USB to Serial  /dev/hidraw0" and a note for a serial number or for a
// device that may not be read.
std::string describeCandidate(const CaptureCandidate &candidate);

// The index to capture from: `wanted` when it names a listed device, otherwise (wanted < 0)
// the last cable in the list, as the program itself picks it. -1 when there is none.
int chooseCaptureIndex(const std::vector<CaptureCandidate> &candidates, int wanted);

// Writes reports in the capture format: a "W ms" line with the whole milliseconds since the
// previous report when there are any, then "R hh  hh hh ..." for the report.
class CaptureWriter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CaptureWriter(std::ostream &out) : out_(out) {}

  // "# " before each line of `text`.
  void Comment(const std::string &text);
  void Report(Clock::time_point at, std::uint8_t reportId, const std::uint8_t *data,
              std::uint16_t size);
  std::uint64_t Reports() const { return reports_; }

 private:
  std::ostream &out_;
  bool started_ = false;
  Clock::time_point last_{};
  std::uint64_t reports_ = 0;
};

}  // namespace vexal
