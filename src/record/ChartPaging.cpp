#include "record/ChartPaging.h"

#include <algorithm>
#include <limits>

namespace vexal {

bool ChartPaging::setPointCount(std::size_t points) {
  const bool onLastPage = page_ == pageCount();
  const std::int32_t before = page_;
  points_ = points;
  if (onLastPage && pageCount() > page_) {
    page_ = pageCount();
    caption_ = std::to_string(page_);
  } else if (page_ > pageCount()) {
    // The points went (Delete Data, another file): the page shown must still exist.
    page_ = pageCount();
    caption_ = std::to_string(page_);
  }
  return page_ != before;
}

void ChartPaging::setMaxPointsPerPage(std::int32_t perPage) {
  perPage_ = perPage;
  if (page_ > pageCount()) page_ = pageCount();
}

std::int32_t ChartPaging::pageCount() const {
  if (allOnOnePage() || points_ == 0) return 1;
  const std::size_t pages =
      (points_ + static_cast<std::size_t>(perPage_) - 1) / static_cast<std::size_t>(perPage_);
  return static_cast<std::int32_t>(
      std::min<std::size_t>(pages, std::numeric_limits<std::int32_t>::max()));
}

void ChartPaging::setPage(std::int32_t page) {
  page_ = std::clamp(page, 1, pageCount());
}

std::size_t ChartPaging::firstPointOfPage() const {
  if (allOnOnePage()) return 0;
  return std::min(points_, static_cast<std::size_t>(page_ - 1) * perPage_);
}

std::size_t ChartPaging::pointsOnPage() const {
  return std::min(points_ - firstPointOfPage(), pageCapacity());
}

std::size_t ChartPaging::pageCapacity() const {
  return allOnOnePage() ? points_ : static_cast<std::size_t>(perPage_);
}

void ChartPaging::first() {
  nav_ = {false, false, true, true};
  setPage(1);
  caption_.assign(1, '1');
}

void ChartPaging::previous() {
  if (page_ == 1) {
    nav_ = {false, false, true, true};
  } else {
    setPage(page_ - 1);
    nav_.next = nav_.last = true;
  }
  caption_ = std::to_string(page_);
}

void ChartPaging::next() {
  if (page_ == pageCount()) {
    nav_ = {true, true, false, false};
  } else {
    setPage(page_ + 1);
    nav_.first = nav_.previous = true;
  }
  caption_ = std::to_string(page_);
}

void ChartPaging::last() {
  nav_ = {true, true, false, false};
  setPage(pageCount());
  caption_ = std::to_string(page_);
}

}  // namespace vexal
