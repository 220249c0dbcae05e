#pragma once
// An in-process HID backend driven by a script: devices appear and vanish, reads complete
// with queued reports, fail or transfer nothing, feature reports are recorded and may be
// refused. For tests of the controller and of the windows built on it. Thread-safe: the
// script may be changed from any thread while reading threads run.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "link/HidPlatform.h"

namespace vexal {

class ScriptedHidPlatform : public HidPlatform {
 public:
  // Error codes of this backend.
  static constexpr std::uint32_t kAccessDenied = 5;
  static constexpr std::uint32_t kInvalidHandle = 6;
  static constexpr std::uint32_t kNotFound = 2;
  static constexpr std::uint32_t kDeviceGone = 1167;
  static constexpr std::uint32_t kRefused = 31;

  struct Device {
    std::string path;
    std::uint32_t instanceId = 0;
    HidAttributes attributes;
    std::u16string product;
    std::u16string serial;
    std::vector<std::uint16_t> languages{0x0409};
    std::uint16_t inputReportLength = 9;
    bool openable = true;         // false: no open succeeds
    bool readWriteAccess = true;  // false: only opens with no access succeed
    bool identifiable = true;     // false: the attributes cannot be read
    bool productReadable = true;
    bool serialReadable = true;
    bool languagesReadable = true;
    bool capsReadable = true;
    bool refuseFeature = false;
  };

  struct FeatureAttempt {
    std::vector<std::uint8_t> bytes;
    bool accepted = false;
  };

  explicit ScriptedHidPlatform(bool available = true);
  ~ScriptedHidPlatform() override;

  // --- The script -----------------------------------------------------------------------
  // The device appears at the end of the list (a later Plug of the same path is a new
  // plug-in: give it a new instanceId). Raises a change notice.
  void Plug(Device device);
  // The device vanishes: opens, reads and feature reports on it fail from now on; a read
  // outstanding on it completes with no bytes. Raises a change notice.
  void Unplug(const std::string &path);
  // Changes a present device's properties (not its path).
  void Update(const std::string &path, const std::function<void(Device &)> &change);
  // The next reads of the device: a report in the platform's form (report-ID byte first),
  // a read that cannot be started (error code), or a read that transfers nothing.
  void QueueReport(const std::string &path, std::vector<std::uint8_t> bytes);
  void QueueStartFailure(const std::string &path, std::uint32_t code);
  void QueueEmptyRead(const std::string &path);
  // Reads still queued for the device.
  std::size_t QueuedReads(const std::string &path) const;
  // Waits in real time (up to `timeout`) until a read is outstanding on the device and
  // nothing is queued for it. False on timeout.
  bool WaitForIdleRead(const std::string &path, std::chrono::milliseconds timeout) const;
  // A raised change notice without any change of the devices.
  void RaiseNotice();

  // --- What happened ---------------------------------------------------------------------
  std::vector<FeatureAttempt> FeatureAttempts(const std::string &path) const;
  std::vector<std::chrono::milliseconds> Sleeps() const;
  std::vector<std::size_t> ReadLengths(const std::string &path) const;
  int OpenHandles(const std::string &path) const;  // handles currently open on the device
  int Opens(const std::string &path, HidOpenMode mode) const;
  int Cancels() const;

  // How long AwaitRead really waits at most, whatever the slice (keeps tests fast).
  void SetRealWaitCap(std::chrono::milliseconds cap);
  // Sleep() returns at once unless this is set (the sleeps are recorded either way).
  void SetRealSleep(bool real);

  // --- HidPlatform -----------------------------------------------------------------------
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

 private:
  struct StartFailure {
    std::uint32_t code;
  };
  struct EmptyRead {};
  using ReadItem = std::variant<std::vector<std::uint8_t>, StartFailure, EmptyRead>;

  struct DeviceState {
    Device setup;
    bool gone = false;
    std::vector<ReadItem> reads;  // front = next
    std::vector<FeatureAttempt> features;
    std::vector<std::size_t> readLengths;
    int openHandles = 0;
    std::map<HidOpenMode, int> opens;
    bool readOutstanding = false;
  };
  struct HandleState {
    std::shared_ptr<DeviceState> device;
    HidOpenMode mode = HidOpenMode::NoAccess;
    std::uint8_t *buffer = nullptr;
    std::size_t length = 0;
    bool outstanding = false;
    bool completed = false;
    std::size_t result = 0;
  };

  std::shared_ptr<DeviceState> Present(const std::string &path) const;
  std::shared_ptr<DeviceState> AnyState(const std::string &path) const;  // present or last
  HandleState *FindHandle(HidHandle h);
  bool Fail(std::uint32_t code);
  void Notify();

  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  bool available_;
  std::vector<std::shared_ptr<DeviceState>> devices_;  // present, in list order
  std::map<std::string, std::shared_ptr<DeviceState>> lastByPath_;
  std::map<HidHandle, HandleState> handles_;
  HidHandle nextHandle_ = 1;
  std::vector<std::chrono::milliseconds> sleeps_;
  int cancels_ = 0;
  std::chrono::milliseconds realWaitCap_{2};
  bool realSleep_ = false;
  bool subscribed_ = false;
  bool changed_ = false;
  int noticePipe_[2] = {-1, -1};
};

}  // namespace vexal
