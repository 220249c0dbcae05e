#include "record/qt/ReadingGrid.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyleOption>
#include <algorithm>
#include <cstdlib>

namespace vexal {

// The row-indicator column left of the cells; it scrolls with the rows, not sideways.
class ReadingGrid::Indicator : public QWidget {
 public:
  explicit Indicator(ReadingGrid *grid) : QWidget(grid), grid_(grid) {
    // Paints every pixel itself, so scrolling can move its pixels instead of redrawing it.
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    grid_->paintIndicator(painter);
  }
  void mousePressEvent(QMouseEvent *event) override {
    const int row = grid_->rowAt(event->position().toPoint().y());
    if (row >= 0) grid_->setCurrentRow(row);
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
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
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
  const int previous = current_;
  current_ = row;
  ensureVisible(row);
  // Only the rows whose mark changes are drawn again.
  updateRow(previous);
  updateRow(row);
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

void ReadingGrid::onRowsInserted(const QModelIndex &parent, int first, int last) {
  if (parent.isValid()) return;
  updateScrollBars();
  if (first != last) repaintRows();
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
  updateScrollBars();
  repaintRows();
}

void ReadingGrid::updateScrollBars() {
  // Setting a step always redraws a scroll bar, so only changes are passed on.
  auto set = [](QScrollBar *bar, int maximum, int page, int single) {
    if (bar->maximum() != maximum || bar->minimum() != 0) bar->setRange(0, maximum);
    if (bar->pageStep() != page) bar->setPageStep(page);
    if (bar->singleStep() != single) bar->setSingleStep(single);
  };
  const int width = viewport()->width();
  set(verticalScrollBar(), std::max(0, rowCount() - visibleRowCount()), visibleRowCount(), 1);
  set(horizontalScrollBar(), std::max(0, header_->length() - width), width, 8);
  header_->setOffset(horizontalScrollBar()->value());
}

void ReadingGrid::updateRow(int row) {
  const int position = row - topRow();
  if (row < 0 || position < 0 || position > visibleRowCount()) return;
  const int height = rowHeight();
  viewport()->update(0, position * height, viewport()->width(), height);
  indicator_->update(0, position * height, kIndicatorWidth, height);
}

void ReadingGrid::repaintRows() {
  viewport()->update();
  indicator_->update();
}

void ReadingGrid::scrollContentsBy(int dx, int dy) {
  header_->setOffset(horizontalScrollBar()->value());
  // Moving the pixels already drawn leaves only the uncovered rows to draw.
  if (dx == 0 && std::abs(dy) < visibleRowCount()) {
    viewport()->scroll(0, dy * rowHeight());
    indicator_->scroll(0, dy * rowHeight());
  } else if (dy == 0) {
    viewport()->scroll(dx, 0);
  } else {
    repaintRows();
  }
}

void ReadingGrid::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  updateGeometries();
}

void ReadingGrid::changeEvent(QEvent *event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) updateGeometries();
}

void ReadingGrid::paintEvent(QPaintEvent *event) {
  QPainter painter(viewport());
  const QPalette &pal = palette();
  const QRect dirty = event->rect();
  painter.fillRect(dirty, pal.base());
  if (!model_) return;
  const int rows = rowCount();
  const int height = rowHeight();
  const QColor lineColour = pal.color(QPalette::Mid);
  const bool focused = hasFocus();
  // Only the rows that cross the area to draw.
  const int firstShown = dirty.top() / height;
  for (int row = topRow() + firstShown, y = firstShown * height; row < rows && y <= dirty.bottom();
       ++row, y += height) {
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
  // Below the last row the grid's ground shows, as under the cells.
  painter.fillRect(indicator_->rect(), pal.base());
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
  if (row < 0) return QAbstractScrollArea::mousePressEvent(event);
  setCurrentRow(row);
  event->accept();
}

}  // namespace vexal
