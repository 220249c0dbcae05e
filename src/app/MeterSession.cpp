#include "app/MeterSession.h"

namespace vexal {

MeterSession::MeterSession(Clock &clock)
    : recorder(cds1, reading, clock), decoder(panel, reading) {}

MeterSession::MeterSession(Clock &clock, std::shared_ptr<HidPlatform> hid, SessionTimer &watchdog)
    : MeterSession(clock) {
  watchdog_ = &watchdog;
  hidCtl_ = std::make_unique<THidDeviceController>(std::move(hid));
  LinkShell &shell = *this;
  link_ = std::make_unique<ConnectionControl>(
      *hidCtl_, shell, [this](std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        return ReadLusk(id, data, size).holdLink;
      });
}

MeterSession::~MeterSession() {
  // The link gives its devices back and their reading threads stop before the controller
  // goes. A report handed over while a reading thread stops can still close a frame: the
  // link is already gone for it then, and nobody is told.
  observer_ = nullptr;
  link_.reset();
  hidCtl_.reset();
}

// The road of one report:
//  1. the assembler collects the report's serial bytes; a report without data closes the
//     transmission and hands over its text when the line end sits at characters 41 to 44;
//  2. the decoder turns the frame into the LCD mirror and the current reading;
//  3. what the frame asks is applied in order: the watchdog restarts, the link holds,
//     the reading is recorded;
//  4. the observer redraws the mirror (the grid follows the table by itself).
ReportOutcome MeterSession::ReadLusk(std::uint8_t reportId, const std::uint8_t *data,
                                     std::uint16_t size) {
  if (tableHeld_) {
    deferred_.push_back({reportId, std::vector<std::uint8_t>(data, data + size)});
    return {};
  }
  const std::optional<std::string> frameText = assembler.ReadLusk(reportId, data, size);
  if (!frameText) return {};
  return decodeFrame(*frameText);
}

ReportOutcome MeterSession::decodeFrame(const std::string &frameText) {
  const FrameOutcome frame = decoder.ShowDataKorv(frameText);
  ReportOutcome outcome;
  outcome.frameDecoded = true;
  outcome.holdLink = frame.holdLink;
  if (frame.restartWatchdog && link_) {
    link_->restartWatchdog();
    watchdogTickPassed_ = false;
  }
  if (frame.conversionError) {
    raise(*frame.conversionError);
  } else if (frame.recordReading) {
    try {
      outcome.recorded = recorder.INDataToTable(1);
      if (outcome.recorded) journalLastRow();
      outcome.limitReached = !outcome.recorded && recorder.limitReached();
    } catch (const EConvertError &error) {
      // The frame is decoded, only its recording failed: the mirror shows it all the same.
      raise(error.what());
    }
  }
  if (observer_) observer_->frameDecoded(outcome);
  return outcome;
}

void MeterSession::raise(const std::string &message) {
  if (errors_.shouldShow(message) && observer_) observer_->errorRaised(message);
}

void MeterSession::RecordSITimeChange(std::string_view text) {
  try {
    recorder.RecordSITimeChange(text);
    errors_.reset();
  } catch (const EConvertError &error) {
    // The caller shows this one; the frames that fail the same way stay quiet.
    errors_.shouldShow(error.what());
    throw;
  }
}

void MeterSession::ClearData() {
  recorder.ClearData();
  if (!journal_) return;
  tellJournalStopped(journal_->restart());
  journalGeneration_ = cds1.generation();
}

void MeterSession::setJournal(ReadingJournal *journal,
                              std::function<void(const std::string &)> stopped) {
  journal_ = journal;
  journalStopped_ = std::move(stopped);
  journalGeneration_ = cds1.generation();
  // A journal that could not even be started is told at once.
  if (journal_) tellJournalStopped(journal_->takeFailure());
}

void MeterSession::tableSaved() {
  if (journal_ && cds1.generation() == journalGeneration_) journal_->markSaved();
}

// The row just recorded goes to the journal in the same step.
void MeterSession::journalLastRow() {
  if (journal_) tellJournalStopped(journal_->append(cds1.view(cds1.rowCount() - 1)));
}

void MeterSession::tellJournalStopped(const std::optional<std::string> &why) {
  if (why && journalStopped_) journalStopped_(*why);
}

void MeterSession::holdTable() {
  cds1.suspendUpdates();
  tableHeld_ = true;
}

void MeterSession::releaseTable() {
  if (!tableHeld_) return;
  cds1.resumeUpdates();
  tableHeld_ = false;
  feedDeferredReports();
}

void MeterSession::feedDeferredReports() {
  while (!deferred_.empty() && !tableHeld_) {
    const DeferredReport report = std::move(deferred_.front());
    deferred_.pop_front();
    ReadLusk(report.reportId, report.data.data(), static_cast<std::uint16_t>(report.data.size()));
  }
}

// The watchdog is for a link whose frames stopped. It counts from the last frame decoded, and
// the reader can be far behind the meter: after each frame it holds 500 ms, and a busy
// processor delays every report on its way. Released then, the link would stop reading in
// the middle of a frame the meter sent whole (and, for a second, let the system's queue of
// reports overflow), and readings would be lost. So a tick is let pass while reports the
// meter sent still wait for the reader: the frames decoded from them restart the watchdog,
// and a reader that has caught up without finding one is released at the next tick. A tick
// in the middle of a frame is let pass once, for the frame's end.
void MeterSession::Timer2Timer() {
  if (!link_) return;
  const bool reading = link_->USBConDown();
  if (reading && link_->ReadingBehind()) return;
  if (reading && assembler.FrameInProgress() && !watchdogTickPassed_) {
    watchdogTickPassed_ = true;
    return;
  }
  watchdogTickPassed_ = false;
  link_->Timer2Timer();
}

void MeterSession::timer2Start() {
  if (watchdog_) watchdog_->start();
}

void MeterSession::timer2Stop() {
  if (watchdog_) watchdog_->stop();
}

void MeterSession::showInformation(const std::string &text) {
  if (observer_) observer_->informationRequested(text);
}

void MeterSession::linkStateChanged() {
  if (observer_) observer_->linkChanged();
}

}  // namespace vexal
