// The journal of recorded readings on real files: its folder, its lines, its life cycle
// (saved, deleted, kept, offered), the lock of a running program (a child process killed
// with SIGKILL), a power cut's half line and a full disk (a small tmpfs of the test's own),
// another locale, planted links, garbled lines, a kill at each step of a take-over and a
// disk that keeps the flusher waiting.
#include "record/ReadingJournal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>

#include "common/Cp936.h"
#include "record/JournalFormat.h"
#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;
using test_rows::at;
using test_rows::makeRow;

const std::string kFormatLine = "Vexal journal 2\n";

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
 public:
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

  // A journal left as a killed program leaves it, holding readings `first` ... `first + n - 1`.
  std::string leaveJournal(std::int32_t n, std::int32_t first = 1) {
    ReadingJournal journal(folder.string());
    ReadingTable table;
    for (std::int32_t no = first; no < first + n; ++no) record(journal, table, no);
    return journal.path();
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

// Each recorded row is in the file at once, as its journal line, after the format line: the
// file reads back into the same rows.
TEST_F(ReadingJournalTest, RowsAreLinesOfTheJournalFormatAsTheyAreRecorded) {
  ReadingJournal journal(folder.string());
  ASSERT_TRUE(journal.writing()) << journal.failure();
  EXPECT_EQ(fs::path(journal.path()).parent_path(), folder);
  EXPECT_EQ(fs::path(journal.path()).extension(), ".tsv");
  EXPECT_EQ((fs::status(journal.path()).permissions() & fs::perms::all),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(readFile(journal.path()), kFormatLine);
  EXPECT_EQ((fs::status(folder).permissions() & fs::perms::all), fs::perms::owner_all);

  ReadingTable table;
  record(journal, table, 1);
  EXPECT_EQ(readFile(journal.path()), kFormatLine + journalLine(table.view(0)));
  record(journal, table, 2);
  record(journal, table, 3);
  EXPECT_EQ(journal.rows(), 3u);

  ReadingTable back;
  const JournalContents read = readJournal(readFile(journal.path()), back);
  EXPECT_TRUE(read.whole());
  EXPECT_TRUE(back.sameContent(table));
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
  EXPECT_EQ(readFile(journal.path()), kFormatLine);
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
  ASSERT_EQ(stranded[0].rows(), 25u);
  EXPECT_TRUE(stranded[0].whole());
  // While it is offered here, another program does not see it.
  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty());
  for (std::int32_t no = 1; no <= 25; ++no)
    EXPECT_EQ(stranded[0].readings.row(no - 1), reading(no)) << no;

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

// A power cut can leave the last line cut short, and a disk can garble a line: each is told
// and skipped, the rows around them stay, and the journal is never removed unasked. Once its
// readings are safe elsewhere it moves aside, bytes unchanged, and is not offered again.
TEST_F(ReadingJournalTest, TornAndGarbledLinesAreToldAndTheJournalIsKeptAside) {
  const std::string path = leaveJournal(4);
  std::string bytes = readFile(path);
  const std::size_t second = bytes.find("\n2\t");
  ASSERT_NE(second, std::string::npos);
  bytes[bytes.find('\t', second + 3)] = 'X';  // row 2 loses a field
  bytes += "5\t36005";                        // row 5 cut off
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

  std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
  ASSERT_EQ(stranded.size(), 1u);
  EXPECT_EQ(stranded[0].unreadable, 1u);
  EXPECT_TRUE(stranded[0].tornTail);
  ASSERT_EQ(stranded[0].rows(), 3u);
  EXPECT_EQ(stranded[0].readings.row(0), reading(1));
  EXPECT_EQ(stranded[0].readings.row(1), reading(3));
  EXPECT_EQ(stranded[0].readings.row(2), reading(4));
  EXPECT_EQ(readFile(path), bytes) << "nothing is cut from the file";

  const std::string kept = stranded[0].keptPath();
  stranded[0].retire();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(readFile(kept), bytes);
  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty());
  EXPECT_TRUE(fs::exists(kept));
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
  // Delete Data starts a journal that fails again: told again.
  EXPECT_EQ(journal.restart(), told);
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
  EXPECT_EQ(bytes.back(), '\n');
  ReadingTable back;
  EXPECT_TRUE(readJournal(bytes, back).whole());
  EXPECT_EQ(back.rowCount(), journal.rows());
  EXPECT_TRUE(findStrandedJournals(smallFolder.string(), "").empty());
}

// --- What a journal holds, in any locale -------------------------------------------------

// Rows come back field for field: milliseconds, fields without a value, empty texts, the text
// "NULL", the bytes that need escaping and code page 936 bytes.
TEST_F(ReadingJournalTest, RowsReadBackFieldForField) {
  const std::string ohm(kOhm);
  const std::vector<TableRow> rows = {
      makeRow(1, at(10, 0, 1, 234), "1.25", "M" + ohm, "IR:500V 20G" + ohm, "Continuous"),
      makeRow(2, at(23, 59, 59, 999), "", "", "DCV  600V", ""),
      makeRow(3, 0, "NULL", "NULL", "NULL", "NULL"),
      makeRow(-4, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt),
      makeRow(std::nullopt, 1, "a\tb", "c\\d", "e\rf\ng", "\\N"),
  };
  const std::string path = [&] {
    ReadingJournal journal(folder.string());
    ReadingTable table;
    for (const TableRow &row : rows) {
      table.appendRow(row);
      EXPECT_EQ(journal.append(table.view(table.rowCount() - 1)), std::nullopt);
    }
    return journal.path();
  }();
  std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
  ASSERT_EQ(stranded.size(), 1u);
  EXPECT_EQ(stranded[0].path, path);
  EXPECT_TRUE(stranded[0].whole());
  ASSERT_EQ(stranded[0].rows(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(stranded[0].readings.row(i), rows[i]) << "row " << i;
}

// Rows for the journals that a child process writes in another locale.
const std::vector<TableRow> &localeRows() {
  static const std::vector<TableRow> rows = {
      makeRow(1, at(10, 0, 1, 234), "1.25", "M" + std::string(kOhm), "IR:500V 20G", "Continuous"),
      makeRow(2, at(15, 30, 59, 500), "", "", "DCV  600V", "Timed"),
  };
  return rows;
}

constexpr const char *kWriterRole = "VEXAL_JOURNAL_TEST_WRITER";
constexpr const char *kWriterFolder = "VEXAL_JOURNAL_TEST_FOLDER";

// The child's part: a journal of this version ("current") or of the text format that earlier
// versions wrote ("text"), under the locale of its environment. Exits 2 when that locale
// does not write times its own way.
[[noreturn]] void writeJournalAsChild(const std::string &role, const std::string &into) {
  if (formatLongTime(at(10, 0, 1)) == "10:00:01") std::_Exit(2);
  ReadingTable table;
  for (const TableRow &row : localeRows()) table.appendRow(row);
  if (role == "current") {
    ReadingJournal journal(into);
    for (std::size_t row = 0; row < table.rowCount(); ++row)
      if (journal.append(table.view(row))) std::_Exit(3);
    journal.waitUntilFlushed(std::chrono::seconds(5));
  } else {
    fs::create_directories(into);
    fs::permissions(into, fs::perms::owner_all);
    std::ofstream(fs::path(into) / "journal-20260101-100000-1-1.tsv", std::ios::binary)
        << tableToText(table);
  }
  std::_Exit(0);
}

// Before GoogleTest starts: this program run again as the writer child.
const bool kRunAsWriter = [] {
  if (const char *role = std::getenv(kWriterRole))
    writeJournalAsChild(role, std::getenv(kWriterFolder));
  return false;
}();

// A journal written under a Chinese locale (times like "10时00分01秒") is read under this
// test's locale: this version's journal gives the rows exactly; one of the text format of
// earlier versions gives them with the seconds its times hold. Neither is lost.
TEST_F(ReadingJournalTest, AJournalWrittenInAnotherLocaleReadsBack) {
  const fs::path locales = scratch / "locales";
  fs::create_directories(locales);
  const std::string compile =
      "localedef -i zh_CN -f UTF-8 '" + (locales / "zh_CN.UTF-8").string() + "' 2>&1";
  ASSERT_EQ(std::system(compile.c_str()), 0) << "localedef needs the locales package";
  ASSERT_NE(formatLongTime(at(10, 0, 1)).find("10:00:01"), std::string::npos)
      << "this test reads in a locale with H:MM:SS times";

  for (const std::string role : {"current", "text"}) {
    SCOPED_TRACE(role);
    fs::remove_all(folder);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const std::string self = fs::read_symlink("/proc/self/exe").string();
      ::setenv("LOCPATH", locales.c_str(), 1);
      ::setenv("LC_ALL", "zh_CN.UTF-8", 1);
      ::setenv(kWriterRole, role.c_str(), 1);
      ::setenv(kWriterFolder, folder.c_str(), 1);
      ::execl(self.c_str(), self.c_str(), static_cast<char *>(nullptr));
      std::_Exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "2: the locale was not used";

    std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
    ASSERT_EQ(stranded.size(), 1u);
    EXPECT_TRUE(stranded[0].whole());
    ASSERT_EQ(stranded[0].rows(), localeRows().size());
    for (std::size_t i = 0; i < localeRows().size(); ++i) {
      TableRow expected = localeRows()[i];
      if (role == "text") {
        *expected.timeMs -= *expected.timeMs % 1000;  // the text format keeps whole seconds
        for (Field f : {Field::Value, Field::Unit, Field::VRange, Field::IRange})
          if (expected.text(f)->empty()) expected.text(f) = "NULL";  // as it was written
      }
      EXPECT_EQ(stranded[0].readings.row(i), expected) << "row " << i;
    }
  }
}

TEST(JournalTime, TimesOfAnyLocaleGiveTheirSeconds) {
  const struct {
    const char *text;
    std::optional<std::int32_t> ms;
  } cases[] = {
      {"10:00:01", at(10, 0, 1)},
      {"10\xE6\x97\xB6"
       "00\xE5\x88\x86"
       "01\xE7\xA7\x92",
       at(10, 0, 1)},  // UTF-8 时分秒
      {"\xCF\xC2\xCE\xE7 03\xCA\xB1"
       "04\xB7\xD6"
       "05\xC3\xEB",
       at(15, 4, 5)},  // 下午, cp936
      {"PM 12:30:00", at(12, 30, 0)},
      {"12.30.00 AM", at(0, 30, 0)},
      {"7h05", at(7, 5, 0)},
      {"25:00:00", std::nullopt},
      {"10:61:00", std::nullopt},
      {"100:00:00", std::nullopt},
      {"10", std::nullopt},
      {"NULL", std::nullopt},
  };
  for (const auto &c : cases) EXPECT_EQ(parseJournalTime(c.text), c.ms) << c.text;
}

// --- Marks and leftovers -------------------------------------------------------------------

// The saved mark counts only up to where it points: rows after it are unsaved, and a mark that
// points past the end (stale) says nothing, so the journal is offered whole.
TEST_F(ReadingJournalTest, TheSavedMarkCountsTheRowsItCovers) {
  const struct {
    const char *name;
    int markRows;                // rows the mark covers; -1: past the end of the file
    std::size_t offeredUnsaved;  // 0: not offered, removed
  } cases[] = {{"none saved", 0, 4}, {"two saved", 2, 2}, {"all saved", 4, 0}, {"stale", -1, 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder);
    const std::string path = leaveJournal(4);
    const std::string bytes = readFile(path);
    std::size_t length = bytes.size() + 100;
    if (c.markRows >= 0) {
      length = bytes.find('\n') + 1;
      for (int row = 0; row < c.markRows; ++row) length = bytes.find('\n', length) + 1;
    }
    if (c.markRows != 0) std::ofstream(path + ".saved") << length;
    std::vector<StrandedJournal> stranded = findStrandedJournals(folder.string(), "");
    if (c.offeredUnsaved == 0) {
      EXPECT_TRUE(stranded.empty());
      EXPECT_FALSE(fs::exists(path));
      continue;
    }
    ASSERT_EQ(stranded.size(), 1u);
    EXPECT_EQ(stranded[0].rows(), 4u);
    EXPECT_EQ(stranded[0].unsavedRows(), c.offeredUnsaved);
  }
}

// Hidden files of programs that ended before their journal or mark took its name go; those
// of a running program stay.
TEST_F(ReadingJournalTest, HiddenLeftoversOfEndedProgramsAreRemoved) {
  const pid_t ended = ::fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) std::_Exit(0);
  ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all);
  const std::string endedName = "journal-20260101-000000-" + std::to_string(ended) + "-1.tsv";
  const std::string runningName =
      "journal-20260101-000000-" + std::to_string(::getpid()) + "-1.tsv";
  for (const std::string &name : {"." + endedName, endedName + ".saved.new", "." + runningName})
    std::ofstream(folder / name) << "Vexal journal 2\n";
  EXPECT_TRUE(findStrandedJournals(folder.string(), "").empty());
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{"." + runningName});
}

// --- Links and other users' folders --------------------------------------------------------

// A link planted at each name the journal opens is not followed: the file it points to stays
// as it was, and a folder that is a link, another user's or writable by others is refused.
TEST_F(ReadingJournalTest, PlantedLinksAreNotFollowedAndForeignFoldersAreRefused) {
  const fs::path outside = scratch / "outside";
  const std::string outsideBytes(57, 'x');
  struct Case {
    const char *name;
    // Runs the case; may change what the file outside holds before it starts.
    std::function<void(ReadingJournalTest &, const fs::path &, std::string &)> run;
  };
  const Case cases[] = {
      {"the folder is a link",
       [](ReadingJournalTest &t, const fs::path &out, std::string &) {
         fs::create_directories(t.folder.parent_path());
         fs::create_directory_symlink(out.parent_path(), t.folder);
         ReadingJournal journal(t.folder.string());
         EXPECT_FALSE(journal.writing());
         EXPECT_NE(journal.failure().find("link"), std::string::npos) << journal.failure();
         EXPECT_TRUE(findStrandedJournals(t.folder.string(), "").empty());
       }},
      {"a left journal's name",
       [](ReadingJournalTest &t, const fs::path &out, std::string &) {
         fs::create_directories(t.folder);
         fs::create_symlink(out, t.folder / "journal-20260101-000000-1-1.tsv");
         EXPECT_TRUE(findStrandedJournals(t.folder.string(), "").empty());
       }},
      {"a left journal's saved mark",
       [](ReadingJournalTest &t, const fs::path &out, std::string &outsideBytes) {
         // Followed, the file outside would mark the journal saved and have it removed.
         const std::string path = t.leaveJournal(2);
         outsideBytes = std::to_string(fs::file_size(path));
         std::ofstream(out, std::ios::trunc) << outsideBytes;
         fs::create_symlink(out, path + ".saved");
         EXPECT_EQ(findStrandedJournals(t.folder.string(), "").size(), 1u) << "not saved";
       }},
      {"the saved mark and its temporary name",
       [](ReadingJournalTest &t, const fs::path &out, std::string &) {
         ReadingJournal journal(t.folder.string());
         ReadingTable table;
         t.record(journal, table, 1);
         fs::create_symlink(out, journal.path() + ".saved.new");
         journal.markSaved();
         EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(journal.path() + ".saved")));
         fs::remove(journal.path() + ".saved");
         fs::create_symlink(out, journal.path() + ".saved");
         journal.markSaved();
         EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(journal.path() + ".saved")));
       }},
      {"a folder writable by others",
       [](ReadingJournalTest &t, const fs::path &, std::string &) {
         fs::create_directories(t.folder);
         fs::permissions(t.folder, fs::perms::all);
         ReadingJournal journal(t.folder.string());
         EXPECT_FALSE(journal.writing());
         EXPECT_NE(journal.failure().find("other users"), std::string::npos);
       }},
      {"another user's folder",
       [](ReadingJournalTest &t, const fs::path &, std::string &) {
         fs::create_directories(t.folder);
         fs::permissions(t.folder, fs::perms::owner_all);
         ASSERT_EQ(::chown(t.folder.c_str(), ::geteuid() + 1, ::getegid()), 0)
             << "changing the owner needs root: " << std::strerror(errno);
         ReadingJournal journal(t.folder.string());
         EXPECT_FALSE(journal.writing());
         EXPECT_NE(journal.failure().find("another user"), std::string::npos);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(scratch / "state");
    fs::remove_all(outside);
    std::string expected = outsideBytes;
    std::ofstream(outside, std::ios::binary) << expected;
    c.run(*this, outside, expected);
    EXPECT_EQ(readFile(outside), expected) << "the file outside was touched";
    EXPECT_EQ(filesIn(outside.parent_path()), (std::vector<std::string>{"outside", "state"}));
  }
}

// --- Take-overs ------------------------------------------------------------------------------

// A child takes a left journal over and is killed with SIGKILL at each step (and once not at
// all): the next search offers every reading once, none twice, none lost.
TEST_F(ReadingJournalTest, AKillAtEachStepOfATakeOverLosesNothingAndOffersNothingTwice) {
  using Step = ReadingJournal::TakeOverStep;
  const std::optional<Step> steps[] = {Step::Begun,  Step::RowsWritten, Step::Ended,
                                       Step::Synced, Step::OldRemoved,  std::nullopt};
  for (const std::optional<Step> step : steps) {
    SCOPED_TRACE(step ? static_cast<int>(*step) : -1);
    fs::remove_all(folder);
    leaveJournal(5);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ReadingJournal journal(folder.string());
      ReadingTable table;
      for (std::int32_t no : {101, 102}) {
        table.appendRow(reading(no));
        if (journal.append(table.view(table.rowCount() - 1))) std::_Exit(3);
      }
      std::vector<StrandedJournal> left = findStrandedJournals(folder.string(), journal.path());
      if (left.size() != 1) std::_Exit(4);
      const std::size_t first = table.rowCount();
      for (std::size_t row = 0; row < left[0].rows(); ++row)
        table.appendRow(left[0].readings.view(row));
      journal.setTakeOverObserver([step](Step now) {
        if (now == step) ::raise(SIGKILL);
      });
      if (journal.takeOver(std::move(left[0]), table, first, table.rowCount() - first))
        std::_Exit(5);
      std::_Exit(0);  // as killed after all: the journal stays, unsaved
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(step.has_value(), WIFSIGNALED(status)) << status;

    std::vector<std::int32_t> offered;
    for (const StrandedJournal &journal : findStrandedJournals(folder.string(), ""))
      for (std::size_t row = 0; row < journal.rows(); ++row)
        offered.push_back(*journal.readings.no(row));
    std::sort(offered.begin(), offered.end());
    EXPECT_EQ(offered, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 101, 102}));
  }
}

// This run's journal fails (a full disk): Open keeps the old journal and says so, and a
// journal that fails again after Delete Data is told again.
TEST_F(ReadingJournalTest, AFailingJournalKeepsTheOldOneAndIsToldAgainAfterDeleteData) {
  const fs::path mountPoint = scratch / "small";
  fs::create_directories(mountPoint);
  ASSERT_EQ(::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k"), 0)
      << "mounting a small tmpfs needs root: " << std::strerror(errno);
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mountPoint};
  folder = mountPoint / "journal";
  const std::string old = leaveJournal(3);

  ReadingJournal journal(folder.string());
  std::vector<StrandedJournal> left = findStrandedJournals(folder.string(), journal.path());
  ASSERT_EQ(left.size(), 1u);
  {
    std::ofstream filler(mountPoint / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  ReadingTable table;
  table.appendRow(reading(7));
  std::optional<std::string> full;
  for (int i = 0; !full && i < 10000; ++i) full = journal.append(table.view(0));
  ASSERT_TRUE(full) << "the full disk is told";

  const std::size_t first = table.rowCount();
  for (std::size_t row = 0; row < left[0].rows(); ++row)
    table.appendRow(left[0].readings.view(row));
  const auto told = journal.takeOver(std::move(left[0]), table, first, 3);
  ASSERT_TRUE(told);
  EXPECT_NE(told->find(old), std::string::npos) << *told;
  EXPECT_NE(told->find("kept"), std::string::npos) << *told;
  EXPECT_TRUE(fs::exists(old));

  // Delete Data: a new journal on the same full disk fails again and says so.
  auto again = journal.restart();
  for (int i = 0; !again && i < 10000; ++i) again = journal.append(table.view(0));
  EXPECT_TRUE(again);
  fs::remove(mountPoint / "filler");
  ReadingJournal next(folder.string());
  std::vector<StrandedJournal> offered = findStrandedJournals(folder.string(), next.path());
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].path, old);
  EXPECT_EQ(offered[0].rows(), 3u);
}

// --- The GUI thread never waits on the disk --------------------------------------------------

// The disk keeps the flusher waiting: Delete Data returns at once, exit after at most a
// second, and the journal holding unsaved rows stays for the next start.
TEST_F(ReadingJournalTest, DeleteDataAndExitDoNotWaitForASlowDisk) {
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, open = false;
  };
  auto gate = std::make_shared<Gate>();
  std::string kept;
  {
    ReadingJournal journal(folder.string());
    journal.setFileSync([gate](int fd) {
      std::unique_lock lock(gate->mutex);
      gate->entered = true;
      gate->changed.notify_all();
      gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->open; });
      return ::fdatasync(fd);
    });
    ReadingTable table;
    record(journal, table, 1);
    {
      std::unique_lock lock(gate->mutex);
      ASSERT_TRUE(
          gate->changed.wait_for(lock, std::chrono::seconds(10), [&] { return gate->entered; }));
    }
    EXPECT_EQ(journal.restart(), std::nullopt);
    record(journal, table, 2);
    kept = journal.path();
    journal.closeAtExit();
  }  // the end of the journal waits at most a second
  std::lock_guard lock(gate->mutex);
  EXPECT_FALSE(gate->open) << "Delete Data or exit waited for the disk";
  EXPECT_TRUE(fs::exists(kept));
  gate->open = true;
  gate->changed.notify_all();
}

}  // namespace
}  // namespace vexal
