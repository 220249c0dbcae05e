// The print-style dialog: its controls, the style selected at creation, the picture choice
// through scripted dialogs, OK and Cancel, and the main window's Print item showing it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "app/qt/FrmTest.h"
#include "common/qt/Dialogs.h"
#include "report/qt/FrmPrint.h"
#include "support/FixedClock.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

class FrmPrintTest : public ::testing::Test {
 protected:
  void click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }

  ScriptedDialogs dialogs;
};

TEST_F(FrmPrintTest, CreationClearsThePictureAndSelectsDataReport) {
  TFrmprint dialog(dialogs);
  EXPECT_TRUE(dialog.GraphPicturePath.isEmpty());
  dialog.GraphPicturePath = "left over from an earlier opening";
  dialog.FormCreate();
  EXPECT_TRUE(dialog.GraphPicturePath.isEmpty());
  EXPECT_TRUE(dialog.RadioButton1->isChecked());
  EXPECT_FALSE(dialog.RadioButton2->isChecked());
  EXPECT_FALSE(dialog.RadioButton3->isChecked());
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FrmPrintTest, HasItsCaptionSizeAndControls) {
  TFrmprint dialog(dialogs);
  EXPECT_EQ(dialog.windowTitle(), "Print Style");
  EXPECT_EQ(dialog.size(), QSize(290, 233));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.pos(), QPoint(239, 177));
  EXPECT_EQ(dialog.GroupBox1->title(), "Select  Style");
  EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(16, 16, 265, 169));
  EXPECT_EQ(dialog.RadioButton1->text(), "Data Report");
  EXPECT_EQ(dialog.RadioButton2->text(), "Graph Report");
  EXPECT_EQ(dialog.RadioButton3->text(), "Data+Graph Report");
  EXPECT_EQ(dialog.RadioButton3->geometry(), QRect(16, 108, 205, 37));
  for (QPushButton *button : {dialog.Button1, dialog.Button2}) {
    EXPECT_EQ(button->text(), "...");
    EXPECT_EQ(button->toolTip(), "Select Graph");
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
  }
  EXPECT_EQ(dialog.Button2->geometry(), QRect(224, 116, 21, 21));
  EXPECT_EQ(dialog.BitBtn1->geometry(), QRect(28, 192, 73, 29));
  EXPECT_EQ(dialog.BitBtn2->geometry(), QRect(176, 192, 81, 33));
}

TEST_F(FrmPrintTest, StylesExcludeEachOtherAndStayBetweenOpenings) {
  TFrmprint dialog(dialogs);
  dialog.show();
  click(dialog.RadioButton3);
  EXPECT_TRUE(dialog.RadioButton3->isChecked());
  EXPECT_FALSE(dialog.RadioButton1->isChecked());
  click(dialog.BitBtn2);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  dialog.show();
  EXPECT_TRUE(dialog.RadioButton3->isChecked());
}

TEST_F(FrmPrintTest, PictureChoiceSetsThePathOnConfirmAndKeepsItOnCancel) {
  TFrmprint dialog(dialogs);
  dialogs.chooseNextFile(QString("/pictures/graph.bmp"));
  click(dialog.Button1);
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  const FileDialogRequest &asked = dialogs.fileDialogs[0];
  EXPECT_EQ(asked.mode, FileDialogMode::Open);
  ASSERT_FALSE(asked.nameFilters.isEmpty());
  EXPECT_TRUE(asked.nameFilters[0].contains("*.bmp"));
  EXPECT_EQ(dialog.GraphPicturePath, "/pictures/graph.bmp");

  dialogs.chooseNextFile(std::nullopt);  // cancelled
  click(dialog.Button2);
  EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(dialog.GraphPicturePath, "/pictures/graph.bmp");

  // The other button sets the same path.
  dialogs.chooseNextFile(QString("/pictures/other.bmp"));
  click(dialog.Button2);
  EXPECT_EQ(dialog.GraphPicturePath, "/pictures/other.bmp");
  EXPECT_TRUE(dialog.RadioButton1->isChecked());  // choosing a picture selects no style
}

TEST_F(FrmPrintTest, OkClosesWithResultOk) {
  TFrmprint dialog(dialogs);
  dialog.show();
  click(dialog.BitBtn1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FrmPrintTest, PrintItemShowsTheDialogModally) {
  FixedClock clock;
  TFrmTest frm(TFrmTest::Services{&clock, &dialogs, nullptr, [](const QString &) {}});
  TFrmprint dialog(frm.dialogs(), &frm);
  QObject::connect(&frm, &TFrmTest::printStyleRequested, &dialog, &QDialog::exec);
  bool sawModal = false;
  QTimer::singleShot(0, &dialog, [&] {
    sawModal = QApplication::activeModalWidget() == &dialog;
    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
  });
  frm.print->trigger();
  EXPECT_TRUE(sawModal);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace vexal
