// Long file work off the GUI thread: results and failures come back to the caller, and the
// GUI thread keeps taking timer ticks and posted events meanwhile.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/qt/FileJob.h"

namespace vexal {
namespace {

TEST(FileJob, RunsOffTheCallingThreadAndReturnsWhenDone) {
  const auto caller = std::this_thread::get_id();
  std::thread::id worker;
  int result = 0;
  runFileJob(nullptr, "Working...", [&] {
    worker = std::this_thread::get_id();
    result = 42;
  });
  EXPECT_EQ(result, 42);
  EXPECT_NE(worker, caller);
}

TEST(FileJob, FailureIsThrownAgainOnTheCallingThread) {
  EXPECT_THROW(runFileJob(nullptr, "Working...", [] { throw std::runtime_error("disk full"); }),
               std::runtime_error);
}

TEST(FileJob, GuiThreadKeepsHandlingEventsMeanwhile) {
  std::atomic<bool> tickSeen{false};
  QTimer::singleShot(0, [&] { tickSeen = true; });
  runFileJob(nullptr, "Working...", [&] {
    // The job lasts until the GUI thread has handled the tick (or gives up after 5 s).
    for (int i = 0; i < 500 && !tickSeen; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  EXPECT_TRUE(tickSeen);
}

TEST(FileJob, SlicesCoverTheWholeRangeInOrder) {
  std::size_t next = 0;
  bool inOrder = true;
  runInSlices(nullptr, "Working...", 45'001, [&](std::size_t first, std::size_t count) {
    inOrder = inOrder && first == next && count > 0;
    next = first + count;
  });
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(next, 45'001u);
  int calls = 0;
  runInSlices(nullptr, "Working...", 0, [&](std::size_t, std::size_t) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace vexal
