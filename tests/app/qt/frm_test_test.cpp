// The main window driven like a user would: start-up state, menus, F1, the recording tool
// bar, Delete Data, Save/Open Data through scripted dialogs, the error box and frames fed as
// cable reports. Runs offscreen; no dialog waits for a person and no test waits real seconds.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <stdexcept>

#include "app/qt/FrmTest.h"
#include "app/qt/FrmTestLayout.h"
#include "app/qt/PanelButton.h"
#include "common/Cp936.h"
#include "common/qt/ErrorBox.h"
#include "decode/FrameDecoder.h"
#include "decode/qt/PanelRenderer.h"
#include "record/qt/ReadingGrid.h"
#include "record/qt/ReadingGridModel.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

// The worked example: 12.34 GΩ at the 1000 V test voltage.
constexpr const char *kExampleFrame = kWorkedExampleFrame;
// The same with the DC bit (character 8) set.
constexpr const char *kDcFrame = "FFC0000100000000000006EBA7368057D7DFD0EF0D0A";
// The worked example with its fourth main digit changed from 4 to 7 ("7N").
constexpr const char *kOtherValueFrame = "FFC0000000000000000006EBA7078057D7DFD0EF0D0A";

class FrmTestTest : public ::testing::Test {
 protected:
  FrmTestTest() : frm(std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs})) {}

  // Sends a frame the way the cable does: three reports of 7 bytes, one of 1, then an idle
  // report that closes the transmission.
  void feedFrame(const std::string &hex) {
    for (const auto &report : cableReportsFor(hex))
      frm->ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }

  Recorder &recorder() { return frm->session().recorder; }
  std::size_t rows() { return frm->session().cds1.rowCount(); }

  void click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }

  FixedClock clock{(9 * 3600 + 30 * 60 + 15) * 1000 + 250};
  ScriptedDialogs dialogs;
  std::unique_ptr<TFrmTest> frm;
};

// --- Start-up ----------------------------------------------------------------------------

TEST_F(FrmTestTest, FreshStartShowsTheBuiltInState) {
  EXPECT_EQ(frm->windowTitle(), "Vexal V1.00");
  EXPECT_EQ(frm->DataSource1->rowCount(), 0);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 0);
  EXPECT_EQ(frm->DBGrid1->currentRow(), -1);
  EXPECT_TRUE(frm->RepeatSet->isChecked());
  EXPECT_TRUE(recorder().repeatSet());
  EXPECT_FALSE(frm->RecordSI->isChecked());
  EXPECT_FALSE(recorder().recordSI());
  EXPECT_EQ(frm->RecordSITime->text(), "10");
  EXPECT_TRUE(frm->set10k->isChecked());
  for (QAction *other : {frm->set1k, frm->set5k, frm->set50k, frm->set100k, frm->setlimit})
    EXPECT_FALSE(other->isChecked()) << other->text().toStdString();
  EXPECT_EQ(recorder().RecordNo, 1);
  EXPECT_EQ(recorder().MaxRecords, 10000);
  EXPECT_EQ(recorder().SampleInterval, 0);
  EXPECT_EQ(frm->session().reading.ValueText, "0000");
  EXPECT_EQ(frm->link().LinkKind(), 5);
  EXPECT_EQ(frm->Panel1->caption(), "USB");
  EXPECT_EQ(frm->LocaleDecimalSeparator, localeDecimalSeparator());
  EXPECT_EQ(frm->session().decoder.decimalSeparator(), frm->LocaleDecimalSeparator);
  EXPECT_FALSE(frm->AppDir.empty());
  EXPECT_EQ(frm->AppDir.back(), '/');
  EXPECT_EQ(frm->Panel2->caption(), "Connect");
  EXPECT_EQ(frm->Panel3->caption(), "Exit");
}

TEST_F(FrmTestTest, TimersRunAsTheirTableSays) {
  for (const TimerDesign &design : mainWindowTimers()) {
    const auto *timer = frm->findChild<QTimer *>(design.name);
    ASSERT_NE(timer, nullptr) << design.name;
    EXPECT_EQ(timer->interval(), design.intervalMs) << design.name;
    EXPECT_EQ(timer->isActive(), design.running) << design.name;
  }
  EXPECT_EQ(frm->Timer2->objectName(), "Timer2");  // the watchdog is the session's Timer2
}

// Every control of the surface and of the recording tool bar sits where the layout table
// says, shown or hidden as it says; none is placed outside the table.
TEST_F(FrmTestTest, ControlsSitWhereTheLayoutTableSays) {
  for (const DesignPlace &place : mainWindowPlaces()) {
    const auto *control = frm->findChild<QWidget *>(place.name);
    ASSERT_NE(control, nullptr) << place.name;
    if (!place.geometry.isEmpty()) {
      EXPECT_EQ(control->geometry(), place.geometry) << place.name;
    }
    EXPECT_EQ(control->isHidden(), !place.shown) << place.name;
  }
  for (QWidget *holder : {frm->ClientArea->widget(), static_cast<QWidget *>(frm->Panel7)}) {
    for (const QWidget *control :
         holder->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
      const std::string name = control->objectName().toStdString();
      EXPECT_NO_THROW(mainWindowPlace(name)) << "a control without a design place: " << name;
    }
  }
  EXPECT_EQ(frm->Panel2->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(frm->RecordSI->text(), "Sampling Interval              'S");
}

TEST_F(FrmTestTest, PictureButtonsCarryTheirHints) {
  EXPECT_EQ(frm->SpeedButton2->toolTip(), "Delete Data");
  EXPECT_EQ(frm->SpeedButton1->toolTip(), "Save Data");
  EXPECT_EQ(frm->SpeedButton3->toolTip(), "Open Data");
  EXPECT_EQ(frm->MajPrint->toolTip(), "Print Data");
  EXPECT_EQ(frm->SpeedButton5->toolTip(), "Store Data");
  EXPECT_TRUE(frm->SpeedButton5->isHidden());
  for (QToolButton *button : {frm->SpeedButton1, frm->SpeedButton2, frm->SpeedButton3})
    EXPECT_FALSE(button->icon().isNull());
}

TEST_F(FrmTestTest, WindowIsFixedSizeWithScrollingClientArea) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  EXPECT_EQ(frm->minimumSize(), frm->maximumSize());
  EXPECT_EQ(frm->ClientArea->viewport()->size(),
            QSize(TFrmTest::kClientWidth, TFrmTest::kClientHeight));
  const Qt::WindowFlags flags = frm->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  // SetFeature lies beyond the client area: reachable by scrolling there.
  EXPECT_GT(frm->ClientArea->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(frm->ClientArea->verticalScrollBar()->maximum(), 0);
  frm->ClientArea->ensureWidgetVisible(frm->SetFeature, 0, 0);
  const QPoint seen = frm->SetFeature->mapTo(frm->ClientArea->viewport(), QPoint(0, 0));
  EXPECT_TRUE(frm->ClientArea->viewport()->rect().contains(QRect(seen, frm->SetFeature->size())));
}

// --- Menus -------------------------------------------------------------------------------

QStringList shownItems(const QList<QAction *> &actions) {
  QStringList captions;
  for (QAction *action : actions)
    if (action->isVisible() && !action->isSeparator()) captions << action->text();
  return captions;
}

// "Record" as designed, then the archive's item added after it.
TEST_F(FrmTestTest, MenuBarShowsRecordThenArchive) {
  EXPECT_EQ(shownItems(frm->MainMenu1->actions()), (QStringList{"Record", "Archive"}));
  EXPECT_EQ(shownItems(frm->Rec->actions()), QStringList{" RecordSet"});
  EXPECT_EQ(shownItems(frm->RecSet->actions()),
            (QStringList{"1000", "5000", "10000", "50000", "100000", "Limitless"}));
  // The hidden ones exist with their items.
  EXPECT_EQ(frm->FileSet1->title(), "File");
  EXPECT_EQ(frm->Comset->title(), "ComSet");
  EXPECT_EQ(frm->Grap->title(), "Graph");
  EXPECT_EQ(frm->About1->title(), "About");
  EXPECT_EQ(frm->Help2->text(), "Help");
  EXPECT_EQ(frm->ClearR->text(), " Clear All");
  EXPECT_FALSE(frm->ClearR->isVisible());
  EXPECT_EQ(frm->Save_as->text(), "  Save As...");
  EXPECT_EQ(frm->miExit->text(), "   Exit");
  EXPECT_TRUE(frm->FillP->isChecked());
  EXPECT_EQ(frm->HELP1->shortcut(), QKeySequence(Qt::Key_F1));
  QSignalSpy archive(frm.get(), &TFrmTest::archiveRequested);
  frm->ArchiveItem->trigger();
  EXPECT_EQ(archive.count(), 1);
}

TEST_F(FrmTestTest, F1ReachesTheHelpHandlerAlthoughItsMenuIsHidden) {
  QSignalSpy help(frm.get(), &TFrmTest::helpRequested);
  frm->show();
  QApplication::setActiveWindow(frm.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
  QTest::keyClick(frm.get(), Qt::Key_F1);
  EXPECT_EQ(help.count(), 1);
  // From anywhere in the window, e.g. while typing in the interval box.
  frm->RecordSITime->setFocus();
  QTest::keyClick(frm->RecordSITime, Qt::Key_F1);
  EXPECT_EQ(help.count(), 2);
  EXPECT_EQ(frm->RecordSITime->text(), "10");
}

// --- Recording rules ---------------------------------------------------------------------

TEST_F(FrmTestTest, RecordLimitItemsBehaveAsRadioItems) {
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  ASSERT_EQ(rows(), 2u);

  frm->set1k->trigger();
  EXPECT_EQ(recorder().MaxRecords, 1000);
  EXPECT_TRUE(frm->set1k->isChecked());
  EXPECT_FALSE(frm->set10k->isChecked());
  EXPECT_EQ(rows(), 2u);
  EXPECT_EQ(recorder().RecordNo, 3);

  frm->setlimit->trigger();
  EXPECT_EQ(recorder().MaxRecords, 10'000'000);
  EXPECT_TRUE(frm->setlimit->isChecked());
  EXPECT_FALSE(frm->set1k->isChecked());

  // Choosing the checked item again keeps it checked.
  frm->setlimit->trigger();
  EXPECT_TRUE(frm->setlimit->isChecked());

  const std::pair<QAction *, int> items[] = {
      {frm->set5k, 5000}, {frm->set50k, 50000}, {frm->set100k, 100000}, {frm->set10k, 10000}};
  for (const auto &[item, limit] : items) {
    item->trigger();
    EXPECT_EQ(recorder().MaxRecords, limit);
    int checked = 0;
    for (QAction *any : frm->RecordLimits->actions()) checked += any->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_TRUE(item->isChecked());
  }
}

TEST_F(FrmTestTest, RecordingStopsAtTheLimitAndResumesWhenRaised) {
  recorder().RecordNo = 1000;
  frm->set1k->trigger();
  feedFrame(kExampleFrame);  // number 1000 is still recorded
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 1u);
  EXPECT_EQ(recorder().RecordNo, 1001);
  frm->set5k->trigger();
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 2u);
}

TEST_F(FrmTestTest, DeleteDataAnsweredNoKeepsEverything) {
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  dialogs.answerNextBox(BoxAnswer::No);
  click(frm->SpeedButton2);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(
      dialogs.boxes[0],
      (MessageBoxRequest{"Confirm", "Do you want to remove the current data and create a new data?",
                         BoxIcon::Question, BoxButtons::YesNo}));
  EXPECT_EQ(rows(), 2u);
  EXPECT_EQ(recorder().RecordNo, 3);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 2);
}

TEST_F(FrmTestTest, DeleteDataAnsweredYesEmptiesTheTable) {
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  recorder().SampleInterval = 4;
  dialogs.answerNextBox(BoxAnswer::Yes);
  click(frm->SpeedButton2);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(rows(), 0u);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 0);
  EXPECT_EQ(frm->DBGrid1->currentRow(), -1);
  EXPECT_EQ(recorder().RecordNo, 1);
  EXPECT_EQ(recorder().LastRecordedValue, frm->session().reading.ValueText);
  EXPECT_EQ(recorder().SampleInterval, 4);

  // The hidden " Clear All" item runs the same command, also on an empty table.
  recorder().RecordNo = 9;
  dialogs.answerNextBox(BoxAnswer::Yes);
  frm->ClearR->trigger();
  EXPECT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(recorder().RecordNo, 1);
}

TEST_F(FrmTestTest, IntervalRecordingFollowsTheTimerTicks) {
  frm->RecordSITime->setText("3");
  click(frm->RecordSI);
  ASSERT_TRUE(recorder().recordSI());
  EXPECT_EQ(recorder().SampleInterval, 3);  // editing the box restarted the countdown

  for (int tick = 0; tick < 3; ++tick) frm->SampInterTimeTimer();
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 1u);
  EXPECT_EQ(recorder().SampleInterval, 3);

  feedFrame(kExampleFrame);
  frm->SampInterTimeTimer();
  frm->SampInterTimeTimer();
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 1u);  // one tick still to go
  frm->SampInterTimeTimer();
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 2u);

  // Unticked, the countdown stands still and every reading is recorded.
  click(frm->RecordSI);
  const auto interval = recorder().SampleInterval;
  frm->SampInterTimeTimer();
  EXPECT_EQ(recorder().SampleInterval, interval);
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 4u);
}

TEST_F(FrmTestTest, RepeatBoxFiltersRepeatedValues) {
  click(frm->RepeatSet);
  ASSERT_FALSE(recorder().repeatSet());
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  feedFrame(kOtherValueFrame);
  feedFrame(kExampleFrame);
  ASSERT_EQ(rows(), 3u);
  const std::string sep = frm->LocaleDecimalSeparator;
  EXPECT_EQ(frm->session().cds1.text(0, Field::Value), "12" + sep + "34");
  EXPECT_EQ(frm->session().cds1.text(1, Field::Value), "12" + sep + "37");
  EXPECT_EQ(frm->session().cds1.text(2, Field::Value), "12" + sep + "34");
}

TEST_F(FrmTestTest, IntervalBoxTakesOnlyDigitsAndBackspace) {
  frm->RecordSITime->clear();
  frm->RecordSITime->setFocus();
  QTest::keyClicks(frm->RecordSITime, "1a2 -+.b3");
  EXPECT_EQ(frm->RecordSITime->text(), "123");
  EXPECT_EQ(recorder().SampleInterval, 123);
  QTest::keyClick(frm->RecordSITime, Qt::Key_Backspace);
  EXPECT_EQ(frm->RecordSITime->text(), "12");
  EXPECT_EQ(recorder().SampleInterval, 12);
  QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier,
                     QString::fromUtf8("\xC3\xA9"));
  QApplication::sendEvent(frm->RecordSITime, &accented);
  QTest::keyClick(frm->RecordSITime, Qt::Key_4);
  EXPECT_EQ(frm->RecordSITime->text(), "124");

  char key = 'x';
  frm->RecordSITimeKeyPress(key);
  EXPECT_EQ(key, '\0');
  key = '7';
  frm->RecordSITimeKeyPress(key);
  EXPECT_EQ(key, '7');
  key = '\b';
  frm->RecordSITimeKeyPress(key);
  EXPECT_EQ(key, '\b');
  EXPECT_TRUE(dialogs.boxes.empty());
}

// --- Frames ------------------------------------------------------------------------------

TEST_F(FrmTestTest, WorkedExampleFrameAppendsAGridRow) {
  feedFrame(kExampleFrame);
  ASSERT_EQ(rows(), 1u);
  const ReadingTable &table = frm->session().cds1;
  const std::string sep = frm->LocaleDecimalSeparator;
  EXPECT_EQ(table.no(0), 1);
  EXPECT_EQ(table.timeMs(0), clock.now);
  EXPECT_EQ(table.text(0, Field::Value), "12" + sep + "34");
  EXPECT_EQ(table.text(0, Field::Unit), "G" + std::string(kOhm));
  EXPECT_EQ(table.text(0, Field::VRange), "IR:1000V 40G" + std::string(kOhm));
  EXPECT_EQ(table.text(0, Field::IRange), "Continuous");

  EXPECT_EQ(frm->DBGrid1->rowCount(), 1);
  EXPECT_EQ(frm->DBGrid1->currentRow(), 0);
  EXPECT_EQ(frm->DataSource1->cellText(0, 0), "1");
  EXPECT_EQ(frm->DataSource1->cellText(0, 1), QString::fromStdString(formatLongTime(clock.now)));
  EXPECT_EQ(frm->DataSource1->cellText(0, 3), QString::fromUtf8("G\xCE\xA9"));  // GΩ
  EXPECT_EQ(frm->DataSource1->cellText(0, 4), QString::fromUtf8("IR:1000V 40G\xCE\xA9"));
  EXPECT_EQ(recorder().RecordNo, 2);
}

TEST_F(FrmTestTest, GridMovesToEachNewRow) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  for (int i = 0; i < 40; ++i) feedFrame(kExampleFrame);
  EXPECT_EQ(frm->DBGrid1->currentRow(), 39);
  EXPECT_GE(39, frm->DBGrid1->topRow());
  EXPECT_LT(39, frm->DBGrid1->topRow() + frm->DBGrid1->visibleRowCount());
}

TEST_F(FrmTestTest, FramesRedrawTheMirror) {
  // A pixel on the bar graph's base line: black while the scale shows, white once a DC
  // frame hides the whole bar-graph region.
  const QPoint onBaseLine(10 + 18 + 100, 40 + 26 + 2);
  EXPECT_EQ(frm->Panel4->grab().toImage().pixelColor(onBaseLine), QColor(Qt::black));
  feedFrame(kDcFrame);
  EXPECT_EQ(frm->session().reading.FunctionText, "DCV  600V");
  const QImage dc = frm->Panel4->grab().toImage();
  EXPECT_EQ(dc.pixelColor(onBaseLine), QColor(Qt::white));
  feedFrame(kExampleFrame);
  EXPECT_EQ(frm->Panel4->grab().toImage().pixelColor(onBaseLine), QColor(Qt::black));
}

TEST_F(FrmTestTest, RecordingFailureIsShownOncePerBoxText) {
  frm->RecordSITime->setText("99999999999");  // pasted: does not convert
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0],
            (MessageBoxRequest{"Vexal", "'99999999999' is not a valid integer value.",
                               BoxIcon::Error, BoxButtons::Ok}));
  for (int i = 0; i < 5; ++i) feedFrame(kExampleFrame);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(rows(), 0u);
  EXPECT_EQ(recorder().RecordNo, 1);
  // Frames are still decoded: the mirror shows the reading.
  EXPECT_EQ(frm->session().reading.ValueText, "12" + frm->LocaleDecimalSeparator + "34");

  frm->RecordSITime->setText("88888888888");
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[1].text, "'88888888888' is not a valid integer value.");

  frm->RecordSITime->setText("5");
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 1u);
  EXPECT_EQ(dialogs.boxes.size(), 2u);

  // After a good text, the same bad text is news again.
  frm->RecordSITime->setText("88888888888");
  EXPECT_EQ(dialogs.boxes.size(), 3u);
}

TEST_F(FrmTestTest, RecordingFailureFromFramesAloneIsShownOnce) {
  // The recorder holds a text that does not convert, without the window having shown it.
  EXPECT_THROW(recorder().RecordSITimeChange("2147483648"), EConvertError);
  for (int i = 0; i < 3; ++i) feedFrame(kExampleFrame);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "'2147483648' is not a valid integer value.");
  EXPECT_EQ(rows(), 0u);
}

// --- Error box ---------------------------------------------------------------------------

TEST_F(FrmTestTest, EscapingExceptionIsShownAndTheProgramGoesOn) {
  EXPECT_FALSE(runGuarded(dialogs, [] { throw std::runtime_error("Something broke"); }));
  EXPECT_FALSE(runGuarded(dialogs, [] { throw std::runtime_error("Something broke!"); }));
  EXPECT_TRUE(runGuarded(dialogs, [] {}));
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0],
            (MessageBoxRequest{"Vexal", "Something broke.", BoxIcon::Error, BoxButtons::Ok}));
  EXPECT_EQ(dialogs.boxes[1].text, "Something broke!");
  // The window goes on recording.
  feedFrame(kExampleFrame);
  EXPECT_EQ(rows(), 1u);
}

// --- Data files --------------------------------------------------------------------------

class FrmTestFiles : public FrmTestTest {
 protected:
  QString path(const QString &name) const { return dir.filePath(name); }
  QTemporaryDir dir;
};

TEST_F(FrmTestFiles, SaveDataWritesTheTableAndSaysSo) {
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  frm->SaveDialog2.fileName = "leftover.xls";
  const QString file = path("data.xls");
  dialogs.chooseNextFile(file);
  click(frm->SpeedButton1);

  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  const FileDialogRequest &asked = dialogs.fileDialogs[0];
  EXPECT_EQ(asked.mode, FileDialogMode::Save);
  EXPECT_EQ(asked.nameFilters, (QStringList{"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)"}));
  EXPECT_EQ(asked.defaultSuffix, "xls");
  EXPECT_TRUE(asked.confirmOverwrite);
  EXPECT_TRUE(asked.fileName.isEmpty());  // cleared before every Save Data

  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0],
            (MessageBoxRequest{"Vexal", "Save table to specified file: " + file + " Scuss!",
                               BoxIcon::None, BoxButtons::Ok}));
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = saved.readAll().split('\n');
  EXPECT_EQ(lines[0], "Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r");
  EXPECT_TRUE(lines[1].startsWith("1\t"));
  EXPECT_TRUE(lines[1].contains("G\xA6\xB8"));  // code page 936 bytes written unchanged
  EXPECT_EQ(rows(), 2u);
  EXPECT_EQ(frm->DBGrid1->currentRow(), 1);  // the last row is current afterwards
}

TEST_F(FrmTestFiles, SaveDataFailureSaysSo) {
  feedFrame(kExampleFrame);
  const QString file = path("missing/data.txt");
  dialogs.chooseNextFile(file);
  click(frm->SpeedButton1);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0],
            (MessageBoxRequest{"Vexal", "Could not save table to specified file: " + file,
                               BoxIcon::None, BoxButtons::Ok}));
}

TEST_F(FrmTestFiles, FailedXmlSaveReachesTheErrorBox) {
  feedFrame(kExampleFrame);
  dialogs.chooseNextFile(path("missing/data.xml"));
  click(frm->SpeedButton1);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "Vexal");
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_TRUE(dialogs.boxes[0].text.contains(path("missing/data.xml")));
  EXPECT_FALSE(dialogs.boxes[0].text.contains("Scuss!"));
  // The grid got its updates back and recording goes on.
  feedFrame(kExampleFrame);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 2);
}

TEST_F(FrmTestFiles, ReportsDuringASaveWaitUntilTheFileIsWritten) {
  feedFrame(kExampleFrame);
  const QString file = path("during.txt");
  dialogs.chooseNextFile(file);
  // Arrives while the save runs (the GUI thread takes posted events meanwhile).
  QMetaObject::invokeMethod(
      frm.get(), [this] { feedFrame(kOtherValueFrame); }, Qt::QueuedConnection);
  frm->Save_asClick();
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll().count('\n'), 2);  // header and the one row before the save
  ASSERT_EQ(rows(), 2u);                      // the report was decoded and recorded right after
  EXPECT_EQ(frm->session().cds1.text(1, Field::Value), "12" + frm->LocaleDecimalSeparator + "37");
  EXPECT_EQ(frm->DBGrid1->rowCount(), 2);
}

TEST_F(FrmTestFiles, CancelledDialogsDoNothing) {
  feedFrame(kExampleFrame);
  click(frm->SpeedButton1);
  click(frm->SpeedButton3);
  EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(rows(), 1u);
}

TEST_F(FrmTestFiles, OpenDataAddsTextRowsAndKeepsTheReadingNumber) {
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  feedFrame(kExampleFrame);
  const QString file = path("three.txt");
  dialogs.chooseNextFile(file);
  frm->Save_as->trigger();  // the hidden File menu's item does the same
  dialogs.boxes.clear();

  dialogs.chooseNextFile(file);
  click(frm->SpeedButton3);
  ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
  const FileDialogRequest &asked = dialogs.fileDialogs[1];
  EXPECT_EQ(asked.mode, FileDialogMode::Open);
  EXPECT_EQ(asked.nameFilters,
            (QStringList{"Excel File(*.xls)", "XML (*.xml)", "Txt File(*.txt)"}));
  EXPECT_TRUE(asked.defaultSuffix.isEmpty());
  EXPECT_TRUE(asked.acceptMissingFile);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(rows(), 6u);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 6);
  EXPECT_EQ(recorder().RecordNo, 4);
  // The text form keeps whole seconds of the time.
  TableRow expected = frm->session().cds1.row(0);
  expected.timeMs = *expected.timeMs / 1000 * 1000;
  EXPECT_EQ(frm->session().cds1.row(3), expected);

  // The dialog keeps the last chosen name.
  dialogs.chooseNextFile(std::nullopt);
  frm->Open->trigger();
  EXPECT_EQ(dialogs.fileDialogs.back().fileName, file);
}

TEST_F(FrmTestFiles, OpenDataFailureSaysSo) {
  dialogs.chooseNextFile(path("absent.xls"));
  click(frm->SpeedButton3);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  // The text stays exactly as it was; the reason goes into the box's details.
  EXPECT_EQ(dialogs.boxes[0],
            (MessageBoxRequest{
                "Error", "Failed to Load File!", BoxIcon::Error, BoxButtons::Ok,
                path("absent.xls") + ": cannot open the file: No such file or directory"}));
  EXPECT_EQ(rows(), 0u);
}

TEST_F(FrmTestFiles, TextRowsBeforeAFailingLineStay) {
  const QString file = path("broken.txt");
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write("header\r\n5\t10:00:00\t1.5\tV\tDCV  600V\tContinuous\r\n\r\n");
  out.close();
  dialogs.chooseNextFile(file);
  click(frm->SpeedButton3);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Failed to Load File!");
  ASSERT_GE(rows(), 1u);
  EXPECT_EQ(frm->session().cds1.no(0), 5);
  EXPECT_EQ(frm->session().cds1.text(0, Field::Value), "1.5");
}

TEST_F(FrmTestFiles, XmlRoundTripReplacesTheTable) {
  feedFrame(kExampleFrame);
  feedFrame(kOtherValueFrame);
  const QString file = path("two.XML");
  dialogs.chooseNextFile(file);
  click(frm->SpeedButton1);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Save table to specified file: " + file + " Scuss!");
  const TableRow first = frm->session().cds1.row(0);
  const TableRow second = frm->session().cds1.row(1);

  feedFrame(kExampleFrame);
  ASSERT_EQ(rows(), 3u);
  dialogs.chooseNextFile(file);
  click(frm->SpeedButton3);
  EXPECT_EQ(dialogs.boxes.size(), 1u);
  ASSERT_EQ(rows(), 2u);
  EXPECT_EQ(frm->session().cds1.row(0), first);
  EXPECT_EQ(frm->session().cds1.row(1), second);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 2);
  EXPECT_EQ(recorder().RecordNo, 4);
}

TEST(FileDialogs, ToolkitDialogsAreSetUpFromTheRequest) {
  TFrmTest frm;
  std::unique_ptr<QFileDialog> save(QtDialogs::makeFileDialog(frm.SaveDialog2, nullptr));
  EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(save->defaultSuffix(), "xls");
  EXPECT_FALSE(save->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(save->nameFilters(), frm.SaveDialog2.nameFilters);
  EXPECT_EQ(save->selectedNameFilter(), "Excel File(*.xls)");

  std::unique_ptr<QFileDialog> open(QtDialogs::makeFileDialog(frm.OpenDialog1, nullptr));
  EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(open->fileMode(), QFileDialog::AnyFile);  // names of absent files are taken
  EXPECT_TRUE(open->defaultSuffix().isEmpty());
  EXPECT_EQ(open->nameFilters(), frm.OpenDialog1.nameFilters);
}

// --- Shutdown ----------------------------------------------------------------------------

TEST_F(FrmTestTest, ExitAndCloseEndWithoutAsking) {
  feedFrame(kExampleFrame);
  QSignalSpy end(frm.get(), &TFrmTest::endRequested);
  click(frm->Panel3);
  EXPECT_EQ(end.count(), 1);
  frm->miExit->trigger();
  EXPECT_EQ(end.count(), 2);
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  EXPECT_TRUE(frm->close());
  EXPECT_TRUE(dialogs.boxes.empty());
}

// The window is off the screen before the program ends and frees the table.
TEST_F(FrmTestTest, ExitHidesTheWindowAtOnce) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  std::vector<bool> shownWhenEnding;
  QObject::connect(frm.get(), &TFrmTest::endRequested,
                   [&] { shownWhenEnding.push_back(frm->isVisible()); });
  click(frm->Panel3);
  frm->show();
  frm->miExit->trigger();
  EXPECT_EQ(shownWhenEnding, (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace vexal
