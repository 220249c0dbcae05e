#pragma once
// A read-only grid that selects whole rows, drawn straight from an item model: only the
// rows in view are ever looked at, so it stays instant with ten million rows. It shows
// column titles (resizable), a row indicator at the left with a mark on the current row,
// and grid lines. After rows are appended the last one becomes current and comes into view.

#include <QAbstractItemModel>
#include <QAbstractScrollArea>
#include <QPointer>

class QAbstractItemModel;
class QHeaderView;
class QStandardItemModel;

namespace vexal {

class ReadingGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kIndicatorWidth = 11;

  explicit ReadingGrid(QWidget *parent = nullptr);
  ~ReadingGrid() override;

  // The rows to show (not owned); the column titles are read from it once.
  void setModel(QAbstractItemModel *model);
  QAbstractItemModel *model() const { return model_; }

  QHeaderView *header() const { return header_; }
  void setColumnWidth(int column, int width);
  void setHeaderFont(const QFont &font);

  int rowCount() const;
  int currentRow() const { return current_; }
  // Makes `row` current (clamped to the rows there are) and scrolls it into view.
  void setCurrentRow(int row);
  int topRow() const;
  int rowHeight() const;
  // Rows that fit completely into the visible area (at least 1).
  int visibleRowCount() const;
  // The row under a point of the viewport, or -1.
  int rowAt(int viewportY) const;

 signals:
  void currentRowChanged(int row);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent *event) override;

 private:
  class Indicator;

  void onRowsInserted(const QModelIndex &parent, int first, int last);
  void onModelReset();
  void updateGeometries();
  void updateScrollBars();
  void ensureVisible(int row);
  void paintIndicator(QPainter &painter);
  void repaintRows();
  void updateRow(int row);

  QPointer<QAbstractItemModel> model_;
  QHeaderView *header_;
  QStandardItemModel *titles_;
  Indicator *indicator_;
  QWidget *corner_;
  int current_ = -1;
};

}  // namespace vexal
