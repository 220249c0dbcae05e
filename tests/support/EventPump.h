#pragma once
// For tests that wait on the event loop of a real program: hand-overs from reading threads,
// timers, notices.

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <functional>

namespace vexal::test_events {

// Runs the event loop until `done` holds or `timeout` passes. The slice timer bounds each
// wait, so hand-overs and notices are served as they come and nothing waits unbounded.
inline bool pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
  QTimer slice;
  slice.start(10);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace vexal::test_events
