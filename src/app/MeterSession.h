#pragma once
// The meter session: the one owner of the link (HID controller and connection control), of
// the road of a frame (assembler, decoder, LCD mirror state, current reading) and of the
// recording (reading table, recorder). The main window, the replay tool and the benchmarks
// all drive a session; it tells its observer what changed. GUI-free: timers and boxes come
// from the caller.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorText.h"
#include "decode/FrameDecoder.h"
#include "decode/PanelState.h"
#include "decode/Reading.h"
#include "link/ConnectionControl.h"
#include "link/FrameAssembler.h"
#include "link/HidControllerClass.h"
#include "record/ReadingJournal.h"
#include "record/ReadingTable.h"
#include "record/Recorder.h"
#include "record/TimeOfDay.h"

namespace vexal {

// The link watchdog `Timer2` (1000 ms) as the session sees it. The caller's event loop calls
// MeterSession::Timer2Timer when it fires.
class SessionTimer {
 public:
  virtual ~SessionTimer() = default;
  virtual void start() = 0;  // (re)start, so the full interval counts from now
  virtual void stop() = 0;
};

// What one cable report did.
struct ReportOutcome {
  bool frameDecoded = false;  // it closed a frame and the decoder ran
  bool recorded = false;      // the reading became a row of the table
  bool holdLink = false;      // the link holds its reading thread before the next read
  bool limitReached = false;  // the reading was not recorded: the record limit is reached
};

// What the session tells the window.
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // A frame went through the decoder: the mirror and the reading may have changed.
  virtual void frameDecoded(const ReportOutcome &) {}
  // The link's state, device list or history changed.
  virtual void linkChanged() {}
  // An information box with an OK button.
  virtual void informationRequested(const std::string & /*text*/) {}
  // A frame failed to decode or to be recorded (the interval box holds no number). Each
  // distinct message is told once while it repeats frame after frame.
  virtual void errorRaised(const std::string & /*message*/) {}
};

class MeterSession : private LinkShell {
 public:
  // A session without a link: reports come from a capture, a file or a test.
  explicit MeterSession(Clock &clock);
  // A session with the machine's HID devices (`hid`). The controller takes its first
  // inventory and the device list is filled with the cable selected; `watchdog` is Timer2.
  MeterSession(Clock &clock, std::shared_ptr<HidPlatform> hid, SessionTimer &watchdog);
  ~MeterSession() override;
  MeterSession(const MeterSession &) = delete;
  MeterSession &operator=(const MeterSession &) = delete;

  // The observer is not owned; none is told when left empty.
  void setObserver(SessionObserver *observer) { observer_ = observer; }

  // One cable input report (the bytes after the report-ID byte): the road of a frame from
  // the cable to the table. While the table is held, the report waits (see holdTable).
  ReportOutcome ReadLusk(std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size);
  // The rest of that road for one frame text as the assembler hands it over.
  ReportOutcome decodeFrame(const std::string &frameText);

  // Recording rules: the sampling timer's tick and the interval box's new text (throws
  // EConvertError when it does not convert; the same error from frames is then not told
  // again until the box holds a number).
  void SampInterTimeTimer() { recorder.SampInterTimeTimer(); }
  void RecordSITimeChange(std::string_view text);

  // Delete Data, once the user has confirmed: the rows, the numbering and the journal start
  // again.
  void ClearData();

  // The journal of this program run (not owned; none when left empty): every recorded
  // reading goes to it in the same step. `stopped` hears, once, why it is no longer written;
  // recording goes on in memory.
  void setJournal(ReadingJournal *journal, std::function<void(const std::string &)> stopped);
  // Save Data wrote every row of the table: the journal is saved, provided the table still
  // holds every row of it (no XML file replaced the table since).
  void tableSaved();

  // While a file job reads or writes the table off the GUI thread, the grid's updates are
  // suspended and cable reports are kept; releasing feeds them in order of arrival.
  void holdTable();
  void releaseTable();
  bool tableHeld() const { return tableHeld_; }

  // The link; only a session made with HID devices has one.
  bool hasLink() const { return link_ != nullptr; }
  ConnectionControl &link() { return *link_; }
  const ConnectionControl &link() const { return *link_; }
  THidDeviceController &HidCtl() { return *hidCtl_; }
  // The watchdog fired: a second without a decoded frame. A tick that comes while frames are
  // still coming (the reader is behind the meter, or one is arriving) is let pass.
  void Timer2Timer();

  PanelState panel;
  Reading reading;
  ReadingTable cds1;
  Recorder recorder;
  FrameDecoder decoder;
  FrameAssembler assembler;

 private:
  void raise(const std::string &message);
  void feedDeferredReports();
  void journalLastRow();
  void tellJournalStopped(const std::optional<std::string> &why);

  // LinkShell: what the connection control needs.
  void timer2Start() override;
  void timer2Stop() override;
  void showInformation(const std::string &text) override;
  void linkStateChanged() override;

  SessionObserver *observer_ = nullptr;
  SessionTimer *watchdog_ = nullptr;
  bool watchdogTickPassed_ = false;  // the last tick was let pass for a frame's end
  RepeatedErrorFilter errors_;

  struct DeferredReport {
    std::uint8_t reportId;
    std::vector<std::uint8_t> data;
  };
  bool tableHeld_ = false;
  std::deque<DeferredReport> deferred_;

  ReadingJournal *journal_ = nullptr;
  std::function<void(const std::string &)> journalStopped_;
  std::uint64_t journalGeneration_ = 0;  // the table's generation the journal follows

  std::unique_ptr<THidDeviceController> hidCtl_;
  std::unique_ptr<ConnectionControl> link_;
};

}  // namespace vexal
