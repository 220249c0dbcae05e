#include "report/qt/StoreGrid.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QStandardItemModel>

#include "common/qt/Fonts.h"
#include "record/qt/ReadingGrid.h"

namespace vexal {

namespace {

const QColor kSkyBlue(166, 202, 240);
const QColor kFuchsia(255, 0, 255);

}  // namespace

QStringList storeColumnTitles() {
  return {QStringLiteral("SNo"),   QStringLiteral("STime"),    QStringLiteral("SValue"),
          QStringLiteral("SUnit"), QStringLiteral("SV_Range"), QStringLiteral("SI_Range")};
}

void setUpStoreGrid(ReadingGrid &grid, const StoreColumnWidths &widths) {
  // Owned by the grid: a body with the titles and no rows.
  auto *empty = new QStandardItemModel(0, kStoreColumnCount, &grid);
  empty->setHorizontalHeaderLabels(storeColumnTitles());
  grid.setModel(empty);
  for (int column = 0; column < kStoreColumnCount; ++column)
    grid.setColumnWidth(column, widths[column]);

  QPalette palette = grid.palette();
  for (auto role : {QPalette::Base, QPalette::Button, QPalette::Window})
    palette.setColor(role, kSkyBlue);
  grid.setPalette(palette);
  grid.setFont(arial(11));
  grid.setHeaderFont(arial(13));
  QPalette titles = grid.header()->palette();
  titles.setColor(QPalette::ButtonText, kFuchsia);
  titles.setColor(QPalette::Button, kSkyBlue);
  grid.header()->setPalette(titles);
}

}  // namespace vexal
