#pragma once
// The trend chart's pages: the current page, the page count and the points per page, and
// the state of the four navigation buttons with the page-number caption. No toolkit here;
// the chart widget mirrors this state into its buttons.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexal {

// Which navigation buttons are enabled.
struct NavigationState {
  bool first = true, previous = true, next = true, last = true;
  bool operator==(const NavigationState &) const = default;
};

class ChartPaging {
 public:
  static constexpr std::int32_t kDefaultPointsPerPage = 100;
  // The points per page as the box holds them: an optional sign and decimal digits within the
  // 32-bit signed range. Anything else (also an empty box) throws EConvertError.
  static std::int32_t perPageFromText(const std::string &text);

  // Number of points of the series with the most points.
  std::size_t pointCount() const { return points_; }
  // New point count. Returns true when the page moved: the last page was shown and the new
  // points opened a further page (the chart follows), or fewer points left it out of range.
  // When the page or the page count changes, the buttons and the caption follow the page.
  bool setPointCount(std::size_t points);

  // Points per page; 0 (or less) puts every point on one page. A value whose page count is
  // below the current page moves to the last page; the buttons and the caption follow as
  // for a new point count.
  std::int32_t maxPointsPerPage() const { return perPage_; }
  void setMaxPointsPerPage(std::int32_t perPage);

  // Points divided by the points per page, rounded up; 1 with no points or no page size.
  std::int32_t pageCount() const;
  std::int32_t page() const { return page_; }
  // Clamped to 1 ... pageCount(); the buttons and the caption follow the page.
  void setPage(std::int32_t page);

  // The points of the current page: 0-based index of the first and how many.
  std::size_t firstPointOfPage() const;
  std::size_t pointsOnPage() const;
  // Points a page can hold (every point when there is no page size): the last page is
  // scaled like a full one.
  std::size_t pageCapacity() const;

  // The navigation commands.
  void first();
  void previous();
  void next();
  void last();

  const NavigationState &navigation() const { return nav_; }
  // The caption of the page-number button: the page shown.
  const std::string &caption() const { return caption_; }

 private:
  bool allOnOnePage() const { return perPage_ <= 0; }
  // The buttons and the caption after a page change that no button made: First and
  // Previous enabled past the first page, Next and Last before the last one.
  void followPage();
  void movePage(std::int32_t page);  // clamped, the buttons left as they are

  std::size_t points_ = 0;
  std::int32_t perPage_ = kDefaultPointsPerPage;
  std::int32_t page_ = 1;
  NavigationState nav_;
  std::string caption_ = "1";
};

}  // namespace vexal
