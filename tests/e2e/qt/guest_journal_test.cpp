// Guest test: the main window records from the virtual meter on a real kernel HID stack and
// is killed with SIGKILL; the next start offers its journal, and Open brings back every
// reading the killed window had recorded, and nothing else.
//
// The killed window is this program run again as a child process in the window role (the
// disabled test below): the machine's HID backend, the real event loop, the journal in a
// scratch $XDG_STATE_HOME. It reports each row it records, as its journal line, on a
// pipe; once it has recorded enough it says so and its GUI thread stops (the link's reading
// thread and the journal's flusher still run), so that the rows reported are all the rows
// recorded when the SIGKILL comes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "SimTest.h"
#include "app/qt/FrmTest.h"
#include "app/qt/JournalKeeper.h"
#include "app/qt/PanelButton.h"
#include "link/CableIdentity.h"
#include "record/JournalFormat.h"
#include "record/ReadingJournal.h"
#include "support/EventPump.h"
#include "support/ScriptedDialogs.h"

namespace vexal::e2e {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// The window reports on this descriptor: "ROW <text line>" per recorded row, then "HOLD".
constexpr int kReportFd = 3;
constexpr std::size_t kRowsBeforeKill = 8;
const char kRoleFilter[] = "--gtest_filter=JournalWindowRole.DISABLED_RecordsUntilKilled";

class WallClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override { return system_.timeOfDayMs(); }

 private:
  SystemClock system_;
};

using test_events::pumpUntil;

bool cableSelected(const TFrmTest &frm) {
  const QListWidgetItem *item = frm.DevListBox->currentItem();
  return item && item->text() == kCableName;
}

// The window role: only run as the child of the test below, which kills it.
TEST(JournalWindowRole, DISABLED_RecordsUntilKilled) {
  ::alarm(120);  // never outlives a parent that failed to kill it
  WallClock clock;
  ScriptedDialogs dialogs;
  TFrmTest frm(TFrmTest::Services{&clock, &dialogs});
  JournalKeeper journal(frm, journalFolderFromEnvironment());
  ASSERT_TRUE(journal.journal().writing()) << journal.journal().failure();
  ASSERT_TRUE(pumpUntil([&] { return cableSelected(frm); }, std::chrono::seconds(20)));
  QTest::mouseClick(frm.Panel2, Qt::LeftButton);
  ASSERT_EQ(frm.Panel2->caption(), "Disconnect");

  const ReadingTable &table = frm.session().cds1;
  std::size_t reported = 0;
  auto report = [&](const std::string &line) {
    const std::string bytes = line + "\n";
    ASSERT_EQ(::write(kReportFd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  };
  ASSERT_TRUE(pumpUntil(
      [&] {
        for (; reported < table.rowCount(); ++reported) {
          std::string line = journalLine(table.view(reported));
          line.pop_back();  // the LF
          report("ROW " + line);
        }
        return reported >= kRowsBeforeKill;
      },
      std::chrono::seconds(40)));
  if (std::getenv("VEXAL_JOURNAL_ROLE_RUNS_ON")) {
    // Recording goes on, row by row reported, until the SIGKILL strikes at any moment.
    pumpUntil(
        [&] {
          for (; reported < table.rowCount(); ++reported) {
            std::string line = journalLine(table.view(reported));
            line.pop_back();  // the LF
            report("ROW " + line);
          }
          return false;
        },
        std::chrono::seconds(100));
  }
  report("HOLD");
  for (;;) ::pause();  // the GUI thread stops here; SIGKILL ends the program
}

class JournalAfterKill : public SimTest {
 protected:
  void closeProgram() override {
    keeper_.reset();
    frm_.reset();
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
  }

  // Starts this program in the window role with $XDG_STATE_HOME at `stateHome`; with
  // `runsOn`, it goes on recording after the rows the test waits for.
  int startWindow(const std::string &stateHome, bool runsOn) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    child_ = ::fork();
    if (child_ == 0) {
      ::close(fds[0]);
      ::dup2(fds[1], kReportFd);
      ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
      if (runsOn) ::setenv("VEXAL_JOURNAL_ROLE_RUNS_ON", "1", 1);
      const char *argv[] = {"/proc/self/exe", kRoleFilter, "--gtest_also_run_disabled_tests",
                            nullptr};
      ::execv("/proc/self/exe", const_cast<char **>(argv));
      ::_exit(127);
    }
    ::close(fds[1]);
    return fds[0];
  }

  // Reads the window's report until "HOLD" (or, with `enough`, that many rows), its end or
  // the timeout.
  static std::vector<std::string> readReport(int fd, bool &held, std::size_t enough = 0) {
    std::vector<std::string> rows;
    std::string pending;
    held = false;
    const auto deadline = SteadyClock::now() + std::chrono::seconds(60);
    while (!held && (enough == 0 || rows.size() < enough) && SteadyClock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 500) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      pending.append(buffer, std::size_t(n));
      for (std::size_t end; !held && (end = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (line == "HOLD") held = true;
        if (line.rfind("ROW ", 0) == 0) rows.push_back(line.substr(4));
      }
    }
    return rows;
  }

  // Ends the window with SIGKILL and returns the rows it had reported.
  std::vector<std::string> killWindow(int report, bool runsOn) {
    bool held = false;
    std::vector<std::string> reported = readReport(report, held, runsOn ? kRowsBeforeKill : 0);
    if (runsOn) {
      // Somewhere within the next frame or two: the window may be mid-frame or mid-row.
      const auto ms = SteadyClock::now().time_since_epoch() / std::chrono::milliseconds(1);
      QThread::msleep(static_cast<unsigned long>(ms % 700));
    }
    EXPECT_TRUE(runsOn || held) << "the window recorded " << reported.size() << " rows";
    EXPECT_EQ(::kill(child_, SIGKILL), 0);
    int status = 0;
    EXPECT_EQ(::waitpid(child_, &status, 0), child_);
    child_ = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    // Rows reported after the wait but before the kill count too.
    bool ignored = false;
    for (std::string &row : readReport(report, ignored)) reported.push_back(std::move(row));
    ::close(report);
    return reported;
  }

  // The next start in `folder`: the journal is offered without blocking the window, and
  // Open adds its rows to the empty table. Returns that table.
  const ReadingTable &openOfferedJournal(const fs::path &folder, std::size_t atLeast) {
    frm_ = std::make_unique<TFrmTest>(TFrmTest::Services{&clock_, &dialogs_});
    keeper_ = std::make_unique<JournalKeeper>(*frm_, folder.string());
    keeper_->offerStrandedJournals();
    EXPECT_TRUE(
        pumpUntil([&] { return keeper_->currentOffer() != nullptr; }, std::chrono::seconds(10)))
        << "no journal offered in " << folder;
    const ReadingTable &table = frm_->session().cds1;
    JournalOffer *offer = keeper_->currentOffer();
    if (!offer) return table;
    EXPECT_FALSE(offer->isModal());
    const QString text = offer->findChild<QLabel *>("JournalOfferText")->text();
    EXPECT_NE(text.indexOf(" recorded readings"), -1) << text.toStdString();
    EXPECT_EQ(table.rowCount(), 0u);
    QTest::mouseClick(offer->findChild<QPushButton *>("JournalOfferOpen"), Qt::LeftButton);
    EXPECT_TRUE(dialogs_.boxes.empty()) << "the journal reads whole, as a data file";
    EXPECT_GE(table.rowCount(), atLeast);
    for (std::size_t row = 0; row < table.rowCount(); ++row)
      EXPECT_EQ(table.no(row), std::int32_t(row + 1)) << "numbered as recorded, none twice";
    std::cout << "[ info ] Open brought back " << table.rowCount() << " readings\n";
    // The killed window's journal is gone; this run's journal now holds its readings.
    for (const auto &entry : fs::directory_iterator(folder))
      EXPECT_EQ(entry.path().string(), keeper_->journal().path()) << "left: " << entry.path();
    EXPECT_EQ(keeper_->journal().rows(), table.rowCount());
    return table;
  }

  static ReadingTable tableOf(const std::vector<std::string> &lines) {
    std::string text(kJournalFormatLine);
    for (const std::string &line : lines) text += line + "\n";
    ReadingTable table;
    EXPECT_TRUE(readJournal(text, table).whole());
    return table;
  }

  pid_t child_ = -1;
  WallClock clock_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TFrmTest> frm_;
  std::unique_ptr<JournalKeeper> keeper_;
};

// Killed while its GUI thread stands still: exactly the rows it reported come back.
TEST_F(JournalAfterKill, TheNextStartOpensEveryReadingTheKilledWindowHadRecorded) {
  SimProcess &sim = startSim({"--scenario", "pi", "--repeats", "1"});
  QTemporaryDir scratch;
  const std::string stateHome = scratch.path().toStdString();
  const int report = startWindow(stateHome, false);
  ASSERT_GE(report, 0);
  const std::vector<std::string> reported = killWindow(report, false);
  std::cout << "[ info ] killed the window after " << reported.size() << " recorded readings ("
            << sim.framesSent().size() << " frames sent)\n";
  ASSERT_GE(reported.size(), kRowsBeforeKill);
  const ReadingTable expected = tableOf(reported);

  const ReadingTable &table =
      openOfferedJournal(journalFolder(stateHome.c_str(), nullptr), kRowsBeforeKill);
  ASSERT_EQ(table.rowCount(), expected.rowCount()) << "every reading, and nothing else";
  for (std::size_t row = 0; row < table.rowCount(); ++row)
    EXPECT_EQ(table.row(row), expected.row(row)) << "row " << row;
  keeper_->closeAtExit();
}

// Killed at any moment while it records: the rows it reported come back first, in order;
// after them at most the row it recorded but had no time to report; no half row.
TEST_F(JournalAfterKill, KilledWhileRecordingItLosesNothingItRecorded) {
  SimProcess &sim = startSim({"--scenario", "pi", "--repeats", "1"});
  QTemporaryDir scratch;
  const std::string stateHome = scratch.path().toStdString();
  const int report = startWindow(stateHome, true);
  ASSERT_GE(report, 0);
  const std::vector<std::string> reported = killWindow(report, true);
  std::cout << "[ info ] killed the recording window after " << reported.size()
            << " reported readings (" << sim.framesSent().size() << " frames sent)\n";
  ASSERT_GE(reported.size(), kRowsBeforeKill);
  const ReadingTable expected = tableOf(reported);

  const ReadingTable &table =
      openOfferedJournal(journalFolder(stateHome.c_str(), nullptr), kRowsBeforeKill);
  ASSERT_GE(table.rowCount(), expected.rowCount());
  EXPECT_LE(table.rowCount(), expected.rowCount() + 1);
  for (std::size_t row = 0; row < expected.rowCount(); ++row)
    EXPECT_EQ(table.row(row), expected.row(row)) << "row " << row;
  keeper_->closeAtExit();
}

}  // namespace
}  // namespace vexal::e2e
