#pragma once
// The cable's side of the HID link: the layout of its input reports and of its line-setup
// feature report.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexal::sim {

// Input reports of the cable carry no report ID. Byte 0 is F0 | n, then n serial bytes, then
// padding up to the report size.
inline constexpr std::size_t kInputReportSize = 8;
inline constexpr std::size_t kMaxSerialBytesPerReport = kInputReportSize - 1;
inline constexpr std::size_t kFeatureReportSize = 9;
inline constexpr unsigned kRequiredLineRate = 2400;

using Report = std::vector<std::uint8_t>;

// A report carrying `count` serial bytes (at most kMaxSerialBytesPerReport), padded.
Report dataReport(const std::uint8_t *bytes, std::size_t count);
// A report carrying no serial bytes.
Report idleReport();

// Serial bytes a report carries, by its count nibble; 0 for a report whose nibble is 0 or
// above 9, or an empty report.
std::size_t serialCount(const Report &report);

// The line rate that a feature report sets. `data` is what the HID layer hands the device:
// for a device without report IDs the first byte is the report-ID byte 0, then the 9 bytes of
// the report, whose first two hold the rate, low byte first. A 9-byte buffer (report-ID byte
// already removed) is accepted too. No rate for anything shorter.
std::optional<unsigned> lineRateFromFeature(const std::uint8_t *data, std::size_t size);

// Follows the outgoing reports and tells when a transmission is complete: the serial bytes of
// consecutive data reports, closed by the next report without data, as a receiver that
// assembles frames sees them.
class TransmissionTracker {
 public:
  // Returns the bytes of the transmission that this report closes, if any.
  std::optional<std::vector<std::uint8_t>> feed(const Report &report);
  bool inTransmission() const { return inTransmission_; }
  std::size_t bytesSoFar() const { return bytes_.size(); }
  // The serial bytes of the transmission in progress.
  const std::vector<std::uint8_t> &bytes() const { return bytes_; }
  void reset();

 private:
  std::vector<std::uint8_t> bytes_;
  bool inTransmission_ = false;
};

// "R 00  F3 0D 0A 00 00 00 00 00 ": the text form of a report, report ID first.
std::string reportText(std::uint8_t reportId, const Report &report);

}  // namespace vexal::sim
