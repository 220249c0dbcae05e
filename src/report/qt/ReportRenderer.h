#pragma once
// Draws laid-out report pages with QPainter: on screen pictures (QImage), printers and PDF
// files all go through drawReportPage, so what is previewed is what is printed. Arial is
// asked for by name; fontconfig maps it to the installed metric-compatible face.

#include <QImage>
#include <QString>
#include <functional>

#include "report/ReportDocument.h"
#include "report/ReportExport.h"

class QPagedPaintDevice;
class QPainter;

namespace vexal {

QFont reportFont(const FontSpec &fontSpec);
QColor reportColour(TextColour colour);

// Draws `page` with the painter's origin at the paper's top-left corner and `pxPerMm`
// device pixels per millimetre. `picture` fills the picture elements (nothing drawn there
// when it is null).
void drawReportPage(QPainter &painter, const LaidOutPage &page, double pxPerMm,
                    const QImage *picture);

// One page as a white A4 picture at `dpi` dots per inch.
QImage renderReportPage(const ReportDocument &doc, int number, double dpi,
                        const QImage *picture = nullptr);

// Draws pages `from` to `to` (1-based, inclusive) on a paged device set to A4 portrait
// without margins: a printer or a PDF writer. `progress` is asked before each page and
// may cancel (ExportCancelled): a printer's run is then aborted, a PDF writer is left with the
// pages drawn so far for its caller to throw away.
void paintReportPages(QPagedPaintDevice &device, const ReportDocument &doc, int from, int to,
                      const QImage *picture, const ExportProgress &progress = {});

// The report's title for documents and print jobs: the page header's centred label.
QString reportTitle(const ReportDocument &doc);

// Writes the whole report as PDF to `path` through a temporary file beside it. Throws
// EFileError when it cannot be written and ExportCancelled when cancelled; neither leaves
// a file behind.
void saveReportPdf(const ReportDocument &doc, const QString &path, const QImage *picture,
                   const ExportProgress &progress = {});

// Any of the four formats, chosen by `format`.
void saveReport(const ReportDocument &doc, ExportFormat format, const QString &path,
                const QImage *picture, const ExportProgress &progress = {});

}  // namespace vexal
