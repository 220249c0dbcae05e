// The CSV, plain-text and HTML exports of a report: exact content on small tables, and files
// that are complete or not there at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "record/DataFiles.h"
#include "record/TimeOfDay.h"
#include "report/PrintReports.h"
#include "report/ReportExport.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kTen = 36'000'000;  // 10:00:00

using test_rows::makeRow;

ReadingTable awkwardTable() {
  ReadingTable t;
  t.appendRow(makeRow(1, kTen, "1,5", "M\xA6\xB8", "say \"hi\"", "line\nbreak"));
  t.appendRow(makeRow(std::nullopt, std::nullopt, "", std::nullopt, std::nullopt, "<b>&"));
  return t;
}

ReadingTable tableOf(int rows) {
  ReadingTable t;
  for (int i = 1; i <= rows; ++i)
    t.appendRow(makeRow(i, kTen + i * 1000, std::to_string(i), "V", "DCV  600V", "Continuous"));
  return t;
}

void htmlWithoutPicture(const ReportDocument &doc, ByteSink &sink, const ExportProgress &p) {
  writeReportHtml(doc, sink, p);
}

template <class Writer>
std::string written(const ReportDocument &doc, Writer writer) {
  std::string out;
  StringSink sink(out);
  writer(doc, sink, ExportProgress());
  return out;
}

std::size_t count(const std::string &text, const std::string &what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string readFile(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ExportFormat, IsChosenByExtensionInAnyCase) {
  EXPECT_EQ(exportFormatFor("/a/b.PDF"), ExportFormat::Pdf);
  EXPECT_EQ(exportFormatFor("r.Html"), ExportFormat::Html);
  EXPECT_EQ(exportFormatFor("r.txt"), ExportFormat::Text);
  EXPECT_EQ(exportFormatFor("r.CsV"), ExportFormat::Csv);
  EXPECT_FALSE(exportFormatFor("r.xls"));
  EXPECT_FALSE(exportFormatFor("csv"));
  EXPECT_FALSE(exportFormatFor("dir.csv/report"));
}

TEST(CsvExport, WritesTitlesAndRowsWithQuotingAndTheOhmSign) {
  ReadingTable t = awkwardTable();
  PrintReports reports;
  const std::string csv = written(reports.openDataReport(t, "d"), writeReportCsv);
  const std::string expected =
      "\xEF\xBB\xBF"
      "No,Time,Value,Unit,Function,Remark\r\n"
      "1," +
      formatLongTime(kTen) +
      ",\"1,5\",M\u03A9,\"say \"\"hi\"\"\",\"line\nbreak\"\r\n"
      ",,,,,<b>&\r\n";
  EXPECT_EQ(csv, expected);
}

TEST(CsvExport, EmptyTableGivesOneRowOfEmptyFields) {
  ReadingTable t;
  PrintReports reports;
  EXPECT_EQ(written(reports.openDataReport(t, "d"), writeReportCsv),
            "\xEF\xBB\xBFNo,Time,Value,Unit,Function,Remark\r\n,,,,,\r\n");
}

TEST(CsvExport, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(csvField("plain text"), "plain text");
  EXPECT_EQ(csvField("a\rb"), "\"a\rb\"");
  EXPECT_EQ(csvField("\""), "\"\"\"\"");
  EXPECT_EQ(csvField(""), "");
}

TEST(TextExport, LaysOutOnePageAsOnPaper) {
  ReadingTable t;
  t.appendRow(makeRow(1, kTen, "12.5", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Timed"));
  PrintReports reports;
  const std::string text = written(reports.openDataReport(t, "01/02/2026"), writeReportText);
  const std::string time = formatLongTime(kTen);
  auto at = [](std::string line, std::size_t column, const std::string &s) {
    // Places s at a character column (the ohm sign counts as one character).
    std::size_t chars = 0;
    for (char c : line) chars += (c & 0xC0) != 0x80;
    line.append(column - chars, ' ');
    return line + s;
  };
  std::string expected;
  expected += std::string(39, ' ') + " TEST DATA REPORT\r\n";
  expected += at("", 79, "Print Date:") + " 01/02/2026\r\n";
  expected +=
      at(at(at(at(at(at("", 4, "No"), 17, "Time"), 32, "Value"), 50, "Unit"), 62, "Function"), 82,
         "Remark") +
      "\r\n";
  expected += at(at(at(at(at(at("", 4, "1"), 17, time), 33, "12.5"), 50, "M\u03A9"), 62,
                    "IR:500V 20G\u03A9"),
                 82, "Timed") +
              "\r\n";
  expected += "\r\n    The Page 1  Of 1\r\n";
  EXPECT_EQ(text, expected);
}

TEST(TextExport, SeparatesPagesByFormFeeds) {
  ReadingTable t = tableOf(75);
  PrintReports reports;
  const std::string text = written(reports.openDataReport(t, "d"), writeReportText);
  EXPECT_EQ(count(text, "\f"), 2u);
  EXPECT_EQ(count(text, "TEST DATA REPORT"), 3u);
  EXPECT_NE(text.find("The Page 3  Of 3"), std::string::npos);
  // Row 38 opens the second page.
  const std::string page2 = text.substr(text.find('\f'), text.rfind('\f') - text.find('\f'));
  EXPECT_NE(page2.find("\r\n    38 "), std::string::npos);
  EXPECT_EQ(page2.find("\r\n    37 "), std::string::npos);
}

TEST(HtmlExport, WritesOneDocumentPageByPageWithTextsEscaped) {
  ReadingTable t = awkwardTable();
  for (int i = 0; i < 40; ++i) t.appendRow(makeRow(i + 10, kTen, "v", "V", "r", "m"));
  PrintReports reports;
  const std::string html = written(reports.openDataReport(t, "d<1>"), htmlWithoutPicture);
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<title>TEST DATA REPORT</title>"), std::string::npos);
  EXPECT_NE(html.find("page-break-after: always"), std::string::npos);
  EXPECT_EQ(count(html, "<div class=\"page\">"), 2u);
  EXPECT_EQ(count(html,
                  "<tr><th>No</th><th>Time</th><th>Value</th><th>Unit</th>"
                  "<th>Function</th><th>Remark</th></tr>"),
            2u);
  EXPECT_NE(html.find("<tr><td>1</td><td>" + formatLongTime(kTen) +
                      "</td><td>1,5</td><td>M\u03A9</td><td>say &quot;hi&quot;</td>"
                      "<td>line\nbreak</td></tr>"),
            std::string::npos);
  EXPECT_NE(html.find("<tr><td></td><td></td><td></td><td></td><td></td><td>&lt;b&gt;&amp;</td>"
                      "</tr>"),
            std::string::npos);
  EXPECT_NE(html.find("Print Date: d&lt;1&gt;"), std::string::npos);
  EXPECT_NE(html.find("The Page 1 Of 2"), std::string::npos);
  EXPECT_NE(html.find("The Page 2 Of 2"), std::string::npos);
  EXPECT_EQ(count(html, "<tr><td>"), 42u);
  EXPECT_EQ(html.substr(html.size() - 16), "</body>\n</html>\n");
}

class ExportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("report-export-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::size_t filesInDir() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

TEST_F(ExportFileTest, WritesTheChosenFormat) {
  ReadingTable t = tableOf(3);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  exportReport(doc, ExportFormat::Csv, (dir_ / "r.csv").string());
  std::string expected;
  StringSink sink(expected);
  writeReportCsv(doc, sink);
  EXPECT_EQ(readFile(dir_ / "r.csv"), expected);
  EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(ExportFileTest, CancelledExportLeavesTheOldFileAndNoOther) {
  ReadingTable t = tableOf(200);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  for (ExportFormat f : {ExportFormat::Csv, ExportFormat::Text, ExportFormat::Html}) {
    const fs::path target = dir_ / "old.txt";
    std::ofstream(target) << "keep me";
    int calls = 0;
    EXPECT_THROW(
        exportReport(doc, f, target.string(),
                     [&](std::size_t done, std::size_t) { return ++calls < 2 || done == 0; }),
        ExportCancelled);
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_EQ(filesInDir(), 1u);
  }
}

TEST_F(ExportFileTest, FailedWriteThrowsAndLeavesNoFile) {
  ReadingTable t = tableOf(3);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  EXPECT_THROW(exportReport(doc, ExportFormat::Html, (dir_ / "missing" / "r.html").string()),
               EFileError);
  EXPECT_EQ(filesInDir(), 0u);
}

TEST(ExportProgress, ReportsPagesUpToTheTotal) {
  ReadingTable t = tableOf(100);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  std::vector<std::size_t> seen;
  std::string out;
  StringSink sink(out);
  writeReportHtml(doc, sink, [&](std::size_t done, std::size_t total) {
    EXPECT_EQ(total, 3u);
    seen.push_back(done);
    return true;
  });
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// The preview's Export: the chosen file type decides unless the name carries a type.
TEST(ExportTarget, ChosenTypeDecidesForANameWithoutOne) {
  EXPECT_EQ(exportTargetFor("/d/report", "csv"),
            (ExportTarget{"/d/report.csv", ExportFormat::Csv}));
  EXPECT_EQ(exportTargetFor("/d/report", "txt"),
            (ExportTarget{"/d/report.txt", ExportFormat::Text}));
  EXPECT_EQ(exportTargetFor("/d/report", "html"),
            (ExportTarget{"/d/report.html", ExportFormat::Html}));
  // An extension that is none of the three is part of the name.
  EXPECT_EQ(exportTargetFor("/d/run.2024", "csv"),
            (ExportTarget{"/d/run.2024.csv", ExportFormat::Csv}));
  EXPECT_EQ(exportTargetFor("/d/r.pdf", "txt"), (ExportTarget{"/d/r.pdf.txt", ExportFormat::Text}));
}

TEST(ExportTarget, TypedExtensionWinsOverTheChosenType) {
  EXPECT_EQ(exportTargetFor("/d/r.csv", "html"), (ExportTarget{"/d/r.csv", ExportFormat::Csv}));
  EXPECT_EQ(exportTargetFor("/d/r.TXT", "csv"), (ExportTarget{"/d/r.TXT", ExportFormat::Text}));
  EXPECT_EQ(exportTargetFor("/d/r.html", "txt"), (ExportTarget{"/d/r.html", ExportFormat::Html}));
  EXPECT_EQ(exportTargetFor("/d/r.Htm", "csv"), (ExportTarget{"/d/r.Htm", ExportFormat::Html}));
}

}  // namespace
}  // namespace vexal
