#include "UhidDevice.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vexal::sim {

std::vector<std::uint8_t> vendorReportDescriptor(std::size_t inputSize, std::size_t outputSize,
                                                 std::size_t featureSize) {
  auto count = [](std::size_t n) { return static_cast<std::uint8_t>(n); };
  return {
      0x06, 0xA0, 0xFF,                                  // Usage Page (Vendor 0xFFA0)
      0x09, 0x01,                                        // Usage (1)
      0xA1, 0x01,                                        // Collection (Application)
      0x15, 0x00,                                        //   Logical Minimum (0)
      0x26, 0xFF, 0x00,                                  //   Logical Maximum (255)
      0x75, 0x08,                                        //   Report Size (8)
      0x09, 0x02, 0x95, count(inputSize),   0x81, 0x02,  // Usage 2, Count n, Input
      0x09, 0x03, 0x95, count(outputSize),  0x91, 0x02,  // Usage 3, Count n, Output
      0x09, 0x04, 0x95, count(featureSize), 0xB1, 0x02,  // Usage 4, Count n, Feature
      0xC0,                                              // End Collection
  };
}

bool UhidDevice::write(const void *event) {
  const ssize_t r = ::write(fd_, event, sizeof(uhid_event));
  return r == static_cast<ssize_t>(sizeof(uhid_event));
}

bool UhidDevice::create(std::string &error) {
  if (created()) return true;
  fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    error = std::string("cannot open /dev/uhid: ") + std::strerror(errno) +
            (errno == ENOENT ? " (sudo modprobe uhid)" : "");
    return false;
  }
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  auto &c = ev.u.create2;
  std::strncpy(reinterpret_cast<char *>(c.name), identity_.name.c_str(), sizeof c.name - 1);
  std::strncpy(reinterpret_cast<char *>(c.uniq), identity_.uniq.c_str(), sizeof c.uniq - 1);
  std::strncpy(reinterpret_cast<char *>(c.phys), "vexal-meter-sim", sizeof c.phys - 1);
  c.bus = 0x03;  // BUS_USB
  c.vendor = identity_.vendor;
  c.product = identity_.product;
  c.version = identity_.version;
  const auto rd =
      vendorReportDescriptor(identity_.inputSize, identity_.outputSize, identity_.featureSize);
  c.rd_size = static_cast<std::uint16_t>(rd.size());
  std::memcpy(c.rd_data, rd.data(), rd.size());
  if (!write(&ev)) {
    error = std::string("UHID_CREATE2 failed: ") + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  feature_.assign(identity_.featureSize + 1, 0);
  return true;
}

void UhidDevice::destroy() {
  if (!created()) return;
  uhid_event ev{};
  ev.type = UHID_DESTROY;
  write(&ev);
  ::close(fd_);
  fd_ = -1;
}

bool UhidDevice::sendInput(const Report &report) {
  if (!created()) return false;
  uhid_event ev{};
  ev.type = UHID_INPUT2;
  const std::size_t n = std::min(report.size(), sizeof ev.u.input2.data);
  ev.u.input2.size = static_cast<std::uint16_t>(n);
  std::memcpy(ev.u.input2.data, report.data(), n);
  return write(&ev);
}

UhidDevice::Event UhidDevice::readEvent() {
  Event out;
  uhid_event ev{};
  if (!created() || ::read(fd_, &ev, sizeof ev) <= 0) return out;
  switch (ev.type) {
    case UHID_START:
      out.type = Event::Start;
      break;
    case UHID_STOP:
      out.type = Event::Stop;
      break;
    case UHID_OPEN:
      out.type = Event::Open;
      break;
    case UHID_CLOSE:
      out.type = Event::Close;
      break;
    case UHID_OUTPUT:
      out.type = Event::Output;
      out.data.assign(ev.u.output.data, ev.u.output.data + ev.u.output.size);
      break;
    case UHID_SET_REPORT: {
      const auto &req = ev.u.set_report;
      out.type = req.rtype == UHID_FEATURE_REPORT ? Event::SetFeature : Event::Other;
      out.data.assign(req.data, req.data + std::min<std::size_t>(req.size, UHID_DATA_MAX));
      uhid_event reply{};
      reply.type = UHID_SET_REPORT_REPLY;
      reply.u.set_report_reply.id = req.id;
      reply.u.set_report_reply.err = identity_.acceptsFeatures ? 0 : EIO;
      if (identity_.acceptsFeatures && out.type == Event::SetFeature) feature_ = out.data;
      write(&reply);
      break;
    }
    case UHID_GET_REPORT: {
      out.type = Event::GetFeature;
      uhid_event reply{};
      reply.type = UHID_GET_REPORT_REPLY;
      reply.u.get_report_reply.id = ev.u.get_report.id;
      reply.u.get_report_reply.err = identity_.acceptsFeatures ? 0 : EIO;
      reply.u.get_report_reply.size = static_cast<std::uint16_t>(feature_.size());
      std::memcpy(reply.u.get_report_reply.data, feature_.data(), feature_.size());
      write(&reply);
      break;
    }
    default:
      out.type = Event::Other;
      break;
  }
  return out;
}

}  // namespace vexal::sim
