#include "record/qt/TrendChart.h"

#include "common/qt/KeyFilter.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <charconv>
#include <limits>
#include <random>

#include "common/ConvertError.h"
#include "common/Cp936.h"
#include "record/DataFiles.h"
#include "record/Recorder.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

const QColor kSilver(192, 192, 192);
constexpr int kWallWidth = 11;
constexpr int kEnlargeTopLimit = 50;
constexpr int kTallWindow = 600;
constexpr int kShortenedWindow = 564;

QFont arial(int pixelSize, bool italic = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setItalic(italic);
  return font;
}

QList<QPointF> toQt(const ChartRun &run) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(run.size()));
  for (const ChartXY &p : run) points.append(QPointF(p.x, p.y));
  return points;
}

// A whole number as the points-per-page box holds it: an optional sign and decimal digits
// within the 32-bit signed range; anything else (also an empty box) does not convert.
std::int32_t perPageFromText(const std::string &text) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool signTwice = digits.size() < text.size() && !digits.empty() && digits.front() == '-';
  if (digits.empty() || signTwice || ec != std::errc() || end != digits.data() + digits.size())
    throw EConvertError("'" + text + "' is not a valid integer value");
  return value;
}

}  // namespace

// One of the chart's two series. A gap in the readings splits the trace into runs; each run
// is a toolkit series of its own, kept for reuse, so the series as a whole shows or hides
// together and is never handed more than one page of points.
class TraceSeries {
 public:
  TraceSeries(QChart *chart, QValueAxis *x, QValueAxis *y, bool area)
      : chart_(chart), x_(x), y_(y), area_(area) {}

  void setRuns(const std::vector<ChartRun> &runs, bool shown) {
    while (parts_.size() < runs.size()) addPart();
    for (std::size_t i = 0; i < parts_.size(); ++i) {
      Part &part = parts_[i];
      if (i < runs.size()) {
        part.line->replace(toQt(runs[i]));
      } else if (part.line->count() > 0) {
        part.line->clear();
      }
      part.shown()->setVisible(shown && i < runs.size());
    }
  }

 private:
  struct Part {
    QLineSeries *line = nullptr;
    QAreaSeries *area = nullptr;
    QAbstractSeries *shown() const { return area ? static_cast<QAbstractSeries *>(area) : line; }
  };

  void addPart() {
    Part part;
    part.line = new QLineSeries(chart_);
    QAbstractSeries *series = part.line;
    if (area_) {
      part.area = new QAreaSeries(part.line);
      part.area->setColor(QColor(255, 255, 128));
      part.area->setBorderColor(QColor(0, 128, 255));
      part.area->setPen(QPen(QColor(0, 128, 255), 1));
      series = part.area;
    } else {
      part.line->setColor(Qt::red);
      part.line->setPen(QPen(QColor(128, 255, 0), 2));
    }
    chart_->addSeries(series);
    series->attachAxis(x_);
    series->attachAxis(y_);
    for (QLegendMarker *marker : chart_->legend()->markers(series)) marker->setVisible(false);
    parts_.push_back(part);
  }

  QChart *chart_;
  QValueAxis *x_, *y_;
  bool area_;
  std::vector<Part> parts_;
};

TrendChart::TrendChart(ReadingTable &table, TrendChartHost host, QWidget *parent)
    : QWidget(parent),
      table_(table),
      host_(std::move(host)),
      ownClock_(host_.clock ? nullptr : std::make_unique<SystemDateTimeClock>()),
      points_(table, std::string()),
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

void TrendChart::setDecimalSeparator(const std::string &separator) {
  points_.setDecimalSeparator(separator);
  redraw();
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

  axisY_ = new QValueAxis(chart_);
  axisY_->setRange(-11000, 11000);
  axisY_->setTickCount(5);
  axisY_->setMinorTickCount(4);
  axisY_->setLabelFormat(QStringLiteral("%.0f"));
  axisY_->setLabelsFont(arial(10));
  axisX_ = new QValueAxis(chart_);
  axisX_->setLabelFormat(QStringLiteral("%.0f"));
  axisX_->setLabelsFont(arial(10));
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);

  // The left wall: a yellow strip along the left edge of the back wall.
  leftWall_ = new QGraphicsRectItem(chart_);
  leftWall_->setBrush(Qt::yellow);
  leftWall_->setPen(Qt::NoPen);
  leftWall_->setZValue(0.5);  // over the back wall, under the grid and the series
  connect(chart_, &QChart::plotAreaChanged, this, [this] { placeWall(); });

  Series2 = std::make_unique<TraceSeries>(chart_, axisX_, axisY_, true);
  Series1 = std::make_unique<TraceSeries>(chart_, axisX_, axisY_, false);

  view_ = new QChartView(chart_, this);
  view_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  view_->setRubberBand(QChartView::RectangleRubberBand);
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
  leftWall_->setRect(QRectF(plot.left(), plot.top(), kWallWidth, plot.height()));
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
  if (watched == view_->viewport() && event->type() == QEvent::MouseMove) {
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPointF inChart = chart_->mapFromScene(view_->mapToScene(mouse->position().toPoint()));
    const QString tip = pointTipAt(inChart);
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(mouse->globalPosition().toPoint(), tip, view_);
  }
  return QWidget::eventFilter(watched, event);
}

QString TrendChart::pointTipAt(QPointF chartPosition) const {
  if (!chart_->plotArea().contains(chartPosition) || points_.count() == 0) return {};
  const QPointF value = chart_->mapToValue(chartPosition);
  const auto index = points_.nearest(paging_.firstPointOfPage(), paging_.pointsOnPage(), value.x());
  if (!index) return {};
  const auto p = points_.point(*index);
  const QPointF at = chart_->mapToPosition(QPointF(p->x, p->y));
  constexpr double kNear = 30;  // pixels
  if (std::abs(at.x() - chartPosition.x()) > kNear) return {};
  const std::size_t row = points_.rowOf(*index);
  const auto time = table_.timeMs(row);
  const auto text = table_.text(row, Field::Value);
  const auto unit = table_.text(row, Field::Unit);
  return QStringLiteral("No. %1\n%2\n%3 %4")
      .arg(p->x, 0, 'f', 0)
      .arg(time ? QString::fromStdString(formatLongTime(*time)) : QString())
      .arg(QString::fromStdString(cp936ToUtf8(text.value_or(""))))
      .arg(QString::fromStdString(cp936ToUtf8(unit.value_or(""))));
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
  const std::size_t first = paging_.firstPointOfPage();
  const std::size_t count = paging_.pointsOnPage();
  ChartRange xRange;
  if (points_.count() == 0) {
    runs_ = {ChartRun{ChartXY{0, placeholderY_}}};
    const std::size_t capacity = std::max<std::size_t>(paging_.pageCapacity(), 2);
    xRange = {0, double(capacity - 1)};
  } else {
    xRange = points_.pageXRange(first, count, paging_.pageCapacity());
    const int columns = std::max(1, static_cast<int>(chart_->plotArea().width()));
    runs_ = points_.runs(first, count, xRange, std::max(columns, width()));
  }
  if (!chart_->isZoomed()) axisX_->setRange(xRange.min, xRange.max);
  Series2->setRuns(shown_ == kAreaSeries ? runs_ : std::vector<ChartRun>(), shown_ == kAreaSeries);
  Series1->setRuns(shown_ == kLineSeries ? runs_ : std::vector<ChartRun>(), shown_ == kLineSeries);
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
  const bool moved = paging_.setPointCount(points_.count());
  if (moved) {
    chart_->zoomReset();
    Bt10->setText(QString::fromStdString(paging_.caption()));
  }
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
  Bt10->setText(QString::fromStdString(paging_.caption()));
  chart_->zoomReset();
  ShowSeries(kAreaSeries);
  ShowSeries(BtFill->isChecked() ? kAreaSeries : kLineSeries);
}

void TrendChart::MaxrecordChange() {
  paging_.setMaxPointsPerPage(perPageFromText(Maxrecord->text().toStdString()));
  chart_->zoomReset();
  redraw();
}

void TrendChart::MaxrecordKeyPress(char &key) {
  key = Recorder::RecordSITimeKeyPress(key);
}

void TrendChart::BtFirstClick() {
  paging_.first();
  showNavigation();
  chart_->zoomReset();
  redraw();
}

void TrendChart::BTPreviousClick() {
  paging_.previous();
  showNavigation();
  chart_->zoomReset();
  redraw();
}

void TrendChart::BtNextClick() {
  paging_.next();
  showNavigation();
  chart_->zoomReset();
  redraw();
}

void TrendChart::BTlastClick() {
  paging_.last();
  showNavigation();
  chart_->zoomReset();
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
  chart_->zoomReset();
  redraw();
  const std::string stamp = SnapshotStamp(host_.clock->now());
  const std::string path = wholeSnapshotPath(folder(), stamp);
  savePicture(path);
  if (host_.showInformation) host_.showInformation(QString::fromStdString(snapshotSavedText(path)));
  MaxrecordChange();
}

}  // namespace vexal
