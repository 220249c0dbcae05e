#pragma once
// The HID device controller: keeps the list of present HID interfaces, reports arrivals and
// removals, hands devices to the application (claiming), runs one reading thread per claimed
// device that has a data handler, and sends feature reports.
//
// Threads. Everything here runs on the GUI thread except the loop of a reading thread. A
// reading thread hands each report (or read error) to the GUI thread and blocks until the
// handler has run there. The hand-over is a queue owned by the controller: the reading thread
// queues an item and calls the wake callback (SetHandOverWake), whose job is to make the GUI
// thread call processHandOvers() soon (the Qt side posts a queued call). Stopping a reading
// thread keeps carrying out pending hand-overs until the thread has ended, so the two threads
// can never wait for each other. Without a wake callback, processHandOvers() must be pumped by
// the caller (tests, command-line tools).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "link/HidPlatform.h"

namespace vexal {

class EControllerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class THidDevice;
class THidDeviceController;

// An event handler that can be compared: copies of one handler are equal, two handlers made
// separately are not, and an empty handler stands for "none". The setters of the controller
// rely on this to recognise "the same value again".
template <typename Signature>
class THidEvent;

template <typename R, typename... Args>
class THidEvent<R(Args...)> {
 public:
  THidEvent() = default;
  THidEvent(std::nullptr_t) {}
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, THidEvent> &&
                                                    std::is_invocable_r_v<R, F &, Args...>>>
  THidEvent(F f) : fn_(std::make_shared<const std::function<R(Args...)>>(std::move(f))) {}

  explicit operator bool() const { return fn_ != nullptr; }
  R operator()(Args... args) const { return (*fn_)(std::forward<Args>(args)...); }
  friend bool operator==(const THidEvent &a, const THidEvent &b) { return a.fn_ == b.fn_; }

 private:
  std::shared_ptr<const std::function<R(Args...)>> fn_;
};

// `Data` holds the `Size` bytes after the report-ID byte; valid during the call only.
using THidDataEvent = THidEvent<void(THidDevice &HidDev, std::uint8_t ReportID,
                                     const std::uint8_t *Data, std::uint16_t Size)>;
// `Error` is the platform's error code (HidPlatform::ErrorText gives its text).
using THidDataErrorEvent = THidEvent<void(THidDevice &HidDev, std::uint32_t Error)>;
using THidPlugEvent = THidEvent<void(THidDevice &HidDev)>;
// Returns false to stop the walk.
using THidEnumerateEvent = THidEvent<bool(THidDevice &HidDev, int Idx)>;
using THidNotifyEvent = THidEvent<void(THidDeviceController &Sender)>;

// The platform's description of one interface, fixed when the interface is found.
struct THidPnPInfo {
  std::string InterfacePath;
  std::uint32_t InstanceId = 0;
};

// Wide text of the device strings (16-bit units) as UTF-8, for showing to a person.
std::string hidTextToUtf8(const std::u16string &text);

// The serial-number rule: `serial` and `languages` are the 254-unit buffers after the two
// reads (`languages` filled with FFFF beforehand). A device that answers the serial-number
// request with its language list has no serial number, and neither has one whose language
// list could not be read. Returns the accepted text (up to its first zero unit), or empty.
std::u16string acceptSerialString(const char16_t *serial, const std::uint16_t *languages,
                                  std::size_t units);

class THidDeviceReadThread {
 public:
  THidDeviceReadThread(THidDevice &device, std::size_t reportLength);
  ~THidDeviceReadThread();
  THidDeviceReadThread(const THidDeviceReadThread &) = delete;
  THidDeviceReadThread &operator=(const THidDeviceReadThread &) = delete;

  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }  // read under the controller's hand-over lock
  void Join();

  std::size_t ReportLength() const { return buffer_.size(); }
  std::size_t BytesRead() const { return bytesRead_; }
  std::uint32_t LastErrorCode() const { return lastError_; }

 private:
  friend class THidDeviceController;
  void Execute();
  bool ReadOnce(HidPlatform &platform);
  void WaitHold(HidPlatform &platform);

  THidDevice &device_;
  std::vector<std::uint8_t> buffer_;
  std::atomic<bool> terminated_{false};
  bool finished_ = false;  // guarded by the controller's hand-over mutex
  std::atomic<std::size_t> bytesRead_{0};
  std::atomic<std::uint32_t> lastError_{0};
  std::thread thread_;
};

// One entry of the controller's DeviceList. Created by the controller only. An entry that is
// not claimed belongs to the controller; a claimed one belongs to the application until it
// calls Release(), which ends the object.
class THidDevice {
 public:
  THidDevice(const THidDevice &) = delete;
  THidDevice &operator=(const THidDevice &) = delete;

  bool Attached() const { return attached_; }
  bool Claimed() const { return claimed_; }
  bool InCallback() const { return inCallback_; }
  bool ReadWriteAccess() const { return readWriteAccess_; }
  std::uint16_t VendorId() const { return attributes_.VendorId; }
  std::uint16_t ProductId() const { return attributes_.ProductId; }
  std::uint16_t VersionNumber() const { return attributes_.VersionNumber; }
  const THidPnPInfo &PnPInfo() const { return pnpInfo_; }
  THidDeviceController *Controller() const { return controller_; }

  // Cached strings; empty until read successfully (a failed read is tried again next time).
  std::u16string ProductString();
  std::u16string SerialString();
  // Bytes of one input report, report-ID byte included; 0 until the capabilities are read.
  std::uint16_t InputReportLength();

  void SetDataHandler(THidDataEvent handler);
  const THidDataEvent &DataHandler() const { return dataHandler_; }
  const THidDataErrorEvent &DataErrorHandler() const { return dataErrorHandler_; }
  const THidPlugEvent &UnplugHandler() const { return unplugHandler_; }
  bool Reading() const { return readThread_ != nullptr; }
  const THidDeviceReadThread *ReadThread() const { return readThread_.get(); }
  // The reading thread found its last report already waiting when it started the read: the
  // device's reports queue up faster than they are handed over, and reading is behind.
  bool ReportsWaiting() const { return readThread_ != nullptr && reportsWaiting_; }

  // One feature report, report ID in byte 0. True on success. The main handle stays open.
  bool SendFeature(const std::uint8_t *bytes, std::size_t length);

  // Gives a claimed device back. The object ends: do not use it afterwards.
  void Release();

  // Wait slice of the reading thread, 10 to 10000 ms; other values are ignored.
  int SleepTime() const { return sleepTime_; }
  void SetSleepTime(int ms);

  // Called by a data handler during its hand-over: the reading thread waits this long before
  // its next read (ending early when it is stopped), so further reports stay queued in the
  // system meanwhile.
  void HoldNextRead(std::chrono::milliseconds d) { holdMs_ = d.count(); }

 private:
  friend class THidDeviceController;
  friend class THidDeviceReadThread;

  // Opens the interface and reads its identity; throws EControllerError.
  THidDevice(THidDeviceController &controller, std::shared_ptr<HidPlatform> platform,
             THidPnPInfo info);
  ~THidDevice();

  bool AccessAllowed() const { return attached_ && (claimed_ || inCallback_); }
  bool OpenMain();  // access rule; updates ReadWriteAccess
  void CloseMain();
  void CloseHandles();
  // The reading thread's handle, opened under the access rule when closed. kNoHidHandle when
  // it cannot be had; `tried` tells whether an open was attempted.
  HidHandle AcquireReadHandle(bool &tried);
  void StartReading();
  void StopReading();
  void SetDataErrorHandler(THidDataErrorEvent handler);
  void Unplug();
  void Detach();  // the controller is going away

  THidDeviceController *controller_;
  std::shared_ptr<HidPlatform> platform_;
  THidPnPInfo pnpInfo_;
  HidAttributes attributes_;

  std::atomic<bool> attached_{true};
  std::atomic<bool> claimed_{false};
  std::atomic<bool> inCallback_{false};
  bool readWriteAccess_ = false;
  bool stopping_ = false;  // a stop of the reading thread is under way
  std::u16string productString_;
  std::u16string serialString_;
  bool capsRead_ = false;
  std::uint16_t inputReportLength_ = 0;
  std::atomic<int> sleepTime_{100};
  std::atomic<long long> holdMs_{0};
  std::atomic<bool> reportsWaiting_{false};

  THidDataEvent dataHandler_;
  THidDataErrorEvent dataErrorHandler_;
  std::atomic<bool> hasDataErrorHandler_{false};
  THidPlugEvent unplugHandler_;

  // The reading thread opens the read handle; the GUI thread closes it on unplug.
  std::mutex handleMutex_;
  HidHandle mainHandle_ = kNoHidHandle;
  HidHandle readHandle_ = kNoHidHandle;
  HidHandle writeHandle_ = kNoHidHandle;

  std::unique_ptr<THidDeviceReadThread> readThread_;
};

class THidDeviceController {
 public:
  static constexpr const char *kVersion = "1.0.22";
  static constexpr const char *kOneInstanceText =
      "Only one THidDeviceController allowed per program";

  // Takes the first inventory and subscribes to device-change notices. Throws
  // EControllerError when another controller is alive.
  explicit THidDeviceController(std::shared_ptr<HidPlatform> platform);
  // Stops every reading thread; unclaimed entries end, claimed ones are unplugged and stay
  // with the application (which still has to Release them).
  ~THidDeviceController();
  THidDeviceController(const THidDeviceController &) = delete;
  THidDeviceController &operator=(const THidDeviceController &) = delete;

  std::string Version() const { return kVersion; }
  bool HidAvailable() const { return hidAvailable_; }
  HidPlatform &Platform() const { return *platform_; }
  const std::vector<THidDevice *> &DeviceList() const { return deviceList_; }

  // Re-scans and reports the differences: unplug handlers and OnRemoval (from the end of the
  // list), OnArrival (scan order), then one OnDeviceChange.
  void DeviceChange();
  // Walks the attached entries through OnEnumerate; returns how many were handed to it.
  int Enumerate();
  // The unclaimed entry at Idx, now claimed; nullptr when out of range or already claimed.
  THidDevice *ClaimByIndex(int Idx);

  // The platform's change notice: a file descriptor to watch (-1 = none), and what to call
  // when it is readable. Runs DeviceChange() when the device tree changed.
  int ChangeNoticeFd() const;
  bool HandleChangeNotice();

  // The hand-over to the GUI thread (see the top of this file).
  void SetHandOverWake(std::function<void()> wake);
  // Carries out every pending hand-over; returns how many. GUI thread only.
  int processHandOvers();

  // Properties.
  int DevThreadSleepTime() const { return devThreadSleepTime_; }
  void SetDevThreadSleepTime(int ms);
  const THidPlugEvent &OnArrival() const { return onArrival_; }
  void SetOnArrival(THidPlugEvent h) { onArrival_ = std::move(h); }
  const THidPlugEvent &OnRemoval() const { return onRemoval_; }
  void SetOnRemoval(THidPlugEvent h) { onRemoval_ = std::move(h); }
  const THidEnumerateEvent &OnEnumerate() const { return onEnumerate_; }
  void SetOnEnumerate(THidEnumerateEvent h) { onEnumerate_ = std::move(h); }
  const THidNotifyEvent &OnDeviceChange() const { return onDeviceChange_; }
  void SetOnDeviceChange(THidNotifyEvent h);
  const THidDataEvent &OnDeviceData() const { return onDeviceData_; }
  void SetOnDeviceData(THidDataEvent h);
  const THidDataErrorEvent &OnDeviceDataError() const { return onDeviceDataError_; }
  void SetOnDeviceDataError(THidDataErrorEvent h);
  const THidPlugEvent &OnDeviceUnplug() const { return onDeviceUnplug_; }
  void SetOnDeviceUnplug(THidPlugEvent h);

 private:
  friend class THidDevice;
  friend class THidDeviceReadThread;

  struct HandOverItem {
    THidDevice *device = nullptr;
    bool isError = false;
    std::vector<std::uint8_t> report;  // platform form: report-ID byte first
    std::uint32_t error = 0;
    bool taken = false;  // the GUI thread is carrying it out
    bool done = false;
  };

  static void Destroy(THidDevice *device);
  std::vector<THidDevice *> ScanDevices();
  THidDevice *CreateDevice(const THidPnPInfo &info);  // nullptr when it cannot be created
  // Release: an attached entry's slot gets a fresh, unclaimed entry carrying the noted
  // handlers and wait slice; an unplugged entry's slot goes.
  void ReplaceReleased(THidDevice *released, const THidDataEvent &data,
                       const THidDataErrorEvent &dataError, const THidPlugEvent &unplug,
                       int sleepTime);
  void DeviceChangeOnce();
  void RemoveFromList(THidDevice *device);
  int IndexOf(const THidDevice *device) const;
  void CallWithInCallback(THidDevice &device, const std::function<void()> &call);

  // Reading-thread side: queues the item and blocks until it has been carried out (or, once
  // the thread is asked to stop, until the GUI thread has at least taken it).
  void HandOver(THidDeviceReadThread &thread, std::shared_ptr<HandOverItem> item);
  void ThreadFinished(THidDeviceReadThread &thread);
  // GUI side: asks the thread to stop and carries out hand-overs until it has ended.
  void StopThread(THidDeviceReadThread &thread);
  void CarryOut(HandOverItem &item);

  std::shared_ptr<HidPlatform> platform_;
  bool hidAvailable_ = false;
  bool subscribed_ = false;
  std::vector<THidDevice *> deviceList_;
  int devThreadSleepTime_ = 100;
  bool changeReported_ = false;
  bool inDeviceChange_ = false;
  bool deviceChangeAgain_ = false;

  THidPlugEvent onArrival_;
  THidPlugEvent onRemoval_;
  THidEnumerateEvent onEnumerate_;
  THidNotifyEvent onDeviceChange_;
  THidDataEvent onDeviceData_;
  THidDataErrorEvent onDeviceDataError_;
  THidPlugEvent onDeviceUnplug_;

  std::mutex handOverMutex_;
  std::condition_variable handOverCv_;
  std::deque<std::shared_ptr<HandOverItem>> handOvers_;
  std::function<void()> wake_;

  static std::atomic<int> instances_;
};

}  // namespace vexal
