#pragma once
// A HID device made through Linux's /dev/uhid: the kernel shows it to every HID user
// (hidraw, hidapi, udev) like a plugged-in USB device.

#include <cstdint>
#include <string>
#include <vector>

#include "CableReports.h"

namespace vexal::sim {

struct UhidIdentity {
  std::string name = "USB to Serial";
  std::string uniq;  // the serial number; empty for the cable
  std::uint16_t vendor = 0x1a86;
  std::uint16_t product = 0xe008;
  std::uint16_t version = 0x0100;
  std::size_t inputSize = kInputReportSize;
  std::size_t outputSize = kInputReportSize;
  std::size_t featureSize = kFeatureReportSize;
  bool acceptsFeatures = true;  // false: feature requests are refused
};

// A vendor-defined report descriptor without report IDs: one input, one output and one
// feature report of the given sizes.
std::vector<std::uint8_t> vendorReportDescriptor(std::size_t inputSize, std::size_t outputSize,
                                                 std::size_t featureSize);

class UhidDevice {
 public:
  struct Event {
    enum Type { None, Start, Stop, Open, Close, SetFeature, GetFeature, Output, Other } type = None;
    std::vector<std::uint8_t> data;  // SetFeature/Output: the bytes, report-ID byte first
  };

  explicit UhidDevice(UhidIdentity identity) : identity_(std::move(identity)) {}
  ~UhidDevice() { destroy(); }
  UhidDevice(const UhidDevice &) = delete;
  UhidDevice &operator=(const UhidDevice &) = delete;

  // Opens /dev/uhid and creates the device. On failure returns false with `error` set.
  bool create(std::string &error);
  // Removes the device (as pulling the plug would) and closes /dev/uhid.
  void destroy();
  bool created() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const UhidIdentity &identity() const { return identity_; }

  bool sendInput(const Report &report);
  // Reads one event from the kernel and answers feature requests at once (the kernel waits
  // for the answer). The feature data set last is what a get request returns.
  Event readEvent();

 private:
  bool write(const void *event);

  UhidIdentity identity_;
  int fd_ = -1;
  std::vector<std::uint8_t> feature_;
};

}  // namespace vexal::sim
