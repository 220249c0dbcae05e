// Every caption of the windows shows whole at the designed sizes and fonts: the room the
// style leaves for a control's text is at least the text's width. The main window is walked
// through its layout table, the chart's tool bar and the dialogs through their controls.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <string>

#include "app/qt/FrmAbout.h"
#include "app/qt/FrmTest.h"
#include "app/qt/FrmTestLayout.h"
#include "report/qt/FrmPrint.h"
#include "report/qt/FrmStore.h"
#include "support/FixedClock.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

int textWidth(const QWidget &w, const QString &text) {
  int widest = 0;
  for (const QString &line : text.split(QLatin1Char('\n')))
    widest = std::max(widest, w.fontMetrics().horizontalAdvance(QString(line).remove('&')));
  return widest;
}

// The room the style gives the caption of `w`, or -1 for a control without a caption.
int captionRoom(const QWidget &w, QString &text) {
  const QStyle *style = w.style();
  if (auto *box = qobject_cast<const QCheckBox *>(&w);
      box || qobject_cast<const QRadioButton *>(&w)) {
    const auto &button = static_cast<const QAbstractButton &>(w);
    text = button.text();
    QStyleOptionButton option;
    option.initFrom(&w);
    option.text = text;
    const auto element = box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
    return style->subElementRect(element, &option, &w).width();
  }
  if (auto *button = qobject_cast<const QPushButton *>(&w)) {
    text = button->text();
    QStyleOptionButton option;
    option.initFrom(&w);
    option.text = text;
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, &w).width();
  }
  if (auto *tool = qobject_cast<const QToolButton *>(&w)) {
    if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull()) return -1;
    text = tool->text();
    return w.contentsRect().width() -
           2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &w) / 2;
  }
  if (auto *label = qobject_cast<const QLabel *>(&w)) {
    if (label->wordWrap() || label->textFormat() == Qt::RichText || !label->pixmap().isNull())
      return -1;
    text = label->text();
    return label->contentsRect().width() - 2 * std::max(0, label->margin()) -
           std::max(0, label->indent());
  }
  if (auto *group = qobject_cast<const QGroupBox *>(&w)) {
    text = group->title();
    return w.width() - style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, &w);
  }
  return -1;
}

void expectCaptionFits(const QWidget &w, const std::string &where) {
  QString text;
  const int room = captionRoom(w, text);
  if (room < 0 || text.trimmed().isEmpty()) return;
  EXPECT_GE(room, textWidth(w, text))
      << where << ": \"" << text.toStdString() << "\" needs " << textWidth(w, text)
      << " px, the control leaves " << room << " px (" << w.width() << " wide)";
}

// Every captioned control that a user can see in `window`.
void expectCaptionsFit(const QWidget &window, const std::string &where) {
  for (const QWidget *w : window.findChildren<QWidget *>())
    if (w->isVisibleTo(&window))
      expectCaptionFits(*w, where + "/" + w->objectName().toStdString() + " (" +
                                w->metaObject()->className() + ")");
}

// A control that a sibling above it covers whole shows no caption at all (the " STORE DATA :"
// row under the reading grid).
bool coveredWhole(const QWidget &w) {
  const QWidget *parent = w.parentWidget();
  if (!parent) return false;
  const QObjectList &siblings = parent->children();
  for (qsizetype i = siblings.indexOf(const_cast<QWidget *>(&w)) + 1; i < siblings.size(); ++i) {
    const auto *above = qobject_cast<const QWidget *>(siblings[i]);
    if (above && !above->isHidden() && above->geometry().contains(w.geometry())) return true;
  }
  return false;
}

class CaptionFitTest : public ::testing::Test {
 protected:
  FixedClock clock{36'000'000};
  ScriptedDialogs dialogs;
  TFrmTest frm{TFrmTest::Services{&clock, &dialogs}};
};

TEST_F(CaptionFitTest, MainWindowControlsOfTheLayoutTable) {
  int checked = 0;
  for (const DesignPlace &place : mainWindowPlaces()) {
    const auto *control = frm.findChild<QWidget *>(QString::fromLatin1(place.name));
    ASSERT_TRUE(control) << place.name;
    if (!place.shown || coveredWhole(*control)) continue;
    // A panel button's caption is a label that fills it.
    expectCaptionFits(*control, place.name);
    for (const QLabel *inner : control->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
      expectCaptionFits(*inner, place.name);
    ++checked;
  }
  EXPECT_GT(checked, 10);
  // "Repeat" is the one that was cut ("Repeai").
  QString text;
  EXPECT_GE(captionRoom(*frm.RepeatSet, text), textWidth(*frm.RepeatSet, QStringLiteral("Repeat")));
}

TEST_F(CaptionFitTest, ChartToolBar) {
  frm.show();
  expectCaptionsFit(*frm.Chtshow, "Chtshow");
}

TEST_F(CaptionFitTest, Dialogs) {
  TFrmAbout about(&frm);
  expectCaptionsFit(about, "FrmAbout");
  TFrmprint print(dialogs, &frm);
  expectCaptionsFit(print, "Frmprint");
  TFrmstore store({frm.StoreSaveData, frm.StoreDeleteData, frm.StoreOpenData, frm.StoreReport},
                  &frm);
  expectCaptionsFit(store, "Frmstore");
}

}  // namespace
}  // namespace vexal
