#pragma once
// The reading table as a read-only item model for the reading grid: one row per table row,
// six centred columns. Nothing is held per row, so the model costs the same at ten rows or
// ten million; cells are formatted when the grid paints them.

#include <QAbstractTableModel>

#include "record/ReadingTable.h"

namespace vexal {

class ReadingGridModel : public QAbstractTableModel, private TableObserver {
  Q_OBJECT
 public:
  // Listens to `table` until destroyed (it becomes the table's observer).
  explicit ReadingGridModel(ReadingTable &table, QObject *parent = nullptr);
  ~ReadingGridModel() override;

  // Column titles and their widths in pixels, in column order.
  static QString columnTitle(int column);
  static int columnWidth(int column);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  // The cell as the grid shows it: the number in decimal, the time in the locale's long
  // time format, texts converted from code page 936; empty when the field has no value.
  QString cellText(int row, int column) const;

 private:
  void rowsAppended(std::size_t first, std::size_t count) override;
  void tableReset() override;

  ReadingTable &table_;
  // The row count the views know of; changed only between the begin and end calls.
  int rows_ = 0;
};

}  // namespace vexal
