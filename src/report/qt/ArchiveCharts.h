#pragma once
// The Archive window's two charts. The trend: an asset's R(1 min) at 40 °C on a logarithmic
// axis in ohms and its PI, against the date of each test, points coloured by verdict, the
// halved ones ringed, the asset's IEEE 43 minimums drawn as dashed lines. The overlay: the
// resistance-time curves of the tests chosen, one colour each.

#include <QImage>
#include <QString>
#include <QtCharts/QChartView>
#include <QtCharts/QScatterSeries>
#include <vector>

#include "analysis/InsulationRuns.h"
#include "report/AssetHistory.h"

class QCategoryAxis;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace vexal {

// A chart view drawn at `size` pixels (for a report), whatever the widget's size.
QImage chartPicture(QChartView &view, QSize size);

class AssetTrendChart : public QChartView {
  Q_OBJECT
 public:
  explicit AssetTrendChart(QWidget *parent = nullptr);

  void setTrend(const AssetTrend &trend);
  const AssetTrend &trend() const { return trend_; }
  // The series, by name ("pass", "fail", "no verdict", "halved", "PI", "Min PI", ...).
  QAbstractSeries *series(const QString &name) const;

 private:
  QScatterSeries *scatter(const QString &name, const QColor &colour, bool onPiAxis,
                          QScatterSeries::MarkerShape shape, double size);
  QLineSeries *line(const QString &name, const QPen &pen, bool onPiAxis);
  void placeAxes();
  void placeYears(double &first, double &last);

  QChart *chart_;
  QDateTimeAxis *dates_;
  QCategoryAxis *ohms_;
  QValueAxis *pi_;
  QLineSeries *resistanceLine_, *piLine_, *minimumResistance_, *minimumPi_;
  QScatterSeries *pass_, *fail_, *other_, *halved_, *piPass_, *piFail_, *piOther_;
  AssetTrend trend_;
};

// One test's curve in the overlay.
struct OverlayCurve {
  QString name;  // "2024-05-02 2500 V"
  std::vector<RunPoint> points;
};

class CurveOverlayChart : public QChartView {
  Q_OBJECT
 public:
  explicit CurveOverlayChart(QWidget *parent = nullptr);

  void setCurves(const std::vector<OverlayCurve> &curves);
  int curveCount() const { return static_cast<int>(lines_.size()); }

 private:
  QChart *chart_;
  QCategoryAxis *ohms_;
  QValueAxis *minutes_;
  std::vector<QLineSeries *> lines_;
};

}  // namespace vexal
