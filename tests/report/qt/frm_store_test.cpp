// The stored-data window and the main window's stored-data row: titles over an empty body,
// the forwarding buttons, the store row's open and save, and the wide-window switch. Runs
// offscreen with scripted dialogs.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/qt/FrmTest.h"
#include "record/qt/ReadingGrid.h"
#include "report/qt/FrmStore.h"
#include "report/qt/ReportPreview.h"
#include "support/FixedClock.h"
#include "support/ModalWindows.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

QStringList titles(const ReadingGrid &grid) {
  QStringList list;
  for (int c = 0; c < grid.model()->columnCount(); ++c)
    list << grid.model()->headerData(c, Qt::Horizontal).toString();
  return list;
}

std::vector<int> widths(const ReadingGrid &grid) {
  std::vector<int> list;
  for (int c = 0; c < grid.header()->count(); ++c) list.push_back(grid.header()->sectionSize(c));
  return list;
}

const QStringList kTitles{"SNo", "STime", "SValue", "SUnit", "SV_Range", "SI_Range"};

class FrmStoreTest : public ::testing::Test {
 protected:
  FrmStoreTest()
      : frm(std::make_unique<TFrmTest>(
            TFrmTest::Services{&clock, &dialogs, nullptr, [](const QString &) {}})),
        store(std::make_unique<TFrmstore>(StoreCommands{frm->StoreSaveData, frm->StoreDeleteData,
                                                        frm->StoreOpenData, frm->StoreReport},
                                          frm.get())) {}

  QString path(const QString &name) const { return dir.filePath(name); }
  // A text data file with `n` rows.
  QString writeTextFile(const QString &name, int n) {
    QFile out(path(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("Measurement No.\tTime\tValue\tUnit\tFunction\tRemark\r\n");
    for (int i = 1; i <= n; ++i)
      out.write(QByteArray::number(i) + "\t10:00:00\t1.5\tV\tDCV  600V\tContinuous\r\n");
    return path(name);
  }
  std::size_t rows() { return frm->session().cds1.rowCount(); }

  FixedClock clock{36000000};
  ScriptedDialogs dialogs;
  QTemporaryDir dir;
  std::unique_ptr<TFrmTest> frm;
  std::unique_ptr<TFrmstore> store;
};

TEST_F(FrmStoreTest, WindowShowsTheStoredDataTitlesOverAnEmptyBody) {
  EXPECT_EQ(store->windowTitle(), "Store ");
  EXPECT_EQ(store->size(), QSize(447, 493));
  EXPECT_EQ(store->minimumSize(), store->maximumSize());
  EXPECT_EQ(store->DBGrid3->geometry(), QRect(0, 24, 441, 469));
  EXPECT_EQ(titles(*store->DBGrid3), kTitles);
  EXPECT_EQ(widths(*store->DBGrid3), (std::vector<int>{36, 67, 66, 71, 92, 77}));
  EXPECT_EQ(store->SpeedButton8->toolTip(), "Save Data");
  EXPECT_EQ(store->SpeedButton9->toolTip(), "Delete Data");
  EXPECT_EQ(store->SpeedButton2->geometry(), QRect(416, 4, 29, 21));
}

TEST_F(FrmStoreTest, MainWindowStoredDataGridShowsNoRowsWhateverTheTableHolds) {
  dialogs.chooseNextFile(writeTextFile("three.txt", 3));
  QTest::mouseClick(frm->SpeedButton3, Qt::LeftButton);  // Open Data
  ASSERT_EQ(rows(), 3u);
  EXPECT_EQ(frm->DBGrid2->geometry(), QRect(340, 714, 341, 49));
  EXPECT_EQ(titles(*frm->DBGrid2), kTitles);
  EXPECT_EQ(widths(*frm->DBGrid2), (std::vector<int>{36, 47, 49, 42, 73, 70}));
  EXPECT_EQ(frm->DBGrid2->rowCount(), 0);
  EXPECT_EQ(store->DBGrid3->rowCount(), 0);
}

TEST_F(FrmStoreTest, StoreRowLiesUnderTheReadingGrid) {
  EXPECT_EQ(frm->Label6->text(), " STORE DATA :");
  EXPECT_EQ(frm->Label6->geometry(), QRect(12, 492, 96, 16));
  EXPECT_EQ(frm->SpeedButton4->geometry(), QRect(200, 488, 17, 17));
  EXPECT_EQ(frm->SpeedButton7->geometry(), QRect(312, 488, 33, 21));
  QWidget *surface = frm->ClientArea->widget();
  for (QWidget *part :
       {static_cast<QWidget *>(frm->Label6), static_cast<QWidget *>(frm->SpeedButton8)}) {
    QWidget *hit = surface->childAt(part->geometry().center());
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == frm->DBGrid1 || frm->DBGrid1->isAncestorOf(hit));
  }
}

TEST_F(FrmStoreTest, DeleteDataDoesNothing) {
  dialogs.chooseNextFile(writeTextFile("two.txt", 2));
  QTest::mouseClick(frm->SpeedButton3, Qt::LeftButton);
  ASSERT_EQ(rows(), 2u);
  const std::size_t boxes = dialogs.boxes.size();
  const std::size_t files = dialogs.fileDialogs.size();
  store->show();
  QTest::mouseClick(store->SpeedButton9, Qt::LeftButton);
  EXPECT_EQ(rows(), 2u);
  EXPECT_EQ(dialogs.boxes.size(), boxes);
  EXPECT_EQ(dialogs.fileDialogs.size(), files);
  EXPECT_TRUE(store->isVisible());
}

TEST_F(FrmStoreTest, OpenButtonLoadsThroughTheMainWindowsStoreRow) {
  dialogs.chooseNextFile(writeTextFile("five.txt", 5));
  QTest::mouseClick(store->SpeedButton1, Qt::LeftButton);
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].mode, FileDialogMode::Open);
  EXPECT_EQ(rows(), 5u);
  EXPECT_EQ(frm->session().cds1.no(4), 5);
  EXPECT_EQ(frm->DBGrid1->rowCount(), 5);
  EXPECT_TRUE(dialogs.boxes.empty());
  // A cancelled dialog changes nothing.
  QTest::mouseClick(store->SpeedButton1, Qt::LeftButton);
  EXPECT_EQ(rows(), 5u);
}

TEST_F(FrmStoreTest, OpenFailureIsReported) {
  dialogs.chooseNextFile(path("absent.xml"));
  QTest::mouseClick(frm->SpeedButton4, Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Failed to Load File!");
  EXPECT_EQ(rows(), 0u);
}

TEST_F(FrmStoreTest, SaveButtonSavesAndKeepsTheLastName) {
  dialogs.chooseNextFile(writeTextFile("two.txt", 2));
  QTest::mouseClick(frm->SpeedButton3, Qt::LeftButton);
  const QString file = path("stored.txt");
  dialogs.chooseNextFile(file);
  QTest::mouseClick(store->SpeedButton8, Qt::LeftButton);
  ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(dialogs.fileDialogs[1].mode, FileDialogMode::Save);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Save table to specified file: " + file + " Scuss!");
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll().count('\n'), 3);

  // The next save offers that name; Save Data of the tool bar starts empty.
  QTest::mouseClick(store->SpeedButton8, Qt::LeftButton);
  ASSERT_EQ(dialogs.fileDialogs.size(), 3u);
  EXPECT_EQ(dialogs.fileDialogs[2].fileName, file);
  QTest::mouseClick(frm->SpeedButton1, Qt::LeftButton);
  ASSERT_EQ(dialogs.fileDialogs.size(), 4u);
  EXPECT_TRUE(dialogs.fileDialogs[3].fileName.isEmpty());
}

TEST_F(FrmStoreTest, CloseButtonAndStoreReportButton) {
  store->show();
  // The report button opens the store-data report in the preview, over the window.
  QString previewed;
  test_windows::ModalWindowCheck<TReportPreview> check(
      [&](TReportPreview &preview) {
        previewed = QString::fromStdString(preview.document().layout().name);
      },
      [](TReportPreview &preview) { preview.CloseButton->click(); });
  QTest::mouseClick(store->SpeedButton7, Qt::LeftButton);
  EXPECT_TRUE(check.seen());
  EXPECT_EQ(previewed, "Report2");
  EXPECT_TRUE(store->isVisible());
  EXPECT_TRUE(dialogs.fileDialogs.empty());
  QTest::mouseClick(store->SpeedButton2, Qt::LeftButton);
  EXPECT_FALSE(store->isVisible());
}

TEST_F(FrmStoreTest, StoreDataButtonShowsTheWindowModally) {
  QObject::connect(frm.get(), &TFrmTest::storeWindowRequested, store.get(), &QDialog::exec);
  bool sawModal = false;
  QTimer::singleShot(0, store.get(), [&] {
    sawModal = QApplication::activeModalWidget() == store.get();
    QTest::mouseClick(store->SpeedButton2, Qt::LeftButton);
  });
  frm->SpeedButton5->click();
  EXPECT_TRUE(sawModal);
  EXPECT_FALSE(store->isVisible());
}

TEST_F(FrmStoreTest, SizeButtonSwitchesToTheWideWindow) {
  frm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
  QTest::mouseClick(frm->SpeedButton6, Qt::LeftButton);
  QApplication::processEvents();
  const QSize frame = frm->frameGeometry().size() - frm->geometry().size();
  EXPECT_EQ(frm->size() + frame, QSize(755, 538));
  EXPECT_EQ(frm->minimumSize(), frm->maximumSize());
  EXPECT_EQ(frm->Chtshow->height(), 278);
  EXPECT_EQ(frm->ClientArea->geometry().bottom() + 1, frm->height());
  EXPECT_EQ(frm->ClientArea->width(), frm->width());
  EXPECT_GE(frm->ClientArea->widget()->height(), frm->Chtshow->geometry().bottom() + 1);
}

}  // namespace
}  // namespace vexal
