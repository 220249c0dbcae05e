#pragma once
// One of the trend chart's two series (the area or the line) as toolkit series.

#include <QList>
#include <QPointF>
#include <vector>

class QAbstractAxis;
class QAbstractSeries;
class QAreaSeries;
class QChart;
class QLineSeries;

namespace vexal {

// One stretch of trace as drawn: its points in axis units and the value axis it is drawn
// against, with the foot of that axis (where the fill ends).
struct Trace {
  QAbstractAxis *axis = nullptr;
  double foot = 0;
  QList<QPointF> points;
};

// A gap in the readings, or a change of quantity, splits the trace into runs; each run is a
// toolkit series of its own, kept for reuse, so the series as a whole shows or hides
// together and is never handed more than one page of points. A run of a single reading
// shows as a marker.
class TraceSeries {
 public:
  TraceSeries(QChart *chart, QAbstractAxis *x, bool area) : chart_(chart), x_(x), area_(area) {}

  void setTraces(const std::vector<Trace> &traces, bool shown);

 private:
  struct Part {
    QLineSeries *line = nullptr;
    QLineSeries *foot = nullptr;  // the fill's lower edge (area only)
    QAreaSeries *area = nullptr;
    QAbstractAxis *axis = nullptr;
    QAbstractSeries *series() const;
  };

  void attach(Part &part, QAbstractAxis *axis);
  void addPart();

  QChart *chart_;
  QAbstractAxis *x_;
  bool area_;
  std::vector<Part> parts_;
};

}  // namespace vexal
