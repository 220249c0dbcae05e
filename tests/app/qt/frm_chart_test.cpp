// The trend chart in the main window: its hidden Graph menu items, Delete Graphic from the
// File menu, readings decoded from cable reports reaching the chart, enlarging over the
// window and both chart pictures of a recorded PI test. With VEXAL_SHOT_DIR set, the
// pictures and a shot of the window are also saved there as PNG files, e.g.
//   VEXAL_SHOT_DIR=/tmp/shots xvfb-run -a env QT_QPA_PLATFORM=xcb frm_chart_test
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QtCharts/QValueAxis>

#include "MeterFrame.h"
#include "Scenario.h"
#include "app/qt/FrmTest.h"
#include "record/qt/ReadingGrid.h"
#include "record/qt/TrendChart.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

constexpr const char *kExampleFrame = "FFC0000000000000000006EBA7368057D7DFD0EF0D0A";

class StepClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override { return now += 30'000; }
  std::int32_t now = 14 * 3600 * 1000;
};

class FixedDateTime : public DateTimeClock {
 public:
  LocalDateTime now() override { return {2024, 8, 15, 14, 30}; }
};

class FrmChartTest : public ::testing::Test {
 protected:
  FrmChartTest() {
    savedHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    TFrmTest::Services services{&clock, &dialogs};
    services.dateClock = &dateClock;
    frm = std::make_unique<TFrmTest>(std::move(services));
    frm->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  }
  ~FrmChartTest() override {
    frm.reset();
    qputenv("HOME", savedHome);
  }

  void feedFrame(const std::string &hex) {
    for (const auto &report : cableReportsFor(hex))
      frm->ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }

  std::size_t drawnPoints() const {
    std::size_t n = 0;
    for (const ChartRun &run : frm->Chtshow->shownRuns()) n += run.points.size();
    return n;
  }
  QString graphFolder() const { return home.path() + "/TestGraph/"; }

  // Saves `image` as PNG into VEXAL_SHOT_DIR when it is set.
  static void keep(const QImage &image, const QString &name) {
    const QByteArray dir = qgetenv("VEXAL_SHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    EXPECT_TRUE(image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
  }

  QTemporaryDir home;
  QByteArray savedHome;
  StepClock clock;
  FixedDateTime dateClock;
  ScriptedDialogs dialogs;
  std::unique_ptr<TFrmTest> frm;
};

TEST_F(FrmChartTest, TheHiddenFillItemAndTheFillBoxStayInStep) {
  ASSERT_TRUE(frm->FillP->isChecked());
  frm->FillP->trigger();
  EXPECT_FALSE(frm->FillP->isChecked());
  EXPECT_FALSE(frm->Chtshow->BtFill->isChecked());
  EXPECT_EQ(frm->Chtshow->shownSeries(), TrendChart::kLineSeries);
  frm->Chtshow->BtFill->click();
  EXPECT_TRUE(frm->FillP->isChecked());
  EXPECT_EQ(frm->Chtshow->shownSeries(), TrendChart::kAreaSeries);
}

TEST_F(FrmChartTest, DecodedReadingsReachTheChartAndTheMenuPagesThroughThem) {
  for (int i = 0; i < 150; ++i) feedFrame(kExampleFrame);
  ASSERT_EQ(frm->session().cds1.rowCount(), 150u);
  EXPECT_EQ(frm->Chtshow->Bt10->text(), "2");
  EXPECT_EQ(drawnPoints(), 50u);
  frm->FirstP->trigger();
  EXPECT_EQ(frm->Chtshow->Bt10->text(), "1");
  EXPECT_EQ(drawnPoints(), 100u);
  frm->NextP->trigger();
  EXPECT_EQ(frm->Chtshow->Bt10->text(), "2");
  frm->PrivousP->trigger();
  EXPECT_EQ(frm->Chtshow->Bt10->text(), "1");
  frm->LastP->trigger();
  EXPECT_EQ(frm->Chtshow->Bt10->text(), "2");
  EXPECT_FALSE(frm->Chtshow->BtNext->isEnabled());

  frm->ClearP->trigger();  // Delete Graphic
  EXPECT_EQ(drawnPoints(), 0u);
  EXPECT_TRUE(frm->Chtshow->placeholderAxis()->isVisible());
  EXPECT_EQ(frm->session().cds1.rowCount(), 150u);
}

TEST_F(FrmChartTest, TheInsulationTestIsAskedForFromTheChartAndFromTheGrid) {
  QSignalSpy asked(frm.get(), &TFrmTest::insulationTestRequested);
  // Beside the tool bar: no control of the chart's tool bar lies under the new button.
  const QRect button = frm->Chtshow->BtInsulation->geometry();
  for (QToolButton *control :
       {frm->Chtshow->TbFd, frm->Chtshow->BTlast, frm->Chtshow->BtNext, frm->Chtshow->TbSx})
    EXPECT_FALSE(button.intersects(control->geometry())) << control->toolTip().toStdString();
  EXPECT_TRUE(frm->Chtshow->rect().contains(button));
  frm->Chtshow->BtInsulation->click();
  EXPECT_EQ(asked.count(), 1);
  EXPECT_EQ(frm->DBGrid1->contextMenuPolicy(), Qt::ActionsContextMenu);
  ASSERT_EQ(frm->DBGrid1->actions().size(), 1);
  EXPECT_EQ(frm->DBGrid1->actions()[0]->text(), "Insulation Test...");
  frm->DBGrid1->actions()[0]->trigger();
  EXPECT_EQ(asked.count(), 2);
}

TEST_F(FrmChartTest, NewResetsTheChartEvenWhenDeleteDataIsRefused) {
  for (int i = 0; i < 5; ++i) feedFrame(kExampleFrame);
  dialogs.answerNextBox(BoxAnswer::No);
  frm->New->trigger();
  EXPECT_EQ(frm->session().cds1.rowCount(), 5u);
  EXPECT_EQ(drawnPoints(), 0u);
  EXPECT_EQ(frm->Chtshow->points().count(), 0u);

  frm->New->trigger();  // and Yes
  EXPECT_EQ(frm->session().cds1.rowCount(), 0u);
  feedFrame(kExampleFrame);
  EXPECT_EQ(frm->Chtshow->points().count(), 1u);
}

TEST_F(FrmChartTest, EnlargedOverTheWindowAndBackWhenShortenedFirst) {
  const QSize outer = frm->frameGeometry().size();
  frm->Chtshow->TbFd->click();
  EXPECT_EQ(frm->Chtshow->geometry(), QRect(2, 30, outer.width() - 12, outer.height() - 90));
  frm->Chtshow->TbSx->click();
  EXPECT_EQ(frm->Chtshow->geometry(), QRect(18, 612, 361, 209));

  // A window taller than 600 is made 564 high before the chart is sized from it.
  frm->ClientArea->setFixedHeight(frm->ClientArea->height() + 100);
  frm->setFixedHeight(frm->height() + 100);
  ASSERT_GT(frm->frameGeometry().height(), 600);
  frm->Chtshow->TbSxClick();
  EXPECT_EQ(frm->frameGeometry().height(), 564);
  EXPECT_EQ(frm->Chtshow->height(), 564 - 90);
}

TEST_F(FrmChartTest, AMissingPictureFolderGoesToTheErrorBoxWithoutAnInformationBox) {
  frm->Chtshow->BtSave->click();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_EQ(dialogs.boxes[0].text, "Cannot create file \"" + graphFolder() +
                                       "2408151430page1.bmp\". No such file or directory.");
  frm->Savepicture->trigger();
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].icon, BoxIcon::Error);
  EXPECT_TRUE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(FrmChartTest, PiTestRecordedAndBothPicturesSaved) {
  const auto scenario = sim::builtinScenario("pi", 1);
  ASSERT_TRUE(scenario);
  for (const sim::ScenarioStep &step : *scenario) feedFrame(sim::hexText(step.frame));
  ASSERT_GE(frm->session().cds1.rowCount(), 10u);
  ASSERT_TRUE(QDir().mkpath(graphFolder()));

  frm->Chtshow->BtSave->click();
  frm->Savepicture->trigger();
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].title, "Information");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Information);
  EXPECT_EQ(dialogs.boxes[0].text, "graphic has saved on " + graphFolder() + "2408151430page1.bmp");
  EXPECT_EQ(dialogs.boxes[1].text,
            "graphic has saved on " + graphFolder() + "2408151430Fullpage.bmp");
  const QImage page(graphFolder() + "2408151430page1.bmp");
  const QImage whole(graphFolder() + "2408151430Fullpage.bmp");
  EXPECT_EQ(page.size(), QSize(361, 209));
  EXPECT_EQ(whole.size(), QSize(361, 209));
  keep(page, "chart_page1");
  keep(whole, "chart_fullpage");

  frm->Chtshow->TbSxClick();
  frm->Chtshow->BtSaveClick();
  const QImage enlarged(graphFolder() + "2408151430page1.bmp");
  EXPECT_EQ(enlarged.size(), frm->Chtshow->size());
  keep(enlarged, "chart_enlarged");
  QCoreApplication::processEvents();
  keep(frm->grab().toImage(), "window_enlarged");
  frm->Chtshow->TbSxClick();
  frm->ClientArea->verticalScrollBar()->setValue(frm->ClientArea->verticalScrollBar()->maximum());
  QCoreApplication::processEvents();
  keep(frm->grab().toImage(), "window_scrolled_to_chart");
}

}  // namespace
}  // namespace vexal
