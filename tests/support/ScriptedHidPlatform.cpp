#include "support/ScriptedHidPlatform.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace vexal {

namespace {

thread_local std::uint32_t tLastError = 0;

void copyText(const std::u16string &text, char16_t *buffer, std::size_t units) {
  if (units == 0) return;
  const std::size_t n = std::min(text.size(), units - 1);
  std::copy_n(text.begin(), n, buffer);
  buffer[n] = 0;
}

}  // namespace

ScriptedHidPlatform::ScriptedHidPlatform(bool available) : available_(available) {
  if (::pipe(noticePipe_) == 0) {
    for (int fd : noticePipe_) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  } else {
    noticePipe_[0] = noticePipe_[1] = -1;
  }
}

ScriptedHidPlatform::~ScriptedHidPlatform() {
  for (int fd : noticePipe_) {
    if (fd >= 0) ::close(fd);
  }
}

// ---------------------------------------------------------------------------------------
// The script

void ScriptedHidPlatform::Notify() {
  changed_ = true;
  if (noticePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(noticePipe_[1], &byte, 1);
  }
}

void ScriptedHidPlatform::Plug(Device device) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = std::make_shared<DeviceState>();
  state->setup = std::move(device);
  lastByPath_[state->setup.path] = state;
  devices_.push_back(std::move(state));
  Notify();
}

void ScriptedHidPlatform::Unplug(const std::string &path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(devices_.begin(), devices_.end(),
                           [&](const auto &d) { return d->setup.path == path; });
    if (it == devices_.end()) return;
    (*it)->gone = true;
    devices_.erase(it);
    Notify();
  }
  cv_.notify_all();
}

void ScriptedHidPlatform::RaiseNotice() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (noticePipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(noticePipe_[1], &byte, 1);
  }
}

void ScriptedHidPlatform::Update(const std::string &path,
                                 const std::function<void(Device &)> &change) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto state = Present(path)) {
    const std::string keep = state->setup.path;
    change(state->setup);
    state->setup.path = keep;
  }
}

void ScriptedHidPlatform::QueueReport(const std::string &path, std::vector<std::uint8_t> bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto state = AnyState(path)) state->reads.emplace_back(std::move(bytes));
  }
  cv_.notify_all();
}

void ScriptedHidPlatform::QueueStartFailure(const std::string &path, std::uint32_t code) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto state = AnyState(path)) state->reads.emplace_back(StartFailure{code});
  }
  cv_.notify_all();
}

void ScriptedHidPlatform::QueueEmptyRead(const std::string &path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto state = AnyState(path)) state->reads.emplace_back(EmptyRead{});
  }
  cv_.notify_all();
}

std::size_t ScriptedHidPlatform::QueuedReads(const std::string &path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = AnyState(path);
  return state ? state->reads.size() : 0;
}

bool ScriptedHidPlatform::WaitForIdleRead(const std::string &path,
                                          std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] {
    auto state = AnyState(path);
    return state && state->readOutstanding && state->reads.empty();
  });
}

std::vector<ScriptedHidPlatform::FeatureAttempt> ScriptedHidPlatform::FeatureAttempts(
    const std::string &path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = AnyState(path);
  return state ? state->features : std::vector<FeatureAttempt>{};
}

std::vector<std::chrono::milliseconds> ScriptedHidPlatform::Sleeps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleeps_;
}

std::vector<std::size_t> ScriptedHidPlatform::ReadLengths(const std::string &path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = AnyState(path);
  return state ? state->readLengths : std::vector<std::size_t>{};
}

int ScriptedHidPlatform::OpenHandles(const std::string &path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = AnyState(path);
  return state ? state->openHandles : 0;
}

int ScriptedHidPlatform::Opens(const std::string &path, HidOpenMode mode) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = AnyState(path);
  if (!state) return 0;
  auto it = state->opens.find(mode);
  return it == state->opens.end() ? 0 : it->second;
}

int ScriptedHidPlatform::Cancels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancels_;
}

void ScriptedHidPlatform::SetRealWaitCap(std::chrono::milliseconds cap) {
  std::lock_guard<std::mutex> lock(mutex_);
  realWaitCap_ = cap;
}

void ScriptedHidPlatform::SetRealSleep(bool real) {
  std::lock_guard<std::mutex> lock(mutex_);
  realSleep_ = real;
}

// ---------------------------------------------------------------------------------------
// Helpers (mutex held)

std::shared_ptr<ScriptedHidPlatform::DeviceState> ScriptedHidPlatform::Present(
    const std::string &path) const {
  for (const auto &state : devices_) {
    if (state->setup.path == path) return state;
  }
  return nullptr;
}

std::shared_ptr<ScriptedHidPlatform::DeviceState> ScriptedHidPlatform::AnyState(
    const std::string &path) const {
  auto it = lastByPath_.find(path);
  return it == lastByPath_.end() ? nullptr : it->second;
}

ScriptedHidPlatform::HandleState *ScriptedHidPlatform::FindHandle(HidHandle h) {
  auto it = handles_.find(h);
  return it == handles_.end() ? nullptr : &it->second;
}

bool ScriptedHidPlatform::Fail(std::uint32_t code) {
  tLastError = code;
  return false;
}

// ---------------------------------------------------------------------------------------
// HidPlatform

bool ScriptedHidPlatform::Available() {
  std::lock_guard<std::mutex> lock(mutex_);
  return available_;
}

std::vector<HidInterface> ScriptedHidPlatform::ListInterfaces() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<HidInterface> list;
  for (const auto &state : devices_) list.push_back({state->setup.path, state->setup.instanceId});
  return list;
}

HidHandle ScriptedHidPlatform::Open(const std::string &path, HidOpenMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto state = Present(path);
  std::uint32_t refusal = 0;
  if (!state) {
    refusal = kNotFound;
  } else if (!state->setup.openable ||
             (mode != HidOpenMode::NoAccess && !state->setup.readWriteAccess)) {
    refusal = kAccessDenied;
  }
  if (refusal != 0) {
    Fail(refusal);
    return kNoHidHandle;
  }
  const HidHandle h = nextHandle_++;
  HandleState &handle = handles_[h];
  handle.device = state;
  handle.mode = mode;
  ++state->openHandles;
  ++state->opens[mode];
  return h;
}

void ScriptedHidPlatform::Close(HidHandle h) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(h);
    if (it == handles_.end()) return;
    --it->second.device->openHandles;
    if (it->second.outstanding) it->second.device->readOutstanding = false;
    handles_.erase(it);
  }
  cv_.notify_all();  // a read waiting on the handle ends
}

bool ScriptedHidPlatform::GetAttributes(HidHandle h, HidAttributes &out) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  if (handle->device->gone) return Fail(kDeviceGone);
  if (!handle->device->setup.identifiable) return Fail(kRefused);
  out = handle->device->setup.attributes;
  return true;
}

bool ScriptedHidPlatform::GetProductString(HidHandle h, char16_t *buffer, std::size_t units) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  if (handle->device->gone) return Fail(kDeviceGone);
  if (!handle->device->setup.productReadable) return Fail(kRefused);
  copyText(handle->device->setup.product, buffer, units);
  return true;
}

bool ScriptedHidPlatform::GetSerialNumberString(HidHandle h, char16_t *buffer, std::size_t units) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  if (handle->device->gone) return Fail(kDeviceGone);
  if (!handle->device->setup.serialReadable) return Fail(kRefused);
  copyText(handle->device->setup.serial, buffer, units);
  return true;
}

bool ScriptedHidPlatform::GetLanguageList(HidHandle h, std::uint16_t *buffer, std::size_t units) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  if (handle->device->gone) return Fail(kDeviceGone);
  if (!handle->device->setup.languagesReadable) return Fail(kRefused);
  const auto &languages = handle->device->setup.languages;
  std::copy_n(languages.begin(), std::min(languages.size(), units), buffer);
  return true;
}

bool ScriptedHidPlatform::GetInputReportLength(HidHandle h, std::uint16_t &out) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  if (handle->device->gone) return Fail(kDeviceGone);
  if (!handle->device->setup.capsReadable) return Fail(kRefused);
  out = handle->device->setup.inputReportLength;
  return true;
}

bool ScriptedHidPlatform::StartRead(HidHandle h, std::uint8_t *buffer, std::size_t length) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    HandleState *handle = FindHandle(h);
    if (!handle) return Fail(kInvalidHandle);
    DeviceState &device = *handle->device;
    if (device.gone) return Fail(kDeviceGone);
    if (handle->mode != HidOpenMode::ReadAsync && handle->mode != HidOpenMode::ReadWrite) {
      return Fail(kAccessDenied);
    }
    if (!device.reads.empty()) {
      if (auto *failure = std::get_if<StartFailure>(&device.reads.front())) {
        const std::uint32_t code = failure->code;
        device.reads.erase(device.reads.begin());
        return Fail(code);
      }
    }
    handle->buffer = buffer;
    handle->length = length;
    handle->outstanding = true;
    handle->completed = false;
    handle->result = 0;
    device.readOutstanding = true;
    device.readLengths.push_back(length);
  }
  cv_.notify_all();
  return true;
}

HidReadState ScriptedHidPlatform::AwaitRead(HidHandle h, std::chrono::milliseconds slice) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [&] {
    HandleState *handle = FindHandle(h);
    if (!handle || !handle->outstanding) return true;
    const DeviceState &device = *handle->device;
    return device.gone || !device.reads.empty();
  };
  cv_.wait_for(lock, std::min(slice, realWaitCap_), ready);
  HandleState *handle = FindHandle(h);
  if (!handle) return HidReadState::Completed;  // closed meanwhile: no bytes
  if (!handle->outstanding) return HidReadState::Completed;
  DeviceState &device = *handle->device;
  if (device.gone) {
    handle->outstanding = false;
    handle->completed = true;
    handle->result = 0;
  } else if (!device.reads.empty()) {
    ReadItem item = std::move(device.reads.front());
    if (std::holds_alternative<StartFailure>(item)) {
      // A failure queued while this read was out: this read yields nothing, the next one
      // fails to start.
      handle->result = 0;
    } else {
      device.reads.erase(device.reads.begin());
      if (auto *bytes = std::get_if<std::vector<std::uint8_t>>(&item)) {
        const std::size_t n = std::min(bytes->size(), handle->length);
        std::copy_n(bytes->begin(), n, handle->buffer);
        handle->result = n;
      } else {
        handle->result = 0;
      }
    }
    handle->outstanding = false;
    handle->completed = true;
  } else {
    return HidReadState::Pending;
  }
  device.readOutstanding = false;
  return HidReadState::Completed;
}

std::size_t ScriptedHidPlatform::ReadResult(HidHandle h) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle || !handle->completed) return 0;
  return handle->result;
}

void ScriptedHidPlatform::CancelRead(HidHandle h) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++cancels_;
  HandleState *handle = FindHandle(h);
  if (!handle) return;
  if (handle->outstanding) handle->device->readOutstanding = false;
  handle->outstanding = false;
  handle->completed = false;
  handle->buffer = nullptr;
}

bool ScriptedHidPlatform::SendFeature(HidHandle h, const std::uint8_t *data, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleState *handle = FindHandle(h);
  if (!handle) return Fail(kInvalidHandle);
  DeviceState &device = *handle->device;
  FeatureAttempt attempt{std::vector<std::uint8_t>(data, data + length), false};
  if (device.gone) {
    device.features.push_back(std::move(attempt));
    return Fail(kDeviceGone);
  }
  if (handle->mode != HidOpenMode::ReadWrite || device.setup.refuseFeature) {
    device.features.push_back(std::move(attempt));
    return Fail(handle->mode != HidOpenMode::ReadWrite ? kAccessDenied : kRefused);
  }
  attempt.accepted = true;
  device.features.push_back(std::move(attempt));
  return true;
}

std::uint32_t ScriptedHidPlatform::LastError() {
  return tLastError;
}

std::string ScriptedHidPlatform::ErrorText(std::uint32_t code) {
  switch (code) {
    case kNotFound:
      return "The system cannot find the file specified.";
    case kAccessDenied:
      return "Access is denied.";
    case kInvalidHandle:
      return "The handle is invalid.";
    case kRefused:
      return "A device attached to the system is not functioning.";
    case kDeviceGone:
      return "The device is not connected.";
    default:
      return "Error " + std::to_string(code);
  }
}

bool ScriptedHidPlatform::Subscribe() {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribed_ = available_;
  return subscribed_;
}

void ScriptedHidPlatform::Unsubscribe() {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribed_ = false;
}

int ScriptedHidPlatform::ChangeNoticeFd() {
  std::lock_guard<std::mutex> lock(mutex_);
  return subscribed_ ? noticePipe_[0] : -1;
}

bool ScriptedHidPlatform::ConsumeChangeNotice() {
  std::lock_guard<std::mutex> lock(mutex_);
  char drain[64];
  while (noticePipe_[0] >= 0 && ::read(noticePipe_[0], drain, sizeof drain) > 0) {
  }
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

void ScriptedHidPlatform::Sleep(std::chrono::milliseconds d) {
  bool real = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(d);
    real = realSleep_;
  }
  if (real) std::this_thread::sleep_for(d);
}

}  // namespace vexal
