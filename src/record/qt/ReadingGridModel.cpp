#include "record/qt/ReadingGridModel.h"

#include <array>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

// Column widths in field order.
constexpr std::array<int, kFieldCount> kColumnWidths{106, 92, 72, 78, 109, 132};

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
  if (column < 0 || column >= kFieldCount) return {};
  const std::string_view title = kColumnTitles[column];
  return QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size()));
}

int ReadingGridModel::columnWidth(int column) {
  return column >= 0 && column < kFieldCount ? kColumnWidths[column] : 0;
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
  const auto field = static_cast<Field>(column);  // columns stand in field order
  switch (field) {
    case Field::No: {
      const auto no = table_.no(r);
      return no ? QString::number(*no) : QString();
    }
    case Field::Time: {
      const auto ms = table_.timeMs(r);
      return ms ? QString::fromStdString(formatLongTime(*ms)) : QString();
    }
    default: {
      const auto text = table_.text(r, field);
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
