// The help window behind F1: it opens the guide beside the program, is re-used on later
// presses, reports a file it cannot show inside itself, and offers contents, back/forward and
// find within the page.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <memory>

#include "app/qt/FrmTest.h"
#include "app/qt/HelpWindow.h"
#include "common/qt/Dialogs.h"
#include "record/qt/ReadingGrid.h"
#include "support/FixedClock.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

QString guideBesideTheProgram() {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/lusk.hlp");
}

// With VEXAL_SHOT_DIR set, pictures of the window are saved there for a look, e.g.
//   VEXAL_SHOT_DIR=/tmp/shots xvfb-run -a env QT_QPA_PLATFORM=xcb help_window_test
void saveShot(QWidget *window, const char *name) {
  const QByteArray dir = qgetenv("VEXAL_SHOT_DIR");
  if (dir.isEmpty()) return;
  QTest::qWait(800);
  EXPECT_TRUE(window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
}

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

// --- F1 in the main window ------------------------------------------------------------------

class HelpFromMainWindow : public ::testing::Test {
 protected:
  HelpFromMainWindow() : frm(std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs})) {}

  void pressF1(QWidget *target) {
    frm->show();
    QApplication::setActiveWindow(frm.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    target->setFocus();
    QTest::keyClick(target, Qt::Key_F1);
  }

  FixedClock clock{36000000};
  ScriptedDialogs dialogs;
  std::unique_ptr<TFrmTest> frm;
};

TEST_F(HelpFromMainWindow, F1OpensTheGuideBesideTheProgramWithoutAModalWindow) {
  EXPECT_EQ(frm->findChild<HelpWindow *>(), nullptr);  // created on first use
  pressF1(frm->RecordSITime);

  const auto windows = frm->findChildren<HelpWindow *>();
  ASSERT_EQ(windows.size(), 1);
  HelpWindow *help = windows.front();
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->isWindow());
  EXPECT_FALSE(help->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(help->file(), guideBesideTheProgram());
  EXPECT_FALSE(help->file().contains(QStringLiteral("//")));
  ASSERT_TRUE(help->fileShown());
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Vexal user guide"));
  EXPECT_TRUE(help->page->toPlainText().contains(QStringLiteral("Connecting the meter")));
  EXPECT_TRUE(dialogs.boxes.empty());
  // The interval box did not take the key.
  EXPECT_EQ(frm->RecordSITime->text(), QStringLiteral("10"));
}

TEST_F(HelpFromMainWindow, PressingF1AgainReusesTheWindowAndShowsItAgain) {
  pressF1(frm->DBGrid1);
  HelpWindow *first = frm->findChild<HelpWindow *>();
  ASSERT_NE(first, nullptr);
  first->findInPage(QStringLiteral("Troubleshooting"));
  first->close();
  ASSERT_FALSE(first->isVisible());

  pressF1(frm->RepeatSet);
  const auto windows = frm->findChildren<HelpWindow *>();
  ASSERT_EQ(windows.size(), 1);
  EXPECT_EQ(windows.front(), first);
  EXPECT_TRUE(first->isVisible());
  // Shown from its first page again, as a contents request.
  EXPECT_EQ(first->page->textCursor().position(), 0);
}

TEST_F(HelpFromMainWindow, AMissingGuideIsReportedInTheHelpWindowOnly) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  frm->AppDir = QDir(empty.path()).absolutePath().toStdString() + "/";
  pressF1(frm->RecordSITime);

  HelpWindow *help = frm->findChild<HelpWindow *>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(help->fileShown());
  EXPECT_EQ(help->file(), empty.path() + "/lusk.hlp");
  const QString text = help->page->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("cannot be found"))) << text.toStdString();
  EXPECT_TRUE(text.contains(empty.path() + "/lusk.hlp"));
  EXPECT_EQ(help->contents->topLevelItemCount(), 0);
  EXPECT_TRUE(dialogs.boxes.empty());

  // Once the file is there, the next press shows it.
  writeFile(empty.path() + "/lusk.hlp",
            "<html><head><title>Guide</title></head><body><h2>Now here</h2></body></html>");
  pressF1(frm->RecordSITime);
  EXPECT_TRUE(help->fileShown());
  EXPECT_TRUE(help->page->toPlainText().contains(QStringLiteral("Now here")));
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Guide"));
}

// --- The help window on files of its own ----------------------------------------------------

class HelpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  QString file(const QString &name, const QByteArray &bytes) {
    const QString path = dir.path() + "/" + name;
    writeFile(path, bytes);
    return path;
  }

  QTemporaryDir dir;
  HelpWindow help;
};

const QByteArray kSmallGuide =
    "<html><head><title>Small</title></head><body>"
    "<h1>Small guide</h1><p><a href=\"#far\">to the far section</a></p>"
    "<h2 id=\"first\">First section</h2><p>alpha unique-word-one</p>"
    "<h3 id=\"sub\">A subsection</h3><p>beta</p>" +
    QByteArray("<p>filler</p>").repeated(300) +
    "<h2 id=\"far\">Far section</h2><p>gamma alpha</p></body></html>";

TEST_F(HelpWindowTest, ADirectoryOrABinaryFileIsReported) {
  QDir(dir.path()).mkdir("lusk.hlp");
  help.showFile(dir.path() + "/lusk.hlp");
  EXPECT_FALSE(help.fileShown());
  EXPECT_TRUE(help.page->toPlainText().contains(QStringLiteral("cannot be read")));

  help.showFile(file("old.hlp", QByteArray("?_\x03\0\x10\0\0\0binary help", 19)));
  EXPECT_FALSE(help.fileShown());
  EXPECT_TRUE(help.page->toPlainText().contains(QStringLiteral("not in a format")));
  EXPECT_TRUE(help.isVisible());
}

TEST_F(HelpWindowTest, TheFileIsReadAfreshOnEveryRequest) {
  const QString path = file("lusk.hlp", "<p>first text</p>");
  help.showFile(path);
  EXPECT_TRUE(help.page->toPlainText().contains(QStringLiteral("first text")));
  writeFile(path, "<p>second text</p>");
  help.showFile(path);
  EXPECT_TRUE(help.page->toPlainText().contains(QStringLiteral("second text")));
  EXPECT_FALSE(help.page->toPlainText().contains(QStringLiteral("first text")));
}

TEST_F(HelpWindowTest, ContentsListTheHeadingsAndLeadToThem) {
  help.showFile(file("lusk.hlp", kSmallGuide));
  ASSERT_EQ(help.contents->topLevelItemCount(), 2);
  QTreeWidgetItem *first = help.contents->topLevelItem(0);
  EXPECT_EQ(first->text(0), QStringLiteral("First section"));
  ASSERT_EQ(first->childCount(), 1);
  EXPECT_EQ(first->child(0)->text(0), QStringLiteral("A subsection"));
  QTreeWidgetItem *far = help.contents->topLevelItem(1);
  EXPECT_EQ(far->text(0), QStringLiteral("Far section"));

  QTest::qWait(0);
  emit help.contents->itemClicked(far, 0);
  EXPECT_EQ(help.page->textCursor().block().text(), QStringLiteral("Far section"));
  EXPECT_GT(help.page->verticalScrollBar()->value(), 0);
}

TEST_F(HelpWindowTest, LinksInThePageCanBeFollowedBackAndForward) {
  const QString path = file("lusk.hlp", kSmallGuide);
  help.showFile(path);
  QTest::qWait(0);
  EXPECT_FALSE(help.backAction->isEnabled());
  EXPECT_EQ(help.page->verticalScrollBar()->value(), 0);

  // What a click on the link does.
  QUrl far = QUrl::fromLocalFile(path);
  far.setFragment(QStringLiteral("far"));
  help.page->setSource(far);
  EXPECT_GT(help.page->verticalScrollBar()->value(), 0);
  EXPECT_EQ(help.page->source().fragment(), QStringLiteral("far"));
  ASSERT_TRUE(help.backAction->isEnabled());

  help.backAction->trigger();
  EXPECT_TRUE(help.page->source().fragment().isEmpty());
  EXPECT_TRUE(help.forwardAction->isEnabled());
  help.forwardAction->trigger();
  EXPECT_EQ(help.page->source().fragment(), QStringLiteral("far"));
}

TEST_F(HelpWindowTest, FindGoesFromMatchToMatchAndRoundTheEnd) {
  help.showFile(file("lusk.hlp", kSmallGuide));
  ASSERT_TRUE(help.findInPage(QStringLiteral("alpha")));
  const int firstMatch = help.page->textCursor().selectionStart();
  EXPECT_EQ(help.page->textCursor().selectedText(), QStringLiteral("alpha"));
  ASSERT_TRUE(help.findInPage(QStringLiteral("alpha")));
  const int secondMatch = help.page->textCursor().selectionStart();
  EXPECT_GT(secondMatch, firstMatch);
  // Past the last match the search starts again at the top.
  ASSERT_TRUE(help.findInPage(QStringLiteral("alpha")));
  EXPECT_EQ(help.page->textCursor().selectionStart(), firstMatch);
  // And backwards from the first match to the last.
  ASSERT_TRUE(help.findInPage(QStringLiteral("alpha"), true));
  EXPECT_EQ(help.page->textCursor().selectionStart(), secondMatch);
  EXPECT_TRUE(help.findStatus->text().isEmpty());

  EXPECT_FALSE(help.findInPage(QStringLiteral("no-such-word")));
  EXPECT_EQ(help.findStatus->text().trimmed(), QStringLiteral("Not found"));
  // A failed search keeps the place of the last match.
  EXPECT_EQ(help.page->textCursor().selectionStart(), secondMatch);
}

// After following a link the contents mark the topic shown, not the one before.
TEST_F(HelpWindowTest, ContentsFollowThePageShown) {
  const QString path = file("lusk.hlp", kSmallGuide);
  help.showFile(path);
  QTest::qWait(0);
  QUrl far = QUrl::fromLocalFile(path);
  far.setFragment(QStringLiteral("far"));
  help.page->setSource(far);
  ASSERT_TRUE(help.contents->currentItem());
  EXPECT_EQ(help.contents->currentItem()->text(0), QStringLiteral("Far section"));
  help.backAction->trigger();
  ASSERT_TRUE(help.contents->currentItem());
  EXPECT_EQ(help.contents->currentItem()->text(0), QStringLiteral("First section"));
  // Scrolling by hand moves the mark too.
  help.page->verticalScrollBar()->setValue(help.page->verticalScrollBar()->maximum());
  EXPECT_EQ(help.contents->currentItem()->text(0), QStringLiteral("Far section"));
}

TEST_F(HelpWindowTest, LongTopicNamesAreShownWhole) {
  const QString longName = QStringLiteral(
      "Recording rules: the record limit, the sampling "
      "interval and the repeat filter, in that order");
  help.showFile(
      file("lusk.hlp", "<html><body><h2>" + longName.toUtf8() + "</h2><p>text</p></body></html>"));
  QTest::qWait(0);
  QTreeWidgetItem *item = help.contents->topLevelItem(0);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->toolTip(0), longName);
  const int needed = help.contents->fontMetrics().horizontalAdvance(longName);
  EXPECT_GE(help.contents->header()->sectionSize(0), needed);
  EXPECT_EQ(help.contents->textElideMode(), Qt::ElideNone);
}

// "alpha" stands under "First section" and under "Far section": after the link to the far
// section, Find goes on from there instead of from the top of the page.
TEST_F(HelpWindowTest, FindStartsWhereThePageIsShown) {
  const QString path = file("lusk.hlp", kSmallGuide);
  help.showFile(path);
  QTest::qWait(0);
  QUrl far = QUrl::fromLocalFile(path);
  far.setFragment(QStringLiteral("far"));
  help.page->setSource(far);
  ASSERT_TRUE(help.findInPage(QStringLiteral("alpha")));
  const int farHeading = help.page->document()->find(QStringLiteral("Far section")).position();
  EXPECT_GT(help.page->textCursor().selectionStart(), farHeading);
}

TEST_F(HelpWindowTest, TypingInTheFindBoxSearches) {
  help.showFile(file("lusk.hlp", kSmallGuide));
  help.findBox->setFocus();
  QTest::keyClicks(help.findBox, QStringLiteral("unique-word"));
  EXPECT_EQ(help.page->textCursor().selectedText(), QStringLiteral("unique-word"));
  QTest::keyClick(help.findBox, Qt::Key_Z);
  EXPECT_EQ(help.findStatus->text().trimmed(), QStringLiteral("Not found"));
}

TEST_F(HelpWindowTest, CtrlFGoesToTheFindBox) {
  help.showFile(file("lusk.hlp", kSmallGuide));
  QApplication::setActiveWindow(&help);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
  help.page->setFocus();
  ASSERT_FALSE(help.findBox->hasFocus());
  QTest::keyClick(help.page, Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(help.findBox->hasFocus());
  QTest::keyClicks(help.findBox, QStringLiteral("gamma"));
  EXPECT_EQ(help.page->textCursor().selectedText(), QStringLiteral("gamma"));
}

// --- The packed guide in the window ---------------------------------------------------------

TEST(HelpWindowGuide, ThePackedGuideShowsItsPicturesAndContents) {
  HelpWindow help;
  help.showFile(guideBesideTheProgram());
  ASSERT_TRUE(help.fileShown());
  saveShot(&help, "help-contents");

  QStringList headings;
  for (int i = 0; i < help.contents->topLevelItemCount(); ++i)
    headings << help.contents->topLevelItem(i)->text(0);
  // Numbered as they come: sections added before it move it down.
  EXPECT_EQ(
      headings.filter(QRegularExpression(QStringLiteral("^1[0-9]\\. Troubleshooting$"))).size(), 1)
      << headings.join("|").toStdString();
  EXPECT_TRUE(headings.contains(QStringLiteral("5. The front panel")));
  EXPECT_GE(headings.size(), 13);

  // Every picture of the page decodes.
  QTextDocument *document = help.page->document();
  int pictures = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (!format.isImageFormat()) continue;
      const QString name = format.toImageFormat().name();
      const QVariant resource = document->resource(QTextDocument::ImageResource, QUrl(name));
      QImage image = resource.value<QImage>();
      if (image.isNull()) image.loadFromData(resource.toByteArray());
      EXPECT_FALSE(image.isNull()) << name.left(40).toStdString();
      EXPECT_GT(image.width(), 300);
      ++pictures;
    }
  }
  EXPECT_EQ(pictures, 8);

  // The in-page links lead to their sections.
  QTest::qWait(0);
  QUrl section = QUrl::fromLocalFile(guideBesideTheProgram());
  section.setFragment(QStringLiteral("load-failed"));
  help.page->setSource(section);
  EXPECT_GT(help.page->verticalScrollBar()->value(), 0);
  saveShot(&help, "help-link-followed");
  section.setFragment(QStringLiteral("panel"));
  help.page->setSource(section);
  saveShot(&help, "help-panel");

  help.findBox->setText(QStringLiteral("Failed to Load File!"));
  help.findNextAction->trigger();
  EXPECT_EQ(help.page->textCursor().selectedText(), QStringLiteral("Failed to Load File!"));
  saveShot(&help, "help-find");

  help.showFile(guideBesideTheProgram() + QStringLiteral(".gone"));
  EXPECT_FALSE(help.fileShown());
  EXPECT_TRUE(help.page->toPlainText().contains(QStringLiteral("cannot be found")));
  saveShot(&help, "help-missing");
}

}  // namespace
}  // namespace vexal
