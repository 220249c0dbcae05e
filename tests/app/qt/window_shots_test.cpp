// Pictures of the main window at start-up and after a few frames, checked on pixels that the
// layout fixes. With VEXAL_SHOT_DIR set, the pictures are also saved there as PNG files, e.g.
//   VEXAL_SHOT_DIR=/tmp/shots xvfb-run -a env QT_QPA_PLATFORM=xcb window_shots_test
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QMenuBar>
#include <QTest>

#include "app/qt/FrmTest.h"
#include "decode/qt/PanelRenderer.h"
#include "record/qt/ReadingGrid.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

constexpr const char *kExampleFrame = kWorkedExampleFrame;

std::string withCharacters(std::string frame, std::size_t firstCharacter, const std::string &hex) {
  frame.replace(firstCharacter - 1, hex.size(), hex);
  return frame;
}

class WindowShots : public ::testing::Test {
 protected:
  WindowShots() : frm(TFrmTest::Services{&clock, &dialogs}) {
    frm.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frm));
  }

  void feedFrame(const std::string &hex) {
    for (const auto &report : cableReportsFor(hex))
      frm.ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }

  // The whole window with its menu bar, as drawn after the pending repaints.
  QImage shot(const char *name) {
    QCoreApplication::processEvents();
    const QImage image = frm.grab().toImage();
    const QByteArray dir = qgetenv("VEXAL_SHOT_DIR");
    if (!dir.isEmpty()) {
      QDir().mkpath(QString::fromLocal8Bit(dir));
      EXPECT_TRUE(image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
    }
    return image;
  }

  // A point of the LCD mirror, in window coordinates.
  QPoint onPanel(int x, int y) const { return frm.Panel4->mapTo(&frm, QPoint(x, y)); }

  FixedClock clock{10 * 3600 * 1000, 500};
  ScriptedDialogs dialogs;
  TFrmTest frm;
};

TEST_F(WindowShots, StartUpShowsTheFullTestPatternAboveAnEmptyGrid) {
  const QImage image = shot("window-startup");
  EXPECT_EQ(image.width(), frm.width());
  // The bar graph's base line (KD at 10,40; line at 18,26) and the middle segment of the
  // first main digit "8" (ValuePanel at 202,156; LabelA at 60,-4, 40 x 120).
  EXPECT_EQ(image.pixelColor(onPanel(10 + 18 + 200, 40 + 26 + 2)), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(onPanel(202 + 60 + 20, 156 - 4 + 60)), QColor(Qt::black));
  // The grid below has no rows: its cells are empty ground.
  const QPoint cell = frm.DBGrid1->viewport()->mapTo(&frm, QPoint(300, 40));
  EXPECT_EQ(image.pixelColor(cell), frm.DBGrid1->palette().color(QPalette::Base));
  EXPECT_EQ(frm.MainMenu1->actions().size(), 7);
}

TEST_F(WindowShots, FramesAreMirroredAndRecorded) {
  feedFrame(kExampleFrame);
  const QImage example = shot("window-worked-example");
  // The timer digits are hidden (keys 00): the middle of the first one is white.
  EXPECT_EQ(example.pixelColor(onPanel(4 + 26 + 10, 182 - 6 + 31)), QColor(Qt::white));
  EXPECT_EQ(frm.DBGrid1->rowCount(), 1);

  // DC: the whole bar-graph region is hidden.
  feedFrame(withCharacters(kExampleFrame, 8, "1"));
  const QImage dc = shot("window-dc-frame");
  EXPECT_EQ(dc.pixelColor(onPanel(10 + 18 + 200, 40 + 26 + 2)), QColor(Qt::white));
  EXPECT_EQ(frm.session().reading.FunctionText, "DCV  600V");
  EXPECT_EQ(frm.DBGrid1->rowCount(), 2);

  // Blank main digits: nothing in the value region, nothing recorded.
  feedFrame(withCharacters(kExampleFrame, 21, "00000000"));
  const QImage blank = shot("window-blank-digits");
  const QPoint valueRegion = onPanel(202, 156);
  int dark = 0;
  for (int y = 0; y < 101; ++y)
    for (int x = 0; x < 311; ++x)
      if (blank.pixelColor(valueRegion + QPoint(x, y)).lightness() < 128) ++dark;
  EXPECT_EQ(dark, 0);
  EXPECT_EQ(frm.session().reading.ValueText, "");
  EXPECT_EQ(frm.DBGrid1->rowCount(), 2);
  EXPECT_EQ(frm.DBGrid1->currentRow(), 1);
}

}  // namespace
}  // namespace vexal
