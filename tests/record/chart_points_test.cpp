#include "record/ChartPoints.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/Cp936.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::makeRow;

class ChartPointsTest : public ::testing::Test {
 protected:
  void add(std::int32_t no, std::optional<std::string> value, std::string unit = "V") {
    table.appendRow(makeRow(no, 1000 * no, std::move(value), std::move(unit)));
  }
  static ChartRun volts(std::vector<ChartXY> points) {
    return {QuantityKind::Voltage, std::move(points)};
  }
  ReadingTable table;
  ChartPoints points{table};
};

const std::string kMOhm = "M" + std::string(kOhm), kGOhm = "G" + std::string(kOhm);

TEST_F(ChartPointsTest, PointsAreTheRowsFromTheFirstRowWithGaps) {
  add(1, "1.5");
  add(2, "L");
  add(3, std::nullopt);
  add(4, "2,5", kMOhm);
  EXPECT_EQ(points.count(), 4u);
  EXPECT_EQ(points.quantity(0), (Quantity{QuantityKind::Voltage, 1.5}));
  EXPECT_FALSE(points.quantity(1));
  EXPECT_FALSE(points.quantity(2));
  EXPECT_EQ(points.quantity(3), (Quantity{QuantityKind::Resistance, 2.5e6}));
  table.appendRow(makeRow(std::nullopt, 0, "7", "V"));  // no number of its own: still placed
  EXPECT_EQ(points.xOf(4), 5.0);
  EXPECT_EQ(points.quantity(4), (Quantity{QuantityKind::Voltage, 7}));

  points.startAfterLastRow();
  EXPECT_EQ(points.count(), 0u);
  add(6, "9");
  ASSERT_EQ(points.count(), 1u);
  EXPECT_EQ(points.xOf(0), 6.0);
  points.startAtFirstRow();
  EXPECT_EQ(points.count(), 6u);
}

TEST_F(ChartPointsTest, XIsThePlaceInTheTableSoRepeatedNumbersNeverFoldBack) {
  // Rows opened from text files twice: numbers 1, 2, 1, 2.
  for (int i : {1, 2, 1, 2}) add(i, std::to_string(i * 10));
  const auto runs = points.runs(0, 4, {1, 4}, 600);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], volts({{1, 10}, {2, 20}, {3, 10}, {4, 20}}));
}

TEST_F(ChartPointsTest, AutoRangingKeepsTheTraceInOhms) {
  add(1, "994.9", kMOhm);
  add(2, "1.050", kGOhm);
  add(3, "1.2", kGOhm);
  const auto runs = points.runs(0, 3, {1, 3}, 600);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].kind, QuantityKind::Resistance);
  EXPECT_EQ(runs[0].points, (std::vector<ChartXY>{{1, 994.9e6}, {2, 1.050e9}, {3, 1.2e9}}));
}

TEST_F(ChartPointsTest, AChangeOfQuantityStartsANewRun) {
  add(1, "230");
  add(2, "5.0", kGOhm);
  add(3, "6.0", kGOhm);
  const auto runs = points.runs(0, 3, {1, 3}, 600);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], volts({{1, 230}}));
  EXPECT_EQ(runs[1], (ChartRun{QuantityKind::Resistance, {{2, 5e9}, {3, 6e9}}}));
}

TEST(ChartAxesTest, DecadesAroundTheResistanceAndRoundStepsForVolts) {
  using R = ChartRun;
  const auto ohms = [](std::vector<ChartXY> p) { return R{QuantityKind::Resistance, p}; };
  // 0.62 GΩ to 8.4 GΩ: 100 MΩ to 10 GΩ.
  EXPECT_EQ(axesFor({ohms({{1, 0.62e9}, {2, 8.4e9}})}).ohmDecades, (ChartRange{8, 10}));
  // Exactly on a decade: that decade is the end, and one value still spans a decade.
  EXPECT_EQ(axesFor({ohms({{1, 1e9}})}).ohmDecades, (ChartRange{9, 10}));
  // Zero ohms alone: the meter's own scale, 100 kΩ to 1 TΩ.
  EXPECT_EQ(axesFor({ohms({{1, 0}})}).ohmDecades, (ChartRange{5, 12}));
  EXPECT_FALSE(axesFor({ohms({{1, 1e6}})}).volts);
  const ChartAxes v = axesFor({R{QuantityKind::Voltage, {{1, 228}, {2, 233}}}});
  EXPECT_FALSE(v.ohmDecades);
  EXPECT_EQ(v.volts, (ChartRange{228, 233}));
  EXPECT_EQ(axesFor({R{QuantityKind::Voltage, {{1, -3}, {2, 231}}}}).volts, (ChartRange{-50, 250}));
  EXPECT_EQ(axesFor({}), ChartAxes{});
}

TEST_F(ChartPointsTest, AGapSplitsTheTraceIntoRuns) {
  for (int i = 1; i <= 7; ++i) add(i, i == 3 || i == 4 ? "L" : std::to_string(i * 10));
  const auto runs = points.runs(0, 7, {1, 7}, 600);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], volts({{1, 10}, {2, 20}}));
  EXPECT_EQ(runs[1], volts({{5, 50}, {6, 60}, {7, 70}}));
  // A page asks only for its own points.
  const auto page = points.runs(4, 2, {5, 6}, 600);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0], volts({{5, 50}, {6, 60}}));
  EXPECT_TRUE(points.runs(7, 100, {0, 1}, 600).empty());  // beyond the points
}

TEST_F(ChartPointsTest, ManyPointsAreThinnedToLowAndHighPerColumnKeepingSpikes) {
  const int n = 100'000;
  for (int i = 1; i <= n; ++i) {
    std::string value = "100";
    if (i == 31'337) value = "9999";
    if (i == 77'777) value = "-5000";
    add(i, value);
  }
  const int columns = 300;
  const auto runs = points.runs(0, n, {1, double(n)}, columns);
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<ChartXY> &run = runs[0].points;
  EXPECT_LE(run.size(), 2u * columns);
  EXPECT_GE(run.size(), static_cast<std::size_t>(columns));
  auto has = [&](double x, double y) {
    return std::find(run.begin(), run.end(), ChartXY{x, y}) != run.end();
  };
  EXPECT_TRUE(has(31'337, 9999));
  EXPECT_TRUE(has(77'777, -5000));
  EXPECT_TRUE(std::is_sorted(run.begin(), run.end(),
                             [](const ChartXY &a, const ChartXY &b) { return a.x < b.x; }));
}

TEST_F(ChartPointsTest, AThinnedColumnWithoutNumbersBreaksTheTrace) {
  for (int i = 1; i <= 1000; ++i) add(i, i > 400 && i <= 600 ? "L" : "1");
  const auto runs = points.runs(0, 1000, {1, 1000}, 100);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_LE(runs[0].points.back().x, 400);
  EXPECT_GE(runs[1].points.front().x, 601);
}

TEST_F(ChartPointsTest, PageRangeIsAFullPage) {
  for (int i = 1; i <= 130; ++i) add(i, "1");
  EXPECT_EQ(points.pageXRange(0, 100), (ChartRange{1, 100}));
  EXPECT_EQ(points.pageXRange(100, 100), (ChartRange{101, 200}));  // the last page
  EXPECT_EQ(points.pageXRange(0, 130), (ChartRange{1, 130}));
  points.startAfterLastRow();
  EXPECT_EQ(points.pageXRange(0, 100), (ChartRange{131, 230}));  // after Delete Graphic
}

TEST_F(ChartPointsTest, NearestPointWithAValue) {
  for (int i = 1; i <= 10; ++i) add(i * 10, i == 5 ? "L" : "1");
  EXPECT_EQ(points.nearest(0, 10, 3.2), 2u);
  EXPECT_EQ(points.nearest(0, 10, 1000), 9u);
  EXPECT_EQ(points.nearest(0, 10, 4.9), 3u);  // the row at 5 shows "L": the nearer side
  EXPECT_EQ(points.nearest(0, 10, 5.1), 5u);
  EXPECT_EQ(points.nearest(5, 5, 0), 5u);  // only the page's points
  EXPECT_FALSE(points.nearest(10, 5, 0));
}

}  // namespace
}  // namespace vexal
