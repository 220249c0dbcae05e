// The reading grid: its model over the reading table (titles, widths, cell texts, appends and
// resets) and the grid that draws it (current row, scrolling, keys, mouse).
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"
#include "record/qt/ReadingGrid.h"
#include "record/qt/ReadingGridModel.h"

namespace vexal {
namespace {

TableRow reading(int no, std::int32_t timeMs = 3'600'000) {
  TableRow row;
  row.no = no;
  row.timeMs = timeMs;
  row.value = std::to_string(no) + ".5";
  row.unit = "M" + std::string(kOhm);
  row.vRange = "IR:500V 20G" + std::string(kOhm);
  row.iRange = "Continuous";
  return row;
}

TEST(ReadingGridModel, ColumnsHaveTheirTitlesWidthsAndCentredCells) {
  ReadingTable table;
  ReadingGridModel model(table);
  const QStringList titles{"Measurement No.", "Time", "Value", "Unit", "Function", "Remark"};
  const int widths[] = {106, 92, 72, 78, 109, 132};
  ASSERT_EQ(model.columnCount(), 6);
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), titles[c]);
    EXPECT_EQ(ReadingGridModel::columnWidth(c), widths[c]);
    EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignCenter);
  }
  table.appendRow(reading(1));
  const QModelIndex cell = model.index(0, 2);
  EXPECT_EQ(model.data(cell, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
  EXPECT_FALSE(model.flags(cell) & Qt::ItemIsEditable);
}

TEST(ReadingGridModel, CellsShowTheFieldsForPeople) {
  ReadingTable table;
  ReadingGridModel model(table);
  table.appendRow(reading(-7, (13 * 3600 + 5 * 60 + 9) * 1000 + 999));
  TableRow sparse;
  sparse.value = "  ";
  table.appendRow(sparse);

  EXPECT_EQ(model.data(model.index(0, 0)).toString(), "-7");
  EXPECT_EQ(model.data(model.index(0, 1)).toString(),
            QString::fromStdString(formatLongTime((13 * 3600 + 5 * 60 + 9) * 1000 + 999)));
  EXPECT_EQ(model.data(model.index(0, 2)).toString(), "-7.5");
  EXPECT_EQ(model.data(model.index(0, 3)).toString(), QString::fromUtf8("M\xCE\xA9"));
  EXPECT_EQ(model.data(model.index(0, 4)).toString(), QString::fromUtf8("IR:500V 20G\xCE\xA9"));
  EXPECT_EQ(model.data(model.index(0, 5)).toString(), "Continuous");
  // Fields without a value are empty cells; the time shows no time zone.
  EXPECT_EQ(model.data(model.index(1, 0)).toString(), "");
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), "");
  EXPECT_EQ(model.data(model.index(1, 2)).toString(), "  ");
  EXPECT_FALSE(model.data(model.index(0, 1)).toString().contains("UTC"));
  // The table keeps its bytes.
  EXPECT_EQ(table.text(0, Field::Unit), "M\xA6\xB8");
}

TEST(ReadingGridModel, AppendsAndResetsReachTheViews) {
  ReadingTable table;
  ReadingGridModel model(table);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  table.appendRow(reading(1));
  table.appendRow(reading(2));
  ASSERT_EQ(inserted.count(), 2);
  EXPECT_EQ(inserted[1][1].toInt(), 1);
  EXPECT_EQ(inserted[1][2].toInt(), 1);
  EXPECT_EQ(model.rowCount(), 2);

  // While updates are held the views keep the old count; resuming resets them.
  table.suspendUpdates();
  table.appendRow(reading(3));
  EXPECT_EQ(model.rowCount(), 2);
  table.resumeUpdates();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model.rowCount(), 3);

  table.clear();
  EXPECT_EQ(reset.count(), 2);
  EXPECT_EQ(model.rowCount(), 0);
}

class ReadingGridTest : public ::testing::Test {
 protected:
  ReadingGridTest() : model(table) {
    grid.resize(617, 177);
    grid.setModel(&model);
    grid.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
  }

  void append(int n) {
    for (int i = 0; i < n; ++i) table.appendRow(reading(static_cast<int>(table.rowCount()) + 1));
  }

  ReadingTable table;
  ReadingGridModel model;
  ReadingGrid grid;
};

TEST_F(ReadingGridTest, TitlesComeFromTheModelAndColumnsResize) {
  QHeaderView *header = grid.header();
  ASSERT_EQ(header->count(), 6);
  EXPECT_EQ(header->model()->headerData(0, Qt::Horizontal).toString(), "Measurement No.");
  EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Interactive);
  grid.setColumnWidth(1, 92);
  EXPECT_EQ(header->sectionSize(1), 92);
}

TEST_F(ReadingGridTest, EachNewRowBecomesCurrentAndVisible) {
  QSignalSpy current(&grid, &ReadingGrid::currentRowChanged);
  EXPECT_EQ(grid.currentRow(), -1);
  append(1);
  EXPECT_EQ(grid.currentRow(), 0);
  append(99);
  EXPECT_EQ(grid.currentRow(), 99);
  EXPECT_EQ(current.count(), 100);
  EXPECT_EQ(grid.topRow(), 100 - grid.visibleRowCount());
  EXPECT_GT(grid.visibleRowCount(), 3);
  EXPECT_LT(grid.visibleRowCount(), 12);
}

TEST_F(ReadingGridTest, KeysAndMouseMoveTheCurrentRow) {
  append(50);
  QTest::keyClick(&grid, Qt::Key_Home);
  EXPECT_EQ(grid.currentRow(), 0);
  EXPECT_EQ(grid.topRow(), 0);
  QTest::keyClick(&grid, Qt::Key_Down);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.currentRow(), 2);
  QTest::keyClick(&grid, Qt::Key_Up);
  EXPECT_EQ(grid.currentRow(), 1);
  QTest::keyClick(&grid, Qt::Key_PageDown);
  EXPECT_EQ(grid.currentRow(), 1 + grid.visibleRowCount());
  QTest::keyClick(&grid, Qt::Key_End);
  EXPECT_EQ(grid.currentRow(), 49);
  QTest::keyClick(&grid, Qt::Key_Down);  // stays on the last row
  EXPECT_EQ(grid.currentRow(), 49);

  QTest::keyClick(&grid, Qt::Key_Home);
  const int y = grid.rowHeight() * 3 + grid.rowHeight() / 2;
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(40, y));
  EXPECT_EQ(grid.currentRow(), 3);
  EXPECT_EQ(grid.rowAt(y), 3);
  EXPECT_EQ(grid.rowAt(grid.rowHeight() * 60), -1);
}

TEST_F(ReadingGridTest, ClearingLeavesNoCurrentRow) {
  append(10);
  table.clear();
  EXPECT_EQ(grid.rowCount(), 0);
  EXPECT_EQ(grid.currentRow(), -1);
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), 0);
}

TEST_F(ReadingGridTest, PaintsTheCurrentRowHighlighted) {
  append(3);
  const QImage image = grid.viewport()->grab().toImage();
  const int y = 2 * grid.rowHeight() + grid.rowHeight() / 2;  // row 2 is current
  const QColor highlight = grid.palette().color(QPalette::Inactive, QPalette::Highlight);
  const QColor base = grid.palette().color(QPalette::Base);
  // Left edge of the first cell (no text there).
  EXPECT_TRUE(image.pixelColor(3, y) == highlight ||
              image.pixelColor(3, y) ==
                  grid.palette().color(QPalette::Active, QPalette::Highlight));
  EXPECT_EQ(image.pixelColor(3, grid.rowHeight() / 2), base);
}

}  // namespace
}  // namespace vexal
