#include "report/InsulationReport.h"

#include <gtest/gtest.h>

#include "support/RunTables.h"

namespace vexal {
namespace {

TEST(InsulationFiguresTest, OhmsKeepThreeDigitsAcrossPrefixes) {
  EXPECT_EQ(formatOhms(620e6), "620 M\u03A9");
  EXPECT_EQ(formatOhms(994.9e6), "995 M\u03A9");
  EXPECT_EQ(formatOhms(999.6e6), "1.00 G\u03A9");  // rounds into the next prefix
  EXPECT_EQ(formatOhms(8.4e9), "8.40 G\u03A9");
  EXPECT_EQ(formatOhms(9.996e9), "10.0 G\u03A9");
  EXPECT_EQ(formatOhms(1.5e12), "1.50 T\u03A9");
  EXPECT_EQ(formatOhms(470), "470 \u03A9");
  EXPECT_EQ(formatOhms(0), "0.00 \u03A9");
}

TEST(InsulationFiguresTest, ElapsedTimes) {
  EXPECT_EQ(formatElapsed(0), "0:00.0");
  EXPECT_EQ(formatElapsed(29'949), "0:29.9");
  EXPECT_EQ(formatElapsed(59'960), "1:00.0");
  EXPECT_EQ(formatElapsed(600'000), "10:00.0");
}

TEST(InsulationFiguresTest, TonesOfBandsAndVerdicts) {
  EXPECT_EQ(toneOf(ConditionBand::Dangerous), ResultTone::Bad);
  EXPECT_EQ(toneOf(ConditionBand::Questionable), ResultTone::Warning);
  EXPECT_EQ(toneOf(ConditionBand::Excellent), ResultTone::Good);
  EXPECT_EQ(toneOf(Verdict::Fail), ResultTone::Bad);
  EXPECT_EQ(toneOf(Verdict::Undetermined), ResultTone::Warning);
  EXPECT_EQ(toneOf(Verdict::NotApplicable), ResultTone::Neutral);
}

TEST(InsulationResultsTest, ARunWithoutTenMinutesHasNoPiAndSaysWhatIsMissing) {
  test_rows::RunSpec shape;
  shape.lastS = 75;
  shape.mode = "Timed";
  shape.value = [](int s) { return s <= 30 ? std::string("1.00") : std::string("1.50"); };
  const auto lines = insulationResults(test_rows::runOf(shape), TestParticulars{});
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[3], (ResultLine{"R(10 min)", "\u2014",
                                  "run ended at 1:15 \u2014 R(10 min) needs 9:58 or more",
                                  ResultTone::Neutral}));
  EXPECT_EQ(lines[4].value, "1.500");
  EXPECT_EQ(lines[4].judgement, "good");
  EXPECT_EQ(lines[5].value, "\u2014");
  EXPECT_EQ(lines[5].judgement, "run ended at 1:15 \u2014 R(10 min) needs 9:58 or more");
  EXPECT_EQ(lines.back().label, "Overall");
}

TEST(ReportPagesTest, AShorterFirstPageThenFullOnes) {
  ReportLayout layout;
  layout.bands = {{BandKind::Detail, 4.4, {}}};
  layout.rowsPerPage = 54;
  layout.firstPageRows = 14;
  DetailSource details{201,
                       [](std::size_t d) { return std::vector<std::string>{std::to_string(d)}; }};
  const ReportDocument doc(layout, details, "today");
  EXPECT_EQ(doc.pageCount(), 5);  // 14, 54, 54, 54, 25
  EXPECT_EQ(doc.detailsOnPage(1), (std::pair<std::size_t, std::size_t>{0, 14}));
  EXPECT_EQ(doc.detailsOnPage(2), (std::pair<std::size_t, std::size_t>{14, 54}));
  EXPECT_EQ(doc.detailsOnPage(5), (std::pair<std::size_t, std::size_t>{176, 25}));
  EXPECT_EQ(doc.detailsOnPage(6).second, 0u);
  EXPECT_EQ(doc.detailTexts(200), std::vector<std::string>{"200"});
  EXPECT_EQ(ReportDocument(layout, DetailSource{14, details.texts}, "").pageCount(), 1);
  EXPECT_EQ(ReportDocument(layout, DetailSource{15, details.texts}, "").pageCount(), 2);
}

}  // namespace
}  // namespace vexal

namespace vexal {
namespace {

// Page 1 of the report of one run with its particulars, as the texts laid out on it.
std::string firstPageText(const test_rows::RunSpec &shape, const TestParticulars &particulars) {
  ReadingTable table;
  test_rows::appendRun(table, shape, test_rows::at(10, 0, 0));
  const auto runs = findInsulationRuns(table);
  std::string text;
  if (runs.empty()) return text;
  const ReportDocument doc = openInsulationReport(table, runs[0], particulars, "10/12/2026");
  for (const PlacedElement &e : doc.page(1).elements) text += e.text + "|";
  return text;
}

TEST(InsulationReportTest, TheFirstPageSaysWhatTheJudgementSays) {
  TestParticulars motor;
  motor.equipment = "Motor M3";
  motor.ratedKv = 6.6;
  motor.insulationClass = InsulationClass::B;
  motor.windingKind = WindingKind::FormWound;
  TestParticulars warm = motor;
  warm.windingTemperatureC = 40;
  TestParticulars smallMotor = warm;
  smallMotor.ratedKv = 0.4;
  TestParticulars cable = warm;
  cable.equipmentKind = EquipmentKind::Cable;

  test_rows::RunSpec steady;  // 300 MΩ, then 900 MΩ after the first minute
  steady.stepS = 30;
  steady.value = [](int s) { return std::string(s <= 60 ? "0.30" : "0.90"); };
  test_rows::RunSpec waived = steady;  // 12 GΩ, PI 1.1
  waived.value = [](int s) { return std::string(s <= 60 ? "12.0" : "13.2"); };
  test_rows::RunSpec overRange = steady;  // 3.5 GΩ, then over the 20 GΩ range at 500 V
  overRange.function = test_rows::kIr500;
  overRange.value = [](int s) { return std::string(s <= 60 ? "3.50" : "L"); };

  const struct {
    const char *what;
    test_rows::RunSpec run;
    TestParticulars particulars;
    std::vector<std::string> shown;
  } cases[] = {
      {"no temperature",
       steady,
       motor,
       {"Motor M3", "Minimum insulation resistance|",
        "not determined \u2014 enter the winding temperature", "Overall||not determined"}},
      {"waived PI",
       waived,
       warm,
       {"1.100", "not applicable \u2014 R(1 min) at 40 \u00B0C above 5,000 M\u03A9",
        "Overall||pass"}},
      {"over range at 500 V",
       overRange,
       warm,
       {"over range (above 20 G\u03A9)", "above 5.71", "pass \u2014 PI above 5.71",
        "tested at 500 V; 2500\u20135000 V is suggested for 6.6 kV", "Overall||pass"}},
      {"0.4 kV form-wound",
       steady,
       smallMotor,
       {"0.4 kV", "at least 5.00 M\u03A9|pass", "Overall||pass"}},
      {"cable",
       steady,
       cable,
       {"cable", "not judged \u2014 the IEEE 43 checks cover rotating|machines"}},
  };
  for (const auto &c : cases) {
    const std::string page = firstPageText(c.run, c.particulars);
    for (const std::string &expected : c.shown)
      EXPECT_NE(page.find(expected), std::string::npos) << c.what << ": " << expected << "\n"
                                                        << page;
  }
}

}  // namespace
}  // namespace vexal
