#pragma once
// Where the cable's input reports come from, and when. Time is a plain microsecond count
// (the sim uses a monotonic clock; tests use made-up times), so the pacing can be checked
// without waiting.

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "CableReports.h"
#include "CaptureFile.h"
#include "Scenario.h"

namespace vexal::sim {

using Micros = std::int64_t;

inline constexpr Micros msToMicros(double ms) {
  return static_cast<Micros>(ms * 1000.0);
}

class ReportSource {
 public:
  virtual ~ReportSource() = default;
  // Starts (again) at `now`: after the line rate has been set, and after a re-plug. Serial
  // bytes that were on their way are lost with the old link.
  virtual void restart(Micros now) = 0;
  // When the next report is due.
  virtual Micros nextDue() const = 0;
  // The report due at nextDue(); call it once that time has come (`now` >= nextDue()).
  virtual Report take(Micros now) = 0;

  // The meter goes quiet: the cable only sends reports without data meanwhile.
  void silenceUntil(Micros t) { silentUntil_ = t; }
  void stop() { stopped_ = true; }
  void resume() {
    stopped_ = false;
    silentUntil_ = 0;
  }

 protected:
  bool quietAt(Micros t) const { return stopped_ || t < silentUntil_; }
  bool stopped() const { return stopped_; }
  Micros silentUntil() const { return silentUntil_; }

 private:
  bool stopped_ = false;
  Micros silentUntil_ = 0;
};

struct Pacing {
  Micros framePeriod = msToMicros(500);   // from one frame start to the next
  Micros poll = msToMicros(12);           // the cable's report interval
  Micros byteTime = 1000000 * 10 / 2400;  // 10 bits per byte on the serial line
  bool loop = false;                      // start the scenario again after its last step
  long maxFrames = -1;                    // the meter falls silent after this many frames
  long pauseAfterFrames = -1;             // ... or goes quiet once, after this many frames
  Micros pauseLength = 0;                 // ... for this long
};

// Frames of a built-in scenario, sent byte by byte at the serial rate; the cable polls its
// serial side every `poll` and sends what arrived (up to 7 bytes), or a report without data.
class ScenarioSource : public ReportSource {
 public:
  ScenarioSource(Scenario scenario, Pacing pacing);
  void restart(Micros now) override;
  Micros nextDue() const override { return nextPoll_; }
  Report take(Micros now) override;

  long framesStarted() const { return framesStarted_; }

 private:
  void startFramesUpTo(Micros t);
  const FrameBytes &nextFrame();

  Scenario scenario_;
  Pacing pacing_;
  std::size_t step_ = 0;
  int repeat_ = 0;
  long framesStarted_ = 0;
  bool pauseDone_ = false;
  Micros nextPoll_ = 0;
  Micros nextFrameStart_ = 0;
  Micros lineFreeAt_ = 0;
  std::deque<std::pair<Micros, std::uint8_t>> line_;  // serial bytes and their arrival time
};

// Reports of a capture file, as they are. A W line sets the time to the next report; without
// one, reports follow each other at the poll interval. After the last report the cable goes
// on with reports without data (or the capture starts again with `loop`).
class CaptureSource : public ReportSource {
 public:
  CaptureSource(std::vector<CaptureItem> items, Pacing pacing);
  void restart(Micros now) override;
  Micros nextDue() const override { return nextDue_; }
  Report take(Micros now) override;

  // The longest report of the capture (at least the cable's usual size).
  std::size_t reportSize() const;

 private:
  Micros waitBeforeNextReport();

  std::vector<CaptureItem> items_;
  Pacing pacing_;
  std::size_t cursor_ = 0;
  Micros nextDue_ = 0;
  bool ended_ = false;
};

}  // namespace vexal::sim
