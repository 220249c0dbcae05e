// An asset's history as the Archive window and the asset history report read it: the lines
// of the history table, the trend's points and minimums, the report's pages, and runs going
// into the archive and coming back as a table.
#include "report/AssetHistory.h"

#include <gtest/gtest.h>

#include "common/Cp936.h"
#include "report/ArchivedRuns.h"
#include "report/AssetHistoryReport.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::at;
using test_rows::makeRow;

const std::string kOhmUtf8 = "\xCE\xA9";

TestSummary test(std::string date, std::optional<double> r40, std::optional<double> pi,
                 std::string verdict, std::optional<bool> halved = {},
                 std::string function = "IR:2500 100G" + kOhmUtf8) {
  TestSummary t;
  t.id = "t-" + date;
  t.particulars.date = std::move(date);
  t.particulars.operatorName = "J. Smith";
  t.function = std::move(function);
  t.startMs = at(10, 0, 0);
  t.results.r60 = r40 ? std::optional(*r40 / 4) : std::nullopt;
  t.results.r60At40C = r40;
  t.results.pi = pi;
  t.results.verdict = std::move(verdict);
  t.halved = halved;
  return t;
}

Asset machine(std::optional<double> kv, std::optional<ArchiveWinding> winding,
              std::optional<ArchiveClass> c = ArchiveClass::F) {
  Asset a;
  a.tag = "M-101";
  a.name = "Feed pump motor";
  a.location = "Hall 2";
  a.ratedKv = kv;
  a.winding = winding;
  a.insulationClass = c;
  return a;
}

TEST(AssetHistory, LinesShowValuesVerdictAndHalvedMark) {
  auto spot = test("2023-05-02", std::nullopt, std::nullopt, "not determined", std::nullopt,
                   "IR:500V 20G" + kOhmUtf8);
  spot.particulars.operatorName.reset();
  spot.results.dar = 1.234;
  const auto lines = historyLines(
      {test("2021-05-04", 8e9, 3.1, "pass"), test("2022-05-03", 3.2e9, 2.05, "fail", true), spot});
  ASSERT_EQ(lines.size(), 3u);
  for (const auto &line : lines) ASSERT_EQ(line.cells.size(), std::size_t(kHistoryColumnCount));
  EXPECT_EQ(lines[0].cells, (std::vector<std::string>{"2021-05-04", "2500 V", "2.00 G" + kOhmUtf8,
                                                      "8.00 G" + kOhmUtf8, "\xE2\x80\x94", "3.100",
                                                      "pass", "", "J. Smith"}));
  EXPECT_EQ(lines[0].verdictTone, ResultTone::Good);
  EXPECT_FALSE(lines[0].halved);
  EXPECT_EQ(lines[1].cells[kHistoryHalvedColumn], kHalvedMark);
  EXPECT_TRUE(lines[1].halved);
  EXPECT_EQ(lines[1].verdictTone, ResultTone::Bad);
  EXPECT_EQ(lines[2].cells[1], "500 V");
  EXPECT_EQ(lines[2].cells[2], "\xE2\x80\x94");
  EXPECT_EQ(lines[2].cells[4], "1.234");
  EXPECT_EQ(lines[2].cells[8], "");
  EXPECT_EQ(lines[2].verdictTone, ResultTone::Neutral);
}

TEST(AssetHistory, AssetLinesCarryCountLastTestAndVerdictColour) {
  AssetSummary summary{machine(6.6, ArchiveWinding::FormWound), 5, "2024-05-02", "fail"};
  const AssetLine line = assetLine(summary);
  EXPECT_EQ(line.cells, (std::vector<std::string>{"M-101", "Feed pump motor", "5", "2024-05-02",
                                                  "fail", "Hall 2"}));
  EXPECT_EQ(line.verdictTone, ResultTone::Bad);
  EXPECT_EQ(assetLine(AssetSummary{machine({}, {}), 0, {}, {}}).cells[kAssetVerdictColumn], "");
}

TEST(AssetHistory, DatesBecomeMillisecondsAndBadDatesNothing) {
  EXPECT_EQ(dateMs("1970-01-02"), 86'400'000);
  EXPECT_EQ(dateMs("1970-01-01", at(10, 0, 0)), 36'000'000);
  EXPECT_EQ(dateMs("2024-02-29"), 19782LL * 86'400'000);
  for (const char *bad : {"2023-02-29", "2024-13-01", "20240101", "2024-1-01", "", "2024-01-0x"})
    EXPECT_FALSE(dateMs(bad)) << bad;
}

TEST(AssetHistory, TrendPointsFollowTheTestsThatHaveValues) {
  const std::vector<TestSummary> tests = {
      test("2020-05-05", 9e9, 3.2, "pass"), test("2021-05-04", 8e9, std::nullopt, "pass"),
      test("2022-05-03", 3.5e9, 2.1, "fail", true), test("not a date", 1e9, 1.0, "fail"),
      test("2023-05-02", std::nullopt, 1.9, "not determined")};
  const AssetTrend trend = assetTrend(tests, machine(6.6, ArchiveWinding::FormWound));
  ASSERT_EQ(trend.resistance.size(), 3u);
  ASSERT_EQ(trend.pi.size(), 3u);
  EXPECT_EQ(trend.resistance[2].value, 3.5e9);
  EXPECT_TRUE(trend.resistance[2].halved);
  EXPECT_EQ(trend.resistance[2].verdict, "fail");
  EXPECT_EQ(trend.resistance[2].test, 2u);
  EXPECT_FALSE(trend.resistance[1].halved);
  EXPECT_EQ(trend.pi[2].test, 4u);
  EXPECT_EQ(trend.pi[2].verdict, "not determined");
  EXPECT_EQ(trend.firstMs, *dateMs("2020-05-05", at(10, 0, 0)));
  EXPECT_EQ(trend.lastMs, *dateMs("2023-05-02", at(10, 0, 0)));
}

TEST(AssetHistory, MinimumLinesOnlyWhereTheAssetSaysEnough) {
  const struct {
    const char *name;
    Asset asset;
    std::optional<double> ohms, pi;
  } cases[] = {
      {"form-wound 6.6 kV class F", machine(6.6, ArchiveWinding::FormWound), 100e6, 2.0},
      {"older 6.6 kV class A", machine(6.6, ArchiveWinding::Older, ArchiveClass::A), 7.6e6, 1.5},
      {"older without rated voltage", machine({}, ArchiveWinding::Older), std::nullopt, 2.0},
      {"form-wound 0.4 kV", machine(0.4, ArchiveWinding::FormWound), 5e6, 2.0},
      {"form-wound without rated voltage", machine({}, ArchiveWinding::FormWound), std::nullopt,
       2.0},
      {"random-wound without rated voltage", machine({}, ArchiveWinding::RandomWound), 5e6, 2.0},
      {"no winding, no class", machine(6.6, {}, {}), std::nullopt, std::nullopt},
  };
  for (const auto &c : cases) {
    const AssetTrend trend = assetTrend({}, c.asset);
    ASSERT_EQ(trend.minimumResistance.has_value(), c.ohms.has_value()) << c.name;
    if (c.ohms) {
      EXPECT_NEAR(*trend.minimumResistance, *c.ohms, 1) << c.name;
    }
    EXPECT_EQ(trend.minimumPi, c.pi) << c.name;
  }
  Asset cable = machine(6.6, ArchiveWinding::FormWound);
  cable.kind = AssetKind::Cable;
  const AssetTrend trend = assetTrend({}, cable);
  EXPECT_FALSE(trend.minimumResistance);
  EXPECT_FALSE(trend.minimumPi);
}

TEST(AssetHistory, StoredParticularsComeBackForTheWindow) {
  TestSummary t = test("2024-05-02", 2e9, 2.5, "pass");
  t.assetAtTest = machine(6.6, ArchiveWinding::RandomWound, ArchiveClass::H);
  t.particulars.windingTemperatureC = 21.5;
  t.particulars.humidityPercent = 60;
  const TestParticulars p = particularsOf(t);
  EXPECT_EQ(p.equipment, "M-101  Feed pump motor");
  EXPECT_EQ(p.location, "Hall 2");
  EXPECT_EQ(p.operatorName, "J. Smith");
  EXPECT_EQ(p.windingTemperatureC, 21.5);
  EXPECT_EQ(p.humidityPercent, 60);
  EXPECT_FALSE(p.ambientTemperatureC);
  EXPECT_EQ(p.ratedKv, 6.6);
  EXPECT_EQ(p.insulationClass, InsulationClass::H);
  EXPECT_EQ(p.windingKind, WindingKind::RandomOrLowVolt);
}

// --- The report ----------------------------------------------------------------------------

std::vector<std::string> pageTexts(const ReportDocument &doc, int page, BandKind band) {
  std::vector<std::string> texts;
  for (const PlacedElement &e : doc.page(page).elements)
    if (e.band == band && !e.text.empty()) texts.push_back(e.text);
  return texts;
}

TEST(AssetHistoryReport, AssetTrendAndTestsOnPagesNumberedOfTheTotal) {
  std::vector<TestSummary> tests;
  for (int year = 1990; year < 2070; ++year)
    tests.push_back(test(std::to_string(year) + "-05-02", 4e9, 2.5, "pass"));
  tests[40].halved = true;
  const ReportDocument doc =
      openAssetHistoryReport(machine(6.6, ArchiveWinding::FormWound), tests, "10/12/2026");
  ASSERT_GE(doc.pageCount(), 2);
  EXPECT_EQ(doc.detailCount(), tests.size());
  const auto title = pageTexts(doc, 1, BandKind::Title);
  ASSERT_FALSE(title.empty());
  EXPECT_EQ(title[0], "M-101  Feed pump motor");
  EXPECT_NE(std::find(title.begin(), title.end(), "6.6 kV"), title.end());
  EXPECT_NE(std::find(title.begin(), title.end(), "Tests (80)"), title.end());
  int pictures = 0;
  for (const PlacedElement &e : doc.page(1).elements)
    pictures += e.kind == ReportElementKind::Picture && e.width == kHistoryTrendWidthMm;
  EXPECT_EQ(pictures, 1);
  EXPECT_TRUE(pageTexts(doc, 2, BandKind::Title).empty());
  // Every page: the title, the column titles, the tests it holds, "Page n of m".
  std::size_t shown = 0;
  for (int p = 1; p <= doc.pageCount(); ++p) {
    EXPECT_EQ(pageTexts(doc, p, BandKind::PageHeader)[0], "ASSET HISTORY REPORT");
    EXPECT_EQ(pageTexts(doc, p, BandKind::ColumnHeader).size(), std::size_t(kHistoryColumnCount));
    const auto footer = pageTexts(doc, p, BandKind::PageFooter);
    EXPECT_EQ(footer.back(), std::to_string(doc.pageCount())) << p;
    const auto [first, count] = doc.detailsOnPage(p);
    EXPECT_EQ(first, shown);
    shown += count;
  }
  EXPECT_EQ(shown, tests.size());
  EXPECT_EQ(doc.detailTexts(40)[kHistoryHalvedColumn], kHalvedMark);
  EXPECT_EQ(doc.detailTexts(79)[0], "2069-05-02");
}

TEST(AssetHistoryReport, AnAssetWithoutTestsPrintsOnePage) {
  const ReportDocument doc = openAssetHistoryReport(machine({}, {}), {}, "10/12/2026");
  EXPECT_EQ(doc.pageCount(), 1);
  EXPECT_EQ(pageTexts(doc, 1, BandKind::PageFooter).back(), "1");
}

// --- Runs into the archive and back --------------------------------------------------------

const std::string kGOhm = "G" + std::string(kOhm);
const std::string kFunction = "IR:2500 100G" + std::string(kOhm);

TEST(ArchivedRuns, RunReadingsGoInByteForByteAndComeBackAsATable) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(23, 59, 0), "230", "V", "ACV  600V", "Continuous"));
  // A run across midnight, with an over-range reading and a blank one.
  const std::optional<std::string> values[] = {"1.20", "1.35", "L", std::nullopt, "1.55"};
  for (int i = 0; i < 5; ++i)
    table.appendRow(makeRow(2 + i, at(23, 59, 58) + 1000 * i, values[i], kGOhm, kFunction, "PI"));
  const auto runs = findInsulationRuns(table);
  ASSERT_EQ(runs.size(), 1u);
  const TestReadings readings = testReadingsOfRun(table.snapshot(), runs[0]);
  EXPECT_EQ(readings.function, kFunction);
  EXPECT_EQ(readings.mode, "PI");
  EXPECT_EQ(readings.startMs, at(23, 59, 58));
  ASSERT_EQ(readings.readings.size(), 5u);
  EXPECT_EQ(readings.readings[2], (StoredReading{2000, "L", kGOhm}));
  EXPECT_EQ(readings.readings[3], (StoredReading{3000, std::nullopt, kGOhm}));

  ReadingTable back;
  fillTableWithTest(back, readings);
  ASSERT_EQ(back.rowCount(), 5u);
  EXPECT_EQ(back.row(0), makeRow(1, at(23, 59, 58), "1.20", kGOhm, kFunction, "PI"));
  EXPECT_EQ(back.row(4), makeRow(5, at(0, 0, 2), "1.55", kGOhm, kFunction, "PI"));
  const auto again = findInsulationRuns(back);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(testReadingsOfRun(back.snapshot(), again[0]), readings);
}

TEST(ArchivedRuns, RunsFromADataFileAreToldFromRunsRecordedNow) {
  ReadingTable table;
  TableOrigin origin(table);
  auto addRun = [&](std::int32_t start) {
    for (int i = 0; i < 3; ++i)
      table.appendRow(makeRow(i + 1, start + 1000 * i, "1.0", kGOhm, kFunction, "PI"));
    table.appendRow(makeRow(9, start + 5000, "230", "V", "ACV  600V", "Continuous"));
  };
  addRun(at(9, 0, 0));
  origin.fileOpened();
  addRun(at(10, 0, 0));
  auto runs = findInsulationRuns(table);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(origin.fromFile(runs[0]));
  EXPECT_FALSE(origin.fromFile(runs[1]));
  // Delete Data: what is recorded next was recorded now.
  table.clear();
  addRun(at(11, 0, 0));
  runs = findInsulationRuns(table);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_FALSE(origin.fromFile(runs[0]));
}

}  // namespace
}  // namespace vexal
