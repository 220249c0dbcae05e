#pragma once
// The report preview: pages drawn only when they come into view (any page of a long report
// shows at once and memory does not grow with the page count), paging, a typed page
// number, zoom, printing, saving as PDF and exporting. Shown modally: it returns when
// closed, while timers and cable data go on.

#include <QAbstractScrollArea>
#include <QDialog>
#include <QImage>
#include <list>
#include <memory>

#include "report/ReportDocument.h"
#include "report/ReportExport.h"

class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace vexal {

class Dialogs;
class PrintService;

// The pages of a report one below the other, drawn only where they are seen.
class ReportPageView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  enum class ZoomMode { FitWidth, FitPage, Fixed };
  static constexpr double kMinZoom = 0.1, kMaxZoom = 4.0;
  static constexpr int kGap = 12;  // pixels around each page

  ReportPageView(const ReportDocument &doc, const QImage *picture, QWidget *parent = nullptr);

  int currentPage() const;  // the page at the top of the view, 1-based
  void goToPage(int page);
  double zoom() const { return zoom_; }  // 1.0: the paper's own size on this screen
  ZoomMode zoomMode() const { return mode_; }
  void setZoom(double zoom);  // fixed zoom
  void setZoomMode(ZoomMode mode);

  // Pages laid out and drawn so far, and the pictures kept of them now.
  int pagesRendered() const { return rendered_; }
  int pagesKept() const { return static_cast<int>(cache_.size()); }

 signals:
  void currentPageChanged(int page);
  void zoomChanged(double zoom);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  double screenPxPerMm() const;
  QSize pageSize() const;  // in pixels at the current zoom
  int pageStride() const { return pageSize().height() + kGap; }
  const QImage &pageImage(int page);
  void updateGeometry();
  void applyZoom(double zoom, ZoomMode mode);

  const ReportDocument &doc_;
  const QImage *picture_;
  double zoom_ = 1.0;
  ZoomMode mode_ = ZoomMode::FitWidth;
  int rendered_ = 0;
  int lastReported_ = 0;
  std::list<std::pair<int, QImage>> cache_;  // most recently used first
};

class TReportPreview : public QDialog {
  Q_OBJECT
 public:
  TReportPreview(ReportDocument doc, QImage picture, Dialogs &dialogs, PrintService &printing,
                 QWidget *parent = nullptr);
  ~TReportPreview() override;

  const ReportDocument &document() const { return doc_; }
  ReportPageView *pages() const { return view_; }

  // What the buttons do once the user has chosen; a failure is thrown for the error box.
  // False when the user cancelled the progress box.
  bool printOn(QPrinter &printer);
  bool savePdf(const QString &path);
  bool exportTo(const QString &path);
  bool exportAs(const QString &path, ExportFormat format);

  QToolButton *First, *Prior, *Next, *Last;
  QSpinBox *PageNumber;
  QLabel *PageTotal;
  QComboBox *ZoomBox;
  QPushButton *PrintButton, *PdfButton, *ExportButton, *CloseButton;

 public slots:
  void PrintClick();
  void SavePdfClick();
  void ExportClick();

 private:
  bool withProgress(const QString &label, const std::function<void(const ExportProgress &)> &work);
  void showZoom(double zoom);

  ReportDocument doc_;
  QImage picture_;
  Dialogs &dialogs_;
  PrintService &printing_;
  ReportPageView *view_;
};

}  // namespace vexal
