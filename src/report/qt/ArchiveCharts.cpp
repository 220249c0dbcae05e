#include "report/qt/ArchiveCharts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimeZone>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/qt/Fonts.h"
#include "record/ChartPoints.h"
#include "record/qt/TrendChart.h"

namespace vexal {

namespace {

const QColor kPassColour(0, 150, 0), kFailColour(210, 0, 0), kOtherColour(120, 120, 120);
const QColor kResistanceColour(0, 110, 220), kPiColour(150, 70, 200);
constexpr double kDayMs = 86'400'000.0;

// The chart's x of a trend mark: its date and time where the axis shows them (local time).
double axisMs(std::int64_t utcMs) {
  const QDateTime utc = QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc());
  return static_cast<double>(QDateTime(utc.date(), utc.time()).toMSecsSinceEpoch());
}

void hideFromLegend(QChart *chart, QAbstractSeries *series) {
  for (QLegendMarker *m : chart->legend()->markers(series)) m->setVisible(false);
}

// Decade labels "1 MΩ", "10 MΩ"... on a category axis drawn over log10 of the ohms.
void labelDecades(QCategoryAxis *axis, const ChartRange &decades) {
  for (const QString &label : axis->categoriesLabels()) axis->remove(label);
  axis->setStartValue(decades.min - 1e-6);
  for (int e = static_cast<int>(decades.min); e <= static_cast<int>(decades.max); ++e)
    axis->append(TrendChart::ohmDecadeLabel(e), e);
  axis->setRange(decades.min, decades.max);
}

QCategoryAxis *ohmAxis(QChart *chart) {
  auto *axis = new QCategoryAxis(chart);
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axis->setLabelsFont(arial(11));
  chart->addAxis(axis, Qt::AlignLeft);
  return axis;
}

QChart *newChart() {
  auto *chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(4, 4, 8, 4));
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->legend()->setFont(arial(10));
  chart->legend()->setShowToolTips(true);  // a name cut short shows whole under the mouse
  return chart;
}

}  // namespace

QImage chartPicture(QChartView &view, QSize size) {
  // The chart is laid out again at the picture's size, drawn, and given back its own.
  QChart *chart = view.chart();
  const QSizeF before = chart->size();
  chart->resize(size);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  view.scene()->render(&painter, QRectF(QPointF(0, 0), size), QRectF(chart->pos(), QSizeF(size)));
  painter.end();
  chart->resize(before);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  return image;
}

// --- The trend -----------------------------------------------------------------------------

AssetTrendChart::AssetTrendChart(QWidget *parent) : QChartView(newChart(), parent) {
  chart_ = chart();
  setRenderHint(QPainter::Antialiasing);
  dates_ = new QDateTimeAxis(chart_);
  dates_->setFormat(QStringLiteral("yyyy-MM-dd"));
  dates_->setLabelsFont(arial(11));
  dates_->setTickCount(6);
  chart_->addAxis(dates_, Qt::AlignBottom);
  ohms_ = ohmAxis(chart_);
  ohms_->setTitleText(QStringLiteral("R(1 min) at 40 \u00B0C"));
  pi_ = new QValueAxis(chart_);
  pi_->setLabelsFont(arial(11));
  pi_->setLabelFormat(QStringLiteral("%.1f"));
  pi_->setTitleText(QStringLiteral("PI"));
  chart_->addAxis(pi_, Qt::AlignRight);

  resistanceLine_ = line(QStringLiteral("R 40 \u00B0C"), QPen(kResistanceColour, 2), false);
  piLine_ = line(QStringLiteral("PI"), QPen(kPiColour, 2, Qt::DotLine), true);
  minimumResistance_ = line(QStringLiteral("Min R"), QPen(kFailColour, 1.5, Qt::DashLine), false);
  minimumPi_ = line(QStringLiteral("Min PI"), QPen(kPiColour, 1.5, Qt::DashDotLine), true);
  using Shape = QScatterSeries::MarkerShape;
  halved_ = scatter(QStringLiteral("halved"), Qt::transparent, false, Shape::MarkerShapeCircle, 22);
  halved_->setPen(QPen(kFailColour, 2.5));
  pass_ = scatter(QStringLiteral("pass"), kPassColour, false, Shape::MarkerShapeCircle, 12);
  fail_ = scatter(QStringLiteral("fail"), kFailColour, false, Shape::MarkerShapeCircle, 12);
  other_ = scatter(QStringLiteral("no verdict"), kOtherColour, false, Shape::MarkerShapeCircle, 12);
  piPass_ = scatter(QStringLiteral("PI pass"), kPassColour, true, Shape::MarkerShapeRectangle, 10);
  piFail_ = scatter(QStringLiteral("PI fail"), kFailColour, true, Shape::MarkerShapeRectangle, 10);
  piOther_ =
      scatter(QStringLiteral("PI other"), kOtherColour, true, Shape::MarkerShapeRectangle, 10);
  // The axes' titles name the two lines; the legend tells the marks and the minimums.
  for (QXYSeries *s :
       std::initializer_list<QXYSeries *>{resistanceLine_, piLine_, piPass_, piFail_, piOther_})
    hideFromLegend(chart_, s);
  setTrend({});
}

QLineSeries *AssetTrendChart::line(const QString &name, const QPen &pen, bool onPiAxis) {
  auto *series = new QLineSeries(chart_);
  series->setName(name);
  series->setPen(pen);
  chart_->addSeries(series);
  series->attachAxis(dates_);
  series->attachAxis(onPiAxis ? static_cast<QAbstractAxis *>(pi_) : ohms_);
  return series;
}

QScatterSeries *AssetTrendChart::scatter(const QString &name, const QColor &colour, bool onPiAxis,
                                         QScatterSeries::MarkerShape shape, double size) {
  auto *series = new QScatterSeries(chart_);
  series->setName(name);
  series->setColor(colour);
  series->setBorderColor(Qt::white);
  series->setMarkerShape(shape);
  series->setMarkerSize(size);
  chart_->addSeries(series);
  series->attachAxis(dates_);
  series->attachAxis(onPiAxis ? static_cast<QAbstractAxis *>(pi_) : ohms_);
  return series;
}

QAbstractSeries *AssetTrendChart::series(const QString &name) const {
  for (QAbstractSeries *s : chart_->series())
    if (s->name() == name) return s;
  return nullptr;
}

void AssetTrendChart::setTrend(const AssetTrend &trend) {
  trend_ = trend;
  auto byVerdict = [](const TrendMark &m) {
    return m.verdict == kVerdictPass ? 0 : m.verdict == kVerdictFail ? 1 : 2;
  };
  QList<QPointF> resistance, pi, marks[3], piMarks[3], halved;
  for (const TrendMark &m : trend.resistance) {
    const QPointF p(axisMs(m.msSinceEpoch), std::log10(std::max(m.value, 1.0)));
    resistance.append(p);
    marks[byVerdict(m)].append(p);
    if (m.halved) halved.append(p);
  }
  for (const TrendMark &m : trend.pi) {
    const QPointF p(axisMs(m.msSinceEpoch), m.value);
    pi.append(p);
    piMarks[byVerdict(m)].append(p);
  }
  resistanceLine_->replace(resistance);
  piLine_->replace(pi);
  pass_->replace(marks[0]);
  fail_->replace(marks[1]);
  other_->replace(marks[2]);
  piPass_->replace(piMarks[0]);
  piFail_->replace(piMarks[1]);
  piOther_->replace(piMarks[2]);
  halved_->replace(halved);
  placeAxes();
}

// Tests over years: the axis runs from the new year before the first to the one after the
// last, a tick and a label at each new year (every second or fifth year over a decade or
// more). The axis spaces its ticks evenly in time while leap years are a day longer, so the
// range starts a day into the year: no tick then falls on the last day of the year before.
void AssetTrendChart::placeYears(double &first, double &last) {
  // (from two days before the first test, so that a test of 1 January lies in the range)
  const int from =
      QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - 2 * kDayMs)).date().year();
  int years = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)).date().year() + 1 - from;
  const int step = years <= 10 ? 1 : years <= 20 ? 2 : 5;
  years = (years + step - 1) / step * step;
  const QDateTime start = QDate(from, 1, 2).startOfDay(),
                  end = QDate(from + years, 1, 2).startOfDay();
  first = static_cast<double>(start.toMSecsSinceEpoch());
  last = static_cast<double>(end.toMSecsSinceEpoch());
  dates_->setRange(start, end);
  dates_->setFormat(QStringLiteral("yyyy"));
  dates_->setTickCount(years / step + 1);
}

void AssetTrendChart::placeAxes() {
  // The dates with a margin either side; a month either way around a single test.
  double first = axisMs(trend_.firstMs), last = axisMs(trend_.lastMs);
  if (trend_.resistance.empty() && trend_.pi.empty()) {
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
    first = now - 365 * kDayMs, last = now;
  }
  if (last - first > 2 * 365 * kDayMs) {
    placeYears(first, last);
  } else {
    // Days where the tests lie within a year or two.
    const double margin = std::max((last - first) * 0.05, 30 * kDayMs);
    first -= margin, last += margin;
    dates_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)));
    dates_->setFormat(QStringLiteral("yyyy-MM-dd"));
    dates_->setTickCount(4);
  }

  ChartRun ohms{QuantityKind::Resistance, {}};
  for (const TrendMark &m : trend_.resistance) ohms.points.push_back({0, m.value});
  if (trend_.minimumResistance) ohms.points.push_back({0, *trend_.minimumResistance});
  const ChartRange decades = axesFor({ohms}).ohmDecades.value_or(ChartRange{6, 11});
  labelDecades(ohms_, decades);

  double piTop = trend_.minimumPi.value_or(2.0);
  for (const TrendMark &m : trend_.pi) piTop = std::max(piTop, m.value);
  pi_->setRange(0, std::ceil(piTop * 1.2));

  auto across = [&](double y) { return QList<QPointF>{QPointF(first, y), QPointF(last, y)}; };
  minimumResistance_->replace(
      trend_.minimumResistance ? across(std::log10(*trend_.minimumResistance)) : QList<QPointF>{});
  minimumPi_->replace(trend_.minimumPi ? across(*trend_.minimumPi) : QList<QPointF>{});
  minimumResistance_->setName(
      trend_.minimumResistance
          ? QStringLiteral("Min R ") + QString::fromStdString(formatOhms(*trend_.minimumResistance))
          : QStringLiteral("Min R"));
}

// --- The overlay ---------------------------------------------------------------------------

CurveOverlayChart::CurveOverlayChart(QWidget *parent) : QChartView(newChart(), parent) {
  chart_ = chart();
  chart_->legend()->setAlignment(Qt::AlignRight);  // the dates one under the other
  setRenderHint(QPainter::Antialiasing);
  ohms_ = ohmAxis(chart_);
  minutes_ = new QValueAxis(chart_);
  minutes_->setLabelsFont(arial(11));
  minutes_->setLabelFormat(QStringLiteral("%g"));
  minutes_->setTitleText(QStringLiteral("minutes"));
  chart_->addAxis(minutes_, Qt::AlignBottom);
  setCurves({});
}

void CurveOverlayChart::setCurves(const std::vector<OverlayCurve> &curves) {
  static const QColor kColours[] = {QColor(0, 110, 220), QColor(220, 120, 0),  QColor(0, 150, 0),
                                    QColor(190, 0, 60),  QColor(120, 60, 200), QColor(0, 150, 150),
                                    QColor(120, 120, 0), QColor(90, 90, 90)};
  for (QLineSeries *line : lines_) {
    chart_->removeSeries(line);
    delete line;
  }
  lines_.clear();
  ChartRun ohms{QuantityKind::Resistance, {}};
  double endMinutes = 1;
  for (const OverlayCurve &curve : curves)
    for (const RunPoint &p : curve.points)
      if (p.ohms) {
        ohms.points.push_back({0, *p.ohms});
        endMinutes = std::max(endMinutes, static_cast<double>(p.elapsedMs) / 60'000.0);
      }
  const ChartRange decades = axesFor({ohms}).ohmDecades.value_or(ChartRange{6, 11});
  labelDecades(ohms_, decades);
  minutes_->setRange(0, std::ceil(endMinutes));
  for (std::size_t i = 0; i < curves.size(); ++i) {
    auto *line = new QLineSeries(chart_);
    line->setName(curves[i].name);
    line->setPen(QPen(kColours[i % std::size(kColours)], 2));
    QList<QPointF> points;
    for (const RunPoint &p : curves[i].points)
      if (p.ohms && *p.ohms > 0)
        points.append(QPointF(static_cast<double>(p.elapsedMs) / 60'000.0, std::log10(*p.ohms)));
    line->replace(points);
    chart_->addSeries(line);
    line->attachAxis(minutes_);
    line->attachAxis(ohms_);
    lines_.push_back(line);
  }
}

}  // namespace vexal
