#include "record/qt/TraceSeries.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>

namespace vexal {

namespace {

QList<QPointF> footOf(const Trace &trace) {
  QList<QPointF> foot;
  foot.reserve(trace.points.size());
  for (const QPointF &p : trace.points) foot.append(QPointF(p.x(), trace.foot));
  return foot;
}

}  // namespace

QAbstractSeries *TraceSeries::Part::series() const {
  return area ? static_cast<QAbstractSeries *>(area) : line;
}

void TraceSeries::setTraces(const std::vector<Trace> &traces, bool shown) {
  while (parts_.size() < traces.size()) addPart();
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    Part &part = parts_[i];
    if (i < traces.size()) {
      const Trace &trace = traces[i];
      part.line->replace(trace.points);
      const bool lone = trace.points.size() == 1;
      if (part.area) {
        part.foot->replace(footOf(trace));
        part.area->setPointsVisible(lone);
      } else {
        part.line->setPointsVisible(lone);
      }
      attach(part, trace.axis);
    } else if (part.line->count() > 0) {
      part.line->clear();
      if (part.foot) part.foot->clear();
    }
    part.series()->setVisible(shown && i < traces.size());
  }
}

void TraceSeries::attach(Part &part, QAbstractAxis *axis) {
  if (part.axis == axis) return;
  if (part.axis) part.series()->detachAxis(part.axis);
  part.series()->attachAxis(axis);
  part.axis = axis;
}

void TraceSeries::addPart() {
  Part part;
  part.line = new QLineSeries(chart_);
  part.line->setMarkerSize(7);
  QAbstractSeries *series = part.line;
  if (area_) {
    part.foot = new QLineSeries(chart_);
    part.area = new QAreaSeries(part.line, part.foot);
    part.area->setColor(QColor(255, 255, 128));
    part.area->setBorderColor(QColor(0, 128, 255));
    part.area->setPen(QPen(QColor(0, 128, 255), 1));
    part.line->setColor(QColor(0, 128, 255));
    series = part.area;
  } else {
    part.line->setColor(Qt::red);
    part.line->setPen(QPen(QColor(128, 255, 0), 2));
  }
  chart_->addSeries(series);
  series->attachAxis(x_);
  for (QLegendMarker *marker : chart_->legend()->markers(series)) marker->setVisible(false);
  parts_.push_back(part);
}

}  // namespace vexal
