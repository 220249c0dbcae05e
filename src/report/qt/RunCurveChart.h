#pragma once
// The resistance-time curve of one insulation run: resistance on a logarithmic axis in ohms,
// labelled by decade, against the time since the run began, on a linear or a logarithmic
// time axis. Markers at 15 s, 30 s, 1 min and 10 min show the resistance read there; readings
// over the range ("L") are marked at the range's top.

#include <QImage>
#include <QtCharts/QChartView>
#include <vector>

#include "analysis/InsulationRuns.h"

class QCategoryAxis;
class QLineSeries;
class QLogValueAxis;
class QScatterSeries;
class QValueAxis;

namespace vexal {

class RunCurveChart : public QChartView {
  Q_OBJECT
 public:
  explicit RunCurveChart(QWidget *parent = nullptr);

  // The run and its rows with their elapsed times (runCurve); an empty curve clears the chart.
  void setRun(const InsulationRun &run, const std::vector<RunPoint> &curve);
  void setLogTime(bool on);
  bool logTime() const { return logTime_; }

  // The chart drawn at `size` pixels (for the report), whatever the widget's size.
  QImage picture(QSize size);

  // What is drawn now, in seconds and ohms: the curve's points and the markers.
  const QList<QPointF> &curvePoints() const { return curve_; }
  struct Mark {
    int seconds;
    double ohms;
  };
  const std::vector<Mark> &marks() const { return marks_; }
  // Over-range readings, in seconds and the range's top in ohms.
  const QList<QPointF> &overRangePoints() const { return overRange_; }
  // The time axis the curve is drawn against (the other one is hidden).
  QAbstractAxis *timeAxis() const;

 private:
  void rebuild();
  void placeTimeAxis();

  QChart *chart_;
  QLineSeries *line_;
  QCategoryAxis *ohmAxis_;
  QValueAxis *linearTime_;
  QLogValueAxis *logTime_Axis_;
  std::vector<QScatterSeries *> markSeries_;
  std::vector<QLineSeries *> markLines_;
  QScatterSeries *overRangeSeries_;
  QList<QPointF> curve_;      // seconds, ohms
  QList<QPointF> overRange_;  // seconds, the range's top in ohms
  std::vector<Mark> marks_;
  double durationS_ = 0;
  bool logTime_ = false;
};

}  // namespace vexal
