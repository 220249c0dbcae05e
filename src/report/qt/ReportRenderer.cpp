#include "report/qt/ReportRenderer.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QIODevice>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <exception>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

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

QFont reportFont(const FontSpec &fontSpec) {
  QFont font(QString::fromStdString(fontSpec.face));
  font.setPointSizeF(fontSpec.points);
  font.setBold(fontSpec.bold);
  font.setUnderline(fontSpec.underline);
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

namespace {

// Draws the short texts of a report from glyphs looked up once per character, without
// shaping each text anew: a long report repeats the same few characters on every page.
class GlyphWriter {
 public:
  GlyphWriter(const FontSpec &fontSpec, QPaintDevice *device, bool glyphs)
      : fontSpec_(fontSpec), font_(reportFont(fontSpec), device) {
    if (glyphs) raw_ = QRawFont::fromFont(font_);
  }

  const FontSpec &fontSpec() const { return fontSpec_; }
  const QFont &font() const { return font_; }
  // From the top of a text to its baseline, as add() places it.
  double ascent() const { return raw_.isValid() ? raw_.ascent() : QFontMetricsF(font_).ascent(); }

  // Adds `text` with its top-left corner at `at` (centred in [at.x, at.x + centreWidth]
  // when centreWidth > 0) to the glyphs drawn by flush(), its baseline `ascent` below the
  // top. Characters the font lacks are drawn at once with the painter's own text drawing.
  void add(QPainter &painter, QPointF at, const QString &text, double centreWidth, double ascent) {
    const qsizetype first = glyphs_.size();
    double x = 0;
    for (const QChar c : text) {
      const Glyph *g = glyph(c);
      if (!g) {
        glyphs_.resize(first);
        positions_.resize(first);
        return fallback(painter, at, text, centreWidth, ascent);
      }
      glyphs_.push_back(g->index);
      positions_.push_back(QPointF(x, 0));
      x += g->advance;
    }
    if (centreWidth > 0) at.rx() += (centreWidth - x) / 2;
    const QPointF baseline = at + QPointF(0, ascent);
    // An underline runs from the run's origin: underlined texts go out one by one.
    if (fontSpec_.underline) return flush(painter, baseline);
    for (qsizetype i = first; i < positions_.size(); ++i) positions_[i] += baseline;
  }

  // Draws everything added since the last flush as one run of glyphs.
  void flush(QPainter &painter, QPointF origin = QPointF(0, 0)) {
    if (glyphs_.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setGlyphIndexes(glyphs_);
    run.setPositions(positions_);
    run.setUnderline(fontSpec_.underline);
    painter.drawGlyphRun(origin, run);
    glyphs_.clear();
    positions_.clear();
  }

 private:
  struct Glyph {
    quint32 index;
    double advance;
  };

  const Glyph *glyph(QChar c) {
    auto it = glyphCache_.find(c.unicode());
    if (it == glyphCache_.end()) {
      Glyph g{0, 0};
      if (raw_.isValid() && !c.isSurrogate()) {
        const QList<quint32> indexes = raw_.glyphIndexesForString(QString(c));
        if (indexes.size() == 1 && indexes[0] != 0) {
          g.index = indexes[0];
          g.advance = raw_.advancesForGlyphIndexes(indexes).value(0).x();
        }
      }
      it = glyphCache_.emplace(c.unicode(), g).first;
    }
    return it->second.index != 0 ? &it->second : nullptr;
  }

  void fallback(QPainter &painter, QPointF at, const QString &text, double centreWidth,
                double ascent) {
    painter.setFont(font_);
    if (centreWidth > 0)
      at.rx() += (centreWidth - QFontMetricsF(font_).horizontalAdvance(text)) / 2;
    painter.drawText(at + QPointF(0, ascent), text);
  }

  FontSpec fontSpec_;
  QFont font_;
  QRawFont raw_;
  std::unordered_map<char16_t, Glyph> glyphCache_;
  QList<quint32> glyphs_;
  QList<QPointF> positions_;
};

// The writers of one paint device, one per font of the layout.
class GlyphWriters {
 public:
  explicit GlyphWriters(QPaintDevice *device) : device_(device) {
    // Glyph runs pay off where they are drawn at once (pictures, PDF); engines that record
    // what is drawn, like the toolkit's print preview, are better served with plain text.
    const QPaintEngine *engine = device->paintEngine();
    glyphs_ =
        engine && (engine->type() == QPaintEngine::Raster || engine->type() == QPaintEngine::Pdf);
  }
  template <class Each>
  void forEach(Each each) {
    for (auto &w : writers_) each(*w);
  }
  GlyphWriter &forFont(const FontSpec &fontSpec) {
    for (auto &w : writers_)
      if (w->fontSpec() == fontSpec) return *w;
    writers_.push_back(std::make_unique<GlyphWriter>(fontSpec, device_, glyphs_));
    return *writers_.back();
  }

 private:
  QPaintDevice *device_;
  bool glyphs_ = true;
  std::vector<std::unique_ptr<GlyphWriter>> writers_;
};

// The texts of one page-footer line ("The Page 1 Of 2": 10, 8, 10 and 9 point) share the
// baseline of the line's largest font, so that the smaller ones do not ride high. Other
// texts hang from their top. The key is the line's top in millimetres.
std::map<double, double> footerLineAscents(GlyphWriters &writers, const LaidOutPage &page) {
  std::map<double, double> ascents;
  for (const PlacedElement &e : page.elements) {
    if (e.band != BandKind::PageFooter || e.kind == ReportElementKind::Picture || e.text.empty())
      continue;
    double &line = ascents[e.y];
    line = std::max(line, writers.forFont(e.font).ascent());
  }
  return ascents;
}

void drawPage(QPainter &painter, GlyphWriters &writers, const LaidOutPage &page, double pxPerMm,
              const QImage *picture) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const std::map<double, double> footerAscents = footerLineAscents(writers, page);
  for (const PlacedElement &e : page.elements) {
    const QPointF at(e.x * pxPerMm, e.y * pxPerMm);
    if (e.kind == ReportElementKind::Picture) {
      if (picture && !picture->isNull())
        painter.drawImage(QRectF(at, QSizeF(e.width * pxPerMm, e.height * pxPerMm)), *picture);
      continue;
    }
    if (e.text.empty()) continue;
    painter.setPen(reportColour(e.font.colour));
    GlyphWriter &writer = writers.forFont(e.font);
    const auto line =
        e.band == BandKind::PageFooter ? footerAscents.find(e.y) : footerAscents.end();
    writer.add(painter, at, QString::fromStdString(e.text), e.centred ? e.width * pxPerMm : 0,
               line != footerAscents.end() ? line->second : writer.ascent());
  }
  // The texts of each font and colour go to the device together.
  writers.forEach([&painter](GlyphWriter &w) {
    painter.setPen(reportColour(w.fontSpec().colour));
    w.flush(painter);
  });
  painter.restore();
}

}  // namespace

void drawReportPage(QPainter &painter, const LaidOutPage &page, double pxPerMm,
                    const QImage *picture) {
  GlyphWriters writers(painter.device());
  drawPage(painter, writers, page, pxPerMm, picture);
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
  GlyphWriters writers(&device);
  const auto total = static_cast<std::size_t>(std::max(0, to - from + 1));
  for (int p = from; p <= to; ++p) {
    if (progress && !progress(static_cast<std::size_t>(p - from), total)) {
      // A cancelled print run sends no job at all; a file is thrown away by its caller.
      if (auto *printer = dynamic_cast<QPrinter *>(&device)) printer->abort();
      painter.end();
      throw ExportCancelled();
    }
    if (p > from) device.newPage();
    drawPage(painter, writers, doc.page(p), pxPerMm, picture);
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
  // The HTML document carries its picture inside, as PNG.
  std::string uri;
  if (format == ExportFormat::Html && picture && !picture->isNull()) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture->save(&buffer, "PNG");
    uri = "data:image/png;base64," + png.toBase64().toStdString();
  }
  exportReport(doc, format, path.toStdString(), progress, uri);
}

}  // namespace vexal
