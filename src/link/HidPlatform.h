#pragma once
// The operating system's HID services as the device controller uses them. One backend per
// platform implements this (HidPlatformLinux on Linux); tests use ScriptedHidPlatform.
//
// Threads: everything is called on the GUI thread except StartRead, AwaitRead, ReadResult,
// CancelRead, Open/Close of a read handle, LastError and Sleep, which the reading thread of a
// device calls. A backend must allow Close of a read handle from the GUI thread while the
// reading thread waits on it: the wait then ends and the read yields no bytes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexal {

// An open device as the backend knows it. Values are never reused within one backend, so a
// handle closed meanwhile can never reach another device.
using HidHandle = std::uint64_t;
inline constexpr HidHandle kNoHidHandle = 0;

// One present HID interface.
struct HidInterface {
  std::string InterfacePath;  // what Open takes
  // Identity of the plugged-in device: the same across scans while it stays plugged in,
  // different for each plug-in and between devices present at the same time.
  std::uint32_t InstanceId = 0;
};

struct HidAttributes {
  std::uint16_t VendorId = 0;
  std::uint16_t ProductId = 0;
  std::uint16_t VersionNumber = 0;
};

enum class HidOpenMode {
  ReadWrite,  // synchronous use: strings, capabilities, feature reports
  NoAccess,   // enough to read the identity and the strings, nothing more
  ReadAsync,  // the reading thread's handle
  WriteAsync,
};

enum class HidReadState { Pending, Completed };

class HidPlatform {
 public:
  virtual ~HidPlatform() = default;

  // False when the HID services cannot be used at all: no devices, no change notices.
  virtual bool Available() = 0;

  // The present interfaces, in a stable order.
  virtual std::vector<HidInterface> ListInterfaces() = 0;

  // kNoHidHandle on failure (LastError tells why).
  virtual HidHandle Open(const std::string &path, HidOpenMode mode) = 0;
  virtual void Close(HidHandle h) = 0;

  virtual bool GetAttributes(HidHandle h, HidAttributes &out) = 0;
  // Strings as 16-bit units, zero-terminated within `units`.
  virtual bool GetProductString(HidHandle h, char16_t *buffer, std::size_t units) = 0;
  virtual bool GetSerialNumberString(HidHandle h, char16_t *buffer, std::size_t units) = 0;
  // String descriptor 0: the device's language IDs. Writes only as many units as it reads.
  virtual bool GetLanguageList(HidHandle h, std::uint16_t *buffer, std::size_t units) = 0;
  // Bytes of the longest input report, report-ID byte included (from the report descriptor).
  virtual bool GetInputReportLength(HidHandle h, std::uint16_t &out) = 0;

  // One read of an input report into `buffer` (report-ID byte first: 0 for a device that
  // uses no report IDs). At most one read per handle is outstanding. False when the read
  // cannot be started: the device is gone, the handle is not open, the platform refused.
  virtual bool StartRead(HidHandle h, std::uint8_t *buffer, std::size_t length) = 0;
  // Waits at most `slice` for the outstanding read; a completing read ends the wait early.
  virtual HidReadState AwaitRead(HidHandle h, std::chrono::milliseconds slice) = 0;
  // Bytes the completed read transferred: 0 when the read failed or the handle was closed.
  virtual std::size_t ReadResult(HidHandle h) = 0;
  // Cancels the outstanding read and returns once nothing writes into its buffer any more.
  virtual void CancelRead(HidHandle h) = 0;

  // One feature report; byte 0 is the report ID.
  virtual bool SendFeature(HidHandle h, const std::uint8_t *data, std::size_t length) = 0;

  // The error code of the calling thread's last failed call, and its text.
  virtual std::uint32_t LastError() = 0;
  virtual std::string ErrorText(std::uint32_t code) = 0;

  // Device-change notices. Subscribe starts listening; the notice file descriptor then
  // becomes readable whenever something may have changed (-1 = none to watch). The GUI
  // thread calls ConsumeChangeNotice when it is readable: true when the device tree changed.
  virtual bool Subscribe() = 0;
  virtual void Unsubscribe() = 0;
  virtual int ChangeNoticeFd() = 0;
  virtual bool ConsumeChangeNotice() = 0;

  // Blocks the calling thread (the reading thread's hold between frames).
  virtual void Sleep(std::chrono::milliseconds d) = 0;
};

// The backend of the platform this program was built for.
std::shared_ptr<HidPlatform> makeSystemHidPlatform();

}  // namespace vexal
