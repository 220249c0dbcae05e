#include "link/CableCapture.h"

#include <cstdio>

#include "link/CaptureFormat.h"

namespace vexal {

std::vector<CaptureCandidate> listCaptureCandidates(THidDeviceController &controller) {
  std::vector<CaptureCandidate> list;
  const THidEnumerateEvent previous = controller.OnEnumerate();
  controller.SetOnEnumerate([&list](THidDevice &dev, int idx) {
    CaptureCandidate c;
    c.index = idx;
    c.path = dev.PnPInfo().InterfacePath;
    c.vendorId = dev.VendorId();
    c.productId = dev.ProductId();
    c.product = hidTextToUtf8(dev.ProductString());
    c.serial = hidTextToUtf8(dev.SerialString());
    c.readWriteAccess = dev.ReadWriteAccess();
    c.isCable = c.product == kCableName && c.serial.empty();
    list.push_back(std::move(c));
    return true;
  });
  controller.Enumerate();
  controller.SetOnEnumerate(previous);
  return list;
}

std::string describeCandidate(const CaptureCandidate &c) {
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04X:%04X", c.vendorId, c.productId);
  // Appended piece by piece: GCC 12 warns (-Wrestrict) on a long chain of string "+".
  std::string line = "[";
  line += std::to_string(c.index);
  line += "] ";
  line += ids;
  line += ' ';
  line += c.product.empty() ? std::string("(no name)") : c.product;
  line += "  ";
  line += c.path;
  if (!c.serial.empty()) line += "  serial " + c.serial;
  if (!c.readWriteAccess) line += "  (no read/write access)";
  return line;
}

int chooseCaptureIndex(const std::vector<CaptureCandidate> &candidates, int wanted) {
  int chosen = -1;
  for (const CaptureCandidate &c : candidates) {
    if (wanted >= 0 ? c.index == wanted : c.isCable) chosen = c.index;
  }
  return chosen;
}

void CaptureWriter::Comment(const std::string &text) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    out_ << "# " << text.substr(start, end - start) << '\n';
    if (end == std::string::npos) break;
    start = end + 1;
  }
  out_.flush();
}

void CaptureWriter::Report(Clock::time_point at, std::uint8_t reportId, const std::uint8_t *data,
                           std::uint16_t size) {
  if (started_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - last_).count();
    if (ms > 0) {
      out_ << "W " << ms << '\n';
      // Whole milliseconds are written; the rest is carried to the next wait.
      last_ += std::chrono::milliseconds(ms);
    }
  } else {
    started_ = true;
    last_ = at;
  }
  out_ << formatCaptureReport(reportId, data, size) << '\n';
  out_.flush();
  ++reports_;
}

}  // namespace vexal
