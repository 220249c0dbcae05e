// Insulation runs of a reading table: which rows form a run, their elapsed times, R at the
// four marks, DAR and PI with their bands, and the resistance-time curve.
#include "analysis/InsulationRuns.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::at;

const std::string kOhmText = "\xA6\xB8";
const std::string kMOhm = "M" + kOhmText, kGOhm = "G" + kOhmText;
const std::string kIr2500 = "IR:2500 100G" + kOhmText;
const std::string kIr1000 = "IR:1000V 40G" + kOhmText;

// Builds a table row by row; times are given as ms since midnight.
class TableBuilder {
 public:
  TableBuilder &row(std::optional<std::int32_t> timeMs, std::optional<std::string> value,
                    std::optional<std::string> unit, std::optional<std::string> function = kIr2500,
                    std::optional<std::string> mode = std::string("PI")) {
    table.appendRow(
        test_rows::makeRow(++no_, timeMs, std::move(value), std::move(unit), function, mode));
    return *this;
  }
  // A resistance reading of the 2500 V PI test, in MΩ.
  TableBuilder &mohm(std::int32_t timeMs, std::string value) {
    return row(timeMs, std::move(value), kMOhm);
  }
  ReadingTable table;

 private:
  std::int32_t no_ = 0;
};

std::vector<InsulationRun> runsOf(const TableBuilder &b, std::int64_t gapMs = kDefaultRunGapMs) {
  return findInsulationRuns(b.table, gapMs);
}

TEST(InsulationRunsTest, OneRunWithItsMarksRatiosAndBands) {
  TableBuilder b;
  const std::int32_t t0 = at(10, 0, 0);
  b.mohm(t0, "100").mohm(t0 + 15'000, "120").mohm(t0 + 30'000, "150");
  b.mohm(t0 + 45'000, "180").mohm(t0 + 60'500, "999");  // 60.5 s: too late for R(1 min)
  for (int s = 90; s <= 600; s += 30) b.mohm(t0 + s * 1000, s == 600 ? "700" : "500");
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  const InsulationRun &r = runs[0];
  EXPECT_EQ(r.number, 1);
  EXPECT_EQ(r.firstRow, 0u);
  EXPECT_EQ(r.lastRow, 22u);
  EXPECT_EQ(r.rows, 23u);
  EXPECT_EQ(r.values, 23u);
  EXPECT_EQ(r.function, kIr2500);
  EXPECT_EQ(r.mode, "PI");
  EXPECT_EQ(r.startMs, t0);
  EXPECT_EQ(r.durationMs, 600'000);
  EXPECT_EQ(r.r15, 120e6);
  EXPECT_EQ(r.r30, 150e6);
  EXPECT_EQ(r.r60, 180e6);  // the 45 s row: the one at 60.5 s is past the mark
  EXPECT_EQ(r.r600, 700e6);
  ASSERT_TRUE(r.dar && r.pi);
  EXPECT_DOUBLE_EQ(*r.dar, 1.2);         // 180 / 150
  EXPECT_DOUBLE_EQ(*r.pi, 700.0 / 180);  // 3.888...
  EXPECT_EQ(r.darBand, ConditionBand::Questionable);
  EXPECT_EQ(r.piBand, ConditionBand::Good);
  EXPECT_EQ(r.resistanceAt(15), r.r15);
  EXPECT_EQ(r.resistanceAt(600), r.r600);
  EXPECT_FALSE(r.resistanceAt(45));
}

TEST(InsulationRunsTest, RowsThatAreNoResistanceReadingsBelongToNoRunAndEndTheRun) {
  const std::int32_t t0 = at(9, 0, 0);
  struct Case {
    const char *what;
    std::optional<std::string> unit, function;
    bool hasTime;
  };
  const Case cases[] = {
      {"volts", std::string("V"), kIr2500, true},
      {"kilo-ohms", "k" + kOhmText, kIr2500, true},
      {"UTF-8 ohm sign", std::string("M\xCE\xA9"), kIr2500, true},
      {"no unit", std::nullopt, kIr2500, true},
      {"voltage function", kMOhm, std::string("DCV  600V"), true},
      {"function not starting with IR:", kMOhm, " IR:2500", true},
      {"no function", kMOhm, std::nullopt, true},
      {"no time", kMOhm, kIr2500, false},
  };
  for (const Case &c : cases) {
    TableBuilder b;
    b.mohm(t0, "1").mohm(t0 + 1000, "2");
    b.row(c.hasTime ? std::optional<std::int32_t>(t0 + 2000) : std::nullopt, "3", c.unit,
          c.function);
    b.mohm(t0 + 3000, "4");
    const auto runs = runsOf(b);
    ASSERT_EQ(runs.size(), 2u) << c.what;
    EXPECT_EQ(runs[0].firstRow, 0u) << c.what;
    EXPECT_EQ(runs[0].lastRow, 1u) << c.what;
    EXPECT_EQ(runs[1].firstRow, 3u) << c.what;
    EXPECT_EQ(runs[1].number, 2) << c.what;
    EXPECT_EQ(runs[1].startMs, t0 + 3000) << c.what;
    EXPECT_EQ(runs[1].durationMs, 0) << c.what;
  }
  // Ohms on their own form a run too.
  TableBuilder ohms;
  ohms.row(t0, "470", kOhmText);
  ASSERT_EQ(runsOf(ohms).size(), 1u);
  EXPECT_EQ(runsOf(ohms)[0].r15, std::nullopt);  // the run ends 15 s too early
}

TEST(InsulationRunsTest, FunctionOrModeChangeStartsANewRunAndNoneEqualsNone) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "1");
  b.row(t0 + 1000, "2", kMOhm, kIr1000);                        // function changes
  b.row(t0 + 2000, "3", kMOhm, kIr1000, std::string("Timed"));  // mode changes
  b.row(t0 + 3000, "4", kMOhm, kIr1000, std::nullopt);          // mode none
  b.row(t0 + 4000, "5", kMOhm, kIr1000, std::nullopt);          // none again: same run
  b.row(t0 + 5000, "6", kMOhm, kIr1000, std::string(""));       // an empty text is not none
  b.row(t0 + 6000, "7", kMOhm, kIr1000, std::string("timed"));  // byte for byte
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 6u);
  EXPECT_EQ(runs[0].function, kIr2500);
  EXPECT_EQ(runs[1].function, kIr1000);
  EXPECT_EQ(runs[1].mode, "PI");
  EXPECT_EQ(runs[2].mode, "Timed");
  EXPECT_EQ(runs[3].mode, std::nullopt);
  EXPECT_EQ(runs[3].firstRow, 3u);
  EXPECT_EQ(runs[3].lastRow, 4u);
  EXPECT_EQ(runs[3].durationMs, 1000);
  EXPECT_EQ(runs[4].mode, "");
  EXPECT_EQ(runs[5].mode, "timed");
}

TEST(InsulationRunsTest, TheRunGapExactlyAndOneMillisecondOver) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "1").mohm(t0 + 60'000, "2").mohm(t0 + 120'001, "3");
  auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].lastRow, 1u);
  EXPECT_EQ(runs[0].durationMs, 60'000);
  EXPECT_EQ(runs[1].firstRow, 2u);

  // Another gap, in ms: 0 keeps only rows of the same millisecond together.
  TableBuilder same;
  same.mohm(t0, "1").mohm(t0, "2").mohm(t0 + 1, "3");
  runs = runsOf(same, 0);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].rows, 2u);
  runs = runsOf(b, 60'001);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].durationMs, 120'001);
}

TEST(InsulationRunsTest, StepsWrapPastMidnight) {
  TableBuilder b;
  b.mohm(at(23, 59, 40), "100").mohm(at(23, 59, 55), "110");
  b.mohm(at(0, 0, 10), "120").mohm(at(0, 0, 40), "150");
  auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].startMs, at(23, 59, 40));
  EXPECT_EQ(runs[0].durationMs, 60'000);
  EXPECT_EQ(runs[0].r15, 110e6);
  EXPECT_EQ(runs[0].r30, 120e6);
  EXPECT_EQ(runs[0].r60, 150e6);
  // A clock going back 5 s is a step of a day less 5 s: far beyond the gap ...
  TableBuilder back;
  back.mohm(at(8, 0, 10), "1").mohm(at(8, 0, 5), "2");
  EXPECT_EQ(runsOf(back).size(), 2u);
  // ... and within a gap of a day, it is that long a step.
  runs = runsOf(back, 86'400'000);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].durationMs, 86'395'000);
}

TEST(InsulationRunsTest, UnitChangeInsideARunIsReadInOhms) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "620.0").mohm(t0 + 30'000, "994.9");
  b.row(t0 + 60'000, "1.050", kGOhm);
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].r30, 994.9e6);
  EXPECT_EQ(runs[0].r60, 1.050e9);
  ASSERT_TRUE(runs[0].dar);
  EXPECT_NEAR(*runs[0].dar, 1.050e9 / 994.9e6, 1e-12);  // 1.05538...
  EXPECT_EQ(runs[0].darBand, ConditionBand::Questionable);
}

TEST(InsulationRunsTest, ValuesWithoutANumberStayInTheRun) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "100").mohm(t0 + 10'000, "140").mohm(t0 + 20'000, "L");
  b.row(t0 + 30'000, std::nullopt, kMOhm).mohm(t0 + 40'000, "12.3.4");
  b.mohm(t0 + 60'000, "2,5e3").mohm(t0 + 70'000, "200");
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].rows, 7u);
  EXPECT_EQ(runs[0].values, 3u);
  EXPECT_EQ(runs[0].durationMs, 70'000);
  // R(t) is what the row at t shows: an older number never stands in for a blank or an "L".
  EXPECT_EQ(runs[0].r15, 140e6);
  EXPECT_EQ(runs[0].r30, std::nullopt);
  EXPECT_EQ(runs[0].markAt(30).state, MarkState::NoNumber);
  EXPECT_EQ(runs[0].r60, std::nullopt);
  EXPECT_EQ(runs[0].markAt(60).state, MarkState::NoNumber);
  EXPECT_EQ(runs[0].dar, std::nullopt);
  EXPECT_EQ(runs[0].darBand, std::nullopt);

  TableBuilder over;
  over.mohm(t0, "L").mohm(t0 + 16'000, "5").mohm(t0 + 30'000, "6");
  const auto overRuns = runsOf(over);
  ASSERT_EQ(overRuns.size(), 1u);
  EXPECT_EQ(overRuns[0].r15, std::nullopt);
  EXPECT_EQ(overRuns[0].markAt(15).state, MarkState::OverRange);
  EXPECT_EQ(overRuns[0].r30, 6e6);
  EXPECT_EQ(overRuns[0].markAt(30).ohms, 6e6);
  EXPECT_EQ(overRuns[0].markAt(60).state, MarkState::RunTooShort);
}

TEST(InsulationRunsTest, ThePiResultScreenIsNoRun) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  for (int s = 0; s <= 600; s += 30) b.mohm(t0 + s * 1000, "500");
  // The meter then shows the PI (3.34) in the last unit, with COMP and GOOD.
  b.row(t0 + 601'000, "3.34", kMOhm, kIr2500, "COMP:GOOD");
  b.row(t0 + 602'000, "3.34", kMOhm, kIr2500, "COMP:GOOD");
  auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].lastRow, 20u);
  // A comparator test of its own is a run.
  b.row(t0 + 700'000, "200", kMOhm, kIr1000, "COMP:NG")
      .row(t0 + 701'000, "210", kMOhm, kIr1000, "COMP:NG");
  runs = runsOf(b);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].mode, "COMP:NG");
  EXPECT_EQ(runs[1].rows, 2u);
}

TEST(InsulationRunsTest, TheRunMayEndUpToTwoSecondsBeforeTheMark) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder exactly;
  exactly.mohm(t0, "100").mohm(t0 + 30'000, "150").mohm(t0 + 58'000, "170");
  auto runs = runsOf(exactly);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].r60, 170e6);
  EXPECT_EQ(runs[0].r600, std::nullopt);
  ASSERT_TRUE(runs[0].dar);
  EXPECT_DOUBLE_EQ(*runs[0].dar, 170.0 / 150);
  EXPECT_EQ(runs[0].pi, std::nullopt);
  EXPECT_EQ(runs[0].piBand, std::nullopt);

  TableBuilder short1ms;
  short1ms.mohm(t0, "100").mohm(t0 + 30'000, "150").mohm(t0 + 57'999, "170");
  runs = runsOf(short1ms);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].r30, 150e6);
  EXPECT_EQ(runs[0].r60, std::nullopt);
  EXPECT_EQ(runs[0].dar, std::nullopt);
  EXPECT_EQ(runs[0].darBand, std::nullopt);

  // The same at 15 s and 10 min.
  TableBuilder marks;
  marks.mohm(t0, "1").mohm(t0 + 13'000, "2");
  EXPECT_EQ(runsOf(marks)[0].r15, 2e6);
  TableBuilder tenMinutes;
  for (int s = 0; s <= 570; s += 30) tenMinutes.mohm(t0 + s * 1000, std::to_string(s + 1));
  tenMinutes.mohm(t0 + 597'999, "999");
  EXPECT_EQ(runsOf(tenMinutes)[0].r600, std::nullopt);
  tenMinutes.mohm(t0 + 598'000, "1000");
  ASSERT_EQ(runsOf(tenMinutes).size(), 1u);
  EXPECT_EQ(runsOf(tenMinutes)[0].r600, 1000e6);
  EXPECT_EQ(runsOf(tenMinutes)[0].r60, 61e6);
  ASSERT_TRUE(runsOf(tenMinutes)[0].pi);
  EXPECT_DOUBLE_EQ(*runsOf(tenMinutes)[0].pi, 1000.0 / 61);
  EXPECT_EQ(runsOf(tenMinutes)[0].piBand, ConditionBand::Excellent);
}

TEST(InsulationRunsTest, TheLatestRowAmongEqualTimesCounts) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "100").mohm(t0 + 30'000, "150").mohm(t0 + 30'000, "160");
  b.mohm(t0 + 30'000, "L").mohm(t0 + 30'001, "170").mohm(t0 + 60'000, "200");
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  // The last of the rows at 30 s shows "L".
  EXPECT_EQ(runs[0].r30, std::nullopt);
  EXPECT_EQ(runs[0].markAt(30).state, MarkState::OverRange);
  EXPECT_EQ(runs[0].r15, 100e6);
  EXPECT_EQ(runs[0].r60, 200e6);
}

TEST(InsulationRunsTest, RatiosNeedADivisorAboveZero) {
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder zero;
  zero.mohm(t0, "0").mohm(t0 + 30'000, "0.00").mohm(t0 + 60'000, "5");
  auto runs = runsOf(zero);
  EXPECT_EQ(runs[0].r30, 0.0);
  EXPECT_EQ(runs[0].dar, std::nullopt);
  EXPECT_EQ(runs[0].darBand, std::nullopt);
  TableBuilder negative;
  negative.mohm(t0, "1").mohm(t0 + 30'000, "-2").mohm(t0 + 60'000, "4");
  EXPECT_EQ(runsOf(negative)[0].dar, std::nullopt);
  // A negative reading over a positive one is a ratio, and a dangerous one.
  TableBuilder negativeOver;
  negativeOver.mohm(t0, "1").mohm(t0 + 30'000, "2").mohm(t0 + 60'000, "-4");
  EXPECT_EQ(runsOf(negativeOver)[0].dar, -2.0);
  EXPECT_EQ(runsOf(negativeOver)[0].darBand, ConditionBand::Dangerous);
}

TEST(ConditionBandTest, BandsAtTheirBoundaries) {
  EXPECT_EQ(darBand(0.999), ConditionBand::Dangerous);
  EXPECT_EQ(darBand(-1.0), ConditionBand::Dangerous);
  EXPECT_EQ(darBand(1.0), ConditionBand::Questionable);
  EXPECT_EQ(darBand(1.399), ConditionBand::Questionable);
  EXPECT_EQ(darBand(1.4), ConditionBand::Good);
  EXPECT_EQ(darBand(1.6), ConditionBand::Good);
  EXPECT_EQ(darBand(1.6000001), ConditionBand::Excellent);
  EXPECT_EQ(piBand(0.999), ConditionBand::Dangerous);
  EXPECT_EQ(piBand(1.0), ConditionBand::Questionable);
  EXPECT_EQ(piBand(1.999), ConditionBand::Questionable);
  EXPECT_EQ(piBand(2.0), ConditionBand::Good);
  EXPECT_EQ(piBand(4.0), ConditionBand::Good);
  EXPECT_EQ(piBand(4.0000001), ConditionBand::Excellent);
  EXPECT_EQ(bandName(ConditionBand::Dangerous), "dangerous");
  EXPECT_EQ(bandName(ConditionBand::Questionable), "questionable");
  EXPECT_EQ(bandName(ConditionBand::Good), "good");
  EXPECT_EQ(bandName(ConditionBand::Excellent), "excellent");
}

TEST(InsulationRunsTest, TheBandComesFromTheUnroundedRatio) {
  // 1.3999 rounds to 1.400 at three decimals but is still questionable.
  const std::int32_t t0 = at(9, 0, 0);
  TableBuilder b;
  b.mohm(t0, "1").mohm(t0 + 30'000, "10000").mohm(t0 + 60'000, "13999");
  EXPECT_EQ(runsOf(b)[0].darBand, ConditionBand::Questionable);
}

TEST(InsulationRunsTest, CurveGivesElapsedTimesAndOhmsOfTheRunsRows) {
  TableBuilder b;
  b.row(at(8, 0, 0), "5", std::string("V"));
  b.mohm(at(23, 59, 50), "900").mohm(at(0, 0, 5), "L");
  b.row(at(0, 0, 20), "1.2", kGOhm);
  b.row(at(0, 0, 21), "7", std::string("V"));
  const auto runs = runsOf(b);
  ASSERT_EQ(runs.size(), 1u);
  const auto curve = runCurve(b.table, runs[0]);
  ASSERT_EQ(curve.size(), 3u);
  EXPECT_EQ(curve[0].row, 1u);
  EXPECT_EQ(curve[0].elapsedMs, 0);
  EXPECT_EQ(curve[0].ohms, 900e6);
  EXPECT_EQ(curve[1].row, 2u);
  EXPECT_EQ(curve[1].elapsedMs, 15'000);
  EXPECT_EQ(curve[1].ohms, std::nullopt);
  EXPECT_EQ(curve[2].elapsedMs, 30'000);
  EXPECT_EQ(curve[2].ohms, 1.2e9);

  // A snapshot gives the same, and keeps giving it after the table is cleared.
  const TableSnapshot snapshot = b.table.snapshot();
  b.table.clear();
  EXPECT_TRUE(runCurve(b.table, runs[0]).empty());
  const auto snapRuns = findInsulationRuns(snapshot);
  ASSERT_EQ(snapRuns.size(), 1u);
  EXPECT_EQ(snapRuns[0].firstRow, 1u);
  EXPECT_EQ(snapRuns[0].r30, 1.2e9);
  const auto snapCurve = runCurve(snapshot, snapRuns[0]);
  ASSERT_EQ(snapCurve.size(), 3u);
  EXPECT_EQ(snapCurve[2].ohms, 1.2e9);
}

TEST(InsulationRunsTest, AnEmptyTableHasNoRuns) {
  ReadingTable table;
  EXPECT_TRUE(findInsulationRuns(table).empty());
  TableBuilder volts;
  volts.row(at(1, 0, 0), "230", std::string("V"), std::string("ACV  600V"));
  EXPECT_TRUE(runsOf(volts).empty());
}

}  // namespace
}  // namespace vexal
