#include "link/HidPlatformLinux.h"

#include "common/TextEncoding.h"

// Built on Linux only; other platforms get their own backend file beside this one.
#if defined(__linux__)

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

namespace vexal {

namespace {

thread_local std::uint32_t tLastError = 0;

bool fail(int code) {
  tLastError = static_cast<std::uint32_t>(code);
  return false;
}

// errno after a failed call, or `fallback` when the call left it at 0.
int errnoOr(int fallback) {
  return errno != 0 ? errno : fallback;
}

std::optional<std::uint32_t> parseHex(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Copies `text` into a zero-terminated buffer of `units` units, cut where it does not fit
// but never between the two halves of a pair.
void copyBounded(std::u16string_view text, char16_t *buffer, std::size_t units) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size();
    if (at + (pair ? 2 : 1) >= units) break;
    buffer[at++] = text[i];
    if (pair) buffer[at++] = text[++i];
  }
  buffer[at] = 0;
}

const char *sysAttr(struct udev_device *device, const char *name) {
  return device != nullptr ? udev_device_get_sysattr_value(device, name) : nullptr;
}

// The bytes of a sysfs file; what could be read when the device goes away meanwhile (the
// read then fails with ENODEV, which must not escape as an exception).
std::vector<std::uint8_t> readFile(const std::string &path) {
  std::vector<std::uint8_t> bytes;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  std::uint8_t buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.insert(bytes.end(), buf, buf + n);
  }
  ::close(fd);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Pure helpers

HidReportLayout parseReportDescriptor(const std::uint8_t *bytes, std::size_t size) {
  struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
  };
  Globals globals;
  std::vector<Globals> stack;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> inputBits;  // report ID -> bits
  HidReportLayout layout;

  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t prefix = bytes[i++];
    if (prefix == 0xFE) {  // long item: size, tag, data
      if (i + 2 > size) break;
      i += 2 + bytes[i];
      continue;
    }
    const std::size_t dataSize = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (i + dataSize > size) break;
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < dataSize; ++k) value |= std::uint32_t{bytes[i + k]} << (8 * k);
    i += dataSize;

    const int type = (prefix >> 2) & 3;
    const int tag = prefix >> 4;
    if (type == 0 && tag == 0x8) {  // Input
      const std::uint64_t bits = std::uint64_t{globals.reportSize} * globals.reportCount;
      auto it = std::find_if(inputBits.begin(), inputBits.end(),
                             [&](const auto &entry) { return entry.first == globals.reportId; });
      if (it == inputBits.end()) {
        inputBits.emplace_back(globals.reportId, bits);
      } else {
        it->second += bits;
      }
    } else if (type == 1) {  // global items
      switch (tag) {
        case 0x7:
          globals.reportSize = value;
          break;
        case 0x8:
          globals.reportId = value;
          layout.usesReportIds = true;
          break;
        case 0x9:
          globals.reportCount = value;
          break;
        case 0xA:
          stack.push_back(globals);
          break;
        case 0xB:
          if (!stack.empty()) {
            globals = stack.back();
            stack.pop_back();
          }
          break;
        default:
          break;
      }
    }
  }

  std::uint64_t longest = 0;
  for (const auto &entry : inputBits) longest = std::max(longest, (entry.second + 7) / 8);
  if (!inputBits.empty()) {
    layout.inputReportLength =
        static_cast<std::uint16_t>(std::min<std::uint64_t>(longest + 1, 0xFFFF));
  }
  return layout;
}

std::optional<std::uint32_t> hidSequenceNumber(std::string_view sysName) {
  // "BBBB:VVVV:PPPP.NNNN": three colon-separated ids, then the sequence after the dot.
  const std::size_t dot = sysName.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  if (std::count(sysName.begin(), sysName.begin() + dot, ':') != 2) return std::nullopt;
  return parseHex(sysName.substr(dot + 1), 8);
}

std::optional<HidAttributes> parseHidId(std::string_view value) {
  const std::size_t first = value.find(':');
  const std::size_t second = value.find(':', first == std::string_view::npos ? 0 : first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos) return std::nullopt;
  const auto bus = parseHex(value.substr(0, first), 8);
  const auto vendor = parseHex(value.substr(first + 1, second - first - 1), 8);
  const auto product = parseHex(value.substr(second + 1), 8);
  if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
  HidAttributes attributes;
  attributes.VendorId = static_cast<std::uint16_t>(*vendor);
  attributes.ProductId = static_cast<std::uint16_t>(*product);
  return attributes;
}

const char *udevMonitorSource(bool udevDaemonRunning) {
  return udevDaemonRunning ? "udev" : "kernel";
}

void wideToUtf16(const wchar_t *text, char16_t *buffer, std::size_t units) {
  if (units == 0) return;
  copyBounded(vexal::wideToUtf16(text ? std::wstring_view(text) : std::wstring_view()), buffer,
              units);
}

void utf8ToUtf16(std::string_view text, char16_t *buffer, std::size_t units) {
  if (units == 0) return;
  copyBounded(vexal::utf8ToUtf16(text), buffer, units);
}

// ---------------------------------------------------------------------------------------
// Backend

// What sysfs tells about the device behind a hidraw node, read when it is opened.
struct HidPlatformLinux::SysInfo {
  HidAttributes attributes;
  std::string product;
  std::string serial;
  HidReportLayout layout;
  bool layoutKnown = false;
};

struct HidPlatformLinux::Handle {
  HidOpenMode mode = HidOpenMode::NoAccess;
  hid_device *device = nullptr;  // none for a handle without access
  SysInfo info;
  std::atomic<bool> closed{false};
  // The outstanding read; touched by the reading thread only.
  std::uint8_t *buffer = nullptr;
  std::size_t length = 0;
  bool outstanding = false;
  bool completed = false;
  std::size_t result = 0;

  ~Handle() {
    if (device != nullptr) hid_close(device);
  }

  // One hidapi read into the caller's buffer; a device without report IDs gets the 0 byte in
  // front. >0 bytes, 0 nothing yet, -1 failure (errno set).
  int ReadInto(int timeoutMs) {
    errno = 0;
    if (info.layout.usesReportIds) return hid_read_timeout(device, buffer, length, timeoutMs);
    buffer[0] = 0;
    const int n = hid_read_timeout(device, buffer + 1, length - 1, timeoutMs);
    return n > 0 ? n + 1 : n;
  }
  void Complete(std::size_t bytes) {
    outstanding = false;
    completed = true;
    result = bytes;
  }
};

HidPlatformLinux::HidPlatformLinux() {
  udev_ = udev_new();
  available_ = udev_ != nullptr && hid_init() == 0;
}

HidPlatformLinux::~HidPlatformLinux() {
  Unsubscribe();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_.clear();
  }
  if (udev_ != nullptr) udev_unref(udev_);
  if (available_) hid_exit();
}

bool HidPlatformLinux::Available() {
  return available_;
}

std::shared_ptr<HidPlatformLinux::Handle> HidPlatformLinux::Find(HidHandle h) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto &[id, handle] : handles_) {
    if (id == h) return handle;
  }
  return nullptr;
}

std::vector<HidInterface> HidPlatformLinux::ListInterfaces() {
  std::vector<HidInterface> list;
  if (!available_) return list;
  std::lock_guard<std::mutex> lock(mutex_);
  struct udev_enumerate *enumerate = udev_enumerate_new(udev_);
  if (enumerate == nullptr) return list;
  udev_enumerate_add_match_subsystem(enumerate, "hidraw");
  udev_enumerate_scan_devices(enumerate);
  struct udev_list_entry *entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
    struct udev_device *raw = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
    if (raw == nullptr) continue;
    struct udev_device *hid = udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr);
    const char *node = udev_device_get_devnode(raw);
    const char *hidName = hid != nullptr ? udev_device_get_sysname(hid) : nullptr;
    const auto sequence = hidName != nullptr ? hidSequenceNumber(hidName) : std::nullopt;
    if (node != nullptr && sequence) list.push_back({node, *sequence});
    udev_device_unref(raw);
  }
  udev_enumerate_unref(enumerate);
  // In the order the kernel created the devices.
  std::sort(list.begin(), list.end(), [](const HidInterface &a, const HidInterface &b) {
    return a.InstanceId < b.InstanceId;
  });
  return list;
}

// Mutex held.
bool HidPlatformLinux::ReadSysInfo(const std::string &path, SysInfo &info) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(errnoOr(ENOENT));
  if (!S_ISCHR(st.st_mode)) return fail(ENODEV);
  struct udev_device *raw = udev_device_new_from_devnum(udev_, 'c', st.st_rdev);
  if (raw == nullptr) return fail(ENODEV);
  struct udev_device *hid = udev_device_get_parent_with_subsystem_devtype(raw, "hid", nullptr);
  const char *hidId = hid != nullptr ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
  const auto attributes = hidId != nullptr ? parseHidId(hidId) : std::nullopt;
  if (!attributes) {
    udev_device_unref(raw);
    return fail(ENODEV);
  }
  info.attributes = *attributes;
  // The names hidapi gives: a USB device's own strings, else what the HID layer was told.
  struct udev_device *usb = udev_device_get_parent_with_subsystem_devtype(hid, "usb", "usb_device");
  const char *name =
      usb != nullptr ? sysAttr(usb, "product") : udev_device_get_property_value(hid, "HID_NAME");
  const char *uniq = udev_device_get_property_value(hid, "HID_UNIQ");
  info.product = name != nullptr ? name : "";
  info.serial = uniq != nullptr ? uniq : "";
  if (const char *bcd = sysAttr(usb, "bcdDevice")) {
    if (auto version = parseHex(bcd, 4))
      info.attributes.VersionNumber = static_cast<std::uint16_t>(*version);
  }
  const std::vector<std::uint8_t> descriptor =
      readFile(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");
  info.layoutKnown = !descriptor.empty();
  info.layout = parseReportDescriptor(descriptor.data(), descriptor.size());
  udev_device_unref(raw);
  return true;
}

HidHandle HidPlatformLinux::Open(const std::string &path, HidOpenMode mode) {
  if (!available_) {
    fail(ENODEV);
    return kNoHidHandle;
  }
  auto handle = std::make_shared<Handle>();
  handle->mode = mode;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ReadSysInfo(path, handle->info)) return kNoHidHandle;
  if (mode != HidOpenMode::NoAccess) {
    errno = 0;
    handle->device = hid_open_path(path.c_str());
    if (handle->device == nullptr) {
      fail(errnoOr(EACCES));
      return kNoHidHandle;
    }
  }
  const HidHandle id = nextHandle_++;
  handles_.emplace_back(id, std::move(handle));
  return id;
}

void HidPlatformLinux::Close(HidHandle h) {
  std::shared_ptr<Handle> handle;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(handles_.begin(), handles_.end(),
                           [h](const auto &entry) { return entry.first == h; });
    if (it == handles_.end()) return;
    handle = std::move(it->second);
    handles_.erase(it);
  }
  // A reading thread inside hidapi keeps its own reference; hidapi's handle is closed when
  // the last one goes.
  handle->closed = true;
}

bool HidPlatformLinux::GetAttributes(HidHandle h, HidAttributes &out) {
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  out = handle->info.attributes;
  return true;
}

bool HidPlatformLinux::GetProductString(HidHandle h, char16_t *buffer, std::size_t units) {
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  if (handle->device != nullptr) {
    std::vector<wchar_t> text(units + 1, 0);
    if (hid_get_product_string(handle->device, text.data(), units) != 0) return fail(errnoOr(EIO));
    wideToUtf16(text.data(), buffer, units);
    return true;
  }
  utf8ToUtf16(handle->info.product, buffer, units);
  return true;
}

bool HidPlatformLinux::GetSerialNumberString(HidHandle h, char16_t *buffer, std::size_t units) {
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  if (handle->device != nullptr) {
    std::vector<wchar_t> text(units + 1, 0);
    if (hid_get_serial_number_string(handle->device, text.data(), units) != 0) {
      return fail(errnoOr(EIO));
    }
    wideToUtf16(text.data(), buffer, units);
    return true;
  }
  utf8ToUtf16(handle->info.serial, buffer, units);
  return true;
}

bool HidPlatformLinux::GetLanguageList(HidHandle h, std::uint16_t *buffer, std::size_t units) {
  // hidraw cannot fetch string descriptor 0. The kernel reads every string in the device's
  // first language and never hands the language table out as a serial number (a device
  // without one has an empty serial), so the list is reported as the usual single entry,
  // US English.
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  if (units > 0) buffer[0] = 0x0409;
  return true;
}

bool HidPlatformLinux::GetInputReportLength(HidHandle h, std::uint16_t &out) {
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  if (!handle->info.layoutKnown) return fail(EIO);
  out = handle->info.layout.inputReportLength;
  return true;
}

bool HidPlatformLinux::StartRead(HidHandle h, std::uint8_t *buffer, std::size_t length) {
  if (h == kNoHidHandle) return fail(ENODEV);
  auto handle = Find(h);
  if (!handle || handle->closed) return fail(EBADF);
  if (handle->device == nullptr) return fail(EACCES);
  if (length < 2) return fail(EINVAL);
  handle->buffer = buffer;
  handle->length = length;
  handle->outstanding = true;
  handle->completed = false;
  handle->result = 0;
  // hidraw reads are synchronous: take what is queued now; a failure here (the device is
  // gone) means the read cannot be started.
  const int n = handle->ReadInto(0);
  if (n < 0) {
    handle->outstanding = false;
    return fail(errnoOr(ENODEV));
  }
  if (n > 0) handle->Complete(static_cast<std::size_t>(n));
  return true;
}

HidReadState HidPlatformLinux::AwaitRead(HidHandle h, std::chrono::milliseconds slice) {
  auto handle = Find(h);
  if (!handle) return HidReadState::Completed;  // closed meanwhile: no bytes
  if (!handle->outstanding) return HidReadState::Completed;
  const int n = handle->ReadInto(static_cast<int>(slice.count()));
  if (n == 0 && !handle->closed) return HidReadState::Pending;
  if (n < 0) tLastError = static_cast<std::uint32_t>(errnoOr(ENODEV));
  handle->Complete(n > 0 ? static_cast<std::size_t>(n) : 0);
  return HidReadState::Completed;
}

std::size_t HidPlatformLinux::ReadResult(HidHandle h) {
  auto handle = Find(h);
  if (!handle || handle->closed || !handle->completed) return 0;
  return handle->result;
}

void HidPlatformLinux::CancelRead(HidHandle h) {
  // Reads only ever run inside AwaitRead on the calling thread: nothing is left to stop.
  if (auto handle = Find(h)) {
    handle->outstanding = false;
    handle->completed = false;
    handle->buffer = nullptr;
  }
}

bool HidPlatformLinux::SendFeature(HidHandle h, const std::uint8_t *data, std::size_t length) {
  auto handle = Find(h);
  if (!handle) return fail(EBADF);
  if (handle->device == nullptr) return fail(EACCES);
  errno = 0;
  if (hid_send_feature_report(handle->device, data, length) < 0) return fail(errnoOr(EIO));
  return true;
}

std::uint32_t HidPlatformLinux::LastError() {
  return tLastError;
}

std::string HidPlatformLinux::ErrorText(std::uint32_t code) {
  return std::system_category().message(static_cast<int>(code));
}

bool HidPlatformLinux::Subscribe() {
  if (!available_ || monitor_ != nullptr) return monitor_ != nullptr;
  monitorUdev_ = udev_new();
  if (monitorUdev_ == nullptr) return false;
  const bool daemonRunning = ::access("/run/udev/control", F_OK) == 0;
  for (const char *source : {udevMonitorSource(daemonRunning), udevMonitorSource(false)}) {
    struct udev_monitor *monitor = udev_monitor_new_from_netlink(monitorUdev_, source);
    if (monitor == nullptr) continue;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
      udev_monitor_unref(monitor);
      continue;
    }
    monitor_ = monitor;
    noticeSource_ = source;
    break;
  }
  if (monitor_ == nullptr) {
    udev_unref(monitorUdev_);
    monitorUdev_ = nullptr;
    return false;
  }
  const int fd = udev_monitor_get_fd(monitor_);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return true;
}

void HidPlatformLinux::Unsubscribe() {
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  if (monitorUdev_ != nullptr) udev_unref(monitorUdev_);
  monitor_ = nullptr;
  monitorUdev_ = nullptr;
  noticeSource_.clear();
}

int HidPlatformLinux::ChangeNoticeFd() {
  return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

bool HidPlatformLinux::ConsumeChangeNotice() {
  if (monitor_ == nullptr) return false;
  bool changed = false;
  while (struct udev_device *device = udev_monitor_receive_device(monitor_)) {
    const char *action = udev_device_get_action(device);
    if (action != nullptr &&
        (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
      changed = true;
    }
    udev_device_unref(device);
  }
  return changed;
}

void HidPlatformLinux::Sleep(std::chrono::milliseconds d) {
  std::this_thread::sleep_for(d);
}

std::shared_ptr<HidPlatform> makeSystemHidPlatform() {
  return std::make_shared<HidPlatformLinux>();
}

}  // namespace vexal

#endif  // __linux__
