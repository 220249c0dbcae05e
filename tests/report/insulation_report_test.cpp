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
  test_rows::RunSpec spec;
  spec.lastS = 75;
  spec.mode = "Timed";
  spec.value = [](int s) { return s <= 30 ? std::string("1.00") : std::string("1.50"); };
  const auto lines = insulationResults(test_rows::runOf(spec), TestParticulars{});
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
