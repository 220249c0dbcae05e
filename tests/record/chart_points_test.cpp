#include "record/ChartPoints.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::makeRow;

TEST(ChartValueTest, DigitsWithAPointOrTheLocaleSeparator) {
  EXPECT_EQ(chartValue("12.34", ","), 12.34);
  EXPECT_EQ(chartValue("12,34", ","), 12.34);
  EXPECT_EQ(chartValue("-0.56", "."), -0.56);
  EXPECT_EQ(chartValue("  8888", "."), 8888.0);
  EXPECT_EQ(chartValue("1.5", ""), 1.5);
  EXPECT_EQ(chartValue("1\xC2\xB7"
                       "5",
                       "\xC2\xB7"),
            1.5);  // a separator of two bytes
}

TEST(ChartValueTest, AnythingElseIsAGap) {
  for (const char *text : {"L", "", " ", "-", ".", "1.2.3", "1,2.3", "12,34", "inf", "nan", "1e3",
                           "--1", "1-", "0x10", "+5", "12 34"})
    EXPECT_FALSE(chartValue(text, ".").has_value()) << text;
  EXPECT_FALSE(chartValue("1,2,3", ",").has_value());
}

class ChartPointsTest : public ::testing::Test {
 protected:
  void add(std::int32_t no, std::optional<std::string> value) {
    table.appendRow(makeRow(no, 1000 * no, std::move(value), "V"));
  }
  ReadingTable table;
  ChartPoints points{table, ","};
};

TEST_F(ChartPointsTest, PointsAreTheRowsFromTheFirstRowWithGaps) {
  add(1, "1.5");
  add(2, "L");
  add(3, std::nullopt);
  add(4, "2,5");
  EXPECT_EQ(points.count(), 4u);
  EXPECT_EQ(points.point(0), (ChartXY{1, 1.5}));
  EXPECT_FALSE(points.point(1));
  EXPECT_FALSE(points.point(2));
  EXPECT_EQ(points.point(3), (ChartXY{4, 2.5}));
  table.appendRow(makeRow(std::nullopt, 0, "7"));  // no number: no place on the axis
  EXPECT_FALSE(points.point(4));

  points.startAfterLastRow();
  EXPECT_EQ(points.count(), 0u);
  add(6, "9");
  ASSERT_EQ(points.count(), 1u);
  EXPECT_EQ(points.point(0), (ChartXY{6, 9}));
  points.startAtFirstRow();
  EXPECT_EQ(points.count(), 6u);
}

TEST_F(ChartPointsTest, AGapSplitsTheTraceIntoRuns) {
  for (int i = 1; i <= 7; ++i) add(i, i == 3 || i == 4 ? "L" : std::to_string(i * 10));
  const auto runs = points.runs(0, 7, {1, 7}, 600);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (ChartRun{{1, 10}, {2, 20}}));
  EXPECT_EQ(runs[1], (ChartRun{{5, 50}, {6, 60}, {7, 70}}));
  // A page asks only for its own points.
  const auto page = points.runs(4, 2, {5, 6}, 600);
  ASSERT_EQ(page.size(), 1u);
  EXPECT_EQ(page[0], (ChartRun{{5, 50}, {6, 60}}));
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
  const ChartRun &run = runs[0];
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
  EXPECT_LE(runs[0].back().x, 400);
  EXPECT_GE(runs[1].front().x, 601);
}

TEST_F(ChartPointsTest, PageRangeIsAtLeastAFullPage) {
  for (int i = 1; i <= 130; ++i) add(i, "1");
  EXPECT_EQ(points.pageXRange(0, 100, 100), (ChartRange{1, 100}));
  EXPECT_EQ(points.pageXRange(100, 30, 100), (ChartRange{101, 200}));  // the last page
  EXPECT_EQ(points.pageXRange(0, 130, 130), (ChartRange{1, 130}));
}

TEST_F(ChartPointsTest, NearestPointWithAValue) {
  for (int i = 1; i <= 10; ++i) add(i * 10, i == 5 ? "L" : "1");
  EXPECT_EQ(points.nearest(0, 10, 31), 2u);
  EXPECT_EQ(points.nearest(0, 10, 1000), 9u);
  const auto atGap = points.nearest(0, 10, 50);  // the row at 50 shows "L"
  ASSERT_TRUE(atGap);
  EXPECT_TRUE(*atGap == 3u || *atGap == 5u);
  EXPECT_EQ(points.nearest(5, 5, 0), 5u);  // only the page's points
  EXPECT_FALSE(points.nearest(10, 5, 0));
}

}  // namespace
}  // namespace vexal
