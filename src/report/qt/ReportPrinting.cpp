#include "report/qt/ReportPrinting.h"

#include <QPrintDialog>
#include <QPrinter>

#include "report/qt/ReportRenderer.h"

namespace vexal {

bool QtPrintService::choosePrinter(QPrinter &printer, int pageCount, QWidget *parent) {
  QPrintDialog dialog(&printer, parent);
  dialog.setMinMax(1, pageCount);
  dialog.setFromTo(1, pageCount);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  return dialog.exec() == QDialog::Accepted;
}

void printReport(QPrinter &printer, const ReportDocument &doc, const QImage *picture,
                 const ExportProgress &progress) {
  int from = 1, to = doc.pageCount();
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = printer.fromPage();
    to = std::min(printer.toPage() > 0 ? printer.toPage() : to, doc.pageCount());
  }
  printer.setDocName(reportTitle(doc));
  printer.setFullPage(true);
  paintReportPages(printer, doc, from, to, picture, progress);
}

}  // namespace vexal
