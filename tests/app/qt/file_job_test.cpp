// Long file work off the GUI thread: results and failures come back to the caller, and the
// GUI thread keeps taking timer ticks and posted events meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
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

QProgressDialog *progressBox() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *box = qobject_cast<QProgressDialog *>(w); box && box->isVisible()) return box;
  return nullptr;
}

TEST(FileJob, ProgressBoxShowsHowFarAndCancelStopsTheWork) {
  std::atomic<bool> stopSeen{false};
  QString shownLabel;
  int shownValue = -1;
  // Once the box shows, note what it says and press its Cancel button.
  QTimer clicker;
  clicker.setInterval(20);
  QObject::connect(&clicker, &QTimer::timeout, [&] {
    QProgressDialog *box = progressBox();
    if (!box || box->value() <= 0) return;
    shownLabel = box->labelText();
    shownValue = box->value();
    // VEXAL_SHOT_DIR=/tmp/shots keeps a picture of the box.
    if (const QString dir = qEnvironmentVariable("VEXAL_SHOT_DIR"); !dir.isEmpty())
      box->grab().save(dir + "/file_progress.png");
    if (auto *cancel = box->findChild<QPushButton *>()) cancel->click();
    clicker.stop();
  });
  clicker.start();
  const bool finished = runFileJobWithProgress(
      nullptr, "Saving data.xls", ProgressUnit::Rows, [&](FileProgress &progress) {
        // 250 of 1000 rows, then waits for the cancel (gives up after 10 s).
        for (int i = 0; i < 1000 && !stopSeen; ++i) {
          if (!progress.advance(250, 1000)) stopSeen = true;
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      });
  EXPECT_FALSE(finished);
  EXPECT_TRUE(stopSeen);
  EXPECT_EQ(shownLabel, "Saving data.xls\n250 of 1000 rows");
  EXPECT_EQ(shownValue, 250);
  EXPECT_EQ(progressBox(), nullptr) << "the box is gone afterwards";
}

TEST(FileJob, ProgressJobRunsToItsEndAndPassesFailuresOn) {
  const auto caller = std::this_thread::get_id();
  std::thread::id worker;
  EXPECT_TRUE(runFileJobWithProgress(nullptr, "Opening", ProgressUnit::Bytes, [&](FileProgress &p) {
    worker = std::this_thread::get_id();
    EXPECT_TRUE(p.advance(1, 2));
  }));
  EXPECT_NE(worker, caller);
  EXPECT_FALSE(runFileJobWithProgress(nullptr, "Opening", ProgressUnit::Bytes,
                                      [](FileProgress &) { throw EFileCancelled(); }));
  EXPECT_THROW(runFileJobWithProgress(nullptr, "Opening", ProgressUnit::Bytes,
                                      [](FileProgress &) { throw std::runtime_error("disk"); }),
               std::runtime_error);
}

}  // namespace
}  // namespace vexal
