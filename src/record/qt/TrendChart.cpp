#include "record/qt/TrendChart.h"

#include "common/qt/KeyFilter.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRubberBand>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <limits>
#include <random>

#include "common/Cp936.h"
#include "record/DataFiles.h"
#include "record/Recorder.h"
#include "record/TimeOfDay.h"
#include "record/qt/TraceSeries.h"

namespace vexal {

namespace {

const QColor kSilver(192, 192, 192);
constexpr double kPlaceholderAxis = 11000;
constexpr int kEnlargeTopLimit = 50;
constexpr int kTallWindow = 600;
constexpr int kShortenedWindow = 564;

QFont arial(int pixelSize, bool italic = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setItalic(italic);
  return font;
}

}  // namespace

TrendChart::TrendChart(ReadingTable &table, TrendChartHost host, QWidget *parent)
    : QWidget(parent),
      table_(table),
      host_(std::move(host)),
      ownClock_(host_.clock ? nullptr : std::make_unique<SystemDateTimeClock>()),
      points_(table),
      tableGeneration_(table.generation()) {
  setObjectName(QStringLiteral("Chtshow"));
  if (!host_.clock) host_.clock = ownClock_.get();
  createChart();
  createToolBar();
  connectToolBar();
  table_.addObserver(this);
  // Start-up: the series hold their placeholder point and the area series shows; the rows
  // already in the table (none at start-up) are not plotted.
  points_.startAfterLastRow();
  paging_.setMaxPointsPerPage(ChartPaging::kDefaultPointsPerPage);
  resetPlaceholder();
  ShowSeries(BtFill->isChecked() ? kAreaSeries : kLineSeries);
}

TrendChart::~TrendChart() {
  table_.removeObserver(this);
}

// --- Make-up -----------------------------------------------------------------------------

void TrendChart::createChart() {
  chart_ = new QChart;
  chart_->setAnimationOptions(QChart::NoAnimation);
  QLinearGradient gradient(0, 0, 0, 1);
  gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
  gradient.setColorAt(0, kSilver);
  gradient.setColorAt(1, Qt::white);
  chart_->setBackgroundBrush(gradient);
  chart_->setBackgroundPen(QPen(kSilver));
  chart_->setBackgroundRoundness(0);
  chart_->setPlotAreaBackgroundVisible(true);
  chart_->setPlotAreaBackgroundBrush(Qt::white);
  chart_->setPlotAreaBackgroundPen(QPen(kSilver));
  chart_->setMargins(QMargins(1, 2, 8, 1));
  chart_->setTitle(QStringLiteral("  "));
  chart_->setTitleFont(arial(13));
  chart_->setTitleBrush(Qt::black);
  chart_->legend()->hide();

  // Before any reading the chart shows its placeholder point against a fixed axis; readings
  // are drawn in ohms on a logarithmic axis labelled by decade, or in volts.
  axisY_ = new QValueAxis(chart_);
  axisY_->setRange(-kPlaceholderAxis, kPlaceholderAxis);
  axisY_->setTickCount(5);
  axisY_->setMinorTickCount(4);
  axisY_->setLabelFormat(QStringLiteral("%.0f"));
  axisY_->setLabelsFont(arial(10));
  axisOhms_ = new QCategoryAxis(chart_);
  axisOhms_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  axisOhms_->setLabelsFont(arial(10));
  axisVolts_ = new QValueAxis(chart_);
  axisVolts_->setTickCount(5);
  axisVolts_->setLabelFormat(QStringLiteral("%.4g V"));
  axisVolts_->setLabelsFont(arial(10));
  axisX_ = new QValueAxis(chart_);
  axisX_->setLabelFormat(QStringLiteral("%.0f"));
  axisX_->setTickType(QValueAxis::TicksDynamic);
  axisX_->setLabelsFont(arial(10));
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  chart_->addAxis(axisOhms_, Qt::AlignLeft);
  chart_->addAxis(axisVolts_, Qt::AlignLeft);

  // The left wall: a yellow strip along the left edge of the back wall.
  leftWall_ = new QGraphicsRectItem(chart_);
  leftWall_->setBrush(Qt::yellow);
  leftWall_->setPen(Qt::NoPen);
  leftWall_->setZValue(0.5);  // over the back wall, under the grid and the series
  connect(chart_, &QChart::plotAreaChanged, this, [this] { plotAreaChanged(); });

  Series2 = std::make_unique<TraceSeries>(chart_, axisX_, true);
  Series1 = std::make_unique<TraceSeries>(chart_, axisX_, false);

  view_ = new QChartView(chart_, this);
  view_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  band_ = new QRubberBand(QRubberBand::Rectangle, view_->viewport());
  view_->viewport()->setCursor(Qt::CrossCursor);
  view_->setMouseTracking(true);
  view_->viewport()->installEventFilter(this);
  QPalette palette = view_->palette();
  palette.setColor(QPalette::Window, kSilver);
  view_->setPalette(palette);
  view_->setBackgroundBrush(kSilver);
}

void TrendChart::placeWall() {
  const QRectF plot = chart_->plotArea();
  leftWall_->setRect(QRectF(plot.left(), plot.top(), ChartScales::kWallWidth, plot.height()));
}

// The wall's width in axis units, and the room between the labels, follow the plot's size.
void TrendChart::plotAreaChanged() {
  placeWall();
  const QRectF plot = chart_->plotArea();
  // Setting the axes lays the chart out again at once; a width that the new labels change
  // once more is taken at the next change.
  if (!scales_.setPlotSize(plot.width(), plot.height()) || fittingPlot_) return;
  fittingPlot_ = true;
  applyAxes();
  fittingPlot_ = false;
}

void TrendChart::createToolBar() {
  auto button = [this](QStyle::StandardPixmap icon, const QString &hint, QRect place) {
    auto *b = new QToolButton(this);
    b->setIcon(style()->standardIcon(icon));
    b->setIconSize(QSize(14, 14));
    b->setToolTip(hint);
    b->setGeometry(place);
    b->setCursor(Qt::ArrowCursor);
    return b;
  };
  BtFillFrame = new QFrame(this);
  BtFillFrame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  BtFillFrame->setGeometry(2, 2, 40, 20);
  BtFill = new QCheckBox(QStringLiteral("Fill"), this);
  BtFill->setGeometry(1, 5, 36, 17);
  BtFill->setChecked(true);
  BtFill->setToolTip(QStringLiteral("Graphic Fill"));
  BtFill->setCursor(Qt::ArrowCursor);
  BtFill->setAutoFillBackground(true);
  BtFill->setBackgroundRole(QPalette::Window);
  BtFill->move(4, 4);
  BtFill->resize(36, 16);
  QPalette silver = BtFill->palette();
  silver.setColor(QPalette::Window, kSilver);
  silver.setColor(QPalette::Base, kSilver);
  BtFill->setPalette(silver);

  Maxrecord = new QLineEdit(QStringLiteral("100"), this);
  Maxrecord->setGeometry(48, 3, 41, 21);
  Maxrecord->setPalette(silver);
  Maxrecord->setCursor(Qt::ArrowCursor);
  Maxrecord->installEventFilter(this);

  BtSave =
      button(QStyle::SP_DialogSaveButton, QStringLiteral("Save  Active Graphic"), {93, 3, 35, 21});
  BtNew = button(QStyle::SP_TrashIcon, QStringLiteral("Delete Graphic"), {127, 3, 35, 21});
  BtFirst = button(QStyle::SP_MediaSkipBackward, QStringLiteral("First"), {163, 3, 25, 21});
  QFont bold = BtFirst->font();
  bold.setBold(true);
  BtFirst->setFont(bold);
  BTPrevious = button(QStyle::SP_MediaSeekBackward, QStringLiteral("Previous"), {187, 3, 25, 21});
  Bt10 = new QPushButton(QStringLiteral("1"), this);
  Bt10->setGeometry(211, 3, 25, 21);
  Bt10->setToolTip(QStringLiteral("Page No."));
  Bt10->setCursor(Qt::ArrowCursor);
  QPalette blue = Bt10->palette();
  blue.setColor(QPalette::ButtonText, Qt::blue);
  Bt10->setPalette(blue);
  BtNext = button(QStyle::SP_MediaSeekForward, QStringLiteral("Next"), {235, 3, 25, 21});
  BTlast = button(QStyle::SP_MediaSkipForward, QStringLiteral("last"), {263, 3, 25, 21});
  TbFd = button(QStyle::SP_TitleBarMaxButton, QStringLiteral("Graphic Enlarge"), {288, 3, 25, 25});
  TbSx =
      button(QStyle::SP_TitleBarNormalButton, QStringLiteral("Graphic Restore"), {288, 4, 25, 25});
  TbFd->setAutoRaise(true);
  TbSx->setAutoRaise(true);
  TbSx->hide();
  BtInsulation = button(QStyle::SP_FileDialogContentsView, QStringLiteral("Insulation Test"),
                        {318, 3, 25, 21});
  BtInsulation->setObjectName(QStringLiteral("BtInsulation"));
}

void TrendChart::connectToolBar() {
  // An error escaping a tool-bar handler goes to the error box, and the chart goes on.
  auto guarded = [this](void (TrendChart::*handler)()) {
    return [this, handler] {
      try {
        (this->*handler)();
      } catch (const std::exception &e) {
        if (host_.showError) host_.showError(QString::fromUtf8(e.what()));
      }
    };
  };
  connect(BtFill, &QCheckBox::toggled, this, guarded(&TrendChart::BtFillClick));
  connect(Maxrecord, &QLineEdit::textChanged, this, guarded(&TrendChart::MaxrecordChange));
  connect(BtSave, &QToolButton::clicked, this, guarded(&TrendChart::BtSaveClick));
  connect(BtNew, &QToolButton::clicked, this, guarded(&TrendChart::BtNewClick));
  connect(BtFirst, &QToolButton::clicked, this, guarded(&TrendChart::BtFirstClick));
  connect(BTPrevious, &QToolButton::clicked, this, guarded(&TrendChart::BTPreviousClick));
  connect(BtNext, &QToolButton::clicked, this, guarded(&TrendChart::BtNextClick));
  connect(BTlast, &QToolButton::clicked, this, guarded(&TrendChart::BTlastClick));
  connect(TbFd, &QToolButton::clicked, this, guarded(&TrendChart::TbSxClick));
  connect(TbSx, &QToolButton::clicked, this, guarded(&TrendChart::TbSxClick));
  connect(BtInsulation, &QToolButton::clicked, this, &TrendChart::insulationTestRequested);
}

void TrendChart::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  view_->setGeometry(rect());
}

bool TrendChart::eventFilter(QObject *watched, QEvent *event) {
  if (watched == Maxrecord && event->type() == QEvent::KeyPress) {
    return discardTypedKey(*static_cast<QKeyEvent *>(event),
                           [this](char &key) { MaxrecordKeyPress(key); });
  }
  if (watched != view_->viewport()) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::ToolTip) {
    // The scene has no tips of its own: left to it, its empty tip would hide the reading's
    // while the mouse rests.
    showPointTip(static_cast<QHelpEvent *>(event)->pos());
    return true;
  }
  if (event->type() == QEvent::MouseMove)
    showPointTip(static_cast<QMouseEvent *>(event)->position().toPoint());
  return dragEvent(event) || QWidget::eventFilter(watched, event);
}

// A rectangle dragged with the left button zooms into it; a right click ends the zoom.
bool TrendChart::dragEvent(QEvent *event) {
  const auto type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonRelease)
    return false;
  const auto *mouse = static_cast<QMouseEvent *>(event);
  const QPoint at = mouse->position().toPoint();
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
    endZoom();
    return true;
  }
  if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
    dragFrom_ = at;
    band_->setGeometry(QRect(at, QSize()));
    band_->show();
    return true;
  }
  if (!dragFrom_) return false;
  const QRect dragged = QRect(*dragFrom_, at).normalized();
  band_->setGeometry(dragged);
  if (type != QEvent::MouseButtonRelease || mouse->button() != Qt::LeftButton) return false;
  band_->hide();
  dragFrom_.reset();
  const QPointF plot = chart_->plotArea().topLeft();
  const QRectF inPlot =
      chart_->mapFromScene(view_->mapToScene(dragged)).boundingRect().translated(-plot);
  if (scales_.zoomTo(inPlot.left(), inPlot.top(), inPlot.right(), inPlot.bottom())) redraw();
  return true;
}

void TrendChart::endZoom() {
  scales_.endZoom();
  redraw();
}

// The tip over the trace stays while the mouse rests near the reading it names.
void TrendChart::showPointTip(QPoint inViewport) {
  const QPointF inChart = chart_->mapFromScene(view_->mapToScene(inViewport));
  const QString tip = pointTipAt(inChart);
  if (tip.isEmpty()) {
    QToolTip::hideText();
    return;
  }
  if (QToolTip::isVisible() && QToolTip::text() == tip) return;
  constexpr int kHalfWidth = 6;
  const QRect stays(inViewport.x() - kHalfWidth, 0, 2 * kHalfWidth, view_->viewport()->height());
  QToolTip::showText(view_->viewport()->mapToGlobal(inViewport), tip, view_->viewport(), stays,
                     std::numeric_limits<int>::max());
}

QString TrendChart::pointTipAt(QPointF chartPosition) const {
  const QRectF plot = chart_->plotArea();
  if (!plot.contains(chartPosition) || points_.count() == 0 || axisX_->max() <= axisX_->min())
    return {};
  // X alone decides: the axis is shared by every trace.
  const double perPixel = (axisX_->max() - axisX_->min()) / plot.width();
  const double x = axisX_->min() + (chartPosition.x() - plot.left()) * perPixel;
  const auto index = points_.nearest(paging_.firstPointOfPage(), paging_.pointsOnPage(), x);
  if (!index) return {};
  constexpr double kNear = 30;  // pixels
  if (std::abs(points_.xOf(*index) - x) / perPixel > kNear) return {};
  const TableRowView row = table_.view(points_.rowOf(*index));
  auto text = [](std::optional<std::string_view> t) {
    return QString::fromStdString(cp936ToUtf8(std::string(t.value_or(""))));
  };
  return QStringLiteral("No. %1\n%2\n%3 %4")
      .arg(row.no ? QString::number(*row.no) : QString())
      .arg(row.timeMs ? QString::fromStdString(formatLongTime(*row.timeMs)) : QString())
      .arg(text(row.value), text(row.unit));
}

// --- Series and pages --------------------------------------------------------------------

void TrendChart::ShowSeries(int index) {
  shown_ = index;
  redraw();
}

void TrendChart::resetPlaceholder() {
  // A small value somewhere in the lower part of the axis, like the toolkit's sample fill.
  static std::mt19937 random{std::random_device{}()};
  placeholderY_ = std::uniform_real_distribution<double>(0, 1000)(random);
}

void TrendChart::redraw() {
  PageRanges page{paging_.firstPointOfPage(), paging_.pageCapacity(), {}, {}, {}, {}};
  std::vector<Trace> traces;
  if (points_.count() == 0) {
    runs_.clear();
    page.x = {0, double(std::max<std::size_t>(page.capacity, 2) - 1)};
    page.fixed = ChartRange{-kPlaceholderAxis, kPlaceholderAxis};
    scales_.setPage(page);
    traces.push_back({axisY_, -kPlaceholderAxis, {QPointF(0, placeholderY_)}});
  } else {
    page.x = points_.pageXRange(page.firstPoint, page.capacity);
    const int columns = std::max(1, static_cast<int>(chart_->plotArea().width()));
    runs_ =
        points_.runs(page.firstPoint, paging_.pointsOnPage(), page.x, std::max(columns, width()));
    const ChartAxes axes = axesFor(runs_);
    page.ohmDecades = axes.ohmDecades;
    page.volts = axes.volts;
    scales_.setPage(page);
    for (const DrawnRun &run : scales_.drawnRuns(runs_)) {
      Trace trace{run.kind == QuantityKind::Resistance ? axisOhms_ : axisVolts_, run.foot, {}};
      for (const ChartXY &p : run.points) trace.points.append(QPointF(p.x, p.y));
      traces.push_back(std::move(trace));
    }
  }
  applyAxes();
  Series2->setTraces(shown_ == kAreaSeries ? traces : std::vector<Trace>(), shown_ == kAreaSeries);
  Series1->setTraces(shown_ == kLineSeries ? traces : std::vector<Trace>(), shown_ == kLineSeries);
}

void TrendChart::applyAxes() {
  const ChartRange x = scales_.x();
  const LinearTicks xTicks = scales_.xTicks();
  axisX_->setRange(x.min, x.max);
  axisX_->setTickAnchor(xTicks.anchor);
  axisX_->setTickInterval(xTicks.interval);
  const auto fixed = scales_.fixed(), volts = scales_.volts(), decades = scales_.ohmDecades();
  axisY_->setVisible(fixed.has_value());
  if (fixed) axisY_->setRange(fixed->min, fixed->max);
  axisVolts_->setVisible(volts.has_value());
  if (volts) axisVolts_->setRange(volts->min, volts->max);
  axisOhms_->setVisible(decades.has_value());
  if (decades) setOhmTicks(scales_.ohmTicks());
}

// A category ends at each tick, where its label stands; the first begins just below the
// axis's foot so that its label stands there.
void TrendChart::setOhmTicks(const std::vector<AxisTick> &ticks) {
  QStringList labels;
  for (const AxisTick &tick : ticks) labels.append(QString::fromStdString(tick.label));
  const double low = ticks.front().at, high = ticks.back().at;
  if (axisOhms_->categoriesLabels() == labels && axisOhms_->min() == low &&
      axisOhms_->max() == high)
    return;
  for (const QString &label : axisOhms_->categoriesLabels()) axisOhms_->remove(label);
  axisOhms_->setStartValue(low - 1e-6);
  for (std::size_t i = 0; i < ticks.size(); ++i)
    axisOhms_->append(labels[qsizetype(i)], ticks[i].at);
  axisOhms_->setRange(low, high);
}

QString TrendChart::ohmDecadeLabel(int exponent) {
  return QString::fromStdString(ohmLabel(std::pow(10.0, exponent)));
}

void TrendChart::showNavigation() {
  const NavigationState &nav = paging_.navigation();
  BtFirst->setEnabled(nav.first);
  BTPrevious->setEnabled(nav.previous);
  BtNext->setEnabled(nav.next);
  BTlast->setEnabled(nav.last);
  Bt10->setText(QString::fromStdString(paging_.caption()));
}

void TrendChart::pointsChanged(bool pageMayHaveChanged) {
  const std::size_t before = paging_.firstPointOfPage() + paging_.pointsOnPage();
  const bool wasEmpty = before == 0;
  // A page turned by the readings ends the zoom (the scales see another page).
  const bool moved = paging_.setPointCount(points_.count());
  showNavigation();
  // A new row on another page leaves the page shown as it is.
  const bool grewShownPage = paging_.firstPointOfPage() + paging_.pointsOnPage() != before;
  if (moved || pageMayHaveChanged || wasEmpty || grewShownPage) redraw();
}

void TrendChart::rowsAppended(std::size_t, std::size_t) {
  pointsChanged(false);
}

void TrendChart::tableReset() {
  if (table_.generation() != tableGeneration_) {
    // Delete Data or another table: the chart starts at the first row again.
    tableGeneration_ = table_.generation();
    points_.startAtFirstRow();
  }
  // Delete Data or an Open: the zoom was into readings that went.
  scales_.endZoom();
  pointsChanged(true);
}

// --- Handlers ----------------------------------------------------------------------------

void TrendChart::BtFillClick() {
  if (BtFill->isChecked()) {
    if (host_.setFillChecked) host_.setFillChecked(true);
    ShowSeries(kAreaSeries);
  } else {
    if (host_.setFillChecked) host_.setFillChecked(false);
    ShowSeries(kLineSeries);
  }
}

void TrendChart::FillPClick() {
  // The check mark turns, then the fill box follows it (its change runs BtFillClick). A
  // checkable menu item turns its own mark before it reports: the mark then differs from
  // the box already and is not turned a second time.
  bool checked = host_.fillChecked ? host_.fillChecked() : BtFill->isChecked();
  if (checked == BtFill->isChecked()) {
    checked = !checked;
    if (host_.setFillChecked) host_.setFillChecked(checked);
  }
  BtFill->setChecked(checked);
}

void TrendChart::BtNewClick() {
  points_.startAfterLastRow();
  resetPlaceholder();
  paging_.setPointCount(0);
  showNavigation();
  scales_.endZoom();
  ShowSeries(kAreaSeries);
  ShowSeries(BtFill->isChecked() ? kAreaSeries : kLineSeries);
}

void TrendChart::MaxrecordChange() {
  paging_.setMaxPointsPerPage(ChartPaging::perPageFromText(Maxrecord->text().toStdString()));
  showNavigation();
  scales_.endZoom();
  redraw();
}

void TrendChart::MaxrecordKeyPress(char &key) {
  key = Recorder::RecordSITimeKeyPress(key);
}

void TrendChart::BtFirstClick() {
  paging_.first();
  showNavigation();
  scales_.endZoom();
  redraw();
}

void TrendChart::BTPreviousClick() {
  paging_.previous();
  showNavigation();
  scales_.endZoom();
  redraw();
}

void TrendChart::BtNextClick() {
  paging_.next();
  showNavigation();
  scales_.endZoom();
  redraw();
}

void TrendChart::BTlastClick() {
  paging_.last();
  showNavigation();
  scales_.endZoom();
  redraw();
}

void TrendChart::TbSxClick() {
  if (host_.outerSize && host_.setOuterHeight && host_.outerSize().height() > kTallWindow)
    host_.setOuterHeight(kShortenedWindow);
  QWidget *client = host_.clientArea ? host_.clientArea() : parentWidget();
  QWidget *parent = parentWidget();
  const QPoint topLeft = parent ? mapTo(client, QPoint(0, 0)) : pos();
  auto place = [&](QPoint clientPoint, QSize size) {
    const QPoint at =
        parent && client != parent ? parent->mapFrom(client, clientPoint) : clientPoint;
    setGeometry(QRect(at, size));
  };
  if (topLeft.y() > kEnlargeTopLimit) {
    TbFd->hide();
    TbSx->show();
    ChartNormalBounds = {topLeft.x(), topLeft.y(), width(), height()};
    const QSize outer = host_.outerSize ? host_.outerSize() : size();
    place(QPoint(2, 30), QSize(outer.width() - 12, outer.height() - 90));
    raise();
  } else {
    TbSx->hide();
    TbFd->show();
    place(QPoint(ChartNormalBounds.left, ChartNormalBounds.top),
          QSize(ChartNormalBounds.width, ChartNormalBounds.height));
  }
}

// --- Pictures ----------------------------------------------------------------------------

QImage TrendChart::picture() {
  // Lay the chart out for its present size and page before drawing it.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QImage image(view_->size(), QImage::Format_RGB32);
  image.fill(kSilver);
  QPainter painter(&image);
  // The view and its viewport only: the tool bar lies beside them, not inside.
  static_cast<QWidget *>(view_)->render(&painter, QPoint(), QRegion(),
                                        QWidget::DrawWindowBackground | QWidget::DrawChildren);
  return image;
}

std::string TrendChart::folder() const {
  return host_.pictureFolder.empty() ? snapshotFolder() : host_.pictureFolder;
}

void TrendChart::savePicture(const std::string &path) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!picture().save(&buffer, "BMP"))
    throw EFileError("Cannot create file \"" + path + "\". The picture could not be encoded");
  writeFileReplacing(path, std::string_view(bytes.constData(), bytes.size()));
}

void TrendChart::BtSaveClick() {
  const std::string stamp = SnapshotStamp(host_.clock->now());
  const std::string path = activeSnapshotPath(folder(), stamp, Bt10->text().toStdString());
  savePicture(path);
  if (host_.showInformation) host_.showInformation(QString::fromStdString(snapshotSavedText(path)));
}

void TrendChart::SavepictureClick() {
  // Every reading of the chart on one page: the next reading's number, or more when rows
  // came from a file without numbers of their own.
  const std::int32_t recordNo = host_.recordNo ? host_.recordNo() : 1;
  const std::size_t all = std::max<std::size_t>(points_.count(), 1);
  paging_.setMaxPointsPerPage(
      std::max<std::int32_t>(recordNo, static_cast<std::int32_t>(std::min<std::size_t>(
                                           all, std::numeric_limits<std::int32_t>::max()))));
  scales_.endZoom();
  redraw();
  const std::string stamp = SnapshotStamp(host_.clock->now());
  const std::string path = wholeSnapshotPath(folder(), stamp);
  savePicture(path);
  if (host_.showInformation) host_.showInformation(QString::fromStdString(snapshotSavedText(path)));
  MaxrecordChange();
}

}  // namespace vexal
