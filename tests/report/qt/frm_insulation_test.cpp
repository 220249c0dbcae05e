// The "Insulation Test" window over a table holding a ten-minute PI run, driven as a user
// would: the run list, the curve, the results with their bands, the particulars, the report.
// Runs offscreen; VEXAL_SHOT_DIR keeps pictures of the window and of the report's pages.
#include "report/qt/FrmInsulation.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QCategoryAxis>
#include <algorithm>
#include <cstdio>

#include "common/Cp936.h"
#include "recording_previewer.h"
#include "report/qt/ReportRenderer.h"
#include "report/qt/RunCurveChart.h"
#include "support/QtMessages.h"
#include "support/RunTables.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::at;
using test_rows::makeRow;

const std::string kGOhm = "G" + std::string(kOhm);
const std::string kFunction = "IR:2500 100G" + std::string(kOhm);

// 0.60 GΩ at the start, 13 MΩ more every second: 0.99 GΩ at 30 s, 1.38 GΩ at 1 min and
// 8.40 GΩ at 10 min. DAR 1.38 / 0.99 = 1.394 (questionable), PI 8.40 / 1.38 = 6.087
// (excellent).
void addPiRun(ReadingTable &table, std::int32_t startMs, std::int32_t firstNo) {
  for (int s = 0; s <= 600; ++s) {
    char value[16];
    std::snprintf(value, sizeof value, "%.2f", 0.60 + 0.013 * s);
    table.appendRow(makeRow(firstNo + s, startMs + 1000 * s, value, kGOhm, kFunction, "PI"));
  }
}

void keep(const QImage &image, const QString &name) {
  const QByteArray dir = qgetenv("VEXAL_SHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  EXPECT_TRUE(image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
}

// The result lines stand one under the other, evenly, from the top of their box.
void expectEvenResultLines(const TFrmInsulation &window) {
  QList<int> tops;
  for (QLabel *label : window.findChildren<QLabel *>())
    if (label->text() == "R(15 s)" || label->text() == "R(30 s)" || label->text() == "R(1 min)")
      tops.append(label->y());
  std::sort(tops.begin(), tops.end());
  ASSERT_EQ(tops.size(), 3);
  EXPECT_EQ(tops[1] - tops[0], tops[2] - tops[1]);
  EXPECT_LT(tops[1] - tops[0], 30);
}

class FrmInsulationTest : public ::testing::Test {
 protected:
  test_qt::QtMessages messages;  // first, so it hears the window from its making on
  FrmInsulationTest() {
    table.appendRow(makeRow(1, at(9, 59, 0), "230", "V", "ACV  600V", "Continuous"));
    addPiRun(table, at(10, 0, 0), 2);
    auto recording = std::make_unique<RecordingPreviewer>();
    previewer = recording.get();
    window = std::make_unique<TFrmInsulation>(table, std::move(recording));
    window->showRuns();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  QString cell(int row, int column) const { return window->RunList->item(row, column)->text(); }
  const ResultLine &result(const std::string &label) const {
    for (const ResultLine &line : window->shownResults())
      if (line.label == label) return line;
    static ResultLine none;
    ADD_FAILURE() << "no result " << label;
    return none;
  }

  // Nothing on stderr: a logarithm of the 0 s reading once printed a warning here.
  void TearDown() override { EXPECT_TRUE(messages.empty()) << messages.text(); }

  ReadingTable table;
  RecordingPreviewer *previewer;
  std::unique_ptr<TFrmInsulation> window;
};

TEST_F(FrmInsulationTest, ListsTheRunWithItsFigures) {
  EXPECT_EQ(window->windowTitle(), "Insulation Test");
  ASSERT_EQ(window->RunList->rowCount(), 1);  // the AC voltage reading is no run
  EXPECT_EQ(cell(0, 1), "10:00:00.000");
  EXPECT_EQ(cell(0, 2), "IR:2500 100G\u03A9");
  EXPECT_EQ(cell(0, 3), "PI");
  EXPECT_EQ(cell(0, 4), "10:00.0");
  EXPECT_EQ(cell(0, 5), "1.38 G\u03A9");
  EXPECT_EQ(cell(0, 6), "1.394");
  EXPECT_EQ(cell(0, 7), "6.087");
  EXPECT_EQ(cell(0, 8), "");
  EXPECT_FALSE(window->NoRuns->isVisible());
  EXPECT_EQ(window->selectedRun(), 0u);
}

TEST_F(FrmInsulationTest, ResultsCarryTheirBandsAndFollowTheParticulars) {
  EXPECT_EQ(result("R(30 s)").value, "990 M\u03A9");
  EXPECT_EQ(result("R(10 min)").value, "8.40 G\u03A9");
  EXPECT_EQ(result("DAR = R(1 min) / R(30 s)").judgement, "questionable");
  EXPECT_EQ(result("DAR = R(1 min) / R(30 s)").tone, ResultTone::Warning);
  EXPECT_EQ(result("PI = R(10 min) / R(1 min)").judgement, "excellent");
  EXPECT_EQ(result("Overall").judgement, "not determined \u2014 enter the winding temperature");

  // 20 °C: resistance halves twice up to 40 °C, 1.38 GΩ → 345 MΩ; 6.6 kV form-wound: at
  // least 100 MΩ; class B: PI at least 2.0.
  QTest::keyClicks(window->WindingTemperature, "20");
  QTest::keyClicks(window->RatedVoltage, "6,6");
  EXPECT_EQ(result("R(1 min) at 40 \u00B0C").value, "345 M\u03A9");
  EXPECT_EQ(result("Minimum insulation resistance").judgement,
            "not determined \u2014 choose the winding");
  window->WindingKindBox->setCurrentText("form-wound coils");
  window->InsulationClassBox->setCurrentText("B");
  EXPECT_EQ(result("Minimum insulation resistance").judgement, "pass");
  EXPECT_EQ(result("Minimum PI (class B)").judgement, "pass");
  EXPECT_EQ(result("Suggested DC test voltage").value, "2500\u20135000 V");
  EXPECT_EQ(result("Overall").judgement, "pass");
  EXPECT_EQ(result("Overall").tone, ResultTone::Good);

  // At 0 °C the same reading is 86 MΩ at 40 °C: the check and the verdict fail.
  window->WindingTemperature->setText("0");
  EXPECT_EQ(result("Minimum insulation resistance").judgement, "fail");
  EXPECT_EQ(result("Overall").judgement, "fail \u2014 insulation resistance below the minimum");
  EXPECT_EQ(result("Overall").tone, ResultTone::Bad);

  // Not a number, or out of range: the box shows why and the value is left out.
  const struct {
    QLineEdit *box;
    const char *typed;
    const char *why;
  } refused[] = {
      {window->WindingTemperature, "warm", "Not a number"},
      {window->WindingTemperature, "-300", "Winding temperature -50 \u2026 200 \u00B0C"},
      {window->Humidity, "-300", "Humidity 0 \u2026 100 %"},
      {window->RatedVoltage, "6600", "in kV, e.g. 6.6"},
  };
  for (const auto &r : refused) {
    r.box->setText(QString::fromUtf8(r.typed));
    EXPECT_FALSE(r.box->styleSheet().isEmpty()) << r.typed;
    EXPECT_TRUE(r.box->toolTip().contains(QString::fromUtf8(r.why)))
        << r.box->toolTip().toStdString();
  }
  const TestParticulars p = window->particulars();
  EXPECT_FALSE(p.windingTemperatureC || p.humidityPercent || p.ratedKv);
  EXPECT_EQ(result("R(1 min) at 40 \u00B0C").judgement, "enter the winding temperature");
  EXPECT_EQ(result("Overall").judgement, "not determined \u2014 enter the winding temperature");
}

TEST_F(FrmInsulationTest, ParticularsBelongToTheirRunAndLeaveWithTheTable) {
  addPiRun(table, at(11, 0, 0), 700);
  window->refresh();
  ASSERT_EQ(window->RunList->rowCount(), 2);
  window->selectRun(0);
  window->Equipment->setText("Motor M3");
  window->WindingTemperature->setText("20");
  window->selectRun(1);
  EXPECT_EQ(window->Equipment->text(), "");
  EXPECT_EQ(window->particulars().windingTemperatureC, std::nullopt);
  window->selectRun(0);
  EXPECT_EQ(window->Equipment->text(), "Motor M3");
  EXPECT_EQ(window->particulars().windingTemperatureC, 20.0);

  // Particulars handed in (from an asset's record) come back as they went in.
  TestParticulars given;
  given.equipment = "Transformer T1";
  given.equipmentKind = EquipmentKind::Transformer;
  given.insulationClass = InsulationClass::H;
  given.windingKind = WindingKind::DcArmature;
  given.ratedKv = 0.4;
  window->selectRun(1);
  window->setParticulars(given);
  const TestParticulars back = window->particulars();
  EXPECT_EQ(back.equipment, given.equipment);
  EXPECT_EQ(back.equipmentKind, given.equipmentKind);
  EXPECT_EQ(back.insulationClass, given.insulationClass);
  EXPECT_EQ(back.windingKind, given.windingKind);
  EXPECT_EQ(back.ratedKv, given.ratedKv);
  EXPECT_EQ(back.windingTemperatureC, std::nullopt);

  // Delete Data, then the next machine's test: nothing of Motor M3 remains.
  table.clear();
  QTRY_COMPARE(window->RunList->rowCount(), 0);
  EXPECT_EQ(window->Equipment->text(), "");
  addPiRun(table, at(12, 0, 0), 1);
  QTRY_COMPARE(window->RunList->rowCount(), 1);
  EXPECT_EQ(window->Equipment->text(), "");
  EXPECT_EQ(window->WindingTemperature->text(), "");
}

TEST(FrmInsulationRunsTest, OpensOnAJudgeableRunAndGreysTheShortOnes) {
  ReadingTable table;
  addPiRun(table, at(10, 0, 0), 1);
  // The meter's PI result screen, then a 20 s spot reading.
  table.appendRow(makeRow(602, at(10, 10, 1), "6.09", kGOhm, kFunction, "COMP:GOOD"));
  for (int s = 0; s <= 20; ++s)
    table.appendRow(makeRow(603 + s, at(10, 20, s), "5.00", kGOhm, kFunction, "Timed"));
  TFrmInsulation window(table, std::make_unique<RecordingPreviewer>());
  window.showRuns();
  ASSERT_EQ(window.RunList->rowCount(), 2);  // the result screen is no run
  EXPECT_EQ(window.selectedRun(), 0u);
  const QTableWidgetItem *note = window.RunList->item(1, 8);
  EXPECT_EQ(note->text(), "run ended at 0:20 \u2014 R(1 min) needs 58 s or more");
  EXPECT_EQ(note->foreground().color(), QColor(Qt::gray));
  EXPECT_EQ(window.RunList->item(1, 0)->toolTip(), note->text());
}

TEST(FrmInsulationRunsTest, OverRangeReadingsAreMarkedAtTheRangeTopAndSaidSo) {
  ReadingTable table;
  test_rows::RunSpec shape;  // 500 V: 2.00 GΩ for 15 s, then over the 20 GΩ range
  shape.function = test_rows::kIr500;
  shape.value = [](int s) { return std::string(s <= 15 ? "2.00" : "L"); };
  test_rows::appendRun(table, shape, at(9, 0, 0));
  TFrmInsulation window(table, std::make_unique<RecordingPreviewer>());
  window.showRuns();
  const QList<QPointF> &over = window.Curve->overRangePoints();
  ASSERT_EQ(over.size(), 585);
  EXPECT_EQ(over.first(), QPointF(16, 20e9));
  EXPECT_EQ(window.Curve->curvePoints().size(), 16);
  EXPECT_EQ(window.RunList->item(0, 5)->text(), "over range");
  EXPECT_EQ(window.shownResults().at(2).value, "over range (above 20 G\u03A9)");
}

TEST_F(FrmInsulationTest, TheCurveHasItsMarksAndATimeAxisOfChoice) {
  const RunCurveChart &curve = *window->Curve;
  EXPECT_EQ(curve.curvePoints().size(), 601);
  EXPECT_EQ(curve.curvePoints().first(), QPointF(0, 0.60e9));
  ASSERT_EQ(curve.marks().size(), 4u);
  EXPECT_EQ(curve.marks()[1].seconds, 30);
  EXPECT_DOUBLE_EQ(curve.marks()[1].ohms, 0.99e9);
  EXPECT_DOUBLE_EQ(curve.marks()[3].ohms, 8.40e9);
  EXPECT_FALSE(qobject_cast<QCategoryAxis *>(curve.timeAxis()));
  window->LogTime->click();
  // Logarithmic time: labelled by decade from 1 s to the 10 min mark's decade.
  auto *logAxis = qobject_cast<QCategoryAxis *>(curve.timeAxis());
  ASSERT_TRUE(logAxis);
  EXPECT_EQ(logAxis->categoriesLabels(), QStringList({"1 s", "10 s", "100 s", "1000 s"}));
  // Only the chosen time axis shows, and every series is drawn against it alone.
  for (QAbstractAxis *axis : curve.chart()->axes(Qt::Horizontal))
    EXPECT_EQ(axis->isVisible(), axis == curve.timeAxis());
  for (QAbstractSeries *series : curve.chart()->series()) {
    EXPECT_TRUE(series->attachedAxes().contains(curve.timeAxis()));
    EXPECT_EQ(series->attachedAxes().size(), 2);
  }
  QCoreApplication::processEvents();
  keep(window->grab().toImage(), "insulation_window");
}

TEST_F(FrmInsulationTest, TheReportHoldsTheRunItsResultsAndEveryReading) {
  window->Equipment->setText("Motor M-3");
  QTest::keyClicks(window->WindingTemperature, "20");
  QTest::mouseClick(window->ReportButton, Qt::LeftButton);
  ASSERT_EQ(previewer->shown.size(), 1u);
  const SeenPreview &seen = previewer->shown[0];
  EXPECT_EQ(seen.layout, "InsulationReport");
  EXPECT_EQ(seen.picture, QSize(950, 390));
  ASSERT_GE(seen.pages, 2);
  for (int p = 1; p <= seen.pages; ++p)
    EXPECT_EQ(seen.footers[p - 1],
              "Page " + std::to_string(p) + " of " + std::to_string(seen.pages));
  // 601 readings three to a line: the last line holds reading 601 alone, 10 minutes in.
  EXPECT_EQ(seen.lastDetail,
            (std::vector<std::string>{"602", "10:00.0", "8.40 G\u03A9", "", "", "", "", "", ""}));
}

TEST_F(FrmInsulationTest, ReportPagesForTheEye) {
  const auto runs = findInsulationRuns(table);
  ASSERT_EQ(runs.size(), 1u);
  TestParticulars particulars;
  particulars.equipment = "Motor M-3";
  particulars.location = "Pump house, bay 4";
  particulars.operatorName = "A. Tester";
  particulars.ambientTemperatureC = 18;
  particulars.humidityPercent = 55;
  particulars.windingTemperatureC = 20;
  particulars.ratedKv = 6.6;
  particulars.insulationClass = InsulationClass::B;
  particulars.windingKind = WindingKind::FormWound;
  const ReportDocument doc = openInsulationReport(table, runs[0], particulars, "09/12/2026");
  const QImage curve = window->Curve->picture(QSize(950, 390));
  // The first page names the run, the particulars and the verdicts.
  std::string firstPage;
  for (const PlacedElement &e : doc.page(1).elements) firstPage += e.text + "|";
  for (const char *expected : {"INSULATION TEST REPORT", "Motor M-3", "20 \u00B0C", "questionable",
                               "excellent", "345 M\u03A9", "Overall", "pass"})
    EXPECT_NE(firstPage.find(expected), std::string::npos) << expected;
  keep(renderReportPage(doc, 1, 100, &curve), "insulation_report_page1");
  keep(renderReportPage(doc, 2, 100, &curve), "insulation_report_page2");
}

TEST(FrmInsulationEmptyTest, AWindowWithoutRunsSaysSoAndMakesNoReport) {
  ReadingTable table;
  auto recording = std::make_unique<RecordingPreviewer>();
  RecordingPreviewer *previewer = recording.get();
  TFrmInsulation window(table, std::move(recording));
  window.showRuns();
  EXPECT_EQ(window.RunList->rowCount(), 0);
  EXPECT_TRUE(window.NoRuns->isVisible());
  EXPECT_FALSE(window.ReportButton->isEnabled());
  window.ReportClick();
  EXPECT_TRUE(previewer->shown.empty());

  // Readings arriving while the window is open show up by themselves.
  addPiRun(table, at(23, 55, 0), 1);  // past midnight: still one run
  QTRY_COMPARE(window.RunList->rowCount(), 1);
  EXPECT_TRUE(window.ReportButton->isEnabled());
  QCoreApplication::processEvents();
  expectEvenResultLines(window);
  EXPECT_EQ(window.runs()[0].durationMs, 600'000);
}

}  // namespace
}  // namespace vexal
