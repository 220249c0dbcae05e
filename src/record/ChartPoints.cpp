#include "record/ChartPoints.h"

#include <algorithm>
#include <cmath>

namespace vexal {

namespace {

// Adds a point to the runs: a new run after a gap or when the quantity changes.
void extend(std::vector<ChartRun> &runs, bool &inRun, QuantityKind kind, ChartXY point) {
  if (!inRun || runs.back().kind != kind) runs.push_back({kind, {}});
  runs.back().points.push_back(point);
  inRun = true;
}

ChartRange roundVoltRange(double low, double high) {
  if (high - low < 1e-9) {  // one value: a band of a volt or so around it
    const double half = std::max(1.0, std::abs(high) * 0.05);
    low -= half, high += half;
  }
  const double step = roundStep((high - low) / 5);
  return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

}  // namespace

double roundStep(double step) {
  const double decade = std::pow(10.0, std::floor(std::log10(step)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * decade >= step * (1 - 1e-9)) return factor * decade;
  return 10 * decade;
}

ChartAxes axesFor(const std::vector<ChartRun> &runs) {
  std::optional<double> ohmLow, ohmHigh, voltLow, voltHigh;
  bool anyOhms = false;
  for (const ChartRun &run : runs) {
    for (const ChartXY &p : run.points) {
      if (run.kind == QuantityKind::Voltage) {
        voltLow = std::min(voltLow.value_or(p.y), p.y);
        voltHigh = std::max(voltHigh.value_or(p.y), p.y);
      } else {
        anyOhms = true;
        if (p.y <= 0) continue;  // drawn at the foot of the axis
        ohmLow = std::min(ohmLow.value_or(p.y), p.y);
        ohmHigh = std::max(ohmHigh.value_or(p.y), p.y);
      }
    }
  }
  ChartAxes axes;
  if (anyOhms) {
    // With no positive reading, the meter's own range: 100 kΩ to 1 TΩ.
    double low = ohmLow ? std::floor(std::log10(*ohmLow) + 1e-9) : 5;
    double high = ohmHigh ? std::ceil(std::log10(*ohmHigh) - 1e-9) : 12;
    if (high <= low) high = low + 1;
    axes.ohmDecades = ChartRange{low, high};
  }
  if (voltLow) axes.volts = roundVoltRange(*voltLow, *voltHigh);
  return axes;
}

std::size_t ChartPoints::count() const {
  const std::size_t rows = table_.rowCount();
  return rows > firstRow_ ? rows - firstRow_ : 0;
}

std::size_t ChartPoints::clampCount(std::size_t first, std::size_t count) const {
  const std::size_t all = this->count();
  return std::min(count, all > first ? all - first : 0);
}

std::optional<Quantity> ChartPoints::quantity(std::size_t index) const {
  return readingQuantity(table_.view(rowOf(index)));
}

std::vector<ChartRun> ChartPoints::runs(std::size_t first, std::size_t count, ChartRange xRange,
                                        int columns) const {
  std::vector<ChartRun> result;
  count = clampCount(first, count);
  if (columns > 0 && count > 2 * static_cast<std::size_t>(columns) && xRange.max > xRange.min)
    addThinned(first, count, xRange, columns, result);
  else
    addRaw(first, count, result);
  return result;
}

void ChartPoints::addRaw(std::size_t first, std::size_t count, std::vector<ChartRun> &runs) const {
  bool inRun = false;
  for (std::size_t i = first; i < first + count; ++i) {
    const auto q = quantity(i);
    if (!q) {
      inRun = false;
      continue;
    }
    extend(runs, inRun, q->kind, {xOf(i), q->value});
  }
}

void ChartPoints::addThinned(std::size_t first, std::size_t count, ChartRange xRange, int columns,
                             std::vector<ChartRun> &runs) const {
  const double perColumn = columns / (xRange.max - xRange.min);
  struct Column {
    long index = -1;
    QuantityKind kind = QuantityKind::Resistance;
    std::optional<ChartXY> low, high;
    std::size_t lowAt = 0, highAt = 0;
  } column;
  bool inRun = false;
  auto flush = [&] {
    if (column.index < 0) return;
    if (!column.low) {
      inRun = false;  // a column that shows no number breaks the trace
    } else {
      const bool lowFirst = column.lowAt <= column.highAt;
      extend(runs, inRun, column.kind, lowFirst ? *column.low : *column.high);
      if (column.lowAt != column.highAt)
        extend(runs, inRun, column.kind, lowFirst ? *column.high : *column.low);
    }
    column = Column();
  };
  for (std::size_t i = first; i < first + count; ++i) {
    const double x = xOf(i);
    const long index = static_cast<long>(
        std::clamp(std::floor((x - xRange.min) * perColumn), 0.0, double(columns - 1)));
    const auto q = quantity(i);
    // A new column, or another quantity within one, closes what the column holds.
    if (index != column.index || (q && column.low && q->kind != column.kind)) {
      flush();
      column.index = index;
    }
    if (!q) continue;
    const ChartXY p{x, q->value};
    column.kind = q->kind;
    if (!column.low || p.y < column.low->y) column.low = p, column.lowAt = i;
    if (!column.high || p.y > column.high->y) column.high = p, column.highAt = i;
  }
  flush();
}

ChartRange ChartPoints::pageXRange(std::size_t first, std::size_t capacity) const {
  const double low = xOf(first);
  return {low, low + (capacity > 1 ? double(capacity - 1) : 1.0)};
}

std::optional<std::size_t> ChartPoints::nearest(std::size_t first, std::size_t count,
                                                double x) const {
  count = clampCount(first, count);
  if (count == 0) return std::nullopt;
  // X is the row position: the point at `x` is found at once, then the search looks
  // outwards for one with a quantity.
  const double offset = std::round(x - xOf(first));
  const std::size_t at =
      static_cast<std::size_t>(std::clamp(offset, 0.0, double(count - 1))) + first;
  constexpr std::size_t kReach = 200;  // a tool tip over a long gap names nothing
  for (std::size_t k = 0; k < kReach; ++k) {
    const bool below = at >= first + k;
    const bool above = at + k < first + count;
    if (!below && !above) break;
    // Of two at the same distance, the one nearer to `x` wins.
    const bool lowerFirst = x <= xOf(at);
    for (int side = 0; side < 2; ++side) {
      const bool lower = (side == 0) == lowerFirst;
      if (lower && below && quantity(at - k)) return at - k;
      if (!lower && above && quantity(at + k)) return at + k;
    }
  }
  return std::nullopt;
}

}  // namespace vexal
