// The About window (texts, size, which clicks close it) and the main window's help and
// About commands. Runs offscreen; modal windows are closed from a queued call.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/qt/FrmAbout.h"
#include "app/qt/FrmTest.h"
#include "support/FixedClock.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

class FrmAboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  }
  void click(QWidget *widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
  }

  TFrmAbout about;
};

TEST_F(FrmAboutTest, HasItsCaptionSizeOpacityAndTexts) {
  EXPECT_EQ(about.windowTitle(), "About");
  EXPECT_EQ(about.size(), QSize(421, 228));
  EXPECT_EQ(about.minimumSize(), about.maximumSize());
  EXPECT_NEAR(about.windowOpacity(), 230.0 / 255.0, 0.01);
  EXPECT_EQ(about.Label1->text(), "Vexal");
  EXPECT_EQ(about.Label1->font().pixelSize(), 96);
  EXPECT_EQ(about.Label1->palette().color(QPalette::WindowText), QColor(255, 0, 255));
  EXPECT_TRUE(about.StaticText1->text().startsWith("Version No. :  1.0.0        Meter No.: "));
  EXPECT_GT(about.StaticText1->text().size(),
            QString("Version No. :  1.0.0        Meter No.: ").size());
  EXPECT_EQ(about.Label3->text(), "Web:");
  EXPECT_TRUE(about.Label4->font().underline());
  EXPECT_EQ(about.Label4->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about.StaticText2->geometry(), QRect(4, 204, 403, 19));
  EXPECT_EQ(about.Image2->geometry(), QRect(276, 12, 141, 101));
  EXPECT_FALSE(about.Image2->pixmap().isNull());
  EXPECT_FALSE(about.Image1->pixmap().isNull());
}

TEST_F(FrmAboutTest, TheRightsLineNamesTheLicenceAndFitsItsBox) {
  EXPECT_TRUE(about.StaticText2->text().contains("GNU GPL v3+"));
  EXPECT_FALSE(about.StaticText2->text().contains("All rights reserved"));
  const QFontMetrics metrics(about.StaticText2->font());
  EXPECT_LE(metrics.horizontalAdvance(about.StaticText2->text()), about.StaticText2->width());
}

TEST_F(FrmAboutTest, WebLineAndTrademarkSignDoNotClose) {
  click(about.Label3);
  click(about.Label4);
  click(about.Image1);
  EXPECT_TRUE(about.isVisible());
}

TEST_F(FrmAboutTest, EachClosingElementAndTheBackgroundClose) {
  QWidget *const closing[] = {about.Label1, about.Label2, about.Image2, about.StaticText1,
                              about.StaticText2};
  for (QWidget *element : closing) {
    about.show();
    ASSERT_TRUE(about.isVisible());
    click(element);
    EXPECT_FALSE(about.isVisible()) << element->geometry().x() << "," << element->geometry().y();
  }
  about.show();
  click(&about, QPoint(415, 224));  // bottom-right corner: no element there
  EXPECT_FALSE(about.isVisible());
}

TEST(FrmTestHelpAndAbout, HelpAsksTheViewerForLuskHlpBesideTheExecutable) {
  FixedClock clock;
  ScriptedDialogs dialogs;
  std::vector<QString> shown;
  TFrmTest frm(TFrmTest::Services{&clock, &dialogs, nullptr,
                                  [&](const QString &path) { shown.push_back(path); }});
  frm.HELP1->trigger();
  frm.HELP1->trigger();
  const QString expected = QCoreApplication::applicationDirPath() + "/lusk.hlp";
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], expected);
  EXPECT_EQ(shown[1], expected);
  EXPECT_EQ(frm.HelpFile, expected);
  EXPECT_FALSE(expected.contains("//"));
  EXPECT_TRUE(frm.AppDir.ends_with('/'));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST(FrmTestHelpAndAbout, AboutShowsTheAboutWindowModallyUntilItCloses) {
  FixedClock clock;
  ScriptedDialogs dialogs;
  TFrmTest frm(TFrmTest::Services{&clock, &dialogs, nullptr, [](const QString &) {}});
  TFrmAbout about(&frm);
  QObject::connect(&frm, &TFrmTest::aboutRequested, &about, &QDialog::exec);
  bool sawModal = false;
  QTimer::singleShot(0, &about, [&] {
    sawModal = QApplication::activeModalWidget() == &about && about.isVisible();
    QTest::mouseClick(about.Label2, Qt::LeftButton);
  });
  frm.About2->trigger();
  EXPECT_TRUE(sawModal);
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace vexal
