#include "record/DataFiles.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "common/Cp936.h"
#include "record/TableDatapacket.h"
#include "record/TableTextFile.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

const std::string kMegaOhm = "M" + std::string(kOhm);
const std::string kIr500 = "IR:500V 20G" + std::string(kOhm);

class FakeReporter : public DataFileReporter {
 public:
  void showMessage(const std::string &text) override { messages.push_back(text); }
  void showLoadFailed(const std::string &reason) override {
    ++loadFailures;
    reasons.push_back(reason);
  }
  std::vector<std::string> reasons;
  std::vector<std::string> messages;
  int loadFailures = 0;
};

TableRow reading(std::int32_t no, std::string value) {
  TableRow r;
  r.no = no;
  r.timeMs = 36'000'000 + no * 1000;
  r.value = std::move(value);
  r.unit = kMegaOhm;
  r.vRange = kIr500;
  r.iRange = "Continuous";
  return r;
}

std::string slurp(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path &p, const std::string &bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

class DataFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexal-datafiles-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string &name) const { return (dir_ / name).string(); }
  // Files in the folder other than `expected`: leftovers of a save.
  std::vector<std::string> strayFiles(std::initializer_list<std::string> expected) const {
    std::vector<std::string> stray;
    for (const auto &e : fs::directory_iterator(dir_)) {
      std::string name = e.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end())
        stray.push_back(name);
    }
    return stray;
  }
  ReadingTable threeRecordings() const {
    ReadingTable t;
    for (int i = 1; i <= 3; ++i) t.appendRow(reading(i, "1" + std::to_string(i) + ".5"));
    return t;
  }

  fs::path dir_;
  FakeReporter reporter_;
};

// ------------------------------------------------------------------ format choice

TEST(DataFileFormat, ChosenByExtensionAlone) {
  EXPECT_EQ(dataFileFormatFor("DATA.XML"), DataFileFormat::Datapacket);
  EXPECT_EQ(dataFileFormatFor("/a/b/data.xml"), DataFileFormat::Datapacket);
  EXPECT_EQ(dataFileFormatFor("x.XmL"), DataFileFormat::Datapacket);
  EXPECT_EQ(dataFileFormatFor("data.xml.txt"), DataFileFormat::Text);
  EXPECT_EQ(dataFileFormatFor("data.xls"), DataFileFormat::Text);
  EXPECT_EQ(dataFileFormatFor("data"), DataFileFormat::Text);
  EXPECT_EQ(dataFileFormatFor("dir.xml/data"), DataFileFormat::Text);
  EXPECT_EQ(dataFileFormatFor("data.xmll"), DataFileFormat::Text);
  EXPECT_EQ(dataFileFormatFor("data.xm"), DataFileFormat::Text);
  EXPECT_EQ(fileExtension("/a.b/c.d.Txt"), ".Txt");
  EXPECT_EQ(fileExtension("/a.b/c"), "");
  EXPECT_EQ(fileExtension("name."), ".");
}

// ------------------------------------------------------------------ SplitByDelimiter

TEST(SplitByDelimiter, NDelimitersGiveNPlusOnePieces) {
  std::vector<std::string> parts{"former", "content"};
  SplitByDelimiter("1\t12:00:00\t\tV\t", "\t", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"1", "12:00:00", "", "V", ""}));
  SplitByDelimiter("", "\t", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{""}));
  SplitByDelimiter("a, b,, c", ", ", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b,", "c"}));
  SplitByDelimiter("aaaa", "aa", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"", "", ""}));
}

TEST(SplitByDelimiter, EmptyDelimiterGivesTheWholeText) {
  std::vector<std::string> parts;
  SplitByDelimiter("a\tb", "", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"a\tb"}));
}

TEST(SplitByDelimiter, TextMayBeOneOfTheFormerParts) {
  std::vector<std::string> parts{"x;y;z"};
  SplitByDelimiter(parts[0], ";", parts);
  EXPECT_EQ(parts, (std::vector<std::string>{"x", "y", "z"}));
}

// ------------------------------------------------------------------ saving

TEST_F(DataFilesTest, SavesTextForEveryNameButXml) {
  ReadingTable table = threeRecordings();
  for (std::string name : {"data.xls", "data.txt", "data", "data.xml.txt"}) {
    SCOPED_TRACE(name);
    reporter_.messages.clear();
    EXPECT_TRUE(SaveTableToFile(table, path(name), reporter_));
    EXPECT_EQ(reporter_.messages,
              std::vector<std::string>{"Save table to specified file: " + path(name) + " Scuss!"});
    EXPECT_EQ(slurp(path(name)), tableToText(table));
  }
  EXPECT_TRUE(strayFiles({"data.xls", "data.txt", "data", "data.xml.txt"}).empty());
}

TEST_F(DataFilesTest, SavesXmlForXmlInAnyCase) {
  ReadingTable table = threeRecordings();
  EXPECT_TRUE(SaveTableToFile(table, path("DATA.XML"), reporter_));
  EXPECT_EQ(
      reporter_.messages,
      std::vector<std::string>{"Save table to specified file: " + path("DATA.XML") + " Scuss!"});
  std::string xml = slurp(path("DATA.XML"));
  EXPECT_EQ(xml, tableToDatapacket(table));
  EXPECT_NE(xml.find("CHANGE_LOG=\"1 0 4 2 0 4 3 0 4\""), std::string::npos);
}

TEST_F(DataFilesTest, SaveReplacesExistingFileKeepingItsPermissions) {
  put(path("old.txt"), std::string(100000, 'o'));
  ::chmod(path("old.txt").c_str(), 0604);
  ReadingTable table = threeRecordings();
  ASSERT_TRUE(SaveTableToFile(table, path("old.txt"), reporter_));
  EXPECT_EQ(slurp(path("old.txt")), tableToText(table));
  struct stat st;
  ASSERT_EQ(::stat(path("old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_F(DataFilesTest, SaveThroughSymbolicLinkReplacesItsTarget) {
  put(path("real.txt"), "old");
  fs::create_symlink(path("real.txt"), path("link.txt"));
  ReadingTable table = threeRecordings();
  ASSERT_TRUE(SaveTableToFile(table, path("link.txt"), reporter_));
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));
  EXPECT_EQ(slurp(path("real.txt")), tableToText(table));
}

TEST_F(DataFilesTest, TextSaveIntoMissingFolderReportsFailure) {
  std::string target = path("missing/data.xls");
  EXPECT_FALSE(SaveTableToFile(threeRecordings(), target, reporter_));
  EXPECT_EQ(reporter_.messages,
            std::vector<std::string>{"Could not save table to specified file: " + target});
}

TEST_F(DataFilesTest, XmlSaveFailureThrowsWithTheSystemReasonAndNoMessage) {
  std::string target = path("missing/data.xml");
  try {
    SaveTableToFile(threeRecordings(), target, reporter_);
    FAIL() << "no error";
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + target + "\". No such file or directory");
  }
  EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(DataFilesTest, SaveOverFolderFailsAndLeavesNothingBehind) {
  fs::create_directory(path("taken.txt"));
  fs::create_directory(path("taken.xml"));
  EXPECT_FALSE(SaveTableToFile(threeRecordings(), path("taken.txt"), reporter_));
  EXPECT_THROW(SaveTableToFile(threeRecordings(), path("taken.xml"), reporter_), EFileError);
  EXPECT_TRUE(fs::is_directory(path("taken.txt")));
  EXPECT_TRUE(fs::is_directory(path("taken.xml")));
  EXPECT_EQ(strayFiles({"taken.txt", "taken.xml"}), std::vector<std::string>{});
}

// Writes beyond a file-size limit fail part way, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lim = saved_;
    lim.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_);
  }

 private:
  rlimit saved_{};
  void (*old_)(int);
};

TEST_F(DataFilesTest, FailedWriteKeepsThePreviousFile) {
  ReadingTable big;
  for (int i = 0; i < 20000; ++i) big.appendRow(reading(i, std::to_string(i)));
  put(path("keep.xls"), "previous text");
  put(path("keep.xml"), "previous xml");
  {
    FileSizeLimit limit(64 * 1024);
    EXPECT_FALSE(SaveTableToFile(big, path("keep.xls"), reporter_));
    try {
      SaveTableToFile(big, path("keep.xml"), reporter_);
      ADD_FAILURE() << "no error";
    } catch (const EFileError &e) {
      EXPECT_EQ(std::string(e.what()).rfind("Cannot write file \"" + path("keep.xml") + "\". ", 0),
                0u)
          << e.what();
    }
  }
  EXPECT_EQ(reporter_.messages, std::vector<std::string>{
                                    "Could not save table to specified file: " + path("keep.xls")});
  EXPECT_EQ(slurp(path("keep.xls")), "previous text");
  EXPECT_EQ(slurp(path("keep.xml")), "previous xml");
  EXPECT_EQ(strayFiles({"keep.xls", "keep.xml"}), std::vector<std::string>{});
}

TEST_F(DataFilesTest, AtomicWriteRemovesTheTemporaryFileWhenProducerThrows) {
  put(path("a.txt"), "before");
  EXPECT_THROW(writeFileAtomically(path("a.txt"),
                                   [](ByteSink &sink) {
                                     sink.write("partial");
                                     throw std::runtime_error("stop");
                                   }),
               std::runtime_error);
  EXPECT_EQ(slurp(path("a.txt")), "before");
  EXPECT_EQ(strayFiles({"a.txt"}), std::vector<std::string>{});
}

// ------------------------------------------------------------------ loading

TEST_F(DataFilesTest, TextFileOpenedTwiceDoublesItsRows) {
  ReadingTable saved = threeRecordings();
  ASSERT_TRUE(SaveTableToFile(saved, path("d.xls"), reporter_));
  ReadingTable table;
  table.appendRow(reading(99, "existing"));
  ASSERT_TRUE(LoadFileToTable(path("d.xls"), table, reporter_));
  ASSERT_TRUE(LoadFileToTable(path("d.xls"), table, reporter_));
  ASSERT_EQ(table.rowCount(), 7u);
  EXPECT_EQ(table.no(0), 99);
  for (int i = 0; i < 3; ++i) {
    TableRow expect = saved.row(i);
    expect.timeMs = *expect.timeMs / 1000 * 1000;
    EXPECT_EQ(table.row(1 + i), expect);
    EXPECT_EQ(table.row(4 + i), expect);
  }
  EXPECT_EQ(table.changeLog().size(), 7u);
  EXPECT_EQ(reporter_.loadFailures, 0);
}

TEST_F(DataFilesTest, LongLinesAcrossReadPiecesAreReadWhole) {
  std::string text = std::string(kTextHeader) + "\r\n";
  for (int i = 0; i < 100000; ++i) text += std::to_string(i) + "\t10:00:00\tv\r\n";
  text += "7\t10:00:00\t" + std::string(3u << 20, 'w') + "\tunit\r\n8\t10:00:01\tend\r\n";
  put(path("long.txt"), text);
  ReadingTable table;
  ASSERT_TRUE(LoadFileToTable(path("long.txt"), table, reporter_));
  ASSERT_EQ(table.rowCount(), 100002u);
  EXPECT_EQ(table.no(99999), 99999);
  EXPECT_EQ(table.text(100000, Field::Value), std::string(20, 'w'));
  EXPECT_EQ(table.text(100000, Field::Unit), "unit");
  EXPECT_EQ(table.text(100001, Field::Value), "end");
}

TEST_F(DataFilesTest, TextFilesOfManyPiecesGiveTheRowsOneReaderWouldInOrder) {
  // Lines of every length across many pieces, the units changing now and then, and a failing
  // line near the end: the rows are those the reader gives the whole text at once, and
  // nothing after the failing line is read.
  std::string text = std::string(kTextHeader) + "\r\n";
  for (int i = 0; i < 90'000; ++i) {
    text += std::to_string(i) + "\t10:00:00\t" +
            std::string(static_cast<std::size_t>(i % 37), 'v') + std::to_string(i) + "\tu" +
            std::to_string(i / 1000) + "\r\n";
  }
  const std::string good = text;
  text += "x\t10:00:00\tbad\r\n90001\t10:00:00\tafter\r\n";
  put(path("many.txt"), text);
  ReadingTable table, oneReader;
  EXPECT_FALSE(LoadFileToTable(path("many.txt"), table, reporter_));
  const TextReadResult expected = appendTableText(text, oneReader);
  ASSERT_EQ(reporter_.reasons.size(), 1u);
  EXPECT_EQ(reporter_.reasons[0], path("many.txt") + ": line 90002: " + expected.why);
  ASSERT_EQ(table.rowCount(), 90'001u);
  EXPECT_TRUE(table.sameContent(oneReader));

  put(path("good.txt"), good);
  ReadingTable whole;
  ASSERT_TRUE(LoadFileToTable(path("good.txt"), whole, reporter_));
  ASSERT_EQ(whole.rowCount(), 90'000u);
  EXPECT_EQ(whole.text(89'999, Field::Value),
            std::string(89'999 % 37, 'v').append("89999").substr(0, 20));
}

TEST_F(DataFilesTest, XmlReopenedAndSavedAgainIsTheSameFile) {
  ReadingTable recorded = threeRecordings();
  ASSERT_TRUE(SaveTableToFile(recorded, path("run.xml"), reporter_));
  ReadingTable table;
  table.appendRow(reading(50, "replaced"));
  ASSERT_TRUE(LoadFileToTable(path("run.xml"), table, reporter_));
  ASSERT_EQ(table.rowCount(), 3u);
  EXPECT_EQ(table.row(0), recorded.row(0));
  ASSERT_TRUE(SaveTableToFile(table, path("again.XML"), reporter_));
  EXPECT_EQ(slurp(path("again.XML")), slurp(path("run.xml")));
}

TEST_F(DataFilesTest, SpecialBytesSurviveBothFormats) {
  ReadingTable table;
  table.appendRow(reading(1, "<1&2>\"'"));
  table.appendRow(reading(2, "a\\b" + std::string(kOhm)));
  ASSERT_TRUE(SaveTableToFile(table, path("s.xml"), reporter_));
  ASSERT_TRUE(SaveTableToFile(table, path("s.txt"), reporter_));
  ReadingTable fromXml, fromText;
  ASSERT_TRUE(LoadFileToTable(path("s.xml"), fromXml, reporter_));
  ASSERT_TRUE(LoadFileToTable(path("s.txt"), fromText, reporter_));
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fromXml.row(i), table.row(i));
    EXPECT_EQ(fromText.text(i, Field::Value), table.text(i, Field::Value));
    EXPECT_EQ(fromText.text(i, Field::Unit), kMegaOhm);
  }
}

TEST_F(DataFilesTest, LoadFailuresAreReported) {
  fs::create_directory(path("folder.xls"));
  put(path("empty.txt"), "");
  constexpr char kGarbage[] = "\0\1\2\3 not a datapacket";
  put(path("garbage.xml"), std::string(kGarbage, sizeof kGarbage - 1));
  for (std::string name : {"absent.xls", "absent.xml", "folder.xls", "empty.txt", "garbage.xml"}) {
    SCOPED_TRACE(name);
    FakeReporter reporter;
    ReadingTable table;
    table.appendRow(reading(1, "x"));
    EXPECT_FALSE(LoadFileToTable(path(name), table, reporter));
    EXPECT_EQ(reporter.loadFailures, 1);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(table.rowCount(), 1u);
  }
  if (fs::exists("/dev/zero")) {
    ReadingTable table;
    EXPECT_FALSE(LoadFileToTable("/dev/zero", table, reporter_));
  }
}

TEST_F(DataFilesTest, FailingTextLineKeepsTheRowsBeforeIt) {
  put(path("t.txt"), std::string(kTextHeader) + "\r\n1\t10:00:00\ta\r\n2\t10:00:01\tb\r\n\r\n");
  ReadingTable table;
  EXPECT_FALSE(LoadFileToTable(path("t.txt"), table, reporter_));
  EXPECT_EQ(reporter_.loadFailures, 1);
  ASSERT_GE(table.rowCount(), 2u);
  EXPECT_EQ(table.no(0), 1);
  EXPECT_EQ(table.no(1), 2);
}

TEST_F(DataFilesTest, FailedXmlLoadKeepsTheTableUsable) {
  ReadingTable table = threeRecordings();
  std::string xml = tableToDatapacket(table);
  put(path("broken.xml"), xml.substr(0, xml.size() - 20));
  ReadingTable other;
  other.appendRow(reading(42, "mine"));
  EXPECT_FALSE(LoadFileToTable(path("broken.xml"), other, reporter_));
  ASSERT_EQ(other.rowCount(), 1u);
  EXPECT_EQ(other.no(0), 42);
  other.appendRow(reading(43, "more"));
  ASSERT_TRUE(SaveTableToFile(other, path("after.xml"), reporter_));
  ReadingTable back;
  ASSERT_TRUE(LoadFileToTable(path("after.xml"), back, reporter_));
  EXPECT_EQ(back.rowCount(), 2u);
  EXPECT_EQ(back.changeLog().size(), 2u);
}

TEST_F(DataFilesTest, EveryByteInAValueReadsBackInItsOwnField) {
  // A tab, CR or LF inside a value would split it; each is written as a blank instead.
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const char c = static_cast<char>(b);
    TableRow row = reading(b, std::string("1") + c + "2");
    row.unit = std::string("u") + c + "v";
    row.vRange = std::string("r") + c + c + "s";
    row.iRange = std::string("m") + c + "n";
    ReadingTable table;
    table.appendRow(row);
    table.appendRow(reading(1000, "after"));
    ASSERT_TRUE(SaveTableToFile(table, path("b.txt"), reporter_));
    ReadingTable back;
    ASSERT_TRUE(LoadFileToTable(path("b.txt"), back, reporter_)) << reporter_.reasons.back();
    ASSERT_EQ(back.rowCount(), 2u);
    const char shown = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    EXPECT_EQ(back.no(0), b);
    EXPECT_EQ(back.text(0, Field::Value), std::string("1") + shown + "2");
    EXPECT_EQ(back.text(0, Field::Unit), std::string("u") + shown + "v");
    EXPECT_EQ(back.text(0, Field::VRange), std::string("r") + shown + shown + "s");
    EXPECT_EQ(back.text(0, Field::IRange), std::string("m") + shown + "n");
    EXPECT_EQ(back.text(1, Field::Value), "after");
  }
}

TEST_F(DataFilesTest, XmlFileWithByteOrderMarkOpens) {
  put(path("bom.xml"), "\xEF\xBB\xBF" + tableToDatapacket(threeRecordings()));
  ReadingTable table;
  ASSERT_TRUE(LoadFileToTable(path("bom.xml"), table, reporter_))
      << (reporter_.reasons.empty() ? "" : reporter_.reasons.back());
  ASSERT_EQ(table.rowCount(), 3u);
  EXPECT_EQ(table.text(2, Field::Value), "13.5");
  ReadingTable inMemory;
  EXPECT_TRUE(readTableDatapacket("\xEF\xBB\xBF" + tableToDatapacket(threeRecordings()), inMemory));
  EXPECT_EQ(inMemory.rowCount(), 3u);
  // Only at the very start.
  put(path("late.xml"), "  \xEF\xBB\xBF" + tableToDatapacket(threeRecordings()));
  EXPECT_FALSE(LoadFileToTable(path("late.xml"), table, reporter_));
}

TEST_F(DataFilesTest, LoadFailuresSayWhichFileWhereAndWhat) {
  auto reasonFor = [&](const std::string &name, const std::string &bytes) {
    put(path(name), bytes);
    FakeReporter reporter;
    ReadingTable table;
    EXPECT_FALSE(LoadFileToTable(path(name), table, reporter));
    return reporter.reasons.size() == 1 ? reporter.reasons[0] : std::string("(none)");
  };
  const std::string header = std::string(kTextHeader) + "\r\n";
  EXPECT_EQ(reasonFor("time.txt", header + "1\t10:00:00\tok\r\n2\tnoon\tx\r\n"),
            path("time.txt") + ": line 3: field Time 'noon' is not a time of day");
  EXPECT_EQ(reasonFor("no.txt", header + "1x\t10:00:00\r\n"),
            path("no.txt") + ": line 2: field No '1x' is not a whole number");
  EXPECT_EQ(reasonFor("seven.txt", header + "1\t10:00:00\ta\tb\tc\td\te\r\n"),
            path("seven.txt") + ": line 2: the line has more than six fields");
  EXPECT_EQ(reasonFor("blank.txt", header + "\r\n"),
            path("blank.txt") + ": line 2: the line is empty");
  EXPECT_EQ(reasonFor("empty.txt", ""), path("empty.txt") + ": line 1: the file holds no lines");
  // A long bad field is cut and its control bytes escaped.
  std::string reason =
      reasonFor("long.txt", header + "1\t\x1b[31m" + std::string(5000, '9') + "\r\n");
  EXPECT_LT(reason.size(), path("long.txt").size() + 120);
  EXPECT_NE(reason.find("'\\x1b[31m999"), std::string::npos) << reason;
  EXPECT_EQ(reason.find('\x1b'), std::string::npos);

  std::string xml = tableToDatapacket(threeRecordings());
  std::string bad = xml.substr(0, 100) + "<" + xml.substr(100);
  EXPECT_EQ(reasonFor("bad.xml", bad).rfind(path("bad.xml") + ": line 1, byte offset 10", 0), 0u)
      << reasonFor("bad.xml", bad);
  std::string noWidth = xml;
  noWidth.replace(noWidth.find(" WIDTH=\"20\""), 11, "");
  EXPECT_NE(
      reasonFor("width.xml", noWidth).find("field Value is missing or of another type or width"),
      std::string::npos);
  EXPECT_EQ(reasonFor("cut.xml", xml.substr(0, xml.size() - 5))
                .rfind(path("cut.xml") + ": line 1, byte offset ", 0),
            0u);
  fs::create_directory(path("folder.xml"));
  FakeReporter reporter;
  ReadingTable table;
  EXPECT_FALSE(LoadFileToTable(path("folder.xml"), table, reporter));
  EXPECT_EQ(reporter.reasons, std::vector<std::string>{path("folder.xml") +
                                                       ": cannot open the file: Is a directory"});
}

// Stops the job at its `stopAt`-th report; keeps what it was told.
class StoppingProgress : public FileProgress {
 public:
  explicit StoppingProgress(int stopAt) : stopAt_(stopAt) {}
  bool advance(std::uint64_t done, std::uint64_t total) override {
    reports.emplace_back(done, total);
    return static_cast<int>(reports.size()) < stopAt_;
  }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;

 private:
  int stopAt_;
};

TEST_F(DataFilesTest, ProgressCountsRowsWrittenAndBytesRead) {
  ReadingTable big;
  for (int i = 0; i < 10000; ++i) big.appendRow(reading(i, std::to_string(i)));
  StoppingProgress saving(1000);
  ASSERT_TRUE(SaveTableToFile(big, path("p.txt"), reporter_, &saving));
  ASSERT_EQ(saving.reports.size(), 3u);  // rows 0, 4096, 8192
  EXPECT_EQ(saving.reports[1], std::make_pair(std::uint64_t{4096}, std::uint64_t{10000}));
  // Several pieces of a file of some megabytes.
  ReadingTable huge;
  for (int i = 0; i < 60000; ++i) huge.appendRow(reading(i, std::to_string(i)));
  ASSERT_TRUE(SaveTableToFile(huge, path("h.txt"), reporter_));
  const auto size = static_cast<std::uint64_t>(fs::file_size(path("h.txt")));
  StoppingProgress reading(1000);
  ReadingTable back;
  ASSERT_TRUE(LoadFileToTable(path("h.txt"), back, reporter_, &reading));
  ASSERT_GE(reading.reports.size(), 3u);
  for (std::size_t i = 1; i < reading.reports.size(); ++i) {
    EXPECT_GT(reading.reports[i].first, reading.reports[i - 1].first);
    EXPECT_EQ(reading.reports[i].second, size);
  }
  EXPECT_EQ(back.rowCount(), 60000u);
}

TEST_F(DataFilesTest, CancelledSaveKeepsTheOldFileAndSaysNothing) {
  ReadingTable big;
  for (int i = 0; i < 20000; ++i) big.appendRow(reading(i, std::to_string(i)));
  for (std::string name : {"keep.xls", "keep.xml"}) {
    SCOPED_TRACE(name);
    put(path(name), "previous");
    StoppingProgress stop(3);
    EXPECT_FALSE(SaveTableToFile(big, path(name), reporter_, &stop));
    EXPECT_EQ(stop.reports.size(), 3u);
    EXPECT_EQ(slurp(path(name)), "previous");
  }
  EXPECT_TRUE(reporter_.messages.empty());
  EXPECT_EQ(strayFiles({"keep.xls", "keep.xml"}), std::vector<std::string>{});
}

TEST_F(DataFilesTest, CancelledOpenLeavesTheTableExactlyAsItWas) {
  ReadingTable big;
  for (int i = 0; i < 60000; ++i) big.appendRow(reading(i, std::to_string(i)));
  ASSERT_TRUE(SaveTableToFile(big, path("big.txt"), reporter_));
  ASSERT_TRUE(SaveTableToFile(big, path("big.xml"), reporter_));
  reporter_.messages.clear();
  for (std::string name : {"big.txt", "big.xml"}) {
    SCOPED_TRACE(name);
    ReadingTable table = threeRecordings();
    ReadingTable before = threeRecordings();
    StoppingProgress stop(2);  // after the first piece was read
    EXPECT_FALSE(LoadFileToTable(path(name), table, reporter_, &stop));
    EXPECT_TRUE(table.sameContent(before));
    EXPECT_EQ(table.changeLog(), before.changeLog());
    // Still usable: a new recording continues the log.
    table.appendRow(reading(4, "14.5"));
    EXPECT_EQ(table.changeLog().back(), (ChangeLogEntry{4, 0, 4}));
  }
  EXPECT_EQ(reporter_.loadFailures, 0);
  EXPECT_TRUE(reporter_.messages.empty());
}

}  // namespace
}  // namespace vexal
