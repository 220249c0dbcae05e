#include "link/ConnectionControl.h"

#include <cstdio>

#include "common/Hex.h"

namespace vexal {

std::string DescribeDevice(THidDevice &HidDev) {
  std::string line = hidTextToUtf8(HidDev.ProductString());
  if (line.empty()) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "Device VID=%.4X PID=%.4X", HidDev.VendorId(),
                  HidDev.ProductId());
    line = buf;
  }
  std::string serial = hidTextToUtf8(HidDev.SerialString());
  if (!serial.empty()) line += " (Serial=" + serial + ")";
  return line;
}

ConnectionControl::ConnectionControl(THidDeviceController &HidCtl, LinkShell &shell,
                                     ReportHandler readLusk)
    : hidCtl_(HidCtl), shell_(shell), readLusk_(std::move(readLusk)) {
  dataHandler_ = THidDataEvent([this](THidDevice &dev, std::uint8_t id, const std::uint8_t *data,
                                      std::uint16_t size) { onReport(dev, id, data, size); });
  hidCtl_.SetOnArrival(THidPlugEvent([this](THidDevice &d) { HidCtlArrival(d); }));
  hidCtl_.SetOnEnumerate(
      THidEnumerateEvent([this](THidDevice &d, int idx) { return HidCtlEnumerate(d, idx); }));
  hidCtl_.SetOnDeviceChange(
      THidNotifyEvent([this](THidDeviceController &c) { HidCtlDeviceChange(c); }));
  hidCtl_.SetOnDeviceDataError(
      THidDataErrorEvent([this](THidDevice &d, std::uint32_t e) { HidCtlDeviceDataError(d, e); }));
  hidCtl_.SetOnRemoval(THidPlugEvent([this](THidDevice &d) { HidCtlRemoval(d); }));
}

ConnectionControl::~ConnectionControl() {
  // Clearing the device-change event re-scans; nothing of this object is told any more.
  hidCtl_.SetOnEnumerate(nullptr);
  hidCtl_.SetOnArrival(nullptr);
  hidCtl_.SetOnRemoval(nullptr);
  hidCtl_.SetOnDeviceDataError(nullptr);
  hidCtl_.SetOnDeviceChange(nullptr);
  releaseListedDevices();
}

THidDevice *ConnectionControl::selectedDevice() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(devList_.size())) return nullptr;
  return devList_[selected_].device;
}

bool ConnectionControl::ReadingBehind() const {
  const THidDevice *dev = selectedDevice();
  return dev != nullptr && dev->ReportsWaiting();
}

void ConnectionControl::addHistory(std::string line) {
  history_.push_back(std::move(line));
  shell_.linkStateChanged();
}

void ConnectionControl::setTimer2(bool on) {
  timer2Enabled_ = on;
  if (on)
    shell_.timer2Start();
  else
    shell_.timer2Stop();
}

void ConnectionControl::restartWatchdog() {
  setTimer2(true);
}

// ReadLusk as the cable's data handler. A decoded frame asks for the link's hold: the
// reading thread then waits before its next read, so the GUI thread stays free. A reader
// that found this report already waiting is behind the meter, though: holding it would only
// let the system's queue of reports overflow (and lose readings), so it reads on until it
// has caught up.
void ConnectionControl::onReport(THidDevice &dev, std::uint8_t id, const std::uint8_t *data,
                                 std::uint16_t size) {
  if (readLusk_(id, data, size) && !dev.ReportsWaiting()) dev.HoldNextRead(kLinkHold);
}

void ConnectionControl::ReadBtnClick() {
  stopReading(true);
}

// Stops reading the selected cable. Its read handle stays open, and the system goes on
// queueing the cable's reports for it: reading that resumes on the same device (the
// watchdog's re-open) goes on where it stopped, and a frame cut by the stop is completed
// from the queue. `endTransmission` is for reading that may resume elsewhere (another
// device, a fresh handle after a device change, or after the user's Disconnect).
void ConnectionControl::stopReading(bool endTransmission) {
  THidDevice *dev = selectedDevice();
  if (!dev || !dev->ReadWriteAccess()) return;
  const bool wasReading = dev->Reading();
  dev->SetDataHandler(nullptr);
  if (wasReading && endTransmission) endUnfinishedTransmission();
}

// Once reading stops for good, the rest of a transmission in progress is lost: the
// assembler is told it ended (a report without data), so that a cut frame is dropped rather
// than joined to the next transmission read.
void ConnectionControl::endUnfinishedTransmission() {
  static constexpr std::uint8_t kNoData[] = {0x00};
  readLusk_(0, kNoData, sizeof kNoData);
}

void ConnectionControl::SetFeatureClick() {
  if (THidDevice *dev = selectedDevice()) {
    std::array<std::uint8_t, 10> report = kCableFeatureReport;
    dev->SendFeature(report.data(), report.size());  // a refusal changes nothing
    std::string line;
    for (std::size_t i = 1; i < report.size(); ++i) {
      appendHexByte(line, report[i]);
      line += ' ';
    }
    // The ten bytes after the report ID of the zero-filled report buffer.
    line += "00 ";
    addHistory(line);
    return;
  }
  if (!timer2Enabled_ && usbConDown_) {
    // The box says only that the cable is missing; the history says what was looked at.
    addHistory(std::string("NO CABLE: no \"") + kCableName + "\" among the " +
               std::to_string(devList_.size()) + " HID devices seen");
    shell_.showInformation(kCableMissingText);
    usbConDown_ = false;
  }
}

void ConnectionControl::linkStep(bool fromUser) {
  usbConDown_ = !usbConDown_;
  stopReading(fromUser);
  SetFeatureClick();
  if (selected_ >= 0 && selected_ < static_cast<int>(devList_.size())) {
    THidDevice *dev = devList_[selected_].device;
    if (dev && !dev->ReadWriteAccess()) {
      usbConDown_ = false;
      // Silence here would leave the user guessing; on Linux this is nearly always the
      // permission of the cable's device node.
      if (fromUser) {
        addHistory("NO ACCESS: " + devList_[selected_].text);
        shell_.showInformation(kNoAccessText);
      }
    } else if (dev && usbConDown_) {
      dev->SetDataHandler(dataHandler_);
    } else if (dev) {
      dev->SetDataHandler(nullptr);
    }
  }
  shell_.linkStateChanged();
}

void ConnectionControl::USBConClick() {
  linkStep(true);
  linkOpened_ = usbConDown_;
  comsetEnabled_ = !usbConDown_;
  shell_.linkStateChanged();
}

void ConnectionControl::Timer2Timer() {
  linkStep(false);
}

void ConnectionControl::Panel2Click() {
  setTimer2(false);
  if (!linkOpened_) {
    USBConClick();
  } else {
    linkOpened_ = false;
    comsetEnabled_ = true;
    if (linkKind_ == 5) USBConClick();
  }
  // A report handed over while reading was being stopped may have completed a frame and
  // restarted the watchdog; a released link must stay released.
  if (!usbConDown_) setTimer2(false);
  shell_.linkStateChanged();
}

void ConnectionControl::COMClick(int n) {
  if (n < 1 || n > 4) return;
  for (int i = 1; i <= 4; ++i) comChecked_[i - 1] = (i == n) ? !comChecked_[i - 1] : false;
  linkKind_ = n;
  shell_.linkStateChanged();
}

void ConnectionControl::USBClick() {
  comChecked_.fill(false);
  usbChecked_ = !usbChecked_;
  linkKind_ = 5;
  shell_.linkStateChanged();
}

void ConnectionControl::Panel1Click() {
  if (linkOpened_) return;
  if (linkKind_ >= 1 && linkKind_ <= 3)
    COMClick(linkKind_ + 1);
  else if (linkKind_ == 4)
    USBClick();
  else
    COMClick(1);
}

void ConnectionControl::HidCtlArrival(THidDevice &HidDev) {
  addHistory("Arrival of " + DescribeDevice(HidDev));
}

void ConnectionControl::HidCtlRemoval(THidDevice &HidDev) {
  addHistory("Removal of " + DescribeDevice(HidDev));
}

void ConnectionControl::HidCtlDeviceDataError(THidDevice &, std::uint32_t Error) {
  char code[16];
  std::snprintf(code, sizeof code, "%X", Error);
  addHistory("READ ERROR: " + hidCtl_.Platform().ErrorText(Error) + " (" + code + ")");
}

bool ConnectionControl::HidCtlEnumerate(THidDevice &HidDev, int Idx) {
  DeviceLine line{DescribeDevice(HidDev), nullptr};
  line.device = hidCtl_.ClaimByIndex(Idx);
  devList_.push_back(std::move(line));
  return true;
}

void ConnectionControl::releaseListedDevices() {
  std::vector<DeviceLine> lines;
  lines.swap(devList_);
  selected_ = -1;
  for (DeviceLine &line : lines)
    if (line.device) line.device->Release();
}

void ConnectionControl::HidCtlDeviceChange(THidDeviceController &) {
  ReadBtnClick();
  releaseListedDevices();
  hidCtl_.Enumerate();
  for (int i = 0; i < static_cast<int>(devList_.size()); ++i)
    if (devList_[i].text == kCableName) selected_ = i;
  // Any change of the devices stops the cable's reading. While the link is open, read the
  // newly selected cable again at once instead of leaving the link silent.
  if (usbConDown_) resumeOnSelectedCable();
  shell_.linkStateChanged();
}

// Opens the link on the selected cable as Connect does: a freshly plugged cable has
// forgotten its line rate, so it gets the feature report (and its history line) before
// reading starts.
void ConnectionControl::resumeOnSelectedCable() {
  THidDevice *dev = selectedDevice();
  if (!dev || !dev->ReadWriteAccess()) return;
  SetFeatureClick();
  dev->SetDataHandler(dataHandler_);
}

}  // namespace vexal
