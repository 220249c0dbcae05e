#include "link/HidControllerClass.h"

#include "common/TextEncoding.h"

#include <algorithm>
#include <array>

namespace vexal {

namespace {

// Strings are read into buffers of 254 wide characters (508 bytes).
constexpr std::size_t kStringUnits = 254;
constexpr int kMinSleepTime = 10;
constexpr int kMaxSleepTime = 10000;

std::u16string upToFirstZero(const char16_t *text, std::size_t units) {
  std::size_t length = 0;
  while (length < units && text[length] != 0) ++length;
  return std::u16string(text, length);
}

// Sets a flag for the length of a call, also when the call throws.
class FlagScope {
 public:
  explicit FlagScope(std::atomic<bool> &flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope &) = delete;
  FlagScope &operator=(const FlagScope &) = delete;

 private:
  std::atomic<bool> &flag_;
};

}  // namespace

std::string hidTextToUtf8(const std::u16string &text) {
  return utf16ToUtf8(text);
}

std::u16string acceptSerialString(const char16_t *serial, const std::uint16_t *languages,
                                  std::size_t units) {
  // Length of the language list: up to its last unit that is not FFFF, leaving out a
  // closing zero unit.
  std::size_t listLength = 0;
  for (std::size_t i = units; i-- > 0;) {
    if (languages[i] != 0xFFFF) {
      listLength = languages[i] == 0 ? i : i + 1;
      break;
    }
  }
  for (std::size_t i = 0; i < listLength; ++i) {
    if (static_cast<std::uint16_t>(serial[i]) != languages[i]) {
      return upToFirstZero(serial, units);
    }
  }
  return {};
}

// ---------------------------------------------------------------------------------------
// Reading thread

THidDeviceReadThread::THidDeviceReadThread(THidDevice &device, std::size_t reportLength)
    : device_(device), buffer_(reportLength, 0) {}

THidDeviceReadThread::~THidDeviceReadThread() {
  if (thread_.joinable()) {
    terminated_ = true;
    thread_.join();
  }
}

void THidDeviceReadThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void THidDeviceReadThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void THidDeviceReadThread::Execute() {
  HidPlatform &platform = *device_.platform_;
  while (!terminated_) {
    if (!ReadOnce(platform)) break;
  }
  device_.controller_->ThreadFinished(*this);
}

// One turn of the loop. False when the thread was asked to stop during the read.
bool THidDeviceReadThread::ReadOnce(HidPlatform &platform) {
  THidDeviceController &controller = *device_.controller_;
  std::fill(buffer_.begin(), buffer_.end(), 0);

  bool tried = false;
  HidHandle handle = device_.AcquireReadHandle(tried);
  bool started = false;
  if (handle != kNoHidHandle) {
    started = platform.StartRead(handle, buffer_.data(), buffer_.size());
  } else if (!tried) {
    // The access rule refused the handle: a read on no handle fails with the platform's
    // own code for that.
    started = platform.StartRead(kNoHidHandle, buffer_.data(), buffer_.size());
  }
  if (!started) {
    lastError_ = platform.LastError();
    if (device_.hasDataErrorHandler_) {
      auto item = std::make_shared<THidDeviceController::HandOverItem>();
      item->device = &device_;
      item->isError = true;
      item->error = lastError_;
      controller.HandOver(*this, std::move(item));
    }
    return true;  // retried at once
  }

  // A read that completes at once found a report waiting: the device is ahead of this reader.
  HidReadState state = platform.AwaitRead(handle, std::chrono::milliseconds(0));
  device_.reportsWaiting_ = state == HidReadState::Completed;
  while (state == HidReadState::Pending && !terminated_)
    state = platform.AwaitRead(handle, std::chrono::milliseconds(device_.sleepTime_.load()));
  if (state == HidReadState::Pending) {
    // Asked to stop while nothing came.
    platform.CancelRead(handle);
    return false;
  }
  const std::size_t n = std::min(platform.ReadResult(handle), buffer_.size());
  bytesRead_ = n;
  if (n > 0) {
    // Handed over even when a stop came meanwhile: the report has left the device's queue,
    // and dropping it would cut the frame it belongs to. The stop carries the hand-over out.
    auto item = std::make_shared<THidDeviceController::HandOverItem>();
    item->device = &device_;
    item->report.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    controller.HandOver(*this, std::move(item));
    if (!terminated_) WaitHold(platform);
  }
  return !terminated_;
}

// The hold a data handler asked for, in wait slices so that a stop is noticed.
void THidDeviceReadThread::WaitHold(HidPlatform &platform) {
  long long remaining = device_.holdMs_.exchange(0);
  while (remaining > 0 && !terminated_) {
    const long long slice = std::min<long long>(remaining, device_.sleepTime_.load());
    platform.Sleep(std::chrono::milliseconds(slice));
    remaining -= slice;
  }
}

// ---------------------------------------------------------------------------------------
// Device

THidDevice::THidDevice(THidDeviceController &controller, std::shared_ptr<HidPlatform> platform,
                       THidPnPInfo info)
    : controller_(&controller), platform_(std::move(platform)), pnpInfo_(std::move(info)) {
  dataHandler_ = controller.onDeviceData_;  // not claimed: nothing starts
  SetDataErrorHandler(controller.onDeviceDataError_);
  unplugHandler_ = controller.onDeviceUnplug_;

  HidHandle handle = platform_->Open(pnpInfo_.InterfacePath, HidOpenMode::ReadWrite);
  readWriteAccess_ = handle != kNoHidHandle;
  if (handle == kNoHidHandle)
    handle = platform_->Open(pnpInfo_.InterfacePath, HidOpenMode::NoAccess);
  if (handle == kNoHidHandle) throw EControllerError("device cannot be opened");
  const bool identified = platform_->GetAttributes(handle, attributes_);
  platform_->Close(handle);
  if (!identified) throw EControllerError("device cannot be identified");
}

THidDevice::~THidDevice() {
  StopReading();
  CloseHandles();
}

bool THidDevice::OpenMain() {
  std::lock_guard<std::mutex> lock(handleMutex_);
  if (mainHandle_ != kNoHidHandle) return true;
  if (!AccessAllowed()) return false;
  HidHandle handle = platform_->Open(pnpInfo_.InterfacePath, HidOpenMode::ReadWrite);
  readWriteAccess_ = handle != kNoHidHandle;
  if (handle == kNoHidHandle)
    handle = platform_->Open(pnpInfo_.InterfacePath, HidOpenMode::NoAccess);
  mainHandle_ = handle;
  return handle != kNoHidHandle;
}

void THidDevice::CloseMain() {
  std::lock_guard<std::mutex> lock(handleMutex_);
  if (mainHandle_ != kNoHidHandle) platform_->Close(mainHandle_);
  mainHandle_ = kNoHidHandle;
}

void THidDevice::CloseHandles() {
  std::lock_guard<std::mutex> lock(handleMutex_);
  for (HidHandle *handle : {&mainHandle_, &readHandle_, &writeHandle_}) {
    if (*handle != kNoHidHandle) platform_->Close(*handle);
    *handle = kNoHidHandle;
  }
}

HidHandle THidDevice::AcquireReadHandle(bool &tried) {
  std::lock_guard<std::mutex> lock(handleMutex_);
  tried = false;
  if (readHandle_ != kNoHidHandle) return readHandle_;
  if (!AccessAllowed()) return kNoHidHandle;
  tried = true;
  readHandle_ = platform_->Open(pnpInfo_.InterfacePath, HidOpenMode::ReadAsync);
  return readHandle_;
}

std::u16string THidDevice::ProductString() {
  if (productString_.empty() && OpenMain()) {
    std::array<char16_t, kStringUnits> text{};
    if (platform_->GetProductString(mainHandle_, text.data(), text.size())) {
      productString_ = upToFirstZero(text.data(), text.size());
    }
    CloseMain();
  }
  return productString_;
}

std::u16string THidDevice::SerialString() {
  if (serialString_.empty() && OpenMain()) {
    std::array<char16_t, kStringUnits> serial{};
    if (platform_->GetSerialNumberString(mainHandle_, serial.data(), serial.size())) {
      std::array<std::uint16_t, kStringUnits> languages;
      languages.fill(0xFFFF);
      platform_->GetLanguageList(mainHandle_, languages.data(), languages.size());
      serialString_ = acceptSerialString(serial.data(), languages.data(), kStringUnits);
    }
    CloseMain();
  }
  return serialString_;
}

std::uint16_t THidDevice::InputReportLength() {
  if (!capsRead_ && OpenMain()) {
    std::uint16_t length = 0;
    if (platform_->GetInputReportLength(mainHandle_, length)) {
      inputReportLength_ = length;
      capsRead_ = true;
    }
    CloseMain();
  }
  return inputReportLength_;
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
  if (!handler) StopReading();
  dataHandler_ = std::move(handler);
  if (dataHandler_ && attached_ && claimed_ && readWriteAccess_ && !readThread_ && !stopping_ &&
      controller_ != nullptr) {
    StartReading();
  }
}

void THidDevice::SetDataErrorHandler(THidDataErrorEvent handler) {
  dataErrorHandler_ = std::move(handler);
  hasDataErrorHandler_ = static_cast<bool>(dataErrorHandler_);
}

void THidDevice::StartReading() {
  reportsWaiting_ = false;
  readThread_ = std::make_unique<THidDeviceReadThread>(*this, InputReportLength());
  readThread_->Start();
}

void THidDevice::StopReading() {
  if (!readThread_ || controller_ == nullptr) return;
  // Taken out first: a handler carried out during the stop may call back in here.
  std::unique_ptr<THidDeviceReadThread> thread = std::move(readThread_);
  stopping_ = true;
  try {
    controller_->StopThread(*thread);
  } catch (...) {
    stopping_ = false;
    throw;
  }
  stopping_ = false;
}

bool THidDevice::SendFeature(const std::uint8_t *bytes, std::size_t length) {
  if (!OpenMain()) return false;
  return platform_->SendFeature(mainHandle_, bytes, length);
}

void THidDevice::SetSleepTime(int ms) {
  if (ms >= kMinSleepTime && ms <= kMaxSleepTime) sleepTime_ = ms;
}

void THidDevice::Release() {
  THidDataEvent data = dataHandler_;
  THidDataErrorEvent dataError = dataErrorHandler_;
  THidPlugEvent unplug = unplugHandler_;
  const int sleepTime = sleepTime_;

  SetDataHandler(nullptr);
  unplugHandler_ = nullptr;
  CloseHandles();
  capsRead_ = false;
  inputReportLength_ = 0;

  if (controller_ != nullptr) {
    controller_->ReplaceReleased(this, data, dataError, unplug, sleepTime);
  }
  delete this;
}

void THidDevice::Unplug() {
  CloseHandles();
  attached_ = false;
  if (unplugHandler_) {
    THidPlugEvent handler = std::move(unplugHandler_);
    unplugHandler_ = nullptr;
    handler(*this);
  }
}

// ---------------------------------------------------------------------------------------
// Controller

std::atomic<int> THidDeviceController::instances_{0};

THidDeviceController::THidDeviceController(std::shared_ptr<HidPlatform> platform)
    : platform_(std::move(platform)) {
  hidAvailable_ = platform_ != nullptr && platform_->Available();
  if (instances_.fetch_add(1) > 0) {
    instances_.fetch_sub(1);
    throw EControllerError(kOneInstanceText);
  }
  deviceList_ = ScanDevices();
  if (hidAvailable_) subscribed_ = platform_->Subscribe();
}

THidDeviceController::~THidDeviceController() {
  instances_.fetch_sub(1);
  onDeviceChange_ = nullptr;
  SetOnDeviceUnplug(nullptr);
  onEnumerate_ = nullptr;
  if (subscribed_) platform_->Unsubscribe();

  // Threads first, while the list is still whole: their pending hand-overs are carried out.
  for (std::size_t i = 0; i < deviceList_.size(); ++i) deviceList_[i]->StopReading();
  std::vector<THidDevice *> list = std::move(deviceList_);
  deviceList_.clear();
  for (THidDevice *device : list) {
    device->controller_ = nullptr;
    if (device->claimed_) {
      device->Unplug();
    } else {
      delete device;
    }
  }
}

void THidDeviceController::Destroy(THidDevice *device) {
  delete device;
}

int THidDeviceController::IndexOf(const THidDevice *device) const {
  auto it = std::find(deviceList_.begin(), deviceList_.end(), device);
  return it == deviceList_.end() ? -1 : static_cast<int>(it - deviceList_.begin());
}

void THidDeviceController::RemoveFromList(THidDevice *device) {
  auto it = std::find(deviceList_.begin(), deviceList_.end(), device);
  if (it != deviceList_.end()) deviceList_.erase(it);
}

THidDevice *THidDeviceController::CreateDevice(const THidPnPInfo &info) {
  try {
    return new THidDevice(*this, platform_, info);
  } catch (const EControllerError &) {
    return nullptr;  // the interface is left out
  }
}

std::vector<THidDevice *> THidDeviceController::ScanDevices() {
  std::vector<THidDevice *> list;
  if (!hidAvailable_) return list;
  for (const HidInterface &itf : platform_->ListInterfaces()) {
    if (THidDevice *device = CreateDevice({itf.InterfacePath, itf.InstanceId})) {
      list.push_back(device);
    }
  }
  return list;
}

void THidDeviceController::CallWithInCallback(THidDevice &device,
                                              const std::function<void()> &call) {
  FlagScope scope(device.inCallback_);
  call();
}

void THidDeviceController::DeviceChange() {
  // A change noticed while one is being reported (a handler running a nested event loop) is
  // taken up once the current one is done.
  if (inDeviceChange_) {
    deviceChangeAgain_ = true;
    return;
  }
  inDeviceChange_ = true;
  try {
    do {
      deviceChangeAgain_ = false;
      DeviceChangeOnce();
    } while (deviceChangeAgain_);
  } catch (...) {
    inDeviceChange_ = false;
    throw;
  }
  inDeviceChange_ = false;
}

void THidDeviceController::DeviceChangeOnce() {
  std::vector<THidDevice *> fresh = ScanDevices();
  bool changed = false;
  auto presentIn = [](const std::vector<THidDevice *> &list, std::uint32_t id) {
    return std::any_of(list.begin(), list.end(), [id](const THidDevice *d) {
      return d != nullptr && d->pnpInfo_.InstanceId == id;
    });
  };
  try {
    // Removals, from the end of the list. Handlers may change the list: work on a copy.
    const std::vector<THidDevice *> snapshot = deviceList_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
      THidDevice *entry = *it;
      if (IndexOf(entry) < 0) continue;
      if (entry->attached_ && presentIn(fresh, entry->pnpInfo_.InstanceId)) continue;
      changed = true;
      entry->Unplug();
      if (IndexOf(entry) < 0) continue;  // released by its unplug handler
      CallWithInCallback(*entry, [&] {
        if (onRemoval_) onRemoval_(*entry);
      });
      if (IndexOf(entry) >= 0 && !entry->claimed_) {
        RemoveFromList(entry);
        Destroy(entry);
      }
    }
    // Interfaces already listed keep their entries.
    for (THidDevice *&candidate : fresh) {
      const std::uint32_t id = candidate->pnpInfo_.InstanceId;
      const bool listed = std::any_of(deviceList_.begin(), deviceList_.end(), [id](THidDevice *d) {
        return d->attached_ && d->pnpInfo_.InstanceId == id;
      });
      if (listed) {
        Destroy(candidate);
        candidate = nullptr;
      }
    }
    // Arrivals, in scan order.
    for (THidDevice *&candidate : fresh) {
      if (candidate == nullptr) continue;
      THidDevice *entry = candidate;
      candidate = nullptr;
      deviceList_.push_back(entry);
      changed = true;
      CallWithInCallback(*entry, [&] {
        if (onArrival_) onArrival_(*entry);
      });
    }
  } catch (...) {
    for (THidDevice *candidate : fresh) Destroy(candidate);
    throw;
  }
  if ((changed || !changeReported_) && onDeviceChange_) {
    THidNotifyEvent handler = onDeviceChange_;
    handler(*this);
  }
}

int THidDeviceController::Enumerate() {
  int count = 0;
  for (std::size_t i = 0; i < deviceList_.size(); ++i) {
    THidDevice *entry = deviceList_[i];
    if (!entry->attached_) continue;
    ++count;
    bool goOn = false;
    CallWithInCallback(*entry, [&] {
      THidEnumerateEvent handler = onEnumerate_;
      goOn = handler ? handler(*entry, static_cast<int>(i)) : false;
    });
    if (IndexOf(entry) >= 0 && !entry->claimed_) entry->CloseHandles();
    if (!goOn) break;
  }
  return count;
}

THidDevice *THidDeviceController::ClaimByIndex(int Idx) {
  if (Idx < 0 || Idx >= static_cast<int>(deviceList_.size())) return nullptr;
  THidDevice *entry = deviceList_[static_cast<std::size_t>(Idx)];
  if (entry->claimed_) return nullptr;
  entry->claimed_ = true;
  entry->SetDataHandler(entry->dataHandler_);  // starts reading when it can
  return entry;
}

void THidDeviceController::ReplaceReleased(THidDevice *released, const THidDataEvent &data,
                                           const THidDataErrorEvent &dataError,
                                           const THidPlugEvent &unplug, int sleepTime) {
  const int index = IndexOf(released);
  if (index < 0) return;
  THidDevice *fresh = released->attached_ ? CreateDevice(released->pnpInfo_) : nullptr;
  if (fresh == nullptr) {
    // Unplugged, or vanishing right now: the slot goes.
    deviceList_.erase(deviceList_.begin() + index);
    return;
  }
  fresh->dataHandler_ = data;  // not claimed: no thread
  fresh->SetDataErrorHandler(dataError);
  fresh->unplugHandler_ = unplug;
  fresh->SetSleepTime(sleepTime);
  deviceList_[static_cast<std::size_t>(index)] = fresh;
}

int THidDeviceController::ChangeNoticeFd() const {
  return subscribed_ ? platform_->ChangeNoticeFd() : -1;
}

bool THidDeviceController::HandleChangeNotice() {
  if (!subscribed_ || !platform_->ConsumeChangeNotice()) return false;
  DeviceChange();
  return true;
}

void THidDeviceController::SetDevThreadSleepTime(int ms) {
  if (ms == devThreadSleepTime_) return;
  for (THidDevice *entry : deviceList_) {
    if (entry->sleepTime_ == devThreadSleepTime_) entry->SetSleepTime(ms);
  }
  devThreadSleepTime_ = ms;
}

void THidDeviceController::SetOnDeviceChange(THidNotifyEvent h) {
  if (h == onDeviceChange_) return;
  onDeviceChange_ = std::move(h);
  DeviceChange();
  changeReported_ = true;
}

void THidDeviceController::SetOnDeviceData(THidDataEvent h) {
  if (h == onDeviceData_) return;
  const std::vector<THidDevice *> snapshot = deviceList_;
  for (THidDevice *entry : snapshot) {
    if (IndexOf(entry) >= 0 && entry->dataHandler_ == onDeviceData_) entry->SetDataHandler(h);
  }
  onDeviceData_ = std::move(h);
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent h) {
  if (h == onDeviceDataError_) return;
  for (THidDevice *entry : deviceList_) {
    if (entry->dataErrorHandler_ == onDeviceDataError_) entry->SetDataErrorHandler(h);
  }
  onDeviceDataError_ = std::move(h);
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent h) {
  if (h == onDeviceUnplug_) return;
  for (THidDevice *entry : deviceList_) {
    if (entry->unplugHandler_ == onDeviceUnplug_) entry->unplugHandler_ = h;
  }
  onDeviceUnplug_ = std::move(h);
}

// ---------------------------------------------------------------------------------------
// Hand-over between a reading thread and the GUI thread

void THidDeviceController::SetHandOverWake(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(handOverMutex_);
  wake_ = std::move(wake);
}

void THidDeviceController::HandOver(THidDeviceReadThread &thread,
                                    std::shared_ptr<HandOverItem> item) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(handOverMutex_);
    handOvers_.push_back(item);
    wake = wake_;
  }
  handOverCv_.notify_all();  // a GUI thread stopping a reader waits for this
  if (wake) wake();
  std::unique_lock<std::mutex> lock(handOverMutex_);
  // Once asked to stop, the thread need not wait for a handler that is already running: that
  // handler may be the one stopping it.
  handOverCv_.wait(lock, [&] { return item->done || (thread.terminated_ && item->taken); });
}

void THidDeviceController::ThreadFinished(THidDeviceReadThread &thread) {
  {
    std::lock_guard<std::mutex> lock(handOverMutex_);
    thread.finished_ = true;
  }
  handOverCv_.notify_all();
}

int THidDeviceController::processHandOvers() {
  int count = 0;
  for (;;) {
    std::shared_ptr<HandOverItem> item;
    {
      std::lock_guard<std::mutex> lock(handOverMutex_);
      if (handOvers_.empty()) break;
      item = std::move(handOvers_.front());
      handOvers_.pop_front();
      item->taken = true;
    }
    handOverCv_.notify_all();
    auto finish = [&] {
      {
        std::lock_guard<std::mutex> lock(handOverMutex_);
        item->done = true;
      }
      handOverCv_.notify_all();
    };
    try {
      CarryOut(*item);
    } catch (...) {
      finish();
      throw;
    }
    finish();
    ++count;
  }
  return count;
}

void THidDeviceController::CarryOut(HandOverItem &item) {
  THidDevice &device = *item.device;
  if (item.isError) {
    THidDataErrorEvent handler = device.dataErrorHandler_;
    if (handler) handler(device, item.error);
    return;
  }
  THidDataEvent handler = device.dataHandler_;
  if (handler && !item.report.empty()) {
    handler(device, item.report[0], item.report.data() + 1,
            static_cast<std::uint16_t>(item.report.size() - 1));
  }
}

void THidDeviceController::StopThread(THidDeviceReadThread &thread) {
  {
    std::lock_guard<std::mutex> lock(handOverMutex_);
    thread.terminated_ = true;
  }
  handOverCv_.notify_all();
  for (;;) {
    processHandOvers();
    std::unique_lock<std::mutex> lock(handOverMutex_);
    if (thread.finished_) break;
    handOverCv_.wait(lock, [&] { return thread.finished_ || !handOvers_.empty(); });
  }
  thread.Join();
}

}  // namespace vexal
