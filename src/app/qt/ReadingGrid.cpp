#include "app/qt/ReadingGrid.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOption>
#include <algorithm>

namespace vexal {

// The row-indicator column left of the cells; it scrolls with the rows, not sideways.
class ReadingGrid::Indicator : public QWidget {
 public:
  explicit Indicator(ReadingGrid *grid) : QWidget(grid), grid_(grid) {}

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    grid_->paintIndicator(painter);
  }
  void mousePressEvent(QMouseEvent *event) override {
    grid_->setCurrentRow(grid_->rowAt(event->position().toPoint().y()));
  }

 private:
  ReadingGrid *grid_;
};

namespace {

void paintBevelledCell(QPainter &painter, const QRect &cell, const QPalette &palette) {
  painter.fillRect(cell, palette.button());
  painter.setPen(palette.light().color());
  painter.drawLine(cell.topLeft(), cell.topRight());
  painter.drawLine(cell.topLeft(), cell.bottomLeft());
  painter.setPen(palette.dark().color());
  painter.drawLine(cell.bottomLeft(), cell.bottomRight());
  painter.drawLine(cell.topRight(), cell.bottomRight());
}

// A corner cell above the row indicator, next to the titles.
class Corner : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    paintBevelledCell(painter, rect(), palette());
  }
};

}  // namespace

ReadingGrid::ReadingGrid(QWidget *parent)
    : QAbstractScrollArea(parent),
      header_(new QHeaderView(Qt::Horizontal, this)),
      titles_(new QStandardItemModel(this)),
      indicator_(new Indicator(this)),
      corner_(new Corner(this)) {
  header_->setModel(titles_);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setSectionsMovable(false);
  header_->setSectionsClickable(false);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(false);
  header_->setDefaultAlignment(Qt::AlignCenter);
  connect(header_, &QHeaderView::sectionResized, this, [this] { updateGeometries(); });
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setBackgroundRole(QPalette::Base);
  updateGeometries();
}

ReadingGrid::~ReadingGrid() = default;

void ReadingGrid::setModel(QAbstractItemModel *model) {
  if (model_) disconnect(model_, nullptr, this, nullptr);
  model_ = model;
  titles_->clear();
  if (model_) {
    const int columns = model_->columnCount();
    titles_->setColumnCount(columns);
    for (int c = 0; c < columns; ++c)
      titles_->setHorizontalHeaderItem(
          c, new QStandardItem(model_->headerData(c, Qt::Horizontal).toString()));
    connect(model_, &QAbstractItemModel::rowsInserted, this, &ReadingGrid::onRowsInserted);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &ReadingGrid::onModelReset);
    connect(model_, &QAbstractItemModel::modelReset, this, &ReadingGrid::onModelReset);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &ReadingGrid::onModelReset);
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] { repaintRows(); });
  }
  onModelReset();
}

void ReadingGrid::setColumnWidth(int column, int width) {
  header_->resizeSection(column, width);
}

void ReadingGrid::setHeaderFont(const QFont &font) {
  header_->setFont(font);
  updateGeometries();
}

int ReadingGrid::rowCount() const {
  return model_ ? model_->rowCount() : 0;
}

int ReadingGrid::rowHeight() const {
  return fontMetrics().height() + 4;
}

int ReadingGrid::visibleRowCount() const {
  return std::max(1, viewport()->height() / rowHeight());
}

int ReadingGrid::topRow() const {
  return verticalScrollBar()->value();
}

int ReadingGrid::rowAt(int viewportY) const {
  if (viewportY < 0) return -1;
  const int row = topRow() + viewportY / rowHeight();
  return row < rowCount() ? row : -1;
}

void ReadingGrid::setCurrentRow(int row) {
  const int rows = rowCount();
  row = rows == 0 ? -1 : std::clamp(row, 0, rows - 1);
  const bool changed = row != current_;
  current_ = row;
  ensureVisible(row);
  repaintRows();
  if (changed) emit currentRowChanged(row);
}

void ReadingGrid::ensureVisible(int row) {
  if (row < 0) return;
  QScrollBar *bar = verticalScrollBar();
  if (row < bar->value())
    bar->setValue(row);
  else if (row >= bar->value() + visibleRowCount())
    bar->setValue(row - visibleRowCount() + 1);
}

void ReadingGrid::onRowsInserted(const QModelIndex &parent, int, int last) {
  if (parent.isValid()) return;
  updateGeometries();
  setCurrentRow(last);
}

void ReadingGrid::onModelReset() {
  updateGeometries();
  // The newest row is current, as after appending.
  setCurrentRow(rowCount() - 1);
}

void ReadingGrid::updateGeometries() {
  const int headerHeight = header_->sizeHint().height();
  setViewportMargins(kIndicatorWidth, headerHeight, 0, 0);
  const QRect area = viewport()->geometry();
  header_->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
  indicator_->setGeometry(area.left() - kIndicatorWidth, area.top(), kIndicatorWidth,
                          area.height());
  corner_->setGeometry(area.left() - kIndicatorWidth, area.top() - headerHeight, kIndicatorWidth,
                       headerHeight);

  QScrollBar *vertical = verticalScrollBar();
  vertical->setRange(0, std::max(0, rowCount() - visibleRowCount()));
  vertical->setPageStep(visibleRowCount());
  vertical->setSingleStep(1);
  QScrollBar *horizontal = horizontalScrollBar();
  horizontal->setRange(0, std::max(0, header_->length() - area.width()));
  horizontal->setPageStep(area.width());
  horizontal->setSingleStep(8);
  header_->setOffset(horizontal->value());
  repaintRows();
}

void ReadingGrid::repaintRows() {
  viewport()->update();
  indicator_->update();
}

void ReadingGrid::scrollContentsBy(int, int) {
  header_->setOffset(horizontalScrollBar()->value());
  repaintRows();
}

void ReadingGrid::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  updateGeometries();
}

void ReadingGrid::changeEvent(QEvent *event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) updateGeometries();
}

void ReadingGrid::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  const QPalette &pal = palette();
  painter.fillRect(viewport()->rect(), pal.base());
  if (!model_) return;
  const int rows = rowCount();
  const int height = rowHeight();
  const QColor lineColour = pal.color(QPalette::Mid);
  const bool focused = hasFocus();
  for (int row = topRow(), y = 0; row < rows && y < viewport()->height(); ++row, y += height) {
    const bool current = row == current_;
    for (int visual = 0; visual < header_->count(); ++visual) {
      const int column = header_->logicalIndex(visual);
      if (header_->isSectionHidden(column)) continue;
      const QRect cell(header_->sectionViewportPosition(column), y, header_->sectionSize(column),
                       height);
      if (current)
        painter.fillRect(
            cell, pal.brush(focused ? QPalette::Active : QPalette::Inactive, QPalette::Highlight));
      painter.setPen(current ? pal.color(focused ? QPalette::Active : QPalette::Inactive,
                                         QPalette::HighlightedText)
                             : pal.color(QPalette::Text));
      const QString text = model_->data(model_->index(row, column)).toString();
      painter.drawText(cell.adjusted(2, 0, -3, -1), Qt::AlignCenter,
                       painter.fontMetrics().elidedText(text, Qt::ElideRight, cell.width() - 5));
      painter.setPen(lineColour);
      painter.drawLine(cell.topRight(), cell.bottomRight());
      painter.drawLine(cell.bottomLeft(), cell.bottomRight());
    }
  }
}

void ReadingGrid::paintIndicator(QPainter &painter) {
  const QPalette &pal = palette();
  painter.fillRect(indicator_->rect(), pal.button());
  const int height = rowHeight();
  const int rows = rowCount();
  for (int row = topRow(), y = 0; row < rows && y < indicator_->height(); ++row, y += height) {
    const QRect cell(0, y, kIndicatorWidth, height);
    paintBevelledCell(painter, cell, pal);
    if (row != current_) continue;
    // A small black triangle pointing at the current row.
    const int mid = y + height / 2;
    const QPoint mark[3] = {{3, mid - 4}, {3, mid + 4}, {7, mid}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::WindowText));
    painter.drawPolygon(mark, 3);
  }
}

void ReadingGrid::keyPressEvent(QKeyEvent *event) {
  const int page = visibleRowCount();
  switch (event->key()) {
    case Qt::Key_Up:
      setCurrentRow(current_ - 1);
      break;
    case Qt::Key_Down:
      setCurrentRow(current_ + 1);
      break;
    case Qt::Key_PageUp:
      setCurrentRow(current_ - page);
      break;
    case Qt::Key_PageDown:
      setCurrentRow(current_ + page);
      break;
    case Qt::Key_Home:
      setCurrentRow(0);
      break;
    case Qt::Key_End:
      setCurrentRow(rowCount() - 1);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void ReadingGrid::mousePressEvent(QMouseEvent *event) {
  // Presses on the cells arrive through the viewport.
  const int row = rowAt(event->position().toPoint().y());
  if (row >= 0) setCurrentRow(row);
  QAbstractScrollArea::mousePressEvent(event);
}

}  // namespace vexal
