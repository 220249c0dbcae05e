#include "record/ChartPaging.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string_view>

#include "common/ConvertError.h"

namespace vexal {

std::int32_t ChartPaging::perPageFromText(const std::string &text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool signTwice = digits.size() < text.size() && !digits.empty() && digits.front() == '-';
  if (digits.empty() || signTwice || ec != std::errc() || end != digits.data() + digits.size())
    throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

bool ChartPaging::setPointCount(std::size_t points) {
  const bool onLastPage = page_ == pageCount();
  const std::int32_t before = page_, pagesBefore = pageCount();
  points_ = points;
  if (onLastPage && pageCount() > page_) {
    page_ = pageCount();
  } else if (page_ > pageCount()) {
    // The points went (Delete Data, another file): the page shown must still exist.
    page_ = pageCount();
  }
  if (page_ != before || pageCount() != pagesBefore) followPage();
  return page_ != before;
}

void ChartPaging::setMaxPointsPerPage(std::int32_t perPage) {
  const std::int32_t before = page_, pagesBefore = pageCount();
  perPage_ = perPage;
  if (page_ > pageCount()) page_ = pageCount();
  if (page_ != before || pageCount() != pagesBefore) followPage();
}

void ChartPaging::followPage() {
  const bool notFirst = page_ > 1, notLast = page_ < pageCount();
  nav_ = {notFirst, notFirst, notLast, notLast};
  caption_ = std::to_string(page_);
}

std::int32_t ChartPaging::pageCount() const {
  if (allOnOnePage() || points_ == 0) return 1;
  const std::size_t pages =
      (points_ + static_cast<std::size_t>(perPage_) - 1) / static_cast<std::size_t>(perPage_);
  return static_cast<std::int32_t>(
      std::min<std::size_t>(pages, std::numeric_limits<std::int32_t>::max()));
}

void ChartPaging::setPage(std::int32_t page) {
  movePage(page);
  followPage();
}

void ChartPaging::movePage(std::int32_t page) {
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
  movePage(1);
  caption_.assign(1, '1');
}

void ChartPaging::previous() {
  if (page_ == 1) {
    nav_ = {false, false, true, true};
  } else {
    movePage(page_ - 1);
    nav_.next = nav_.last = true;
  }
  caption_ = std::to_string(page_);
}

void ChartPaging::next() {
  if (page_ == pageCount()) {
    nav_ = {true, true, false, false};
  } else {
    movePage(page_ + 1);
    nav_.first = nav_.previous = true;
  }
  caption_ = std::to_string(page_);
}

void ChartPaging::last() {
  nav_ = {true, true, false, false};
  movePage(pageCount());
  caption_ = std::to_string(page_);
}

}  // namespace vexal
