#include "record/ChartPaging.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

// Pages over `points` points with the default 100 per page, showing page 1.
ChartPaging pagesOf(std::size_t points) {
  ChartPaging paging;
  paging.setPointCount(points);  // from the only page, the chart follows to the last
  paging.setPage(1);
  return paging;
}

TEST(ChartPagingTest, PageCountRoundsUpAndIsOneWithoutPointsOrPageSize) {
  EXPECT_EQ(pagesOf(0).pageCount(), 1);
  EXPECT_EQ(pagesOf(1).pageCount(), 1);
  EXPECT_EQ(pagesOf(100).pageCount(), 1);
  EXPECT_EQ(pagesOf(101).pageCount(), 2);
  EXPECT_EQ(pagesOf(500).pageCount(), 5);
  ChartPaging all = pagesOf(500);
  all.setMaxPointsPerPage(0);
  EXPECT_EQ(all.pageCount(), 1);
  EXPECT_EQ(all.firstPointOfPage(), 0u);
  EXPECT_EQ(all.pointsOnPage(), 500u);
  all.setMaxPointsPerPage(-3);  // a pasted sign: still one page, no division by it
  EXPECT_EQ(all.pageCount(), 1);
  EXPECT_EQ(all.pointsOnPage(), 500u);
}

TEST(ChartPagingTest, PagePShowsItsHundredPointsAndTheLastPageIsScaledLikeAFullOne) {
  ChartPaging paging = pagesOf(250);
  paging.setPage(2);
  EXPECT_EQ(paging.firstPointOfPage(), 100u);
  EXPECT_EQ(paging.pointsOnPage(), 100u);
  paging.setPage(3);
  EXPECT_EQ(paging.firstPointOfPage(), 200u);
  EXPECT_EQ(paging.pointsOnPage(), 50u);
  EXPECT_EQ(paging.pageCapacity(), 100u);
}

TEST(ChartPagingTest, SettingThePageClampsIt) {
  ChartPaging paging = pagesOf(500);
  paging.setPage(9);
  EXPECT_EQ(paging.page(), 5);
  paging.setPage(0);
  EXPECT_EQ(paging.page(), 1);
  paging.setPage(-7);
  EXPECT_EQ(paging.page(), 1);
}

TEST(ChartPagingTest, ANewPageSizeMovesToTheLastPageAndTheButtonsFollow) {
  ChartPaging paging = pagesOf(500);
  paging.last();
  EXPECT_EQ(paging.caption(), "5");
  paging.setMaxPointsPerPage(250);
  EXPECT_EQ(paging.page(), 2);
  EXPECT_EQ(paging.caption(), "2");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, false, false}));
  paging.setMaxPointsPerPage(100);  // more pages again: the page stays, Next opens
  EXPECT_EQ(paging.page(), 2);
  EXPECT_EQ(paging.caption(), "2");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, true, true}));
  paging.setMaxPointsPerPage(0);  // all on one page
  EXPECT_EQ(paging.caption(), "1");
  EXPECT_EQ(paging.navigation(), (NavigationState{false, false, false, false}));
}

TEST(ChartPagingTest, PreviousThreeTimesFromPageThreeOfFive) {
  ChartPaging paging = pagesOf(500);
  paging.next();
  paging.next();
  ASSERT_EQ(paging.page(), 3);
  paging.previous();
  paging.previous();
  EXPECT_EQ(paging.page(), 1);
  EXPECT_EQ(paging.caption(), "1");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, true, true}));
  paging.previous();
  EXPECT_EQ(paging.page(), 1);
  EXPECT_EQ(paging.navigation(), (NavigationState{false, false, true, true}));
}

TEST(ChartPagingTest, NextOnTheOnlyPageAndPreviousOnPageOne) {
  ChartPaging paging = pagesOf(1);
  paging.next();
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, false, false}));
  EXPECT_EQ(paging.caption(), "1");
  paging.previous();
  EXPECT_EQ(paging.navigation(), (NavigationState{false, false, true, true}));
  EXPECT_EQ(paging.caption(), "1");
}

TEST(ChartPagingTest, NextUpToTheLastPageKeepsNextAndLastEnabledUntilPressedThere) {
  ChartPaging paging = pagesOf(300);
  paging.first();
  EXPECT_EQ(paging.navigation(), (NavigationState{false, false, true, true}));
  paging.next();
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, true, true}));
  paging.next();
  EXPECT_EQ(paging.page(), 3);
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, true, true}));
  paging.next();
  EXPECT_EQ(paging.page(), 3);
  EXPECT_EQ(paging.caption(), "3");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, false, false}));
}

TEST(ChartPagingTest, FirstAndLast) {
  ChartPaging paging = pagesOf(420);
  paging.last();
  EXPECT_EQ(paging.page(), 5);
  EXPECT_EQ(paging.caption(), "5");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, false, false}));
  paging.first();
  EXPECT_EQ(paging.page(), 1);
  EXPECT_EQ(paging.caption(), "1");
  EXPECT_EQ(paging.navigation(), (NavigationState{false, false, true, true}));
}

TEST(ChartPagingTest, FollowsTheNewestPointOnlyFromTheLastPage) {
  ChartPaging paging = pagesOf(200);
  paging.last();
  ASSERT_EQ(paging.page(), 2);
  EXPECT_TRUE(paging.setPointCount(201));  // a new page opens: the chart follows
  EXPECT_EQ(paging.page(), 3);
  EXPECT_EQ(paging.caption(), "3");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, false, false}));
  EXPECT_FALSE(paging.setPointCount(250));  // on the same page
  EXPECT_EQ(paging.page(), 3);

  paging.first();
  paging.next();
  paging.last();
  paging.previous();                        // page 2 of 3, Next and Last enabled by Previous
  EXPECT_FALSE(paging.setPointCount(301));  // on another page the chart stays put
  EXPECT_EQ(paging.page(), 2);
  EXPECT_EQ(paging.caption(), "2");
  EXPECT_EQ(paging.navigation(), (NavigationState{true, true, true, true}));
}

TEST(ChartPagingTest, PointsArrivingAtStartUpAreFollowedPageByPage) {
  ChartPaging paging;
  for (std::size_t n = 1; n <= 250; ++n) paging.setPointCount(n);
  EXPECT_EQ(paging.page(), 3);
  EXPECT_EQ(paging.caption(), "3");
}

TEST(ChartPagingTest, PointsGoingAwayBringThePageBackIntoRange) {
  ChartPaging paging = pagesOf(500);
  paging.next();
  paging.next();
  EXPECT_TRUE(paging.setPointCount(0));
  EXPECT_EQ(paging.page(), 1);
  EXPECT_EQ(paging.caption(), "1");
  EXPECT_EQ(paging.pointsOnPage(), 0u);
}

}  // namespace
}  // namespace vexal
