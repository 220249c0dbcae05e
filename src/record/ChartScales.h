#pragma once
// The trend chart's axes as drawn: the ranges of the page shown or of the user's zoom, the
// yellow wall's strip at the left of the plot area that no reading is drawn under, the
// labelled ticks of the resistance axis, and the points of each run in axis units. No
// toolkit here; the chart widget sets its axes and series from this.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "record/ChartPoints.h"

namespace vexal {

// A labelled tick of a value axis, at a value in axis units.
struct AxisTick {
  double at = 0;
  std::string label;
  bool operator==(const AxisTick &) const = default;
};

// Ohms with three significant digits and the unit's prefix: "100 kΩ", "5.18 GΩ", "1 TΩ".
std::string ohmLabel(double ohms);

// Ticks of the resistance axis over `decades` (powers of ten of ohms): every decade where the
// range spans two decades or more, else 1, 2 and 5 of each decade, and where even those give
// fewer than three (a zoom into part of a decade) round steps of ohms. Both ends of the range
// are labelled with their own value, so the label at an edge is what a reading there shows;
// a tick nearer an end than `minGap` (a fraction of the range) makes way for the end's label.
std::vector<AxisTick> ohmTicks(ChartRange decades, double minGap);

// Evenly spaced ticks of the bottom axis: from `anchor`, every `interval`.
struct LinearTicks {
  double anchor = 0, interval = 1;
  bool operator==(const LinearTicks &) const = default;
};

// What a page needs of the axes: the bottom axis over its points and each value axis its
// readings use (the fixed one carries the placeholder point before any reading).
struct PageRanges {
  std::size_t firstPoint = 0, capacity = 0;  // which page: a new page ends a zoom
  ChartRange x;
  std::optional<ChartRange> ohmDecades, volts, fixed;
  bool operator==(const PageRanges &) const = default;
};

// A run as drawn: its points in axis units (the power of ten of ohms, or volts) and the foot
// of its axis, where the fill ends.
struct DrawnRun {
  QuantityKind kind = QuantityKind::Resistance;
  double foot = 0;
  std::vector<ChartXY> points;
  bool operator==(const DrawnRun &) const = default;
};

class ChartScales {
 public:
  static constexpr double kWallWidth = 11;  // pixels
  static constexpr double kMinWidthWithWall = 4 * kWallWidth;
  static constexpr double kMinZoomSide = 3;  // pixels: a smaller drag is a click
  static constexpr double kLabelGap = 18;    // pixels between the labels of the value axes

  // The plot area's size in pixels, the wall included at its left. Returns whether it
  // changed.
  bool setPlotSize(double width, double height);
  // The page shown and what its readings need. Another page, or the first reading after the
  // placeholder (or the placeholder again), ends the zoom; more readings on the same page
  // keep it.
  void setPage(const PageRanges &page);
  // Zooms into a rectangle dragged over the plot area (pixels from its top-left corner), as
  // shown now: every axis shows the part of its range the rectangle covers. Returns false,
  // zooming nothing, for a rectangle too small to be meant.
  bool zoomTo(double left, double top, double right, double bottom);
  void endZoom() { zoom_.reset(); }
  bool zoomed() const { return zoom_.has_value(); }

  // The bottom axis as set: it begins the wall's width before the first X drawn.
  ChartRange x() const;
  LinearTicks xTicks() const;
  std::optional<ChartRange> ohmDecades() const;
  std::optional<ChartRange> volts() const;
  std::optional<ChartRange> fixed() const;
  std::vector<AxisTick> ohmTicks() const;

  // The runs in axis units, cut at the wall's edge: a line crossing it ends there, and
  // nothing is drawn under the wall.
  std::vector<DrawnRun> drawnRuns(const std::vector<ChartRun> &runs) const;

 private:
  // The X values drawn right of the wall.
  ChartRange shownX() const { return zoom_ ? zoom_->x : page_.x; }
  const PageRanges &shown() const { return zoom_ ? *zoom_ : page_; }

  PageRanges page_;
  std::optional<PageRanges> zoom_;
  double width_ = 0, height_ = 0;
};

}  // namespace vexal
