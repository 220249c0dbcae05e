#include "report/qt/RunCurveChart.h"

#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "analysis/InsulationVerdict.h"
#include "common/qt/Fonts.h"
#include "record/ChartPoints.h"
#include "record/qt/TrendChart.h"
#include "report/qt/ArchiveCharts.h"

namespace vexal {

namespace {

const QColor kMarkColours[] = {QColor(0, 150, 0), QColor(0, 110, 220), QColor(200, 120, 0),
                               QColor(190, 0, 60)};

QString markName(int seconds) {
  return seconds < 60 ? QStringLiteral("%1 s").arg(seconds)
                      : QStringLiteral("%1 min").arg(seconds / 60);
}

// The earliest time a logarithmic axis shows: the first reading of a run is at 0 s.
constexpr double kLogTimeFloorS = 1.0;

}  // namespace

// The view is made with its chart, so it owns it from the start (a chart set later would
// leave the view's own first chart behind).
RunCurveChart::RunCurveChart(QWidget *parent) : QChartView(new QChart, parent) {
  chart_ = chart();
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->setMargins(QMargins(4, 4, 8, 4));
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->legend()->setFont(arial(11));
  setRenderHint(QPainter::Antialiasing);

  ohmAxis_ = new QCategoryAxis(chart_);
  ohmAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  ohmAxis_->setLabelsFont(arial(11));
  linearTime_ = new QValueAxis(chart_);
  linearTime_->setLabelFormat(QStringLiteral("%g s"));
  linearTime_->setLabelsFont(arial(11));
  logTime_Axis_ = new QCategoryAxis(chart_);
  logTime_Axis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  logTime_Axis_->setLabelsFont(arial(11));
  chart_->addAxis(ohmAxis_, Qt::AlignLeft);
  chart_->addAxis(linearTime_, Qt::AlignBottom);
  chart_->addAxis(logTime_Axis_, Qt::AlignBottom);
  logTime_Axis_->setVisible(false);

  line_ = new QLineSeries(chart_);
  line_->setName(QStringLiteral("R(t)"));
  line_->setPen(QPen(QColor(0, 128, 255), 2));
  chart_->addSeries(line_);
  line_->attachAxis(ohmAxis_);
  line_->attachAxis(linearTime_);

  overRangeSeries_ = new QScatterSeries(chart_);
  overRangeSeries_->setName(QStringLiteral("over range"));
  overRangeSeries_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
  overRangeSeries_->setMarkerSize(8);
  overRangeSeries_->setColor(QColor(150, 150, 150));
  overRangeSeries_->setBorderColor(QColor(150, 150, 150));
  chart_->addSeries(overRangeSeries_);
  overRangeSeries_->attachAxis(ohmAxis_);
  overRangeSeries_->attachAxis(linearTime_);

  for (std::size_t i = 0; i < std::size(kRunMarkSeconds); ++i) {
    auto *guide = new QLineSeries(chart_);
    guide->setPen(QPen(kMarkColours[i], 1, Qt::DashLine));
    chart_->addSeries(guide);
    guide->attachAxis(ohmAxis_);
    guide->attachAxis(linearTime_);
    for (QLegendMarker *m : chart_->legend()->markers(guide)) m->setVisible(false);
    markLines_.push_back(guide);
    auto *mark = new QScatterSeries(chart_);
    mark->setName(markName(kRunMarkSeconds[i]));
    mark->setColor(kMarkColours[i]);
    mark->setBorderColor(Qt::white);
    mark->setMarkerSize(11);
    chart_->addSeries(mark);
    mark->attachAxis(ohmAxis_);
    mark->attachAxis(linearTime_);
    markSeries_.push_back(mark);
  }
  rebuild();
}

QAbstractAxis *RunCurveChart::timeAxis() const {
  return logTime_ ? static_cast<QAbstractAxis *>(logTime_Axis_) : linearTime_;
}

void RunCurveChart::setRun(const InsulationRun &run, const std::vector<RunPoint> &curve) {
  curve_.clear();
  marks_.clear();
  overRange_.clear();
  const auto top = run.function ? functionRangeTopOhms(*run.function) : std::nullopt;
  for (const RunPoint &p : curve) {
    const double seconds = static_cast<double>(p.elapsedMs) / 1000.0;
    if (p.ohms) curve_.append(QPointF(seconds, *p.ohms));
    if (p.overRange && top) overRange_.append(QPointF(seconds, *top));
  }
  durationS_ = curve.empty() ? 0 : static_cast<double>(run.durationMs) / 1000.0;
  for (int seconds : kRunMarkSeconds)
    if (const auto r = run.resistanceAt(seconds)) marks_.push_back({seconds, *r});
  rebuild();
}

void RunCurveChart::setLogTime(bool on) {
  if (on == logTime_) return;
  logTime_ = on;
  placeTimeAxis();
  rebuild();
}

// Both time axes belong to the chart; the series are drawn against the one shown.
void RunCurveChart::placeTimeAxis() {
  QAbstractAxis *from = logTime_ ? static_cast<QAbstractAxis *>(linearTime_) : logTime_Axis_;
  QAbstractAxis *to = timeAxis();
  for (QAbstractSeries *series : chart_->series()) {
    series->detachAxis(from);
    series->attachAxis(to);
  }
  from->setVisible(false);
  to->setVisible(true);
}

void RunCurveChart::rebuild() {
  // Resistance as the power of ten of its ohms; no resistance at all sits at the foot.
  ChartRun ohms{QuantityKind::Resistance, {}};
  for (const QPointF &p : curve_) ohms.points.push_back({p.x(), p.y()});
  for (const Mark &m : marks_) ohms.points.push_back({double(m.seconds), m.ohms});
  for (const QPointF &p : overRange_) ohms.points.push_back({p.x(), p.y()});
  const ChartRange decades = axesFor({ohms}).ohmDecades.value_or(ChartRange{5, 12});
  auto y = [&](double value) { return value > 0 ? std::log10(value) : decades.min; };
  auto shown = [&](double seconds) { return !logTime_ || seconds >= kLogTimeFloorS; };
  auto x = [&](double seconds) { return logTime_ ? std::log10(seconds) : seconds; };

  QList<QPointF> points;
  for (const QPointF &p : curve_)
    if (shown(p.x())) points.append(QPointF(x(p.x()), y(p.y())));
  line_->replace(points);
  QList<QPointF> over;
  for (const QPointF &p : overRange_)
    if (shown(p.x())) over.append(QPointF(x(p.x()), y(p.y())));
  overRangeSeries_->replace(over);
  for (QLegendMarker *m : chart_->legend()->markers(overRangeSeries_))
    m->setVisible(!over.isEmpty());

  for (const QString &label : ohmAxis_->categoriesLabels()) ohmAxis_->remove(label);
  ohmAxis_->setStartValue(decades.min - 1e-6);
  for (int e = static_cast<int>(decades.min); e <= static_cast<int>(decades.max); ++e)
    ohmAxis_->append(TrendChart::ohmDecadeLabel(e), e);
  ohmAxis_->setRange(decades.min, decades.max);

  const double end =
      std::max({durationS_, 60.0, marks_.empty() ? 0.0 : marks_.back().seconds * 1.0});
  if (logTime_) {
    const int lastDecade = static_cast<int>(std::ceil(std::log10(end)));
    for (const QString &label : logTime_Axis_->categoriesLabels()) logTime_Axis_->remove(label);
    logTime_Axis_->setStartValue(std::log10(kLogTimeFloorS) - 1e-6);
    for (int e = static_cast<int>(std::log10(kLogTimeFloorS)); e <= lastDecade; ++e)
      logTime_Axis_->append(QStringLiteral("%1 s").arg(std::pow(10.0, e)), e);
    logTime_Axis_->setRange(std::log10(kLogTimeFloorS), lastDecade);
  } else
    linearTime_->setRange(0, end);

  for (std::size_t i = 0; i < markSeries_.size(); ++i) {
    const auto m = std::find_if(marks_.begin(), marks_.end(),
                                [&](const Mark &k) { return k.seconds == kRunMarkSeconds[i]; });
    if (m == marks_.end()) {
      markSeries_[i]->clear();
      markLines_[i]->clear();
      continue;
    }
    const double at = x(m->seconds);
    markSeries_[i]->replace(QList<QPointF>{QPointF(at, y(m->ohms))});
    markLines_[i]->replace(QList<QPointF>{QPointF(at, decades.min), QPointF(at, decades.max)});
  }
}

QImage RunCurveChart::picture(QSize size) {
  return chartPicture(*this, size);
}

}  // namespace vexal
