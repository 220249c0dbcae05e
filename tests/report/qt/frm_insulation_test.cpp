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
#include <QtCharts/QLogValueAxis>
#include <algorithm>
#include <cstdio>

#include "common/Cp936.h"
#include "recording_previewer.h"
#include "report/qt/ReportRenderer.h"
#include "report/qt/RunCurveChart.h"
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
  EXPECT_EQ(cell(0, 6), "1.39");
  EXPECT_EQ(cell(0, 7), "6.09");
  EXPECT_FALSE(window->NoRuns->isVisible());
  EXPECT_EQ(window->selectedRun(), 0u);
}

TEST_F(FrmInsulationTest, ResultsCarryTheirBandsAndFollowTheParticulars) {
  EXPECT_EQ(result("R(30 s)").value, "990 M\u03A9");
  EXPECT_EQ(result("R(10 min)").value, "8.40 G\u03A9");
  EXPECT_EQ(result("DAR = R(1 min) / R(30 s)").judgement, "questionable");
  EXPECT_EQ(result("DAR = R(1 min) / R(30 s)").tone, ResultTone::Warning);
  EXPECT_EQ(result("PI = R(10 min) / R(1 min)").judgement, "excellent");
  EXPECT_EQ(result("Overall").judgement, "not determined");

  // 20 °C: resistance halves twice up to 40 °C, 1.38 GΩ → 345 MΩ; 6.6 kV form-wound: at
  // least 100 MΩ; class B: PI at least 2.0.
  QTest::keyClicks(window->WindingTemperature, "20");
  QTest::keyClicks(window->RatedVoltage, "6,6");
  EXPECT_EQ(result("R(1 min) at 40 \u00B0C").value, "345 M\u03A9");
  EXPECT_EQ(result("Minimum insulation resistance").judgement, "pass");
  EXPECT_EQ(result("Minimum PI (class B)").judgement, "pass");
  EXPECT_EQ(result("Suggested DC test voltage").value, "2500\u20135000 V");
  EXPECT_EQ(result("Overall").judgement, "pass");
  EXPECT_EQ(result("Overall").tone, ResultTone::Good);

  // Older windings at 400 kV would need 401 MΩ: the check and the verdict fail.
  window->WindingKindBox->setCurrentIndex(0);
  window->RatedVoltage->setText("400");
  EXPECT_EQ(result("Minimum insulation resistance").judgement, "fail");
  EXPECT_EQ(result("Overall").judgement, "fail");
  EXPECT_EQ(result("Overall").tone, ResultTone::Bad);

  // Not a number: the box shows it and the value is left out, nothing else breaks.
  window->WindingTemperature->setText("warm");
  EXPECT_FALSE(window->particulars().windingTemperatureC);
  EXPECT_FALSE(window->WindingTemperature->styleSheet().isEmpty());
  EXPECT_EQ(result("R(1 min) at 40 \u00B0C").judgement, "needs the winding temperature");
}

TEST_F(FrmInsulationTest, TheCurveHasItsMarksAndATimeAxisOfChoice) {
  const RunCurveChart &curve = *window->Curve;
  EXPECT_EQ(curve.curvePoints().size(), 601);
  EXPECT_EQ(curve.curvePoints().first(), QPointF(0, 0.60e9));
  ASSERT_EQ(curve.marks().size(), 4u);
  EXPECT_EQ(curve.marks()[1].seconds, 30);
  EXPECT_DOUBLE_EQ(curve.marks()[1].ohms, 0.99e9);
  EXPECT_DOUBLE_EQ(curve.marks()[3].ohms, 8.40e9);
  EXPECT_FALSE(qobject_cast<QLogValueAxis *>(curve.timeAxis()));
  window->LogTime->click();
  EXPECT_TRUE(qobject_cast<QLogValueAxis *>(curve.timeAxis()));
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
  particulars.windingTemperatureC = 20;
  particulars.ratedKv = 6.6;
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
