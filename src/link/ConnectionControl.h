#pragma once
// The meter link as the user runs it: keeps the list of HID devices, picks the cable ("USB
// to Serial"), opens and releases the link with the Connect/Disconnect panel, sends the
// cable its line-rate feature report, and runs the watchdog that re-opens a link whose
// frames stop. GUI-free: the window mirrors the state kept here, and the owner supplies the
// watchdog timer and the information boxes through LinkShell.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/CableIdentity.h"
#include "link/HidControllerClass.h"

namespace vexal {

inline constexpr const char *kCableMissingText =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr const char *kNoAccessText =
    "The USB interface cable is connected, but this user may not read it.\n\n"
    "Install Vexal's udev rule (60-vexal-cable.rules, installed with the program into "
    "/usr/lib/udev/rules.d or /etc/udev/rules.d), then unplug the cable and plug it in again.";
// How long the reading thread waits after a decoded frame before its next read.
inline constexpr std::chrono::milliseconds kLinkHold{500};

// What the connection control needs of its owner.
class LinkShell {
 public:
  virtual ~LinkShell() = default;
  // The watchdog Timer2 (1000 ms): (re)start so the full interval counts from now; stop.
  virtual void timer2Start() = 0;
  virtual void timer2Stop() = 0;
  // An information box with an OK button.
  virtual void showInformation(const std::string &text) = 0;
  // The link's state, lists or history changed: mirror them.
  virtual void linkStateChanged() = 0;
};

// One line of DevListBox: its text and the claimed device attached to it (none when the
// claim failed).
struct DeviceLine {
  std::string text;
  THidDevice *device = nullptr;
};

// The line of text that describes a device: its product string, or "Device VID=%.4X
// PID=%.4X"; then " (Serial=%s)" when it has a serial number.
std::string DescribeDevice(THidDevice &HidDev);

class ConnectionControl {
 public:
  // Takes one of the cable's reports; returns whether the link holds its reading thread for
  // kLinkHold before the next read (after a decoded frame).
  using ReportHandler = std::function<bool(std::uint8_t, const std::uint8_t *, std::uint16_t)>;

  // The cable's reports go to `readLusk` while the link is open. Attaches the controller's
  // events in start-up order (arrival, enumerate, device change, data error, removal); the
  // device-change event fills the device list at once.
  ConnectionControl(THidDeviceController &HidCtl, LinkShell &shell, ReportHandler readLusk);
  ~ConnectionControl();
  ConnectionControl(const ConnectionControl &) = delete;
  ConnectionControl &operator=(const ConnectionControl &) = delete;

  // Handlers of the window.
  void Panel2Click();
  void USBConClick();
  void ReadBtnClick();
  void SetFeatureClick();
  void Timer2Timer();
  void COMClick(int n);  // COM1Click .. COM4Click
  void USBClick();
  void Panel1Click();

  // Every decoded frame restarts the watchdog.
  void restartWatchdog();

  // Handlers of the controller's events.
  void HidCtlArrival(THidDevice &HidDev);
  void HidCtlRemoval(THidDevice &HidDev);
  bool HidCtlEnumerate(THidDevice &HidDev, int Idx);
  void HidCtlDeviceChange(THidDeviceController &Sender);
  void HidCtlDeviceDataError(THidDevice &HidDev, std::uint32_t Error);

  // State the window shows.
  // The link was opened by the user: the panel offers "Disconnect" (else "Connect"). It
  // stays opened while the watchdog releases and re-opens the cable.
  bool LinkOpened() const { return linkOpened_; }
  bool USBConDown() const { return usbConDown_; }
  bool ComsetEnabled() const { return comsetEnabled_; }
  bool Timer2Enabled() const { return timer2Enabled_; }
  // 1 to 4: COM1 to COM4, 5: USB.
  int LinkKind() const { return linkKind_; }
  bool ComChecked(int n) const { return comChecked_[n - 1]; }
  bool USBChecked() const { return usbChecked_; }
  const std::vector<DeviceLine> &DevListBox() const { return devList_; }
  int DevListSelected() const { return selected_; }
  const std::vector<std::string> &HistoryListBox() const { return history_; }
  // The cable is being read and its reader is behind: reports the meter sent wait for it.
  bool ReadingBehind() const;

 private:
  THidDevice *selectedDevice() const;
  void addHistory(std::string line);
  void linkStep(bool fromUser);
  void stopReading(bool endTransmission);
  void resumeOnSelectedCable();
  void endUnfinishedTransmission();
  void setTimer2(bool on);
  void onReport(THidDevice &dev, std::uint8_t id, const std::uint8_t *data, std::uint16_t size);
  void releaseListedDevices();

  THidDeviceController &hidCtl_;
  LinkShell &shell_;
  ReportHandler readLusk_;
  THidDataEvent dataHandler_;  // ReadLusk as the cable's data handler

  bool linkOpened_ = false;
  bool usbConDown_ = false;
  bool comsetEnabled_ = true;
  bool timer2Enabled_ = false;
  int linkKind_ = 5;
  std::array<bool, 4> comChecked_{};
  bool usbChecked_ = false;
  std::vector<DeviceLine> devList_;
  int selected_ = -1;
  std::vector<std::string> history_;
};

}  // namespace vexal
