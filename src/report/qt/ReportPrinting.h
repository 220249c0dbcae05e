#pragma once
// Printing a report through the system's print service: the user picks printer, page range
// and copies in the print dialog, then the pages go to that printer's queue.

#include <QString>

#include "report/ReportDocument.h"
#include "report/ReportExport.h"

class QImage;
class QPrinter;
class QWidget;

namespace vexal {

// Asks the user how to print; tests answer without a screen.
class PrintService {
 public:
  virtual ~PrintService() = default;
  // Sets up `printer` (printer, page range within 1..pageCount, copies); false on cancel.
  virtual bool choosePrinter(QPrinter &printer, int pageCount, QWidget *parent) = 0;
};

// The toolkit's print dialog.
class QtPrintService : public PrintService {
 public:
  bool choosePrinter(QPrinter &printer, int pageCount, QWidget *parent) override;
};

// Prints the pages the printer's range selects (all when it selects none) as one job named
// after the report. Throws ExportCancelled when `progress` cancels, EFileError when the
// printer cannot be opened.
void printReport(QPrinter &printer, const ReportDocument &doc, const QImage *picture,
                 const ExportProgress &progress = {});

}  // namespace vexal
