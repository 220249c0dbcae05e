#pragma once
// The trend chart's points as a view over the reading table: point k is row firstRow + k,
// X its position in the table (1, 2, ...), Y the quantity its reading shows (ohms or volts,
// see ReadingQuantity). Nothing is copied; a page asks the table for its rows, and a page of
// many points is thinned to the lowest and highest value per pixel column so that no spike
// is lost.

#include <cstddef>
#include <optional>
#include <vector>

#include "record/ReadingQuantity.h"
#include "record/ReadingTable.h"

namespace vexal {

struct ChartXY {
  double x = 0, y = 0;
  bool operator==(const ChartXY &) const = default;
};

// Points drawn joined, all of one quantity; a gap or a change of quantity starts a new run.
struct ChartRun {
  QuantityKind kind = QuantityKind::Resistance;
  std::vector<ChartXY> points;
  bool operator==(const ChartRun &) const = default;
};

struct ChartRange {
  double min = 0, max = 0;
  bool operator==(const ChartRange &) const = default;
};

// What a page's readings need of the value axes.
struct ChartAxes {
  // Powers of ten (exponents) the resistance axis spans: from the decade at or below the
  // smallest positive reading to the one at or above the largest, at least one decade.
  // Nothing when the page shows no resistance.
  std::optional<ChartRange> ohmDecades;
  // The voltage axis in volts, widened to round steps. Nothing when the page shows no
  // voltage.
  std::optional<ChartRange> volts;
  bool operator==(const ChartAxes &) const = default;
};
ChartAxes axesFor(const std::vector<ChartRun> &runs);

// The smallest of 1, 2 and 5 times a power of ten that is at least `step` (> 0).
double roundStep(double step);

class ChartPoints {
 public:
  explicit ChartPoints(const ReadingTable &table) : table_(table) {}

  // The chart begins with the row the table gets next (the rows before leave the chart).
  void startAfterLastRow() { firstRow_ = table_.rowCount(); }
  // The chart begins with the table's first row.
  void startAtFirstRow() { firstRow_ = 0; }
  std::size_t firstRow() const { return firstRow_; }

  std::size_t count() const;
  std::size_t rowOf(std::size_t point) const { return firstRow_ + point; }
  // X: the point's row position in the table, counted from 1.
  double xOf(std::size_t point) const { return static_cast<double>(rowOf(point) + 1); }
  // The point's quantity; nothing when its reading shows none.
  std::optional<Quantity> quantity(std::size_t point) const;

  // The points first ... first + count - 1 as runs. With more than two points per column
  // of `columns`, each column across `xRange` gives its lowest and highest value in the
  // order they came; a column without a number breaks the trace.
  std::vector<ChartRun> runs(std::size_t first, std::size_t count, ChartRange xRange,
                             int columns) const;

  // The bottom axis for a page: from its first point's X over a full page of `capacity`
  // points (the last page is scaled like a full one).
  ChartRange pageXRange(std::size_t first, std::size_t capacity) const;

  // The point nearest to `x` on a page (by X), among those with a quantity.
  std::optional<std::size_t> nearest(std::size_t first, std::size_t count, double x) const;

 private:
  std::size_t clampCount(std::size_t first, std::size_t count) const;
  void addRaw(std::size_t first, std::size_t count, std::vector<ChartRun> &runs) const;
  void addThinned(std::size_t first, std::size_t count, ChartRange xRange, int columns,
                  std::vector<ChartRun> &runs) const;

  const ReadingTable &table_;
  std::size_t firstRow_ = 0;
};

}  // namespace vexal
