// The main window with its journal, driven as a user would: the record limit's line over the
// grid, the offer of journals left behind (Open, Save As..., Discard, closed unanswered),
// Save Data marking the journal saved, and a journal that cannot be written. Runs offscreen
// with scripted dialogs; journals live in a scratch folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/qt/FrmTest.h"
#include "app/qt/JournalKeeper.h"
#include "app/qt/LimitNotice.h"
#include "record/JournalFormat.h"
#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"
#include "record/qt/ReadingGrid.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

constexpr const char *kOtherValueFrame = "FFC0000000000000000006EBA7078057D7DFD0EF0D0A";

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class JournalKeeperTest : public ::testing::Test {
 protected:
  JournalKeeperTest() : frm(std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs})) {}
  ~JournalKeeperTest() override {
    keeper.reset();
    frm.reset();
  }

  void feedFrame(const std::string &hex) {
    for (const auto &report : cableReportsFor(hex))
      frm->ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }
  std::size_t rows() { return frm->session().cds1.rowCount(); }
  LimitNotice *notice() { return frm->findChild<LimitNotice *>("LimitNotice"); }

  // A journal left by a program that ended without a word: `count` readings from 10:00:00.
  std::string leaveJournal(int count, int firstNo = 1) {
    ReadingJournal left(folder.string());
    ReadingTable table;
    for (int i = 0; i < count; ++i) {
      TableRow row;
      row.no = firstNo + i;
      row.timeMs = (10 * 3600 + i) * 1000;
      row.value = std::to_string(firstNo + i) + ".5";
      row.unit = "V";
      row.vRange = "DCV  600V";
      row.iRange = "Continuous";
      table.appendRow(row);
      EXPECT_EQ(left.append(table.view(table.rowCount() - 1)), std::nullopt);
    }
    return left.path();
  }

  void startKeeper() { keeper = std::make_unique<JournalKeeper>(*frm, folder.string()); }
  // The search runs off the GUI thread; the window goes on meanwhile.
  bool offerShown() {
    return QTest::qWaitFor([&] { return keeper->currentOffer() != nullptr; }, 5000);
  }
  void searchDone() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !keeper->searching(); }, 5000));
  }
  QPushButton *offerButton(const char *name) {
    EXPECT_NE(keeper->currentOffer(), nullptr);
    return keeper->currentOffer() ? keeper->currentOffer()->findChild<QPushButton *>(name)
                                  : nullptr;
  }

  QTemporaryDir scratch;
  fs::path folder = fs::path(scratch.path().toStdString()) / "journal";
  FixedClock clock{(9 * 3600) * 1000, 1000};
  ScriptedDialogs dialogs;
  std::unique_ptr<TFrmTest> frm;
  std::unique_ptr<JournalKeeper> keeper;
};

// --- The record limit's line -----------------------------------------------------------

TEST_F(JournalKeeperTest, LimitLineShowsFromTheFirstRefusalUntilTheLimitIsRaised) {
  frm->show();
  frm->session().recorder.RecordNo = 1000;
  frm->set1k->trigger();
  feedFrame(kWorkedExampleFrame);  // number 1000: still recorded
  ASSERT_NE(notice(), nullptr);
  EXPECT_FALSE(notice()->isVisible());
  feedFrame(kWorkedExampleFrame);  // refused
  EXPECT_TRUE(notice()->isVisible());
  EXPECT_EQ(notice()->text(), limitNoticeText(1000));
  EXPECT_NE(notice()->text().indexOf("1000"), -1);
  EXPECT_NE(notice()->text().indexOf("RecordSet"), -1);
  EXPECT_TRUE(dialogs.boxes.empty());  // no box: the limit stays silent otherwise
  EXPECT_EQ(rows(), 1u);
  // It lies over the grid's rows, within the grid.
  EXPECT_EQ(notice()->parentWidget(), frm->DBGrid1);
  EXPECT_TRUE(frm->DBGrid1->rect().contains(notice()->geometry()));

  // Another limit still below the next number keeps it; raising the limit removes it.
  frm->set1k->trigger();
  EXPECT_TRUE(notice()->isVisible());
  frm->set5k->trigger();
  EXPECT_FALSE(notice()->isVisible());
  feedFrame(kWorkedExampleFrame);
  EXPECT_EQ(rows(), 2u);
  EXPECT_FALSE(notice()->isVisible());
}

TEST_F(JournalKeeperTest, LimitLineGoesWithDeleteDataAndStaysWhenTheAnswerIsNo) {
  frm->show();
  frm->session().recorder.RecordNo = 1001;
  frm->set1k->trigger();
  feedFrame(kWorkedExampleFrame);
  ASSERT_TRUE(notice()->isVisible());
  dialogs.answerNextBox(BoxAnswer::No);
  frm->ClearR->trigger();
  EXPECT_TRUE(notice()->isVisible());
  dialogs.answerNextBox(BoxAnswer::Yes);
  frm->ClearR->trigger();
  EXPECT_FALSE(notice()->isVisible());
  feedFrame(kWorkedExampleFrame);
  EXPECT_EQ(rows(), 1u);
}

// --- The offer of journals left behind -----------------------------------------------------

TEST_F(JournalKeeperTest, OpenAddsTheLeftReadingsWithoutBlockingTheWindow) {
  const std::string left = leaveJournal(12);
  startKeeper();
  feedFrame(kWorkedExampleFrame);  // a reading of this run, before the offer is answered
  keeper->offerStrandedJournals();
  ASSERT_TRUE(offerShown());
  JournalOffer *offer = keeper->currentOffer();
  EXPECT_TRUE(offer->isVisible());
  EXPECT_FALSE(offer->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  const QString text = offer->findChild<QLabel *>("JournalOfferText")->text();
  EXPECT_NE(text.indexOf("12 recorded readings"), -1) << text.toStdString();
  EXPECT_NE(text.indexOf(QString::fromStdString(formatLongTime(10 * 3600 * 1000))), -1);
  EXPECT_NE(text.indexOf(QString::fromStdString(formatLongTime((10 * 3600 + 11) * 1000))), -1);

  // Recording goes on while the offer is open.
  feedFrame(kOtherValueFrame);
  EXPECT_EQ(rows(), 2u);

  QTest::mouseClick(offerButton("JournalOfferOpen"), Qt::LeftButton);
  ASSERT_EQ(rows(), 14u);
  const ReadingTable &table = frm->session().cds1;
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(table.no(2 + i), 1 + i);
    EXPECT_EQ(table.text(2 + i, Field::Value), std::to_string(1 + i) + ".5");
  }
  EXPECT_EQ(frm->session().recorder.RecordNo, 3);  // opening does not renumber
  EXPECT_FALSE(fs::exists(left));
  // The opened readings are this run's journal's now: they stay safe until saved.
  EXPECT_EQ(keeper->journal().rows(), 14u);
  ReadingTable journalled;
  EXPECT_TRUE(readJournal(readFile(keeper->journal().path()), journalled).whole());
  EXPECT_TRUE(journalled.sameContent(table));
  EXPECT_TRUE(dialogs.boxes.empty());
  QApplication::processEvents();
  EXPECT_EQ(keeper->currentOffer(), nullptr);
}

TEST_F(JournalKeeperTest, DiscardAndSaveAsEachAnswerOneOfferAndTheNextFollows) {
  const std::string first = leaveJournal(3);
  const std::string second = leaveJournal(5, 40);
  startKeeper();
  keeper->offerStrandedJournals();
  ASSERT_TRUE(offerShown());

  // Discard asks first; "No" keeps both.
  dialogs.answerNextBox(BoxAnswer::No);
  QTest::mouseClick(offerButton("JournalOfferDiscard"), Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::YesNo);
  const QString question = dialogs.boxes[0].text;
  EXPECT_TRUE(question == "Discard 3 unsaved readings for good?" ||
              question == "Discard 5 unsaved readings for good?")
      << question.toStdString();
  EXPECT_TRUE(fs::exists(first) && fs::exists(second));
  dialogs.answerNextBox(BoxAnswer::Yes);
  QTest::mouseClick(offerButton("JournalOfferDiscard"), Qt::LeftButton);
  const bool firstGone = !fs::exists(first), secondGone = !fs::exists(second);
  EXPECT_NE(firstGone, secondGone) << "exactly one journal is discarded";
  ASSERT_TRUE(offerShown()) << "the second offer follows";

  // Save As... cancelled: the offer stays; then saved to a file of the user's choice.
  QTest::mouseClick(offerButton("JournalOfferSaveAs"), Qt::LeftButton);
  EXPECT_NE(keeper->currentOffer(), nullptr);
  const QString file = scratch.filePath("kept.txt");
  dialogs.chooseNextFile(file);
  QTest::mouseClick(offerButton("JournalOfferSaveAs"), Qt::LeftButton);
  ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(dialogs.fileDialogs[1].mode, FileDialogMode::Save);
  ReadingTable saved;
  ASSERT_TRUE(appendTableText(readFile(file.toStdString()), saved).ok);
  EXPECT_EQ(saved.rowCount(), firstGone ? 5u : 3u);
  // Save As... ends with its own word on what became of the readings.
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_EQ(dialogs.boxes[2].text, QStringLiteral("The %1 readings of the journal are saved in %2.")
                                       .arg(firstGone ? 5 : 3)
                                       .arg(file));
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(second));
  EXPECT_EQ(rows(), 0u);  // Save As... leaves the table alone
  QApplication::processEvents();
  EXPECT_EQ(keeper->currentOffer(), nullptr);
}

// A journal that does not read whole says so in its offer; opened, its readings are added and
// it is kept aside, never deleted unasked.
TEST_F(JournalKeeperTest, AJournalNotReadWholeIsToldAndKeptAside) {
  const std::string left = leaveJournal(4);
  std::string bytes = readFile(left);
  bytes.insert(bytes.find("\n2\t") + 1, "garbled line\n");
  bytes += "5\t360";
  std::ofstream(left, std::ios::binary | std::ios::trunc) << bytes;
  startKeeper();
  keeper->offerStrandedJournals();
  ASSERT_TRUE(offerShown());
  const QString text = keeper->currentOffer()->findChild<QLabel *>("JournalOfferText")->text();
  const std::string keptPath = (folder / ("kept-" + fs::path(left).filename().string())).string();
  EXPECT_NE(text.indexOf("The last reading was cut off when the program ended; 4 whole readings "
                         "are here."),
            -1)
      << text.toStdString();
  EXPECT_NE(text.indexOf(
                QString::fromStdString("4 readings read, 1 lines unreadable, kept in " + keptPath)),
            -1)
      << text.toStdString();
  QTest::mouseClick(offerButton("JournalOfferOpen"), Qt::LeftButton);
  EXPECT_EQ(rows(), 4u);
  EXPECT_FALSE(fs::exists(left));
  EXPECT_EQ(readFile(keptPath), bytes);
}

TEST_F(JournalKeeperTest, AnOfferClosedWithoutAnAnswerKeepsTheJournalForTheNextStart) {
  const std::string left = leaveJournal(4);
  startKeeper();
  keeper->offerStrandedJournals();
  ASSERT_TRUE(offerShown());
  keeper->currentOffer()->close();
  QApplication::processEvents();
  EXPECT_EQ(keeper->currentOffer(), nullptr);
  EXPECT_TRUE(fs::exists(left));
  // Not offered again in this run; the next start offers it.
  keeper.reset();
  startKeeper();
  keeper->offerStrandedJournals();
  EXPECT_TRUE(offerShown());
}

TEST_F(JournalKeeperTest, NothingIsOfferedWhenNothingWasLeftUnsaved) {
  std::string empty;
  {
    ReadingJournal left(folder.string());  // a run that recorded nothing and was killed
    empty = left.path();
  }
  startKeeper();
  keeper->offerStrandedJournals();
  searchDone();
  QApplication::processEvents();
  EXPECT_EQ(keeper->currentOffer(), nullptr);
  EXPECT_FALSE(fs::exists(empty)) << "tidied away";
  EXPECT_TRUE(fs::exists(keeper->journal().path()));
}

// --- The journal of this run ----------------------------------------------------------------

TEST_F(JournalKeeperTest, SaveDataOfEveryRowLetsTheJournalGoAtExit) {
  startKeeper();
  feedFrame(kWorkedExampleFrame);
  feedFrame(kOtherValueFrame);
  const std::string path = keeper->journal().path();
  ReadingTable journalled;
  readJournal(readFile(path), journalled);
  EXPECT_TRUE(journalled.sameContent(frm->session().cds1));

  dialogs.chooseNextFile(scratch.filePath("data.xls"));
  frm->Save_as->trigger();
  EXPECT_TRUE(keeper->journal().saved());
  keeper->closeAtExit();
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(JournalKeeperTest, UnsavedReadingsKeepTheJournalAtExitAndDeleteDataStartsAfresh) {
  startKeeper();
  feedFrame(kWorkedExampleFrame);
  const std::string before = keeper->journal().path();
  dialogs.answerNextBox(BoxAnswer::Yes);
  frm->ClearR->trigger();
  EXPECT_FALSE(fs::exists(before));
  feedFrame(kOtherValueFrame);
  const std::string path = keeper->journal().path();
  keeper->closeAtExit();
  EXPECT_TRUE(fs::exists(path));
  ReadingTable kept;
  EXPECT_TRUE(readJournal(readFile(path), kept).whole());
  ASSERT_EQ(kept.rowCount(), 1u);
  EXPECT_EQ(kept.text(0, Field::Value), frm->session().cds1.text(0, Field::Value));
}

TEST_F(JournalKeeperTest, AJournalThatCannotBeWrittenIsToldOnceAndRecordingGoesOn) {
  std::ofstream(folder.string()) << "a file where the folder should be";
  startKeeper();
  feedFrame(kWorkedExampleFrame);
  feedFrame(kOtherValueFrame);
  QApplication::processEvents();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Error);
  EXPECT_NE(dialogs.boxes[0].text.indexOf("no longer written to the journal"), -1);
  EXPECT_NE(dialogs.boxes[0].text.indexOf(QString::fromStdString(folder.string())), -1);
  EXPECT_EQ(rows(), 2u);
}

}  // namespace
}  // namespace vexal
