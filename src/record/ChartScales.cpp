#include "record/ChartScales.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vexal {

namespace {

constexpr double kEpsilon = 1e-9;

double roundToSignificant(double value, int digits) {
  const double scale = std::pow(10.0, digits - 1 - std::floor(std::log10(value)));
  return std::round(value * scale) / scale;
}

bool within(double value, ChartRange range) {
  return value >= range.min - kEpsilon && value <= range.max + kEpsilon;
}

// 1, 2 and 5 of each decade across the range, in powers of ten.
std::vector<double> oneTwoFive(ChartRange decades) {
  std::vector<double> at;
  for (double e = std::floor(decades.min); e <= std::ceil(decades.max); ++e)
    for (double factor : {1.0, 2.0, 5.0})
      if (const double d = e + std::log10(factor); within(d, decades)) at.push_back(d);
  return at;
}

// Round steps of ohms across a range within one decade or so.
std::vector<double> ohmSteps(ChartRange decades) {
  const double low = std::pow(10.0, decades.min), high = std::pow(10.0, decades.max);
  const double step = roundStep((high - low) / 4);
  std::vector<double> at;
  for (double k = std::ceil(low / step - kEpsilon); k * step <= high * (1 + kEpsilon); ++k)
    at.push_back(std::log10(k * step));
  return at;
}

// A part [from, to] (fractions) of a range.
ChartRange part(ChartRange range, double from, double to) {
  const double span = range.max - range.min;
  return {range.min + from * span, range.min + to * span};
}

std::optional<ChartRange> part(const std::optional<ChartRange> &range, double from, double to) {
  if (!range) return std::nullopt;
  return part(*range, from, to);
}

// The zoomed range of an axis while the page still uses it; the page's own otherwise.
std::optional<ChartRange> zoomedOr(const std::optional<ChartRange> &zoomed,
                                   const std::optional<ChartRange> &page) {
  return page && zoomed ? zoomed : page;
}

}  // namespace

std::string ohmLabel(double ohms) {
  if (!(ohms > 0)) return "0 \u03A9";
  static const char *const kPrefixes[] = {"", "k", "M", "G", "T", "P"};
  const double rounded = roundToSignificant(ohms, 3);
  const int group = std::clamp(static_cast<int>(std::floor(std::log10(rounded) / 3)), 0, 5);
  const double scaled = rounded / std::pow(1000.0, group);
  const int decimals = std::max(0, 2 - static_cast<int>(std::floor(std::log10(scaled))));
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.*f", decimals, scaled);
  std::string text = digits;
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text + " " + kPrefixes[group] + "\u03A9";
}

std::vector<AxisTick> ohmTicks(ChartRange decades, double minGap) {
  const double span = decades.max - decades.min;
  std::vector<double> at;
  if (span >= 2 - kEpsilon) {
    for (double e = std::ceil(decades.min - kEpsilon); e <= decades.max + kEpsilon; ++e)
      at.push_back(e);
  } else {
    at = oneTwoFive(decades);
    if (at.size() < 3) at = ohmSteps(decades);
  }
  std::vector<AxisTick> ticks{{decades.min, ohmLabel(std::pow(10.0, decades.min))}};
  const double gap = std::max(minGap * span, kEpsilon);
  // The labels name the ticks, so each is given once.
  for (double d : at) {
    AxisTick tick{d, ohmLabel(std::pow(10.0, d))};
    if (d - decades.min >= gap && decades.max - d >= gap && tick.label != ticks.back().label)
      ticks.push_back(std::move(tick));
  }
  AxisTick top{decades.max, ohmLabel(std::pow(10.0, decades.max))};
  if (top.label != ticks.back().label)
    ticks.push_back(std::move(top));
  else if (ticks.size() > 1)
    ticks.back() = std::move(top);  // the edge keeps its label
  return ticks;
}

bool ChartScales::setPlotSize(double width, double height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;
  return true;
}

void ChartScales::setPage(const PageRanges &page) {
  if (page.firstPoint != page_.firstPoint || page.capacity != page_.capacity ||
      page.fixed.has_value() != page_.fixed.has_value())
    endZoom();
  page_ = page;
}

bool ChartScales::zoomTo(double left, double top, double right, double bottom) {
  if (right - left < kMinZoomSide || bottom - top < kMinZoomSide) return false;
  if (width_ < kMinWidthWithWall || height_ <= 0) return false;
  // Fractions of the part right of the wall, and of the height counted from the foot.
  auto across = [&](double px) {
    return std::clamp((px - kWallWidth) / (width_ - kWallWidth), 0.0, 1.0);
  };
  auto up = [&](double px) { return std::clamp(1 - px / height_, 0.0, 1.0); };
  const double x0 = across(left), x1 = across(right), y0 = up(bottom), y1 = up(top);
  if (x1 <= x0 || y1 <= y0) return false;
  PageRanges zoom = page_;
  zoom.x = part(shownX(), x0, x1);
  zoom.ohmDecades = part(ohmDecades(), y0, y1);
  zoom.volts = part(volts(), y0, y1);
  zoom.fixed = part(fixed(), y0, y1);
  zoom_ = zoom;
  return true;
}

ChartRange ChartScales::x() const {
  const ChartRange x = shownX();
  // A plot too narrow to hold the wall beside the readings (a chart not laid out yet) draws
  // from its left edge.
  if (width_ < kMinWidthWithWall) return x;
  const double perPixel = (x.max - x.min) / (width_ - kWallWidth);
  return {x.min - kWallWidth * perPixel, x.max};
}

LinearTicks ChartScales::xTicks() const {
  // About six labels, on whole points: from the page's first point unzoomed, on round
  // numbers zoomed.
  const ChartRange x = shownX();
  const double interval = std::max(1.0, roundStep(std::max(x.max - x.min, 1.0) / 6));
  return {zoom_ ? 0.0 : page_.x.min, interval};
}

std::optional<ChartRange> ChartScales::ohmDecades() const {
  return zoomedOr(zoom_ ? zoom_->ohmDecades : std::nullopt, page_.ohmDecades);
}

std::optional<ChartRange> ChartScales::volts() const {
  return zoomedOr(zoom_ ? zoom_->volts : std::nullopt, page_.volts);
}

std::optional<ChartRange> ChartScales::fixed() const {
  return zoomedOr(zoom_ ? zoom_->fixed : std::nullopt, page_.fixed);
}

std::vector<AxisTick> ChartScales::ohmTicks() const {
  const auto decades = ohmDecades();
  if (!decades) return {};
  return vexal::ohmTicks(*decades, height_ > 0 ? kLabelGap / height_ : 0.08);
}

std::vector<DrawnRun> ChartScales::drawnRuns(const std::vector<ChartRun> &runs) const {
  const double edge = shownX().min;
  std::vector<DrawnRun> drawn;
  for (const ChartRun &run : runs) {
    DrawnRun d{run.kind, 0, {}};
    if (run.kind == QuantityKind::Resistance) {
      // No resistance at all sits at the foot of the axis.
      d.foot = page_.ohmDecades.value_or(ChartRange{}).min;
    } else {
      d.foot = page_.volts.value_or(ChartRange{}).min;
    }
    std::optional<ChartXY> before;  // the last point left of the edge
    for (const ChartXY &p : run.points) {
      const ChartXY at{
          p.x, run.kind == QuantityKind::Resistance ? (p.y > 0 ? std::log10(p.y) : d.foot) : p.y};
      if (at.x < edge) {
        before = at;
        continue;
      }
      if (before && d.points.empty() && at.x > edge) {
        // The line from a point under the wall ends at its edge.
        const double t = (edge - before->x) / (at.x - before->x);
        d.points.push_back({edge, before->y + t * (at.y - before->y)});
      }
      d.points.push_back(at);
    }
    if (!d.points.empty()) drawn.push_back(std::move(d));
  }
  return drawn;
}

}  // namespace vexal
