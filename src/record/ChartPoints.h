#pragma once
// The trend chart's points as a view over the reading table: point k is row firstRow + k,
// X its number, Y the number its value shows. Nothing is copied; a page asks the table for
// its rows, and a page of many points is thinned to the lowest and highest value per pixel
// column so that no spike is lost.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/ReadingTable.h"

namespace vexal {

// A value text as a number: digits with an optional leading "-" and at most one decimal
// point, written "." or `separator`; blanks around it are allowed. "L", an empty text and
// anything else give nothing (a gap in the trace).
std::optional<double> chartValue(std::string_view text, std::string_view separator);

struct ChartXY {
  double x = 0, y = 0;
  bool operator==(const ChartXY &) const = default;
};
// Points drawn joined; a gap starts a new run.
using ChartRun = std::vector<ChartXY>;

struct ChartRange {
  double min = 0, max = 0;
  bool operator==(const ChartRange &) const = default;
};

class ChartPoints {
 public:
  ChartPoints(const ReadingTable &table, std::string decimalSeparator)
      : table_(table), separator_(std::move(decimalSeparator)) {}

  void setDecimalSeparator(std::string separator) { separator_ = std::move(separator); }

  // The chart begins with the row the table gets next (the rows before leave the chart).
  void startAfterLastRow() { firstRow_ = table_.rowCount(); }
  // The chart begins with the table's first row.
  void startAtFirstRow() { firstRow_ = 0; }
  std::size_t firstRow() const { return firstRow_; }

  std::size_t count() const;
  std::size_t rowOf(std::size_t point) const { return firstRow_ + point; }
  // X and Y of a point; nothing when its value is not a number or it has no number.
  std::optional<ChartXY> point(std::size_t index) const;

  // The points first ... first + count - 1 as runs. With more than two points per column
  // of `columns`, each column across `xRange` gives its lowest and highest value in the
  // order they came; a column without a number breaks the trace.
  std::vector<ChartRun> runs(std::size_t first, std::size_t count, ChartRange xRange,
                             int columns) const;

  // The bottom axis for a page: from its first X to its last, and at least as wide as a
  // full page of `capacity` readings numbered one after the other.
  ChartRange pageXRange(std::size_t first, std::size_t count, std::size_t capacity) const;

  // The point nearest to `x` on a page (by X), among those with a value.
  std::optional<std::size_t> nearest(std::size_t first, std::size_t count, double x) const;

 private:
  std::optional<double> xOf(std::size_t index) const;
  void addRaw(std::size_t first, std::size_t count, std::vector<ChartRun> &runs) const;
  void addThinned(std::size_t first, std::size_t count, ChartRange xRange, int columns,
                  std::vector<ChartRun> &runs) const;

  const ReadingTable &table_;
  std::string separator_;
  std::size_t firstRow_ = 0;
};

}  // namespace vexal
