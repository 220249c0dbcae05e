#include "ReportSource.h"

#include <algorithm>

namespace vexal::sim {
namespace {

// After a long stall (a busy machine, an emulator) the schedule jumps to `now` instead of
// sending a burst of overdue reports.
Micros nextSlot(Micros previous, Micros interval, Micros now) {
  Micros next = previous + interval;
  return now - next > 5 * interval ? now : next;
}

}  // namespace

ScenarioSource::ScenarioSource(Scenario scenario, Pacing pacing)
    : scenario_(std::move(scenario)), pacing_(pacing) {}

void ScenarioSource::restart(Micros now) {
  line_.clear();
  nextPoll_ = now;
  nextFrameStart_ = now;
  lineFreeAt_ = now;
}

const FrameBytes &ScenarioSource::nextFrame() {
  const ScenarioStep &current = scenario_[step_];
  if (++repeat_ >= current.repeats) {
    repeat_ = 0;
    if (step_ + 1 < scenario_.size())
      ++step_;
    else if (pacing_.loop)
      step_ = 0;
    // otherwise the meter keeps showing its last display
  }
  return current.frame;
}

void ScenarioSource::startFramesUpTo(Micros t) {
  while (!scenario_.empty()) {
    if (pacing_.maxFrames >= 0 && framesStarted_ >= pacing_.maxFrames) return;
    if (!pauseDone_ && pacing_.pauseAfterFrames >= 0 &&
        framesStarted_ >= pacing_.pauseAfterFrames) {
      pauseDone_ = true;
      silenceUntil(nextFrameStart_ + pacing_.pauseLength);
    }
    if (stopped()) {
      // Frames are not sent while stopped; on resume the next one starts at once.
      nextFrameStart_ = std::max(nextFrameStart_, t);
      return;
    }
    const Micros start = std::max(nextFrameStart_, lineFreeAt_);
    if (start > t) return;
    if (quietAt(start)) {
      nextFrameStart_ = silentUntil();
      continue;
    }
    const FrameBytes &frame = nextFrame();
    for (std::size_t i = 0; i < frame.size(); ++i)
      line_.emplace_back(start + static_cast<Micros>(i + 1) * pacing_.byteTime, frame[i]);
    lineFreeAt_ = start + static_cast<Micros>(frame.size()) * pacing_.byteTime;
    nextFrameStart_ = start + pacing_.framePeriod;
    ++framesStarted_;
  }
}

Report ScenarioSource::take(Micros now) {
  const Micros at = nextPoll_;
  startFramesUpTo(at);
  std::uint8_t bytes[kMaxSerialBytesPerReport];
  std::size_t n = 0;
  while (n < kMaxSerialBytesPerReport && !line_.empty() && line_.front().first <= at) {
    bytes[n++] = line_.front().second;
    line_.pop_front();
  }
  nextPoll_ = nextSlot(at, pacing_.poll, now);
  return dataReport(bytes, n);
}

CaptureSource::CaptureSource(std::vector<CaptureItem> items, Pacing pacing)
    : items_(std::move(items)), pacing_(pacing) {}

std::size_t CaptureSource::reportSize() const {
  std::size_t size = kInputReportSize;
  for (const CaptureItem &item : items_)
    if (item.kind == CaptureItem::Report) size = std::max(size, item.data.size());
  return size;
}

// Moves the cursor past W items to the next report (or the end) and returns their total
// time, or -1 when there were none.
Micros CaptureSource::waitBeforeNextReport() {
  Micros total = -1;
  while (cursor_ < items_.size() && items_[cursor_].kind == CaptureItem::Wait) {
    total = std::max<Micros>(total, 0) + msToMicros(items_[cursor_].waitMs);
    ++cursor_;
  }
  return total;
}

void CaptureSource::restart(Micros now) {
  const Micros lead = waitBeforeNextReport();
  ended_ = cursor_ >= items_.size();
  nextDue_ = now + std::max<Micros>(lead, 0);
}

Report CaptureSource::take(Micros now) {
  const Micros at = nextDue_;
  if (ended_ || quietAt(at)) {
    nextDue_ = nextSlot(at, pacing_.poll, now);
    return idleReport();
  }
  Report report = items_[cursor_++].data;
  report.resize(reportSize(), 0);
  Micros gap = waitBeforeNextReport();
  if (cursor_ >= items_.size()) {
    if (pacing_.loop) {
      cursor_ = 0;
      const Micros lead = waitBeforeNextReport();
      if (lead >= 0) gap = std::max<Micros>(gap, 0) + lead;
    } else {
      ended_ = true;
    }
  }
  nextDue_ = gap >= 0 ? at + gap : nextSlot(at, pacing_.poll, now);
  return report;
}

}  // namespace vexal::sim
