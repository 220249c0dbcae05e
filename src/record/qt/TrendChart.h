#pragma once
// The trend chart `Chtshow` with its own tool bar: the recorded readings plotted page by
// page as an area or a line, the page navigation, clearing, enlarging over the window and
// saving pictures of it. The points are a view over the reading table, told of new rows
// and resets as the grid is.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "record/ChartPaging.h"
#include "record/ChartPoints.h"
#include "record/ChartScales.h"
#include "record/GraphSnapshot.h"
#include "record/ReadingTable.h"

class QCheckBox;
class QFrame;
class QGraphicsRectItem;
class QLineEdit;
class QPushButton;
class QRubberBand;
class QToolButton;

class QCategoryAxis;
class QChart;
class QChartView;
class QValueAxis;

namespace vexal {

class TraceSeries;
struct Trace;

// What the chart needs of the window that carries it.
struct TrendChartHost {
  std::function<QSize()> outerSize;                      // the window's outer size
  std::function<void(int)> setOuterHeight;               // changes the window's outer height
  std::function<QWidget *()> clientArea;                 // the window's client coordinates
  std::function<std::int32_t()> recordNo;                // the number the next reading gets
  std::function<void(const QString &)> showInformation;  // "Information" box
  std::function<void(const QString &)> showError;        // error box of the message loop
  std::function<bool()> fillChecked;                     // the hidden " Fill" item's check mark
  std::function<void(bool)> setFillChecked;
  DateTimeClock *clock = nullptr;  // the system's when empty
  std::string pictureFolder;       // snapshotFolder() when empty
};

// Left, top, width and height in the window's client coordinates.
struct ChartBounds {
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  bool operator==(const ChartBounds &) const = default;
};

class TrendChart : public QWidget, private TableObserver {
  Q_OBJECT
 public:
  static constexpr int kAreaSeries = 0;
  static constexpr int kLineSeries = 1;

  TrendChart(ReadingTable &table, TrendChartHost host, QWidget *parent = nullptr);
  ~TrendChart() override;

  // Makes the series at `index` (0 area, 1 line) the only one shown.
  void ShowSeries(int index);
  int shownSeries() const { return shown_; }

  // Handlers of the tool bar and the hidden Graph menu items. They throw what the error box
  // shows (EConvertError, EFileError).
  void BtFillClick();
  void FillPClick();
  void BtNewClick();
  void MaxrecordChange();
  void MaxrecordKeyPress(char &key);  // `key` becomes '\0' when the box must not take it
  void BtFirstClick();
  void BTPreviousClick();
  void BtNextClick();
  void BTlastClick();
  void TbSxClick();
  void BtSaveClick();
  void SavepictureClick();

  // The chart's drawing at its current size, without the tool bar.
  QImage picture();

  const ChartPaging &paging() const { return paging_; }
  const ChartPoints &points() const { return points_; }
  // The runs the shown series draws now (none while the placeholder point shows), and the
  // placeholder point's value.
  const std::vector<ChartRun> &shownRuns() const { return runs_; }
  double placeholderValue() const { return placeholderY_; }
  QChart *chart() const { return chart_; }
  // The axes as drawn, zoom included.
  const ChartScales &scales() const { return scales_; }
  // The value axes: the placeholder's, ohms (as powers of ten, labelled at the ticks of
  // `scales()`), volts.
  QValueAxis *placeholderAxis() const { return axisY_; }
  QCategoryAxis *ohmAxis() const { return axisOhms_; }
  QValueAxis *voltAxis() const { return axisVolts_; }
  // "100 kΩ", "1 MΩ", ... for a power of ten of ohms.
  static QString ohmDecadeLabel(int exponent);
  // The page's point nearest to a position in the chart (for the tool tip), as text.
  QString pointTipAt(QPointF chartPosition) const;

  ChartBounds ChartNormalBounds;

  // Tool bar, at its places on the chart.
  QFrame *BtFillFrame;
  QCheckBox *BtFill;
  QLineEdit *Maxrecord;
  QToolButton *BtSave;
  QToolButton *BtNew;
  QToolButton *BtFirst;
  QToolButton *BTPrevious;
  QPushButton *Bt10;
  QToolButton *BtNext;
  QToolButton *BTlast;
  QToolButton *TbFd;
  QToolButton *TbSx;
  // Opens the insulation test of the table's runs (beside the tool bar's design places).
  QToolButton *BtInsulation;

 signals:
  void insulationTestRequested();

 protected:
  void resizeEvent(QResizeEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void rowsAppended(std::size_t first, std::size_t count) override;
  void tableReset() override;

  void createChart();
  void createToolBar();
  void connectToolBar();
  void showNavigation();
  void pointsChanged(bool pageMayHaveChanged);
  void redraw();
  void applyAxes();
  void setOhmTicks(const std::vector<AxisTick> &ticks);
  void plotAreaChanged();
  void showPointTip(QPoint inViewport);
  bool dragEvent(QEvent *event);
  void endZoom();
  void resetPlaceholder();
  void placeWall();
  void savePicture(const std::string &path);
  std::string folder() const;

  ReadingTable &table_;
  TrendChartHost host_;
  std::unique_ptr<SystemDateTimeClock> ownClock_;
  ChartPaging paging_;
  ChartPoints points_;
  ChartScales scales_;
  std::uint64_t tableGeneration_;
  double placeholderY_ = 0;
  int shown_ = kAreaSeries;
  std::vector<ChartRun> runs_;

  QChartView *view_;
  QChart *chart_;
  QValueAxis *axisX_;
  QValueAxis *axisY_;
  QCategoryAxis *axisOhms_;
  QValueAxis *axisVolts_;
  QGraphicsRectItem *leftWall_;
  QRubberBand *band_;
  std::optional<QPoint> dragFrom_;       // in the viewport
  bool fittingPlot_ = false;             // the axes follow a new plot size
  std::unique_ptr<TraceSeries> Series2;  // area, list index 0
  std::unique_ptr<TraceSeries> Series1;  // line, list index 1
};

}  // namespace vexal
