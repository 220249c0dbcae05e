#include "record/ChartScales.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexal {
namespace {

const std::string kOhms = "\u03A9";

TEST(ChartScales, OhmLabelsShowThreeSignificantDigitsWithThePrefix) {
  const struct {
    double ohms;
    std::string label;
  } cases[] = {{1e5, "100 k"},   {1e12, "1 T"},    {5.18e9, "5.18 G"}, {999.7e6, "1 G"},
               {620e6, "620 M"}, {4.5e9, "4.5 G"}, {12.5, "12.5 "},    {0, "0 "}};
  for (const auto &c : cases) EXPECT_EQ(ohmLabel(c.ohms), c.label + kOhms) << c.ohms;
}

// The ticks of the resistance axis: their values in ohms and their labels.
TEST(ChartScales, OhmTicksAreDecadesOverTwoDecadesOrMoreAndOneTwoFiveBelow) {
  const struct {
    const char *name;
    double lowOhms, highOhms, minGap;
    std::vector<std::pair<double, std::string>> ticks;
  } cases[] = {
      {"two decades", 1e8, 1e10, 0.05, {{1e8, "100 M"}, {1e9, "1 G"}, {1e10, "10 G"}}},
      {"one decade", 1e9, 1e10, 0.05, {{1e9, "1 G"}, {2e9, "2 G"}, {5e9, "5 G"}, {1e10, "10 G"}}},
      {"zoomed into a decade: round steps and its own ends",
       3.02e9,
       5.18e9,
       0.05,
       {{3.02e9, "3.02 G"}, {4e9, "4 G"}, {5e9, "5 G"}, {5.18e9, "5.18 G"}}},
      {"a tick too near an end makes way",
       3.02e9,
       5.18e9,
       0.1,
       {{3.02e9, "3.02 G"}, {4e9, "4 G"}, {5.18e9, "5.18 G"}}},
      {"zoomed across decades",
       3.5e6,
       6.1e9,
       0.05,
       {{3.5e6, "3.5 M"}, {1e7, "10 M"}, {1e8, "100 M"}, {1e9, "1 G"}, {6.1e9, "6.1 G"}}},
      {"no height", 2e9, 2e9, 0.05, {{2e9, "2 G"}}},
  };
  for (const auto &c : cases) {
    const auto ticks = ohmTicks({std::log10(c.lowOhms), std::log10(c.highOhms)}, c.minGap);
    ASSERT_EQ(ticks.size(), c.ticks.size()) << c.name;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_NEAR(ticks[i].at, std::log10(c.ticks[i].first), 1e-9) << c.name << " " << i;
      EXPECT_EQ(ticks[i].label, c.ticks[i].second + kOhms) << c.name << " " << i;
    }
  }
}

class ChartScalesTest : public ::testing::Test {
 protected:
  ChartScalesTest() {
    scales.setPlotSize(411, 300);  // 400 pixels right of the wall
    scales.setPage(page);
  }
  // Where X lands in the plot area, in pixels from its left.
  double pixelOf(double x) const {
    const ChartRange r = scales.x();
    return (x - r.min) / (r.max - r.min) * 411;
  }
  std::vector<std::string> ohmLabels() const {
    std::vector<std::string> labels;
    for (const AxisTick &tick : scales.ohmTicks()) labels.push_back(tick.label);
    return labels;
  }
  PageRanges page{100, 100, {101, 200}, ChartRange{8, 10}, ChartRange{-10, 30}, std::nullopt};
  ChartScales scales;
};

TEST_F(ChartScalesTest, ADraggedRectangleZoomsEveryAxisAndItsLabels) {
  const struct {
    const char *name;
    double left, top, right, bottom;
    ChartRange x, decades, volts;
    std::vector<std::string> labels;
  } cases[] = {
      {"top half, second quarter",
       111,
       0,
       211,
       150,
       {125.75, 150.5},
       {9, 10},
       {10, 30},
       {"1 G", "2 G", "5 G", "10 G"}},
      {"a strip at the top",
       11,
       0,
       411,
       30,
       {101, 200},
       {9.8, 10},
       {26, 30},
       {"6.31 G", "7 G", "8 G", "9 G", "10 G"}},
      {"begun on the wall: from the first point",
       0,
       150,
       211,
       300,
       {101, 150.5},
       {8, 9},
       {-10, 10},
       {"100 M", "200 M", "500 M", "1 G"}},
  };
  // Unzoomed, the page's first point is drawn at the wall's edge.
  EXPECT_NEAR(pixelOf(101), ChartScales::kWallWidth, 1e-9);
  EXPECT_EQ(scales.xTicks(), (LinearTicks{101, 20}));  // 101, 121 ... 181
  for (const auto &c : cases) {
    scales.endZoom();
    ASSERT_TRUE(scales.zoomTo(c.left, c.top, c.right, c.bottom)) << c.name;
    EXPECT_NEAR(pixelOf(c.x.min), ChartScales::kWallWidth, 1e-9) << c.name;
    EXPECT_NEAR(scales.x().max, c.x.max, 1e-9) << c.name;
    EXPECT_NEAR(scales.ohmDecades()->min, c.decades.min, 1e-9) << c.name;
    EXPECT_NEAR(scales.ohmDecades()->max, c.decades.max, 1e-9) << c.name;
    EXPECT_NEAR(scales.volts()->min, c.volts.min, 1e-9) << c.name;
    EXPECT_NEAR(scales.volts()->max, c.volts.max, 1e-9) << c.name;
    std::vector<std::string> labels;
    for (const std::string &l : c.labels) labels.push_back(l + kOhms);
    EXPECT_EQ(ohmLabels(), labels) << c.name;
  }
  // A zoom within the zoom takes its part of what is shown.
  scales.endZoom();
  ASSERT_TRUE(scales.zoomTo(11, 0, 411, 150));
  ASSERT_TRUE(scales.zoomTo(11, 0, 411, 150));
  EXPECT_NEAR(scales.ohmDecades()->min, 9.5, 1e-9);
  // A click, or a drag along the wall, zooms nothing.
  scales.endZoom();
  EXPECT_FALSE(scales.zoomTo(100, 100, 102, 200));
  EXPECT_FALSE(scales.zoomTo(0, 100, 10, 200));
  EXPECT_FALSE(scales.zoomed());
  EXPECT_EQ(scales.ohmDecades(), (ChartRange{8, 10}));
}

TEST_F(ChartScalesTest, AnotherPageOrThePlaceholderEndsTheZoomMoreReadingsKeepIt) {
  PageRanges more = page;
  more.volts = ChartRange{-20, 40};
  PageRanges next = page;
  next.firstPoint = 200;
  PageRanges resized = page;
  resized.capacity = 50;
  PageRanges placeholder = page;
  placeholder.fixed = ChartRange{-11000, 11000};
  const struct {
    const char *name;
    PageRanges then;
    bool zoomed;
  } cases[] = {{"more readings", more, true},
               {"next page", next, false},
               {"points per page", resized, false},
               {"placeholder", placeholder, false}};
  for (const auto &c : cases) {
    scales.setPage(page);
    ASSERT_TRUE(scales.zoomTo(111, 0, 211, 150));
    scales.setPage(c.then);
    EXPECT_EQ(scales.zoomed(), c.zoomed) << c.name;
    if (!c.zoomed) {
      EXPECT_EQ(scales.volts(), c.then.volts) << c.name;
    }
  }
}

TEST_F(ChartScalesTest, RunsAreDrawnInAxisUnitsAndCutAtTheWallsEdge) {
  ASSERT_TRUE(scales.zoomTo(11, 0, 411, 300));   // all of it
  ASSERT_TRUE(scales.zoomTo(111, 0, 411, 300));  // from X 125.75
  const std::vector<ChartRun> runs{
      {QuantityKind::Voltage, {{124, 0}, {125, 10}, {126, 20}, {127, 30}}},
      {QuantityKind::Voltage, {{110, 5}, {120, 6}}},  // wholly under the wall
      {QuantityKind::Resistance, {{130, 1e9}, {131, 0}, {132, 5e9}}},
  };
  const std::vector<DrawnRun> expected{
      {QuantityKind::Voltage, -10, {{125.75, 17.5}, {126, 20}, {127, 30}}},
      {QuantityKind::Resistance, 8, {{130, 9}, {131, 8}, {132, std::log10(5e9)}}},
  };
  EXPECT_EQ(scales.drawnRuns(runs), expected);
}

}  // namespace
}  // namespace vexal
