// The session and its journal: recorded readings go to the journal in the same step, the
// limit's refusals do not; Delete Data starts a new journal; a save marks it saved only while
// the table still holds every row of it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MeterSession.h"
#include "record/JournalFormat.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

// The worked example with its fourth main digit changed from 4 to 7.
constexpr const char *kOtherValueFrame = "FFC0000000000000000006EBA7078057D7DFD0EF0D0A";

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class SessionJournalTest : public ::testing::Test {
 protected:
  SessionJournalTest() {
    session.setJournal(&journal, [this](const std::string &why) { told.push_back(why); });
  }
  ~SessionJournalTest() override {
    session.setJournal(nullptr, {});
    fs::remove_all(scratch);
  }

  ReportOutcome feed(std::string_view hex) {
    ReportOutcome last;
    for (const auto &report : cableReportsFor(hex))
      last = session.ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
    return last;
  }

  fs::path scratch =
      fs::temp_directory_path() / ("vexal-session-journal-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  FixedClock clock{36'000'000, 1000};
  MeterSession session{clock};
  ReadingJournal journal{(scratch / "journal").string()};
  std::vector<std::string> told;

  // The journal's rows are the table's, field for field.
  bool journalHoldsTheTable() {
    ReadingTable rows;
    return readJournal(readFile(journal.path()), rows).whole() && rows.sameContent(session.cds1);
  }
};

TEST_F(SessionJournalTest, RecordedReadingsAndOnlyThoseGoToTheJournal) {
  ASSERT_TRUE(journal.writing()) << journal.failure();
  session.recorder.MaxRecords = 3;
  session.recorder.setRepeatSet(false);
  feed(kWorkedExampleFrame);
  feed(kWorkedExampleFrame);  // a repeat: not recorded, not journalled
  feed(kOtherValueFrame);
  feed(kWorkedExampleFrame);
  EXPECT_TRUE(feed(kOtherValueFrame).limitReached);
  ASSERT_EQ(session.cds1.rowCount(), 3u);
  EXPECT_EQ(journal.rows(), 3u);
  EXPECT_TRUE(journalHoldsTheTable());
  EXPECT_TRUE(told.empty());
}

TEST_F(SessionJournalTest, DeleteDataStartsANewJournal) {
  feed(kWorkedExampleFrame);
  const std::string old = journal.path();
  session.ClearData();
  EXPECT_EQ(session.cds1.rowCount(), 0u);
  EXPECT_EQ(session.recorder.RecordNo, 1);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_EQ(journal.rows(), 0u);
  feed(kOtherValueFrame);
  EXPECT_TRUE(journalHoldsTheTable());
}

// Saving the table saves the journal's rows only while the table holds them all: after an
// XML file replaced the table, a save does not cover the readings recorded before.
TEST_F(SessionJournalTest, ASaveMarksTheJournalSavedOnlyWhileTheTableHoldsItsRows) {
  feed(kWorkedExampleFrame);
  session.tableSaved();
  EXPECT_TRUE(journal.saved());
  feed(kOtherValueFrame);
  EXPECT_FALSE(journal.saved());

  session.cds1.replaceWith(ReadingTable());  // as opening an XML file does
  session.tableSaved();
  EXPECT_FALSE(journal.saved());

  session.ClearData();  // the new journal follows the table from here
  feed(kWorkedExampleFrame);
  session.tableSaved();
  EXPECT_TRUE(journal.saved());
}

}  // namespace
}  // namespace vexal
