#include "report/qt/ReportRenderer.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <exception>

#include "record/DataFiles.h"

namespace vexal {

namespace {

// A sequential device that hands what the PDF writer produces to a byte sink. The sink's
// error is kept and thrown once the painter has let go.
class SinkDevice : public QIODevice {
 public:
  explicit SinkDevice(ByteSink &sink) : sink_(sink) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }
  std::exception_ptr error() const { return error_; }

 protected:
  qint64 readData(char *, qint64) override { return -1; }
  qint64 writeData(const char *data, qint64 size) override {
    if (error_) return -1;
    try {
      sink_.write(std::string_view(data, static_cast<std::size_t>(size)));
      return size;
    } catch (...) {
      error_ = std::current_exception();
      return -1;
    }
  }

 private:
  ByteSink &sink_;
  std::exception_ptr error_;
};

QPageLayout a4WithoutMargins() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                     QPageLayout::Millimeter);
}

}  // namespace

QFont reportFont(const FontSpec &spec) {
  QFont font(QString::fromStdString(spec.face));
  font.setPointSizeF(spec.points);
  font.setBold(spec.bold);
  font.setUnderline(spec.underline);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QColor reportColour(TextColour colour) {
  switch (colour) {
    case TextColour::Blue:
      return Qt::blue;
    case TextColour::ToolTipText:
      return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                 ? QGuiApplication::palette().color(QPalette::ToolTipText)
                 : QColor(Qt::black);
    case TextColour::Black:
      break;
  }
  return Qt::black;
}

void drawReportPage(QPainter &painter, const LaidOutPage &page, double pxPerMm,
                    const QImage *picture) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (const PlacedElement &e : page.elements) {
    const QPointF at(e.x * pxPerMm, e.y * pxPerMm);
    if (e.kind == ReportElementKind::Picture) {
      if (picture && !picture->isNull())
        painter.drawImage(QRectF(at, QSizeF(e.width * pxPerMm, e.height * pxPerMm)), *picture);
      continue;
    }
    if (e.text.empty()) continue;
    painter.setFont(reportFont(e.font));
    painter.setPen(reportColour(e.font.colour));
    const QString text = QString::fromStdString(e.text);
    if (e.centred) {
      const QRectF box(at, QSizeF(e.width * pxPerMm, 100 * pxPerMm));
      painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, text);
    } else {
      painter.drawText(at + QPointF(0, painter.fontMetrics().ascent()), text);
    }
  }
  painter.restore();
}

QImage renderReportPage(const ReportDocument &doc, int number, double dpi, const QImage *picture) {
  const PageSetup &setup = doc.layout().page;
  const double pxPerMm = dpi / 25.4;
  QImage image(qRound(setup.width * pxPerMm), qRound(setup.height * pxPerMm), QImage::Format_RGB32);
  const int dotsPerMetre = qRound(dpi / 0.0254);
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  image.fill(Qt::white);
  QPainter painter(&image);
  drawReportPage(painter, doc.page(number), pxPerMm, picture);
  return image;
}

void paintReportPages(QPagedPaintDevice &device, const ReportDocument &doc, int from, int to,
                      const QImage *picture, const ExportProgress &progress) {
  from = std::max(1, from);
  to = std::min(doc.pageCount(), to);
  device.setPageLayout(a4WithoutMargins());
  QPainter painter;
  if (!painter.begin(&device)) throw EFileError("Cannot start printing the report");
  const double pxPerMm = device.logicalDpiX() / 25.4;
  const auto total = static_cast<std::size_t>(std::max(0, to - from + 1));
  for (int p = from; p <= to; ++p) {
    if (progress && !progress(static_cast<std::size_t>(p - from), total)) {
      painter.end();
      throw ExportCancelled();
    }
    if (p > from) device.newPage();
    drawReportPage(painter, doc.page(p), pxPerMm, picture);
  }
  painter.end();
  if (progress) progress(total, total);
}

QString reportTitle(const ReportDocument &doc) {
  if (const ReportBand *header = doc.layout().band(BandKind::PageHeader))
    for (const ReportElement &e : header->elements)
      if (e.centred) return QString::fromStdString(e.text).trimmed();
  return QString::fromStdString(doc.layout().name);
}

void saveReportPdf(const ReportDocument &doc, const QString &path, const QImage *picture,
                   const ExportProgress &progress) {
  writeFileAtomically(path.toStdString(), [&](ByteSink &sink) {
    SinkDevice device(sink);
    {
      QPdfWriter pdf(&device);
      pdf.setTitle(reportTitle(doc));
      pdf.setCreator(QStringLiteral("Vexal"));
      pdf.setResolution(300);
      paintReportPages(pdf, doc, 1, doc.pageCount(), picture, progress);
    }
    if (device.error()) std::rethrow_exception(device.error());
  });
}

void saveReport(const ReportDocument &doc, ExportFormat format, const QString &path,
                const QImage *picture, const ExportProgress &progress) {
  if (format == ExportFormat::Pdf) return saveReportPdf(doc, path, picture, progress);
  exportReport(doc, format, path.toStdString(), progress);
}

}  // namespace vexal
