// The trend chart with its tool bar on a window of its own, driven like a user would, over
// a reading table filled by the test. Runs offscreen.
#include "record/qt/TrendChart.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <cstdio>

#include "decode/FrameDecoder.h"
#include "record/DataFiles.h"
#include "record/ReadingQuantity.h"
#include "support/QtMessages.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::makeRow;

class FixedDateTime : public DateTimeClock {
 public:
  LocalDateTime now() override { return when; }
  LocalDateTime when{2024, 8, 15, 14, 30};
};

class TrendChartTest : public ::testing::Test {
 protected:
  test_qt::QtMessages messages;  // first, so it hears the chart from its making on
  TrendChartTest() {
    window.resize(757, 821);
    TrendChartHost host;
    host.outerSize = [this] { return outer; };
    host.setOuterHeight = [this](int h) {
      heightsSet.push_back(h);
      outer.setHeight(h);
    };
    host.clientArea = [this] { return &window; };
    host.recordNo = [this] { return recordNo; };
    host.showInformation = [this](const QString &text) { informations << text; };
    host.showError = [this](const QString &text) { errors << text; };
    host.fillChecked = [this] { return fillMark; };
    host.setFillChecked = [this](bool on) { fillMark = on; };
    host.clock = &clock;
    host.pictureFolder = (folder.path() + "/").toStdString();
    chart = new TrendChart(table, std::move(host), &window);
    chart->setGeometry(18, 612, 361, 209);
    window.show();
  }
  void TearDown() override { EXPECT_TRUE(messages.empty()) << messages.text(); }

  void record(int n, const std::string &value = "12.5") {
    for (int i = 0; i < n; ++i) table.appendRow(makeRow(recordNo++, 1000, value, "V"));
  }
  void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
  // Every point the shown series draws, in order.
  std::vector<ChartXY> drawn() const {
    std::vector<ChartXY> all;
    for (const ChartRun &run : chart->shownRuns())
      all.insert(all.end(), run.points.begin(), run.points.end());
    return all;
  }
  QString page() const { return chart->Bt10->text(); }
  NavigationState buttons() const {
    return {chart->BtFirst->isEnabled(), chart->BTPrevious->isEnabled(), chart->BtNext->isEnabled(),
            chart->BTlast->isEnabled()};
  }
  // Where X lands across the plot area, half way up.
  QPointF atX(double x) const {
    const QRectF plot = chart->chart()->plotArea();
    auto *axis = static_cast<QValueAxis *>(chart->chart()->axes(Qt::Horizontal).first());
    return {plot.left() + (x - axis->min()) / (axis->max() - axis->min()) * plot.width(),
            plot.center().y()};
  }
  static ChartRun volts(std::vector<ChartXY> points) {
    return {QuantityKind::Voltage, std::move(points)};
  }
  // A PI run of 100 readings rising from 600 MΩ to 7.8 GΩ, as the meter shows them.
  void recordPiRun() {
    for (int i = 0; i < 100; ++i) {
      const double ohms = 600e6 * std::pow(13.0, i / 99.0);
      char text[16];
      std::snprintf(text, sizeof text, "%.3g", ohms < 1e9 ? ohms / 1e6 : ohms / 1e9);
      table.appendRow(makeRow(recordNo++, 1000 * i, text, ohms < 1e9 ? "M\xA6\xB8" : "G\xA6\xB8"));
    }
  }
  double ohmsOf(std::size_t row) const { return readingQuantity(table.view(row))->value; }

  QWidget *viewport() const { return chart->findChild<QChartView *>()->viewport(); }
  // A point of the chart in the view's viewport.
  QPoint inViewport(QPointF inChart) const {
    return chart->findChild<QChartView *>()->mapFromScene(chart->chart()->mapToScene(inChart));
  }
  void mouse(QEvent::Type type, QPointF inChart, Qt::MouseButton button) {
    const QPointF at = inViewport(inChart);
    QMouseEvent event(type, at, viewport()->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport(), &event);
  }
  void drag(QPointF from, QPointF to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton);
  }
  // The shown series that draws resistance, and where it draws a reading.
  QAbstractSeries *ohmSeries() const {
    for (QAbstractSeries *series : chart->chart()->series())
      if (series->isVisible() && series->attachedAxes().contains(chart->ohmAxis())) return series;
    return nullptr;
  }
  QPointF pixelOf(double x, double ohms) const {
    return chart->chart()->mapToPosition(QPointF(x, std::log10(ohms)), ohmSeries());
  }
  // Every point the shown series draw, as pixels of the chart.
  std::vector<QPointF> drawnPixels() const {
    std::vector<QPointF> pixels;
    for (QAbstractSeries *series : chart->chart()->series()) {
      if (!series->isVisible()) continue;
      auto *area = qobject_cast<QAreaSeries *>(series);
      auto *line = area ? area->upperSeries() : qobject_cast<QLineSeries *>(series);
      for (const QPointF &p : line->points())
        pixels.push_back(chart->chart()->mapToPosition(p, series));
    }
    return pixels;
  }

  QTemporaryDir folder;
  FixedDateTime clock;
  ReadingTable table;
  QWidget window;
  QSize outer{627, 580};
  std::vector<int> heightsSet;
  std::int32_t recordNo = 1;
  QStringList informations, errors;
  bool fillMark = true;
  TrendChart *chart;
};

// "5.18 GΩ" in ohms.
double ohmsOfLabel(const QString &label) {
  const QStringList parts = label.split(' ');
  const QString prefix = parts.value(1).chopped(1);
  const double factor = prefix == "k" ? 1e3 : prefix == "M" ? 1e6 : prefix == "G" ? 1e9 : 1;
  return parts.value(0).toDouble() * factor;
}

TEST_F(TrendChartTest, StartsWithThePlaceholderPointAndTheAreaSeries) {
  EXPECT_TRUE(chart->BtFill->isChecked());
  EXPECT_EQ(chart->shownSeries(), TrendChart::kAreaSeries);
  EXPECT_TRUE(drawn().empty());  // no reading yet: the placeholder point on its own axis
  EXPECT_GE(chart->placeholderValue(), 0);
  EXPECT_LT(chart->placeholderValue(), 1000);
  EXPECT_TRUE(chart->placeholderAxis()->isVisible());
  EXPECT_EQ(chart->placeholderAxis()->min(), -11000);
  EXPECT_FALSE(chart->ohmAxis()->isVisible());
  EXPECT_FALSE(chart->voltAxis()->isVisible());
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 100);
  EXPECT_EQ(page(), "1");
  EXPECT_EQ(chart->Maxrecord->text(), "100");
  EXPECT_TRUE(chart->TbFd->isVisible());
  EXPECT_FALSE(chart->TbSx->isVisible());
  EXPECT_EQ(chart->chart()->title(), "  ");
  EXPECT_EQ(chart->BtSave->toolTip(), "Save  Active Graphic");
  EXPECT_EQ(chart->BtSave->geometry(), QRect(93, 3, 35, 21));
  EXPECT_EQ(chart->BTlast->geometry(), QRect(263, 3, 25, 21));
}

TEST_F(TrendChartTest, FillSwitchAndTheHiddenFillItemStayInStep) {
  chart->BtFill->click();
  EXPECT_FALSE(fillMark);
  EXPECT_EQ(chart->shownSeries(), TrendChart::kLineSeries);
  chart->BtFill->click();
  EXPECT_TRUE(fillMark);
  EXPECT_EQ(chart->shownSeries(), TrendChart::kAreaSeries);

  chart->FillPClick();  // the item, called as a handler
  EXPECT_FALSE(fillMark);
  EXPECT_FALSE(chart->BtFill->isChecked());
  EXPECT_EQ(chart->shownSeries(), TrendChart::kLineSeries);
  fillMark = true;  // a checkable item has turned its own mark before it reports
  chart->FillPClick();
  EXPECT_TRUE(fillMark);
  EXPECT_TRUE(chart->BtFill->isChecked());
  EXPECT_EQ(chart->shownSeries(), TrendChart::kAreaSeries);
}

TEST_F(TrendChartTest, RecordedReadingsArePlottedWithGapsAndALoneNumberAsAMarker) {
  chart->BtFill->click();  // the line series
  table.appendRow(makeRow(1, 0, "1,5", "V"));
  table.appendRow(makeRow(2, 0, "L", "V"));
  table.appendRow(makeRow(3, 0, std::nullopt, "V"));
  table.appendRow(makeRow(4, 0, "-2.25", "V"));
  table.appendRow(makeRow(5, 0, "3", "V"));
  const auto &runs = chart->shownRuns();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], volts({{1, 1.5}}));
  EXPECT_EQ(runs[1], volts({{4, -2.25}, {5, 3}}));
  // A line of one point draws nothing: the lone reading shows its marker.
  int lone = 0, joined = 0;
  for (QAbstractSeries *series : chart->chart()->series()) {
    auto *line = qobject_cast<QLineSeries *>(series);
    if (!line || !line->isVisible()) continue;
    if (line->count() == 1) lone += line->pointsVisible() ? 1 : 100;
    if (line->count() == 2) joined += line->pointsVisible() ? 100 : 1;
  }
  EXPECT_EQ(lone, 1);
  EXPECT_EQ(joined, 1);
  EXPECT_TRUE(chart->voltAxis()->isVisible());
  EXPECT_FALSE(chart->ohmAxis()->isVisible());
  EXPECT_FALSE(chart->placeholderAxis()->isVisible());
  EXPECT_LE(chart->voltAxis()->min(), -2.25);
  EXPECT_GE(chart->voltAxis()->max(), 3);
}

TEST_F(TrendChartTest, ResistanceIsDrawnInOhmsOnADecadeAxisFittedToThePage) {
  const std::string giga = "G\xA6\xB8", mega = "M\xA6\xB8";
  table.appendRow(makeRow(1, 0, "620", mega));
  table.appendRow(makeRow(2, 0, "994.9", mega));
  table.appendRow(makeRow(3, 0, "1.050", giga));  // auto-ranged: no cliff
  table.appendRow(makeRow(4, 0, "8.40", giga));
  EXPECT_EQ(drawn(), (std::vector<ChartXY>{{1, 620e6}, {2, 994.9e6}, {3, 1.05e9}, {4, 8.4e9}}));
  QCategoryAxis *ohms = chart->ohmAxis();
  EXPECT_TRUE(ohms->isVisible());
  EXPECT_FALSE(chart->voltAxis()->isVisible());
  EXPECT_EQ(ohms->min(), 8);   // 100 MΩ
  EXPECT_EQ(ohms->max(), 10);  // 10 GΩ
  EXPECT_EQ(ohms->categoriesLabels(), (QStringList{"100 M\u03A9", "1 G\u03A9", "10 G\u03A9"}));
  EXPECT_EQ(TrendChart::ohmDecadeLabel(5), "100 k\u03A9");
  EXPECT_EQ(TrendChart::ohmDecadeLabel(12), "1 T\u03A9");

  // The fill reaches down to the foot of the axis, not to a zero in the middle.
  const QImage picture = chart->picture();
  const QRectF plot = chart->chart()->plotArea();
  const QPoint foot(static_cast<int>(atX(3.5).x()), static_cast<int>(plot.bottom()) - 3);
  const QPoint top(foot.x(), static_cast<int>(plot.top()) + 3);
  EXPECT_EQ(picture.pixelColor(foot), QColor(255, 255, 128));
  EXPECT_NE(picture.pixelColor(top), QColor(255, 255, 128));
}

TEST_F(TrendChartTest, DeleteGraphicResetsAndTheChartStartsAfterIt) {
  record(30);
  ASSERT_EQ(drawn().size(), 30u);
  chart->BtFill->click();  // line series
  const double before = chart->placeholderValue();
  bool changed = false;
  for (int i = 0; i < 20 && !changed; ++i) {
    click(chart->BtNew);
    changed = chart->placeholderValue() != before;
  }
  EXPECT_TRUE(changed) << "a new placeholder value each time";
  EXPECT_EQ(table.rowCount(), 30u);  // the rows stay in the table
  EXPECT_TRUE(drawn().empty());
  EXPECT_TRUE(chart->placeholderAxis()->isVisible());
  EXPECT_EQ(chart->shownSeries(), TrendChart::kLineSeries);  // what the fill switch says

  record(2, "7");
  EXPECT_EQ(drawn(), (std::vector<ChartXY>{{31, 7}, {32, 7}}));
  table.clear();  // Delete Data: the chart starts at the table's first row again
  EXPECT_TRUE(drawn().empty());
  recordNo = 1;
  record(3);
  EXPECT_EQ(drawn().size(), 3u);
  EXPECT_EQ(drawn()[0].x, 1);
}

TEST_F(TrendChartTest, RowsAppendedWhileHeldJoinTheChartButAnotherTableRestartsIt) {
  record(10);
  click(chart->BtNew);
  table.suspendUpdates();  // opening a text file
  record(5);
  table.resumeUpdates();
  EXPECT_EQ(drawn().size(), 5u);
  EXPECT_EQ(drawn()[0].x, 11);

  ReadingTable other;  // opening an XML file
  for (int i = 0; i < 4; ++i) other.appendRow(makeRow(100 + i, 0, "1", "V"));
  table.replaceWith(std::move(other));
  EXPECT_EQ(drawn().size(), 4u);
  EXPECT_EQ(drawn()[0].x, 1);  // X is the place in the table, not the reading's number
}

TEST_F(TrendChartTest, PagingOverRealRows) {
  record(500);
  EXPECT_EQ(chart->paging().pageCount(), 5);
  EXPECT_EQ(chart->paging().page(), 5);  // followed the readings, and so did the buttons
  EXPECT_EQ(page(), "5");
  EXPECT_EQ(buttons(), (NavigationState{true, true, false, false}));
  click(chart->BtFirst);
  click(chart->BtNext);
  click(chart->BtNext);
  ASSERT_EQ(page(), "3");
  EXPECT_EQ(drawn().front().x, 201);
  EXPECT_EQ(drawn().back().x, 300);
  click(chart->BTPrevious);
  click(chart->BTPrevious);
  EXPECT_EQ(page(), "1");
  EXPECT_EQ(drawn().front().x, 1);
  EXPECT_EQ(drawn().size(), 100u);
  EXPECT_TRUE(chart->BtFirst->isEnabled());
  EXPECT_TRUE(chart->BTPrevious->isEnabled());
  click(chart->BTPrevious);
  EXPECT_FALSE(chart->BtFirst->isEnabled());
  EXPECT_FALSE(chart->BTPrevious->isEnabled());
  EXPECT_TRUE(chart->BtNext->isEnabled());
  EXPECT_TRUE(chart->BTlast->isEnabled());
  EXPECT_EQ(page(), "1");

  click(chart->BTlast);
  EXPECT_EQ(page(), "5");
  EXPECT_FALSE(chart->BtNext->isEnabled());
  EXPECT_FALSE(chart->BTlast->isEnabled());
}

TEST_F(TrendChartTest, ZeroPointsPerPagePutsAllOnOnePage) {
  record(500);
  chart->Maxrecord->selectAll();
  QTest::keyClicks(chart->Maxrecord, "0");
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 0);
  EXPECT_EQ(chart->paging().pageCount(), 1);
  EXPECT_EQ(drawn().size(), 500u);
  EXPECT_EQ(page(), "1");  // the buttons follow the one page
  EXPECT_EQ(buttons(), (NavigationState{false, false, false, false}));
  QTest::keyClick(chart->Maxrecord, Qt::Key_Backspace);
  QTest::keyClicks(chart->Maxrecord, "200");
  EXPECT_EQ(page(), "1");
  EXPECT_EQ(buttons(), (NavigationState{false, false, true, true}));
}

TEST_F(TrendChartTest, TheChartFollowsTheNewestReadingOnlyFromTheLastPage) {
  record(200);
  ASSERT_EQ(page(), "2");
  record(1);
  EXPECT_EQ(page(), "3");
  EXPECT_EQ(chart->paging().page(), 3);
  EXPECT_EQ(drawn(), (std::vector<ChartXY>{{201, 12.5}}));
  click(chart->BtFirst);
  record(100);
  EXPECT_EQ(page(), "1");
  EXPECT_EQ(drawn().back().x, 100);
}

TEST_F(TrendChartTest, PointsPerPageBoxTakesDigitsAndReportsWhatDoesNotConvert) {
  chart->Maxrecord->clear();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_EQ(errors[0], "'' is not a valid integer value");
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 100);
  QTest::keyClicks(chart->Maxrecord, "5x-0");
  EXPECT_EQ(chart->Maxrecord->text(), "50");
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 50);
  chart->Maxrecord->setText("99999999999");
  EXPECT_EQ(errors.size(), 2);
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 50);
}

TEST_F(TrendChartTest, EnlargeAndRestore) {
  chart->TbFd->click();
  EXPECT_EQ(chart->geometry(), QRect(2, 30, 615, 490));
  EXPECT_TRUE(heightsSet.empty());
  EXPECT_FALSE(chart->TbFd->isVisible());
  EXPECT_TRUE(chart->TbSx->isVisible());
  EXPECT_EQ(chart->ChartNormalBounds, (ChartBounds{18, 612, 361, 209}));
  chart->TbSx->click();
  EXPECT_EQ(chart->geometry(), QRect(18, 612, 361, 209));
  EXPECT_TRUE(chart->TbFd->isVisible());
  EXPECT_FALSE(chart->TbSx->isVisible());
}

TEST_F(TrendChartTest, EnlargingATallWindowShortensItFirst) {
  outer = QSize(627, 700);
  chart->TbSxClick();
  EXPECT_EQ(heightsSet, std::vector<int>{564});
  EXPECT_EQ(chart->geometry(), QRect(2, 30, 615, 474));
}

TEST_F(TrendChartTest, EnlargingWorksInTheClientCoordinatesOfAScrolledWindow) {
  QWidget client;  // the visible part, scrolled 500 pixels down the window's surface
  client.resize(619, 526);
  window.setParent(&client);
  window.move(0, -500);
  TrendChartHost host;
  host.outerSize = [] { return QSize(627, 580); };
  host.clientArea = [&] { return &client; };
  TrendChart scrolled(table, std::move(host), &window);
  scrolled.setGeometry(18, 612, 361, 209);  // at 112 in the client area
  scrolled.TbSxClick();
  EXPECT_EQ(scrolled.ChartNormalBounds, (ChartBounds{18, 112, 361, 209}));
  EXPECT_EQ(scrolled.geometry(), QRect(2, 530, 615, 490));  // at 30 in the client area
  scrolled.TbSxClick();
  EXPECT_EQ(scrolled.geometry(), QRect(18, 612, 361, 209));
  window.setParent(nullptr);
}

TEST_F(TrendChartTest, SaveActiveGraphicNamesThePictureAfterTheClockAndThePage) {
  record(150);
  click(chart->BtSave);
  const QString first = folder.path() + "/2408151430page2.bmp";
  ASSERT_TRUE(QFile::exists(first)) << errors.join("; ").toStdString();
  EXPECT_EQ(informations, QStringList{"graphic has saved on " + first});
  QImage picture(first);
  EXPECT_EQ(picture.size(), QSize(361, 209));

  clock.when = {2024, 8, 15, 9, 5};
  click(chart->BtFirst);
  click(chart->BtSave);
  EXPECT_TRUE(QFile::exists(folder.path() + "/2408150905page1.bmp"));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(TrendChartTest, APictureOfTheEnlargedChartHasTheEnlargedSize) {
  record(40);
  chart->TbSxClick();
  chart->BtSaveClick();
  QImage picture(folder.path() + "/2408151430page1.bmp");
  EXPECT_EQ(picture.size(), QSize(615, 490));
  // The trace is in it: the area's fill colour shows somewhere.
  bool filled = false;
  for (int y = 0; y < picture.height() && !filled; y += 2)
    for (int x = 0; x < picture.width() && !filled; x += 2)
      filled = picture.pixelColor(x, y) == QColor(255, 255, 128);
  EXPECT_TRUE(filled);
}

TEST_F(TrendChartTest, SaveWholePutsEveryReadingOnOnePageThenTakesTheBoxAgain) {
  record(250);
  chart->SavepictureClick();
  const QString path = folder.path() + "/2408151430Fullpage.bmp";
  EXPECT_TRUE(QFile::exists(path));
  EXPECT_EQ(informations, QStringList{"graphic has saved on " + path});
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 100);
  EXPECT_EQ(chart->paging().pageCount(), 3);
  EXPECT_EQ(chart->paging().page(), 1);  // the one page of the picture
}

TEST_F(TrendChartTest, SaveWholeHoldsRowsThatCameWithoutRecording) {
  for (int i = 0; i < 300; ++i) table.appendRow(makeRow(i + 1, 0, "1", "V"));  // from a file
  ASSERT_EQ(recordNo, 1);
  chart->Maxrecord->setText("");  // step 5 fails: the picture's page size stays
  errors.clear();
  EXPECT_THROW(chart->SavepictureClick(), EConvertError);
  EXPECT_EQ(informations.size(), 1);
  EXPECT_EQ(chart->paging().maxPointsPerPage(), 300);
  EXPECT_EQ(drawn().size(), 300u);
}

TEST_F(TrendChartTest, AMissingFolderLeavesNoFileAndNoInformationBox) {
  TrendChartHost host;
  host.clock = &clock;
  host.recordNo = [] { return 77; };
  host.showInformation = [this](const QString &text) { informations << text; };
  host.pictureFolder = (folder.path() + "/TestGraph/").toStdString();
  TrendChart lonely(table, std::move(host), &window);
  lonely.resize(361, 209);
  try {
    lonely.BtSaveClick();
    FAIL() << "no error";
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + folder.path().toStdString() +
                                         "/TestGraph/2408151430page1.bmp\". No such file or "
                                         "directory");
  }
  EXPECT_THROW(lonely.SavepictureClick(), EFileError);
  EXPECT_TRUE(informations.isEmpty());
  EXPECT_EQ(lonely.paging().maxPointsPerPage(), 77);  // the box was not read again
  EXPECT_TRUE(QDir(folder.path())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                  .isEmpty());
}

TEST_F(TrendChartTest, AfterAZoomTheLabelAtTheTopEdgeIsTheReadingDrawnThere) {
  recordPiRun();
  QCoreApplication::sendPostedEvents();
  // The mouse moves by whole pixels, and the zoom magnifies what it misses: the drag begins
  // at a reading drawn on a pixel's centre.
  auto *view = chart->findChild<QChartView *>();
  std::size_t row = 40;
  for (std::size_t i = 40; i < 80; ++i) {
    auto offPixel = [&](std::size_t r) {
      const double y =
          view->viewportTransform().map(chart->chart()->mapToScene(pixelOf(r + 1, ohmsOf(r)))).y();
      return std::abs(y - std::round(y));
    };
    if (offPixel(i) < offPixel(row)) row = i;
  }
  const double x = row + 1;
  const QPointF reading = pixelOf(x, ohmsOf(row));
  drag(reading - QPointF(40, 0), reading + QPointF(40, 50));
  ASSERT_TRUE(chart->scales().zoomed());
  const QRectF plot = chart->chart()->plotArea();
  const QPointF drawn = pixelOf(x, ohmsOf(row));
  EXPECT_NEAR(drawn.y(), plot.top(), 1);
  QString topLabel;
  QCategoryAxis *axis = chart->ohmAxis();
  for (const QString &label : axis->categoriesLabels())
    if (std::abs(pixelOf(x, std::pow(10.0, axis->endValue(label))).y() - plot.top()) <= 1)
      topLabel = label;
  ASSERT_FALSE(topLabel.isEmpty()) << axis->categoriesLabels().join(", ").toStdString();
  EXPECT_NEAR(pixelOf(x, ohmsOfLabel(topLabel)).y(), drawn.y(), 1) << topLabel.toStdString();
  // The tip there names the same reading.
  const QString tip = chart->pointTipAt(QPointF(drawn.x(), plot.top() + 1));
  EXPECT_TRUE(tip.contains(QStringLiteral("No. %1\n").arg(x))) << tip.toStdString();
}

TEST_F(TrendChartTest, AZoomStaysWhileReadingsComeAndEndsWithThePageTheRowsOrARightClick) {
  ReadingTable opened;
  const struct {
    const char *name;
    std::function<void()> act;
  } cases[] = {
      {"page change", [&] { click(chart->BtNext); }},
      {"Delete Data", [&] { table.clear(); }},
      {"Open", [&] { table.replaceWith(std::move(opened)); }},
      {"Delete Graphic", [&] { click(chart->BtNew); }},
      {"right click", [&] { mouse(QEvent::MouseButtonPress, atX(20), Qt::RightButton); }},
  };
  auto *x = static_cast<QValueAxis *>(chart->chart()->axes(Qt::Horizontal).first());
  for (const auto &c : cases) {
    table.clear();
    recordNo = 1;
    record(150);
    click(chart->BtFirst);
    QCoreApplication::sendPostedEvents();
    drag(atX(30) - QPointF(0, 40), atX(60) + QPointF(0, 40));
    ASSERT_TRUE(chart->scales().zoomed()) << c.name;
    EXPECT_NEAR(x->max(), 60, 1) << c.name;
    record(1);  // on another page: the zoom stays
    EXPECT_TRUE(chart->scales().zoomed()) << c.name;
    for (int i = 0; i < 3; ++i) opened.appendRow(makeRow(i + 1, 0, "5", "V"));
    c.act();
    EXPECT_FALSE(chart->scales().zoomed()) << c.name;
    EXPECT_GT(x->max() - x->min(), 90) << c.name;  // a whole page again
  }
}

TEST_F(TrendChartTest, NoReadingIsDrawnUnderTheLeftWall) {
  recordPiRun();
  QCoreApplication::sendPostedEvents();
  const double wallEdge = chart->chart()->plotArea().left() + ChartScales::kWallWidth;
  for (bool zoomed : {false, true}) {
    if (zoomed) drag(atX(30) - QPointF(0, 40), atX(60) + QPointF(0, 40));
    ASSERT_EQ(chart->scales().zoomed(), zoomed);
    for (bool fill : {true, false}) {
      chart->BtFill->setChecked(fill);
      const auto pixels = drawnPixels();
      ASSERT_FALSE(pixels.empty());
      double leftmost = pixels.front().x();
      for (const QPointF &p : pixels) leftmost = std::min(leftmost, p.x());
      EXPECT_NEAR(leftmost, wallEdge, 0.5) << "zoomed " << zoomed << ", fill " << fill;
    }
  }
}

TEST_F(TrendChartTest, TheTipStaysWhileTheMouseRestsOnTheTrace) {
  record(20);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  mouse(QEvent::MouseMove, atX(5), Qt::NoButton);
  ASSERT_TRUE(QToolTip::isVisible());
  const QString tip = QToolTip::text();
  // The mouse rests: the application asks the view for its tip.
  const QPoint at = inViewport(atX(5));
  QHelpEvent rest(QEvent::ToolTip, at, viewport()->mapToGlobal(at));
  QCoreApplication::sendEvent(viewport(), &rest);
  QTest::qWait(600);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), tip);
  QToolTip::hideText();
}

TEST_F(TrendChartTest, ToolTipNamesTheNearestPointWithItsValueAndUnit) {
  table.appendRow(makeRow(41, (9 * 3600 + 30 * 60) * 1000, "12,5", "M\xA6\xB8"));
  table.appendRow(makeRow(42, (9 * 3600 + 30 * 60 + 1) * 1000, "13,5", "M\xA6\xB8"));
  QCoreApplication::sendPostedEvents();
  const QString tip = chart->pointTipAt(atX(2.2));
  EXPECT_TRUE(tip.contains("No. 42")) << tip.toStdString();
  EXPECT_TRUE(tip.contains("13,5 M\u03A9")) << tip.toStdString();
  EXPECT_TRUE(chart->pointTipAt(atX(60)).isEmpty());  // far from any reading
  EXPECT_TRUE(chart->pointTipAt(QPointF(-5, -5)).isEmpty());
}

}  // namespace
}  // namespace vexal
