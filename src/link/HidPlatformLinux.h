#pragma once
// The Linux HID backend: hidraw nodes listed and watched through libudev, opened, read and
// given feature reports through hidapi (hidraw flavour). Identity, strings and the report
// descriptor come from sysfs, so a device is listed with its name even where the user may
// not open its node.
//
// InstanceId is the sequence number in the name the kernel gives each HID device
// ("0003:1A86:E008.0005" -> 5): it grows with every device the kernel creates, so a device
// plugged in again gets a new one even when it gets the same /dev/hidrawN.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/HidPlatform.h"

struct udev;
struct udev_monitor;

namespace vexal {

// What the controller needs from a report descriptor.
struct HidReportLayout {
  std::uint16_t inputReportLength = 0;  // longest input report + 1 for the report-ID byte
  bool usesReportIds = false;
};
HidReportLayout parseReportDescriptor(const std::uint8_t *bytes, std::size_t size);

// The sequence number of a HID device's sysfs name "BBBB:VVVV:PPPP.NNNN" (hexadecimal).
std::optional<std::uint32_t> hidSequenceNumber(std::string_view sysName);

// Vendor and product ids of the HID_ID property "0003:00001A86:0000E008".
std::optional<HidAttributes> parseHidId(std::string_view value);

// The netlink source to listen on: "udev" once the udev daemon has handled an event (and
// set the node's permissions), "kernel" where no udev daemon runs.
const char *udevMonitorSource(bool udevDaemonRunning);

// Text of hidapi (wchar_t) or sysfs (UTF-8) into a zero-terminated 16-bit buffer.
void wideToUtf16(const wchar_t *text, char16_t *buffer, std::size_t units);
void utf8ToUtf16(std::string_view text, char16_t *buffer, std::size_t units);

class HidPlatformLinux : public HidPlatform {
 public:
  HidPlatformLinux();
  ~HidPlatformLinux() override;
  HidPlatformLinux(const HidPlatformLinux &) = delete;
  HidPlatformLinux &operator=(const HidPlatformLinux &) = delete;

  bool Available() override;
  std::vector<HidInterface> ListInterfaces() override;
  HidHandle Open(const std::string &path, HidOpenMode mode) override;
  void Close(HidHandle h) override;
  bool GetAttributes(HidHandle h, HidAttributes &out) override;
  bool GetProductString(HidHandle h, char16_t *buffer, std::size_t units) override;
  bool GetSerialNumberString(HidHandle h, char16_t *buffer, std::size_t units) override;
  bool GetLanguageList(HidHandle h, std::uint16_t *buffer, std::size_t units) override;
  bool GetInputReportLength(HidHandle h, std::uint16_t &out) override;
  bool StartRead(HidHandle h, std::uint8_t *buffer, std::size_t length) override;
  HidReadState AwaitRead(HidHandle h, std::chrono::milliseconds slice) override;
  std::size_t ReadResult(HidHandle h) override;
  void CancelRead(HidHandle h) override;
  bool SendFeature(HidHandle h, const std::uint8_t *data, std::size_t length) override;
  std::uint32_t LastError() override;
  std::string ErrorText(std::uint32_t code) override;
  bool Subscribe() override;
  void Unsubscribe() override;
  int ChangeNoticeFd() override;
  bool ConsumeChangeNotice() override;
  void Sleep(std::chrono::milliseconds d) override;

  // The netlink source the change notices come from ("" before Subscribe).
  std::string NoticeSource() const { return noticeSource_; }

 private:
  struct Handle;
  struct SysInfo;
  std::shared_ptr<Handle> Find(HidHandle h);
  bool ReadSysInfo(const std::string &path, SysInfo &info);

  bool available_ = false;
  std::mutex mutex_;  // the handle table, the query context and hidapi's opens
  struct udev *udev_ = nullptr;
  std::vector<std::pair<HidHandle, std::shared_ptr<Handle>>> handles_;
  HidHandle nextHandle_ = 1;

  struct udev *monitorUdev_ = nullptr;
  struct udev_monitor *monitor_ = nullptr;
  std::string noticeSource_;
};

}  // namespace vexal
