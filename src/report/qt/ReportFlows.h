#pragma once
// What the report commands do: "Print Data", OK of the print-style dialog and the stored-data
// window's report button. Each opens its report in the preview and returns when the preview
// is closed.

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

#include "report/PrintReports.h"

class QWidget;

namespace vexal {

class Dialogs;
class PrintService;

// Shows an opened report until the user closes it.
class ReportPreviewer {
 public:
  virtual ~ReportPreviewer() = default;
  virtual void preview(ReportDocument doc, const QImage &picture) = 0;
};

// The preview window, modal over `parent`, printing through the system's print dialog.
class QtReportPreviewer : public ReportPreviewer {
 public:
  QtReportPreviewer(Dialogs &dialogs, QWidget *parent);
  ~QtReportPreviewer() override;
  void preview(ReportDocument doc, const QImage &picture) override;

 private:
  Dialogs &dialogs_;
  QWidget *parent_;
  std::unique_ptr<PrintService> printing_;
};

enum class ReportStyle { Data, Graph, DataGraph };

inline constexpr const char *kSelectGraphWarning = " Warning:Please select graph to print! ";

// A picture file that cannot be read; the text is the toolkit's reason.
class EPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ReportFlows {
 public:
  ReportFlows(ReadingTable &cds1, Dialogs &dialogs, std::unique_ptr<ReportPreviewer> previewer);

  void setPreviewer(std::unique_ptr<ReportPreviewer> previewer) {
    previewer_ = std::move(previewer);
  }

  PrintReports reports;
  QImage Report3Picture, Report4Picture;  // as last loaded

  // "Print Data": the data report with the grid's updates suspended while it is open; then
  // `repaint` (the whole main window). Updates resume whatever happens.
  void MajPrintClick(const std::function<void()> &repaint);
  // OK of the print-style dialog with the chosen style and picture file.
  void BitBtn1Click(ReportStyle style, const QString &picturePath);
  // The store-data report.
  void SpeedButton7Click();

  // Today's date in the system's short date format.
  static std::string printDate();

 private:
  // Loads the picture file; throws EPictureError with the toolkit's reason.
  static QImage loadPicture(const QString &path);
  void graphReport(bool withData, const QString &picturePath);

  ReadingTable &cds1_;
  Dialogs &dialogs_;
  std::unique_ptr<ReportPreviewer> previewer_;
};

}  // namespace vexal
