#include "report/qt/ReportFlows.h"

#include <QDate>
#include <QImageReader>
#include <QLocale>

#include "common/ErrorText.h"
#include "common/qt/Dialogs.h"
#include "report/qt/ReportPreview.h"
#include "report/qt/ReportPrinting.h"

namespace vexal {

namespace {

// Suspends the updates of the controls that show the table for as long as it lives.
class TableUpdatesHeld {
 public:
  explicit TableUpdatesHeld(ReadingTable &table) : table_(table) { table_.suspendUpdates(); }
  ~TableUpdatesHeld() { table_.resumeUpdates(); }
  TableUpdatesHeld(const TableUpdatesHeld &) = delete;
  TableUpdatesHeld &operator=(const TableUpdatesHeld &) = delete;

 private:
  ReadingTable &table_;
};

}  // namespace

QtReportPreviewer::QtReportPreviewer(Dialogs &dialogs, QWidget *parent)
    : dialogs_(dialogs), parent_(parent), printing_(std::make_unique<QtPrintService>()) {}

QtReportPreviewer::~QtReportPreviewer() = default;

void QtReportPreviewer::preview(ReportDocument doc, const QImage &picture) {
  TReportPreview window(std::move(doc), picture, dialogs_, *printing_, parent_);
  window.exec();
}

ReportFlows::ReportFlows(ReadingTable &cds1, Dialogs &dialogs,
                         std::unique_ptr<ReportPreviewer> previewer)
    : cds1_(cds1), dialogs_(dialogs), previewer_(std::move(previewer)) {}

std::string ReportFlows::printDate() {
  return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

void ReportFlows::MajPrintClick(const std::function<void()> &repaint) {
  // The report walks the rows held now; the total is counted from the same rows.
  ReportDocument doc = reports.openDataReport(cds1_, printDate());
  TableUpdatesHeld held(cds1_);
  previewer_->preview(std::move(doc), QImage());
  if (repaint) repaint();
}

void ReportFlows::BitBtn1Click(ReportStyle style, const QString &picturePath) {
  switch (style) {
    case ReportStyle::Data:
      previewer_->preview(reports.openDataReport(cds1_, printDate()), QImage());
      return;
    case ReportStyle::Graph:
      return graphReport(false, picturePath);
    case ReportStyle::DataGraph:
      return graphReport(true, picturePath);
  }
}

void ReportFlows::graphReport(bool withData, const QString &picturePath) {
  if (picturePath.isEmpty()) {
    dialogs_.messageBox({QString::fromUtf8(kAppTitle.data(), kAppTitle.size()),
                         QString::fromLatin1(kSelectGraphWarning), BoxIcon::Information,
                         BoxButtons::Ok});
    return;
  }
  QImage &picture = withData ? Report4Picture : Report3Picture;
  picture = loadPicture(picturePath);
  ReportDocument doc =
      withData ? reports.openDataGraphReport(printDate()) : reports.openGraphReport(printDate());
  previewer_->preview(std::move(doc), picture);
}

void ReportFlows::SpeedButton7Click() {
  previewer_->preview(reports.openStoreReport(printDate()), QImage());
}

QImage ReportFlows::loadPicture(const QString &path) {
  QImageReader reader(path);
  QImage image;
  if (!reader.read(&image)) throw EPictureError(reader.errorString().toStdString());
  return image;
}

}  // namespace vexal
