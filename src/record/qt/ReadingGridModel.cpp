#include "record/qt/ReadingGridModel.h"

#include <array>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

struct ColumnSpec {
  const char *title;
  int width;
  Field field;
};

constexpr std::array<ColumnSpec, kFieldCount> kColumns{{
    {"Measurement No.", 106, Field::No},
    {"Time", 92, Field::Time},
    {"Value", 72, Field::Value},
    {"Unit", 78, Field::Unit},
    {"Function", 109, Field::VRange},
    {"Remark", 132, Field::IRange},
}};

// Qt's models count rows in int; the table never holds more than ten million.
int clampedCount(std::size_t n) {
  return n > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(n);
}

}  // namespace

ReadingGridModel::ReadingGridModel(ReadingTable &table, QObject *parent)
    : QAbstractTableModel(parent), table_(table), rows_(clampedCount(table.rowCount())) {
  table_.setObserver(this);
}

ReadingGridModel::~ReadingGridModel() {
  table_.setObserver(nullptr);
}

QString ReadingGridModel::columnTitle(int column) {
  return column >= 0 && column < kFieldCount ? QString::fromLatin1(kColumns[column].title)
                                             : QString();
}

int ReadingGridModel::columnWidth(int column) {
  return column >= 0 && column < kFieldCount ? kColumns[column].width : 0;
}

int ReadingGridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : rows_;
}

int ReadingGridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : kFieldCount;
}

QString ReadingGridModel::cellText(int row, int column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= kFieldCount) return {};
  const auto r = static_cast<std::size_t>(row);
  switch (kColumns[column].field) {
    case Field::No: {
      const auto no = table_.no(r);
      return no ? QString::number(*no) : QString();
    }
    case Field::Time: {
      const auto ms = table_.timeMs(r);
      return ms ? QString::fromStdString(formatLongTime(*ms)) : QString();
    }
    default: {
      const auto text = table_.text(r, kColumns[column].field);
      return text ? QString::fromStdString(cp936ToUtf8(*text)) : QString();
    }
  }
}

QVariant ReadingGridModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

QVariant ReadingGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return columnTitle(section);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

Qt::ItemFlags ReadingGridModel::flags(const QModelIndex &index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ReadingGridModel::rowsAppended(std::size_t first, std::size_t count) {
  if (count == 0) return;
  const int firstRow = clampedCount(first);
  const int lastRow = clampedCount(first + count - 1);
  if (firstRow != rows_) return tableReset();  // not at the end: start afresh
  beginInsertRows({}, firstRow, lastRow);
  rows_ = lastRow + 1;
  endInsertRows();
}

void ReadingGridModel::tableReset() {
  beginResetModel();
  rows_ = clampedCount(table_.rowCount());
  endResetModel();
}

}  // namespace vexal
