#include "CableReports.h"

#include <algorithm>
#include <cstdio>

namespace vexal::sim {

Report dataReport(const std::uint8_t *bytes, std::size_t count) {
  count = std::min(count, kMaxSerialBytesPerReport);
  Report r(kInputReportSize, 0);
  r[0] = static_cast<std::uint8_t>(0xF0 | count);
  if (count > 0) std::copy(bytes, bytes + count, r.begin() + 1);
  return r;
}

Report idleReport() {
  Report r(kInputReportSize, 0);
  r[0] = 0xF0;
  return r;
}

std::size_t serialCount(const Report &report) {
  if (report.empty()) return 0;
  const unsigned n = report[0] & 0x0F;
  return n <= 9 ? n : 0;
}

std::optional<unsigned> lineRateFromFeature(const std::uint8_t *data, std::size_t size) {
  if (size > kFeatureReportSize) return data[1] | data[2] << 8;  // report-ID byte first
  if (size == kFeatureReportSize) return data[0] | data[1] << 8;
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> TransmissionTracker::feed(const Report &report) {
  const std::size_t n = serialCount(report);
  if (n > 0) {
    inTransmission_ = true;
    const std::size_t available = report.size() - 1;
    bytes_.insert(bytes_.end(), report.begin() + 1, report.begin() + 1 + std::min(n, available));
    return std::nullopt;
  }
  if (!inTransmission_) return std::nullopt;
  std::vector<std::uint8_t> done;
  done.swap(bytes_);
  inTransmission_ = false;
  return done;
}

void TransmissionTracker::reset() {
  bytes_.clear();
  inTransmission_ = false;
}

std::string reportText(std::uint8_t reportId, const Report &report) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "R %.2X  ", reportId);
  std::string text = buf;
  for (std::uint8_t b : report) {
    std::snprintf(buf, sizeof buf, "%.2X ", b);
    text += buf;
  }
  return text;
}

}  // namespace vexal::sim
