// The report commands: "Print Data", OK of the print-style dialog in its three cases, the
// store-data report, and what happens to readings recorded while a report is open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "common/qt/Dialogs.h"
#include "recording_previewer.h"
#include "report/qt/FrmPrint.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

class CountingObserver : public TableObserver {
 public:
  void rowsAppended(std::size_t, std::size_t) override { ++appended; }
  void tableReset() override { ++resets; }
  int appended = 0, resets = 0;
};

TableRow reading(int no) {
  TableRow r;
  r.no = no;
  r.timeMs = no * 1000;
  r.value = std::to_string(no);
  r.unit = "V";
  return r;
}

class ReportFlowsTest : public ::testing::Test {
 protected:
  ReportFlowsTest() {
    auto owned = std::make_unique<RecordingPreviewer>();
    previewer = owned.get();
    flows = std::make_unique<ReportFlows>(table, dialogs, std::move(owned));
    table.setObserver(&observer);
  }
  ~ReportFlowsTest() override { table.setObserver(nullptr); }
  void fill(int rows) {
    for (int i = 1; i <= rows; ++i) table.appendRow(reading(i));
    observer = CountingObserver();
  }
  QString writePicture(const QString &name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::green);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
  }

  ReadingTable table;
  CountingObserver observer;
  ScriptedDialogs dialogs;
  RecordingPreviewer *previewer;
  std::unique_ptr<ReportFlows> flows;
  QTemporaryDir dir;
};

TEST_F(ReportFlowsTest, PrintDataSetsThePageTotalAndShowsIt) {
  for (auto [rows, total] : {std::pair{0, 1}, {37, 1}, {38, 2}, {74, 2}, {75, 3}}) {
    table.clear();
    fill(rows);
    flows->MajPrintClick({});
    EXPECT_EQ(flows->reports.DataReportPageCount, total) << rows;
    ASSERT_FALSE(previewer->shown.empty());
    EXPECT_EQ(previewer->shown.back().layout, "Report1");
    EXPECT_EQ(previewer->shown.back().pages, total);
    EXPECT_EQ(previewer->shown.back().footers.back(),
              "The Page " + std::to_string(total) + " Of " + std::to_string(total));
  }
}

TEST_F(ReportFlowsTest, PrintDataHoldsTheGridWhileOpenAndRepaintsAfter) {
  fill(3);
  int repaints = 0;
  previewer->whileOpen = [&](const ReportDocument &) {
    table.appendRow(reading(4));
    EXPECT_EQ(observer.appended, 0);  // the grid is not told while the report is open
    EXPECT_EQ(repaints, 0);
  };
  flows->MajPrintClick([&] { ++repaints; });
  EXPECT_EQ(repaints, 1);
  EXPECT_EQ(observer.resets, 1);  // told once, when the report closes
}

TEST_F(ReportFlowsTest, PrintDataResumesTheGridWhenThePreviewFails) {
  fill(3);
  previewer->whileOpen = [&](const ReportDocument &) { throw std::runtime_error("no preview"); };
  int repaints = 0;
  EXPECT_THROW(flows->MajPrintClick([&] { ++repaints; }), std::runtime_error);
  table.appendRow(reading(9));
  EXPECT_EQ(observer.appended, 1);  // updates are back on
  EXPECT_EQ(repaints, 0);
}

TEST_F(ReportFlowsTest, ReadingsRecordedWhileOpenAreNotInTheReport) {
  fill(37);
  previewer->whileOpen = [&](const ReportDocument &doc) {
    for (int i = 38; i <= 80; ++i) table.appendRow(reading(i));
    EXPECT_EQ(doc.pageCount(), 1);
  };
  flows->MajPrintClick({});
  const SeenPreview &seen = previewer->shown.back();
  EXPECT_EQ(seen.pages, 1);
  EXPECT_EQ(seen.footers, std::vector<std::string>{"The Page 1 Of 1"});
  EXPECT_EQ(seen.lastDetail.at(0), "37");
  EXPECT_EQ(table.rowCount(), 80u);
}

TEST_F(ReportFlowsTest, ReportSurvivesTheTableBeingEmptiedOrReplacedWhileOpen) {
  fill(40);
  previewer->whileOpen = [&](const ReportDocument &) {
    table.clear();
    ReadingTable other;
    other.appendRow(reading(500));
    table.replaceWith(std::move(other));
  };
  flows->MajPrintClick({});
  const SeenPreview &seen = previewer->shown.back();
  EXPECT_EQ(seen.pages, 2);
  EXPECT_EQ(seen.footers.back(), "The Page 2 Of 2");
  EXPECT_EQ(seen.lastDetail.at(0), "40");
}

TEST_F(ReportFlowsTest, DataStyleShowsTheDataReportWithoutHoldingTheGrid) {
  fill(38);
  previewer->whileOpen = [&](const ReportDocument &) { table.appendRow(reading(39)); };
  flows->BitBtn1Click(ReportStyle::Data, QString());
  EXPECT_EQ(flows->reports.DataReportPageCount, 2);
  EXPECT_EQ(previewer->shown.back().layout, "Report1");
  EXPECT_EQ(observer.appended, 1);
  EXPECT_EQ(observer.resets, 0);
}

TEST_F(ReportFlowsTest, GraphStylesWithoutPictureWarnAndShowNothing) {
  for (ReportStyle style : {ReportStyle::Graph, ReportStyle::DataGraph}) {
    dialogs.boxes.clear();
    flows->BitBtn1Click(style, QString());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, " Warning:Please select graph to print! ");
    EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::Ok);
  }
  EXPECT_TRUE(previewer->shown.empty());
}

TEST_F(ReportFlowsTest, GraphStylesLoadThePictureIntoTheirReport) {
  const QString path = writePicture(QStringLiteral("g.bmp"), {30, 20});
  flows->BitBtn1Click(ReportStyle::Graph, path);
  ASSERT_EQ(previewer->shown.size(), 1u);
  EXPECT_EQ(previewer->shown[0].layout, "Report3");
  EXPECT_EQ(previewer->shown[0].picture, QSize(30, 20));
  EXPECT_EQ(flows->Report3Picture.size(), QSize(30, 20));
  EXPECT_TRUE(flows->Report4Picture.isNull());
  flows->BitBtn1Click(ReportStyle::DataGraph, path);
  EXPECT_EQ(previewer->shown[1].layout, "Report4");
  EXPECT_EQ(previewer->shown[1].pages, 1);
  EXPECT_EQ(previewer->shown[1].picture, QSize(30, 20));
  EXPECT_EQ(previewer->shown[1].lastDetail, std::vector<std::string>(6));
}

TEST_F(ReportFlowsTest, UnreadablePictureThrowsTheToolkitsReasonAndShowsNothing) {
  const QString junk = dir.filePath(QStringLiteral("junk.bmp"));
  {
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a picture");
  }
  QImageReader reader(junk);
  reader.read();
  const std::string expected = reader.errorString().toStdString();
  try {
    flows->BitBtn1Click(ReportStyle::Graph, junk);
    ADD_FAILURE() << "no error";
  } catch (const EPictureError &e) {
    EXPECT_EQ(std::string(e.what()), expected);
    EXPECT_FALSE(expected.empty());
  }
  EXPECT_THROW(
      flows->BitBtn1Click(ReportStyle::DataGraph, dir.filePath(QStringLiteral("gone.bmp"))),
      EPictureError);
  EXPECT_TRUE(previewer->shown.empty());
}

TEST_F(ReportFlowsTest, StoreReportHasOnePageAndTotalOne) {
  fill(100);
  flows->reports.StoreReportPageCount = 7;
  flows->SpeedButton7Click();
  EXPECT_EQ(flows->reports.StoreReportPageCount, 1);
  ASSERT_EQ(previewer->shown.size(), 1u);
  EXPECT_EQ(previewer->shown[0].layout, "Report2");
  EXPECT_EQ(previewer->shown[0].footers, std::vector<std::string>{"The Page 1 Of 1"});
  EXPECT_EQ(previewer->shown[0].lastDetail, std::vector<std::string>(6));
}

// Through the print-style dialog itself.
TEST_F(ReportFlowsTest, EitherPictureButtonFeedsBothGraphReports) {
  TFrmprint dialog(dialogs);
  dialog.reports = flows.get();
  const QString path = writePicture(QStringLiteral("chosen.bmp"), {12, 34});
  dialogs.chooseNextFile(path);
  dialog.Button1Click();  // beside "Graph Report"
  dialog.RadioButton3->setChecked(true);
  dialog.show();
  QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
  ASSERT_EQ(previewer->shown.size(), 1u);
  EXPECT_EQ(previewer->shown[0].layout, "Report4");
  EXPECT_EQ(previewer->shown[0].picture, QSize(12, 34));
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  const QString other = writePicture(QStringLiteral("other.bmp"), {5, 6});
  dialogs.chooseNextFile(other);
  dialog.Button2Click();  // beside "Data+Graph Report"
  dialog.RadioButton2->setChecked(true);
  dialog.BitBtn1Click();
  EXPECT_EQ(previewer->shown.at(1).layout, "Report3");
  EXPECT_EQ(previewer->shown.at(1).picture, QSize(5, 6));
}

TEST_F(ReportFlowsTest, DialogClosesAfterTheWarningAndAfterAFailedLoad) {
  TFrmprint dialog(dialogs);
  dialog.reports = flows.get();
  dialog.RadioButton2->setChecked(true);
  dialog.show();
  dialog.BitBtn1Click();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialogs.boxes.size(), 1u);

  dialog.GraphPicturePath = dir.filePath(QStringLiteral("vanished.bmp"));
  dialog.show();
  dialog.setResult(QDialog::Rejected);
  EXPECT_THROW(dialog.BitBtn1Click(), EPictureError);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(previewer->shown.empty());
}

}  // namespace
}  // namespace vexal
