// The logger's formats and its output file: header and row lines of each format, an
// existing file refused or continued, and a write that fails part-way taken back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "app/LogFormat.h"
#include "common/JsonText.h"
#include "record/ReadingTable.h"
#include "record/TimeOfDay.h"

// The folders this test program syncs, as their paths: the program's own fsync stands in for
// the C library's, notes a folder, and hands the call on to the kernel.
static std::vector<std::string> gSyncedFolders;
extern "C" int fsync(int fd) {
  struct stat st {};
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && n > 0) gSyncedFolders.emplace_back(target, n);
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace vexal {
namespace {

namespace fs = std::filesystem;

const std::string kGOhmCp936 = "G\xA6\xB8";
const std::string kGOhmUtf8 = "G\xCE\xA9";
const std::string kTsvHeader = "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n";
const std::string kCsvHeader = "\xEF\xBB\xBFNo,Time,Value,Unit,Function,Remark\r\n";

// Reading 7 at 01:02:03.456: 12.34 GΩ, 1000 V range, continuous.
TableRowView reading(std::string_view value = "12.34") {
  static const std::string function = "IR:1000V 40" + kGOhmCp936;
  TableRowView row;
  row.no = 7;
  row.timeMs = 3'723'456;
  row.value = value;
  row.unit = kGOhmCp936;
  row.vRange = function;
  row.iRange = "Continuous";
  return row;
}

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(LogFormat, EachFormatWritesItsHeaderAndOneWholeLinePerRow) {
  EXPECT_EQ(logFileStart(LogFormat::Tsv), kTsvHeader);
  EXPECT_EQ(logLine(LogFormat::Tsv, reading()),
            "7\t01:02:03\t12.34\t" + kGOhmCp936 + "\tIR:1000V 40" + kGOhmCp936 + "\tContinuous\r\n")
      << "the Save Data line, code page 936";

  EXPECT_EQ(logFileStart(LogFormat::Csv), kCsvHeader);
  EXPECT_EQ(logLine(LogFormat::Csv, reading()),
            "7,01:02:03,12.34," + kGOhmUtf8 + ",IR:1000V 40" + kGOhmUtf8 + ",Continuous\r\n")
      << "the data report's columns, UTF-8";
  EXPECT_EQ(logLine(LogFormat::Csv, reading("12,34")).substr(0, 20), "7,01:02:03,\"12,34\",G")
      << "a decimal comma is quoted";

  EXPECT_EQ(logFileStart(LogFormat::Jsonl), "");
  EXPECT_EQ(logLine(LogFormat::Jsonl, reading()),
            "{\"no\":7,\"time\":\"01:02:03.456\",\"value\":\"12.34\",\"unit\":\"" + kGOhmUtf8 +
                "\",\"function\":\"IR:1000V 40" + kGOhmUtf8 + "\",\"mode\":\"Continuous\"}\n");
  EXPECT_EQ(logLine(LogFormat::Jsonl, TableRowView{}),
            "{\"no\":null,\"time\":null,\"value\":null,\"unit\":null,\"function\":null,"
            "\"mode\":null}\n")
      << "fields without value (rows opened from a file) are null";
}

TEST(LogFormat, NamesTimesAndJsonStrings) {
  EXPECT_EQ(logFormatNamed("tsv"), LogFormat::Tsv);
  EXPECT_EQ(logFormatNamed("csv"), LogFormat::Csv);
  EXPECT_EQ(logFormatNamed("jsonl"), LogFormat::Jsonl);
  EXPECT_FALSE(logFormatNamed("TSV"));
  EXPECT_FALSE(logFormatNamed("json"));
  EXPECT_EQ(formatTimeWithMilliseconds(0), "00:00:00.000");
  EXPECT_EQ(formatTimeWithMilliseconds(86'399'999), "23:59:59.999");
  EXPECT_EQ(jsonString("a\"b\\c\td\x01\x7f"), "\"a\\\"b\\\\c\\u0009d\\u0001\x7f\"");
  EXPECT_EQ(jsonString(kGOhmUtf8), "\"" + kGOhmUtf8 + "\"") << "UTF-8 passes as it is";
}

class LogFileTest : public ::testing::Test {
 protected:
  fs::path dir =
      fs::temp_directory_path() / ("vexal-log-file-test-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  std::unique_ptr<LogFile> open(const fs::path &p, LogFormat f, bool append) {
    why.clear();
    return LogFile::open(p.string(), f, append, why);
  }
  std::string why;
};

TEST_F(LogFileTest, ANewFileGetsItsHeaderAndEachRowAsItIsWritten) {
  const fs::path p = dir / "new.tsv";
  auto file = open(p, LogFormat::Tsv, false);
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(readFile(p), kTsvHeader) << "the header is there before any reading";
  ASSERT_TRUE(file->writeRow(reading()));
  EXPECT_EQ(readFile(p), kTsvHeader + logLine(LogFormat::Tsv, reading()))
      << "each row reaches the file as it is written, not at the end";
  EXPECT_TRUE(file->sync());
  ASSERT_TRUE(file->writeRow(reading()));
  EXPECT_TRUE(file->syncInBackground()) << file->error();
  EXPECT_TRUE(file->syncInBackground()) << "nothing new: nothing to do";
  EXPECT_EQ(file->rowsWritten(), 2u);
  EXPECT_TRUE(file->close()) << "the background hand-over ends with the file";
  EXPECT_EQ(readFile(p),
            kTsvHeader + logLine(LogFormat::Tsv, reading()) + logLine(LogFormat::Tsv, reading()));
}

TEST_F(LogFileTest, AnExistingFileIsRefusedOrContinuedWithoutASecondHeader) {
  const fs::path p = dir / "old.csv";
  const std::string old = kCsvHeader + "1,00:00:01,1.0,V,x,y\r\n";
  std::ofstream(p, std::ios::binary) << old;
  EXPECT_FALSE(open(p, LogFormat::Csv, false));
  EXPECT_NE(why.find("exists"), std::string::npos) << why;
  EXPECT_EQ(readFile(p), old) << "never replaced";

  EXPECT_FALSE(open(p, LogFormat::Tsv, true)) << "another format is not continued";
  EXPECT_NE(why.find("does not start"), std::string::npos) << why;
  EXPECT_EQ(readFile(p), old);

  auto file = open(p, LogFormat::Csv, true);
  ASSERT_TRUE(file) << why;
  ASSERT_TRUE(file->writeRow(reading()));
  file.reset();
  EXPECT_EQ(readFile(p), old + logLine(LogFormat::Csv, reading()));

  const fs::path empty = dir / "empty.jsonl";
  std::ofstream(empty, std::ios::binary).flush();
  file = open(empty, LogFormat::Jsonl, true);
  ASSERT_TRUE(file) << "an empty file is continued";
  file = open(dir / "fresh.tsv", LogFormat::Tsv, true);
  ASSERT_TRUE(file) << "--append makes a file that is not there";
  EXPECT_EQ(readFile(dir / "fresh.tsv"), kTsvHeader);
}

TEST_F(LogFileTest, AFileThatCannotBeMadeIsToldAndNothingIsLeft) {
  EXPECT_FALSE(open(dir / "no-such-folder" / "x.tsv", LogFormat::Tsv, false));
  EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
  EXPECT_FALSE(open(dir, LogFormat::Tsv, false)) << "a folder";
  EXPECT_FALSE(open(dir, LogFormat::Tsv, true)) << "a folder, appending";
  EXPECT_NE(why.find("cannot write"), std::string::npos) << why;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
}

// A disk that fills up: the file size limit cuts the second row part-way through.
TEST_F(LogFileTest, ARowTheDiskTakesOnlyPartOfIsTakenBack) {
  const fs::path p = dir / "full.tsv";
  const std::string line = logLine(LogFormat::Tsv, reading());
  auto file = open(p, LogFormat::Tsv, false);
  ASSERT_TRUE(file) << why;
  ASSERT_TRUE(file->writeRow(reading()));

  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = kTsvHeader.size() + line.size() + line.size() / 2;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = file->writeRow(reading());
  const bool writtenAgain = file->writeRow(reading());
  setrlimit(RLIMIT_FSIZE, &old);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(written);
  EXPECT_FALSE(writtenAgain);
  EXPECT_FALSE(file->error().empty());
  EXPECT_EQ(readFile(p), kTsvHeader + line) << "the file ends with the last whole row";
  EXPECT_EQ(file->rowsWritten(), 1u);
}

// A file whose last line was cut off (a run killed, or the power lost, while a row was only
// partly on the disk): appending cuts it back to its last line end and says so, so that the
// next row is a line of its own instead of being glued to the torn one.
TEST_F(LogFileTest, AppendingToACutOffLastLineCutsItBackToTheLastLineEndAndSaysSo) {
  const std::string tsvRow = logLine(LogFormat::Tsv, reading());
  const std::string jsonlRow = logLine(LogFormat::Jsonl, reading());
  const struct {
    LogFormat format;
    std::string whole, torn;
  } cases[] = {
      {LogFormat::Tsv, kTsvHeader + tsvRow, "8\t01:02:0"},
      {LogFormat::Tsv, kTsvHeader + tsvRow, "\r"},
      {LogFormat::Csv, kCsvHeader, "7,01:02:03,12.3"},
      {LogFormat::Jsonl, jsonlRow, jsonlRow.substr(0, 30)},
      {LogFormat::Jsonl, "", jsonlRow.substr(0, 30)},
      {LogFormat::Jsonl, jsonlRow + jsonlRow, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.whole + c.torn);
    const fs::path p = dir / "torn.log";
    std::ofstream(p, std::ios::binary | std::ios::trunc) << c.whole << c.torn;
    auto file = open(p, c.format, true);
    ASSERT_TRUE(file) << why;
    if (c.torn.empty()) {
      EXPECT_EQ(file->notice(), "") << "a whole file is continued as it is";
    } else {
      EXPECT_EQ(file->notice(), "the last line of '" + p.string() + "' was cut off (" +
                                    std::to_string(c.torn.size()) +
                                    " bytes without a line end): it is removed, and the rows go "
                                    "on after the last whole line");
    }
    ASSERT_TRUE(file->writeRow(reading()));
    file.reset();
    EXPECT_EQ(readFile(p), c.whole + logLine(c.format, reading()));
  }
}

// A new file's entry in its folder reaches the disk with the file, or a power cut could take
// the whole file away; a file the run made and wrote no row into is removed again (and that
// too is synced), while a file it continued or wrote rows into stays.
TEST_F(LogFileTest, ANewFilesFolderIsSyncedAndAFileWithoutRowsIsRemovedOnlyIfMadeHere) {
  const std::string folder = fs::canonical(dir).string();
  gSyncedFolders.clear();
  auto made = open(dir / "made.tsv", LogFormat::Tsv, false);
  ASSERT_TRUE(made) << why;
  EXPECT_EQ(gSyncedFolders, std::vector<std::string>{folder}) << "synced once the file is made";
  EXPECT_TRUE(made->removeIfNoRows());
  EXPECT_FALSE(fs::exists(dir / "made.tsv"));
  EXPECT_EQ(gSyncedFolders, (std::vector<std::string>{folder, folder})) << "and once it is gone";

  auto withRow = open(dir / "row.tsv", LogFormat::Tsv, false);
  ASSERT_TRUE(withRow && withRow->writeRow(reading()));
  EXPECT_FALSE(withRow->removeIfNoRows());
  EXPECT_TRUE(withRow->close());
  EXPECT_EQ(readFile(dir / "row.tsv"), kTsvHeader + logLine(LogFormat::Tsv, reading()));

  std::ofstream(dir / "old.tsv", std::ios::binary) << kTsvHeader;
  gSyncedFolders.clear();
  auto continued = open(dir / "old.tsv", LogFormat::Tsv, true);
  ASSERT_TRUE(continued) << why;
  EXPECT_FALSE(continued->removeIfNoRows()) << "a file given to continue is never removed";
  EXPECT_EQ(readFile(dir / "old.tsv"), kTsvHeader);
  EXPECT_TRUE(gSyncedFolders.empty()) << "nothing was made in the folder";
}

}  // namespace
}  // namespace vexal
