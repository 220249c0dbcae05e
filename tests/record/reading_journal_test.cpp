// The journal of recorded readings on real files: its folder, its lines, its life cycle
// (saved, deleted, kept, offered), the lock of a running program (a child process killed
// with SIGKILL), a power cut's half line and a full disk (a small tmpfs of the test's own).
#include "record/ReadingJournal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Cp936.h"
#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;
using test_rows::at;
using test_rows::makeRow;

const std::string kHeaderLine = "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TableRow reading(std::int32_t no) {
  return makeRow(no, at(10, 0, no % 60), std::to_string(no) + ".25", "M" + std::string(kOhm),
                 "IR:500V 20G" + std::string(kOhm), "Continuous");
}

// The files in `folder`, by name.
std::vector<std::string> filesIn(const fs::path &folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto &entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ReadingJournalTest : public ::testing::Test {
 protected:
  fs::path scratch =
      fs::temp_directory_path() / ("vexal-journal-test-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::path folder = scratch / "state" / "vexal" / "journal";

  void SetUp() override { fs::create_directories(scratch); }
  void TearDown() override { fs::remove_all(scratch); }

  void record(ReadingJournal &journal, ReadingTable &table, std::int32_t no) {
    table.appendRow(reading(no));
    ASSERT_EQ(journal.append(table.view(table.rowCount() - 1)), std::nullopt) << no;
  }
};

TEST(JournalFolder, StateHomeOrItsDefault) {
  EXPECT_EQ(journalFolder("/state", "/home/ann"), "/state/vexal/journal");
  EXPECT_EQ(journalFolder(nullptr, "/home/ann"), "/home/ann/.local/state/vexal/journal");
  // An empty or relative XDG_STATE_HOME does not count.
  EXPECT_EQ(journalFolder("", "/home/ann"), "/home/ann/.local/state/vexal/journal");
  EXPECT_EQ(journalFolder("state", "/home/ann"), "/home/ann/.local/state/vexal/journal");
  EXPECT_EQ(journalFolder(nullptr, nullptr), "");
}

// Each recorded row is in the file at once, as the line Save Data writes for it, after the
// header: the file reads back into the same rows.
TEST_F(ReadingJournalTest, RowsAreLinesOfTheTextFormatAsTheyAreRecorded) {
  ReadingJournal journal(folder.string());
  ASSERT_TRUE(journal.writing()) << journal.failure();
  EXPECT_EQ(fs::path(journal.path()).parent_path(), folder);
  EXPECT_EQ(fs::path(journal.path()).extension(), ".tsv");
  EXPECT_EQ((fs::status(journal.path()).permissions() & fs::perms::all),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(readFile(journal.path()), kHeaderLine);

  ReadingTable table;
  record(journal, table, 1);
  EXPECT_EQ(readFile(journal.path()), kHeaderLine + tableTextLine(table.view(0)));
  record(journal, table, 2);
  record(journal, table, 3);
  EXPECT_EQ(readFile(journal.path()), tableToText(table));
  EXPECT_EQ(journal.rows(), 3u);

  ReadingTable back;
  ASSERT_TRUE(appendTableText(readFile(journal.path()), back).ok);
  ASSERT_EQ(back.rowCount(), 3u);
  for (std::size_t row = 0; row < 3; ++row) EXPECT_EQ(back.row(row).value, table.row(row).value);
  journal.closeAtExit();
}

TEST_F(ReadingJournalTest, ExitRemovesAnEmptyOrSavedJournalAndKeepsAnyOther) {
  ReadingTable table;
  {
    ReadingJournal empty(folder.string());
    empty.closeAtExit();
  }
  EXPECT_TRUE(filesIn(folder).empty());

  std::string kept;
  {
    ReadingJournal journal(folder.string());
    record(journal, table, 1);
    kept = journal.path();
    journal.closeAtExit();
  }
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{fs::path(kept).filename().string()});
  fs::remove(kept);

  {
    ReadingJournal saved(folder.string());
    record(saved, table, 2);
    saved.markSaved();
    EXPECT_TRUE(saved.saved());
    saved.closeAtExit();
  }
  EXPECT_TRUE(filesIn(folder).empty());

  // Saved, then one more reading: unsaved again, so kept.
  {
    ReadingJournal journal(folder.string());
    record(journal, table, 3);
    journal.markSaved();
    record(journal, table, 4);
    EXPECT_FALSE(journal.saved());
    kept = journal.path();
    journal.closeAtExit();
  }
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{fs::path(kept).filename().string()});
}

TEST_F(ReadingJournalTest, DeleteDataRemovesTheJournalAndStartsANewOne) {
  ReadingJournal journal(folder.string());
  ReadingTable table;
  record(journal, table, 1);
  record(journal, table, 2);
  journal.markSaved();
  const std::string old = journal.path();
  EXPECT_TRUE(fs::exists(old + ".saved"));

  EXPECT_EQ(journal.restart(), std::nullopt);
  EXPECT_NE(journal.path(), old);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_FALSE(fs::exists(old + ".saved"));
  EXPECT_EQ(journal.rows(), 0u);
  EXPECT_FALSE(journal.saved());
  EXPECT_EQ(readFile(journal.path()), kHeaderLine);
  EXPECT_EQ(filesIn(folder),
            std::vector<std::string>{fs::path(journal.path()).filename().string()});
}

// A child process records into its journal and is killed with SIGKILL. While it runs, its
// journal is locked and nobody else touches it; once it is gone, the journal is offered with
// every row the child had written.
TEST_F(ReadingJournalTest, AKilledProgramsJournalIsOfferedAndARunningOnesIsNot) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    ReadingJournal journal(folder.string());
    ReadingTable table;
    for (std::int32_t no = 1; no <= 25; ++no) {
      table.appendRow(reading(no));
      if (journal.append(table.view(table.rowCount() - 1))) ::_exit(3);
    }
    const std::string path = journal.path() + "\n";
    if (::write(pipeFds[1], path.data(), path.size()) < 0) ::_exit(4);
    for (;;) ::pause();
  }
  ::close(pipeFds[1]);
  std::string path;
  char ch;
  while (::read(pipeFds[0], &ch, 1) == 1 && ch != '\n') path += ch;
  ::close(pipeFds[0]);
  ASSERT_FALSE(path.empty());

  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty()) << "locked by a running program";
  EXPECT_TRUE(fs::exists(path));

  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
  ASSERT_EQ(stranded.size(), 1u);
  EXPECT_EQ(stranded[0].path, path);
  EXPECT_EQ(stranded[0].rows, 25u);
  EXPECT_EQ(stranded[0].firstTime, formatLongTime(at(10, 0, 1)));
  EXPECT_EQ(stranded[0].lastTime, formatLongTime(at(10, 0, 25)));
  // While it is offered here, another program does not see it.
  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty());

  ReadingTable table;
  table.appendRow(reading(100));
  EXPECT_EQ(stranded[0].readInto(table), 25u);
  ASSERT_EQ(table.rowCount(), 26u);
  for (std::int32_t no = 1; no <= 25; ++no) EXPECT_EQ(table.row(no), reading(no)) << no;

  stranded[0].discard();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty());
}

// Journals left without unsaved readings are tidied away, never offered; this program's
// own journal is not touched.
TEST_F(ReadingJournalTest, LeftoverEmptyOrSavedJournalsAreRemovedNotOffered) {
  ReadingTable table;
  std::string emptyPath, savedPath;
  {
    ReadingJournal empty(folder.string());
    emptyPath = empty.path();
    ReadingJournal saved(folder.string());
    record(saved, table, 1);
    saved.markSaved();
    savedPath = saved.path();
  }  // both left behind as a killed program leaves them (no closeAtExit)
  ASSERT_TRUE(fs::exists(emptyPath));
  ASSERT_TRUE(fs::exists(savedPath));

  ReadingJournal own(folder.string());
  record(own, table, 2);
  EXPECT_TRUE(findStrandedJournals(folder.string(), own.path()).empty());
  EXPECT_FALSE(fs::exists(emptyPath));
  EXPECT_FALSE(fs::exists(savedPath));
  EXPECT_FALSE(fs::exists(savedPath + ".saved"));
  EXPECT_TRUE(fs::exists(own.path()));
}

// A power cut can leave the last line cut short: it is left out, the rows before it stay.
TEST_F(ReadingJournalTest, ALineCutShortAtTheEndIsLeftOut) {
  std::string path;
  {
    ReadingJournal journal(folder.string());
    ReadingTable table;
    record(journal, table, 1);
    record(journal, table, 2);
    path = journal.path();
  }
  std::ofstream(path, std::ios::binary | std::ios::app) << "3\t10:00:03\t3.2";
  std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
  ASSERT_EQ(stranded.size(), 1u);
  EXPECT_EQ(stranded[0].rows, 2u);
  ReadingTable back;
  EXPECT_EQ(stranded[0].readInto(back), 2u);
  EXPECT_EQ(back.row(1), reading(2));
  // The cut line is gone from the file too: opened as a data file it gives the rows offered.
  ReadingTable opened;
  const TextReadResult read = appendTableText(readFile(path), opened);
  EXPECT_TRUE(read.ok) << read.why;
  EXPECT_EQ(opened.rowCount(), 2u);
}

// The journal folder cannot be made (a file stands in its way): said once, and appends go
// on without a word.
TEST_F(ReadingJournalTest, AJournalThatCannotBeStartedIsToldOnce) {
  std::ofstream(scratch / "state") << "not a folder";
  ReadingJournal journal(folder.string());
  EXPECT_FALSE(journal.writing());
  const auto told = journal.takeFailure();
  ASSERT_TRUE(told);
  EXPECT_NE(told->find(folder.string()), std::string::npos) << *told;
  ReadingTable table;
  table.appendRow(reading(1));
  EXPECT_EQ(journal.append(table.view(0)), std::nullopt);
  EXPECT_EQ(journal.takeFailure(), std::nullopt);
}

// A full disk: a tmpfs of a few pages mounted in the scratch folder. The failing row is
// told once and leaves nothing of itself; the file holds whole lines only and stays locked
// (not offered while this program runs); later rows are not told again.
TEST_F(ReadingJournalTest, AFullDiskIsToldOnceAndLeavesOnlyWholeLines) {
  const fs::path mountPoint = scratch / "small";
  fs::create_directories(mountPoint);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mountPoint};

  const fs::path smallFolder = mountPoint / "journal";
  ReadingJournal journal(smallFolder.string());
  ASSERT_TRUE(journal.writing()) << journal.failure();
  ReadingTable table;
  std::optional<std::string> told;
  std::int32_t no = 0;
  while (!told && no < 10000) {
    table.appendRow(reading(++no));
    told = journal.append(table.view(table.rowCount() - 1));
  }
  ASSERT_TRUE(told) << "the tmpfs never filled";
  EXPECT_NE(told->find(journal.path()), std::string::npos) << *told;
  EXPECT_NE(told->find(std::strerror(ENOSPC)), std::string::npos) << *told;
  EXPECT_FALSE(journal.writing());
  EXPECT_EQ(journal.rows(), static_cast<std::size_t>(no - 1));

  for (int more = 0; more < 5; ++more) {
    table.appendRow(reading(++no));
    EXPECT_EQ(journal.append(table.view(table.rowCount() - 1)), std::nullopt);
  }
  const std::string bytes = readFile(journal.path());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  ReadingTable back;
  ASSERT_TRUE(appendTableText(bytes, back).ok);
  EXPECT_EQ(back.rowCount(), journal.rows());
  EXPECT_TRUE(findStrandedJournals(smallFolder.string(), "").empty());
}

}  // namespace
}  // namespace vexal
