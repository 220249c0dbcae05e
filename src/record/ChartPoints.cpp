#include "record/ChartPoints.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vexal {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> chartValue(std::string_view text, std::string_view separator) {
  text = trimmed(text);
  char buffer[64];
  std::size_t length = 0;
  bool digits = false, point = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (length + 1 >= sizeof buffer) return std::nullopt;
    const char c = text[i];
    if (isDigit(c)) {
      digits = true;
      buffer[length++] = c;
    } else if (c == '-' && i == 0) {
      buffer[length++] = c;
    } else if (!point && c == '.') {
      point = true;
      buffer[length++] = '.';
    } else if (!point && !separator.empty() && text.substr(i).starts_with(separator)) {
      point = true;
      buffer[length++] = '.';
      i += separator.size() - 1;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(buffer, buffer + length, value);
  if (ec != std::errc() || end != buffer + length) return std::nullopt;
  return value;
}

std::size_t ChartPoints::count() const {
  const std::size_t rows = table_.rowCount();
  return rows > firstRow_ ? rows - firstRow_ : 0;
}

std::optional<double> ChartPoints::xOf(std::size_t index) const {
  const auto no = table_.no(rowOf(index));
  if (!no) return std::nullopt;
  return static_cast<double>(*no);
}

std::optional<ChartXY> ChartPoints::point(std::size_t index) const {
  const std::size_t row = rowOf(index);
  const auto no = table_.no(row);
  const auto text = table_.text(row, Field::Value);
  if (!no || !text) return std::nullopt;
  const auto y = chartValue(*text, separator_);
  if (!y) return std::nullopt;
  return ChartXY{static_cast<double>(*no), *y};
}

std::vector<ChartRun> ChartPoints::runs(std::size_t first, std::size_t count, ChartRange xRange,
                                        int columns) const {
  std::vector<ChartRun> result;
  count = std::min(count, this->count() > first ? this->count() - first : 0);
  if (columns > 0 && count > 2 * static_cast<std::size_t>(columns) && xRange.max > xRange.min)
    addThinned(first, count, xRange, columns, result);
  else
    addRaw(first, count, result);
  return result;
}

void ChartPoints::addRaw(std::size_t first, std::size_t count, std::vector<ChartRun> &runs) const {
  bool inRun = false;
  for (std::size_t i = first; i < first + count; ++i) {
    const auto p = point(i);
    if (!p) {
      inRun = false;
      continue;
    }
    if (!inRun) runs.emplace_back();
    runs.back().push_back(*p);
    inRun = true;
  }
}

void ChartPoints::addThinned(std::size_t first, std::size_t count, ChartRange xRange, int columns,
                             std::vector<ChartRun> &runs) const {
  const double perColumn = columns / (xRange.max - xRange.min);
  struct Column {
    long index = -1;
    std::optional<ChartXY> low, high;
    std::size_t lowAt = 0, highAt = 0;
  } column;
  bool inRun = false;
  auto flush = [&] {
    if (column.index < 0) return;
    if (!column.low) {
      inRun = false;  // a column that shows no number breaks the trace
    } else {
      if (!inRun) runs.emplace_back();
      inRun = true;
      const bool lowFirst = column.lowAt <= column.highAt;
      runs.back().push_back(lowFirst ? *column.low : *column.high);
      if (column.lowAt != column.highAt)
        runs.back().push_back(lowFirst ? *column.high : *column.low);
    }
    column = Column();
  };
  for (std::size_t i = first; i < first + count; ++i) {
    const auto x = xOf(i);
    if (!x) continue;
    const long index = static_cast<long>(
        std::clamp(std::floor((*x - xRange.min) * perColumn), 0.0, double(columns - 1)));
    if (index != column.index) {
      flush();
      column.index = index;
    }
    const auto p = point(i);
    if (!p) continue;
    if (!column.low || p->y < column.low->y) column.low = *p, column.lowAt = i;
    if (!column.high || p->y > column.high->y) column.high = *p, column.highAt = i;
  }
  flush();
}

ChartRange ChartPoints::pageXRange(std::size_t first, std::size_t count,
                                   std::size_t capacity) const {
  std::optional<double> low, high;
  for (std::size_t i = first; i < first + count && !low; ++i) low = xOf(i);
  for (std::size_t i = first + count; i > first && !high; --i) high = xOf(i - 1);
  if (!low) return {0, capacity > 1 ? double(capacity - 1) : 1.0};
  const double full = *low + (capacity > 1 ? double(capacity - 1) : 1.0);
  return {std::min(*low, *high), std::max({*high, full, *low + 1})};
}

std::optional<std::size_t> ChartPoints::nearest(std::size_t first, std::size_t count,
                                                double x) const {
  count = std::min(count, this->count() > first ? this->count() - first : 0);
  if (count == 0) return std::nullopt;
  // X grows along the table: find where `x` falls, then look outwards for a value.
  std::size_t lo = first, hi = first + count;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const auto mx = xOf(mid);
    if (mx && *mx < x)
      lo = mid + 1;
    else
      hi = mid;
  }
  constexpr std::size_t kReach = 200;  // a tool tip over a long gap names nothing
  std::optional<std::size_t> best;
  double bestDistance = 0;
  auto consider = [&](std::size_t i) {
    const auto p = point(i);
    if (!p) return;
    const double d = std::abs(p->x - x);
    if (!best || d < bestDistance) best = i, bestDistance = d;
  };
  for (std::size_t k = 0; k < kReach; ++k) {
    if (lo + k < first + count) consider(lo + k);
    if (lo >= first + k + 1) consider(lo - k - 1);
  }
  return best;
}

}  // namespace vexal
