#include "report/ReportExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "record/DataFiles.h"

namespace vexal {

namespace {

constexpr double kMmPerChar = 2.0;   // plain text: 95 characters across the band
constexpr double kSameLineMm = 2.5;  // elements whose tops are this close share a line

void check(const ExportProgress &progress, std::size_t done, std::size_t total) {
  if (progress && !progress(done, total)) throw ExportCancelled();
}

std::size_t charCount(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// The texts of one band of a laid-out page, grouped in lines from top to bottom, each line
// left to right.
std::vector<std::vector<const PlacedElement *>> lines(const LaidOutPage &page, BandKind band,
                                                      double bandTop) {
  std::vector<const PlacedElement *> items;
  for (const PlacedElement &e : page.elements)
    if (e.band == band && e.kind != ReportElementKind::Picture && e.y >= bandTop - 1e-9)
      items.push_back(&e);
  std::stable_sort(items.begin(), items.end(), [](auto *a, auto *b) { return a->y < b->y; });
  std::vector<std::vector<const PlacedElement *>> out;
  double lineTop = 0;
  for (const PlacedElement *e : items) {
    if (out.empty() || e->y - lineTop > kSameLineMm) {
      out.emplace_back();
      lineTop = e->y;
    }
    out.back().push_back(e);
  }
  for (auto &line : out)
    std::stable_sort(line.begin(), line.end(), [](auto *a, auto *b) { return a->x < b->x; });
  return out;
}

std::string textLine(const std::vector<const PlacedElement *> &line, double bandLeft,
                     double bandWidth) {
  std::string out;
  std::size_t length = 0;
  const auto width = static_cast<std::size_t>(std::lround(bandWidth / kMmPerChar));
  for (const PlacedElement *e : line) {
    const std::size_t n = charCount(e->text);
    std::size_t column =
        e->centred
            ? (width > n ? (width - n) / 2 : 0)
            : static_cast<std::size_t>(std::lround(std::max(0.0, e->x - bandLeft) / kMmPerChar));
    if (length > 0 && column <= length) column = length + 1;  // never run two texts together
    out.append(column - length, ' ');
    out += e->text;
    length = column + n;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

void putTextPage(BlockWriter &w, const ReportDocument &doc, const LaidOutPage &page) {
  const double left = doc.layout().page.margin;
  const double width = doc.layout().page.bandWidth();
  for (const PlacedBand &band : page.bands) {
    // Each detail band is one row; the band's own top tells which elements are its own.
    LaidOutPage one;
    for (const PlacedElement &e : page.elements)
      if (e.band == band.kind && e.y >= band.top - 1e-9 && e.y < band.top + band.height)
        one.elements.push_back(e);
    if (band.kind == BandKind::PageFooter) w.put("\r\n");
    for (const auto &line : lines(one, band.kind, band.top)) {
      w.put(textLine(line, left, width));
      w.put("\r\n");
    }
  }
}

void putHtmlHead(BlockWriter &w, const ReportDocument &doc) {
  std::string title;
  if (const ReportBand *header = doc.layout().band(BandKind::PageHeader))
    for (const ReportElement &e : header->elements)
      if (e.centred) title = trimmed(e.text);
  w.put("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + htmlEscaped(title) +
        "</title>\n<style>\n"
        "body { font-family: Arial, \"Liberation Sans\", sans-serif; font-size: 10pt; }\n"
        ".page { width: 190mm; margin-bottom: 12mm; }\n"
        ".title { text-align: center; font-size: 14pt; font-weight: bold;"
        " text-decoration: underline; color: blue; margin: 2mm 0; }\n"
        ".date { text-align: right; font-size: 7pt; }\n"
        "table { width: 100%; border-collapse: collapse; }\n"
        "th, td { text-align: left; font-weight: normal; padding: 0.5mm 1mm; }\n"
        ".footer { margin-top: 3mm; }\n"
        "@media print {\n  @page { size: A4 portrait; margin: 10mm; }\n"
        "  .page { break-after: page; page-break-after: always; margin: 0; }\n"
        "  .page:last-child { break-after: auto; page-break-after: auto; }\n}\n"
        "</style>\n</head>\n<body>\n");
}

std::string joinedTexts(const LaidOutPage &page, BandKind band, bool centred) {
  std::string out;
  for (const PlacedElement &e : page.elements) {
    if (e.band != band || e.kind == ReportElementKind::Picture || e.centred != centred) continue;
    if (!out.empty()) out += ' ';
    out += e.text;
  }
  return trimmed(out);
}

std::string mm(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1fmm", v);
  return buf;
}

void putHtmlPicture(BlockWriter &w, const LaidOutPage &page, double margin, std::string_view uri) {
  if (uri.empty()) return;
  for (const PlacedElement &e : page.elements)
    if (e.kind == ReportElementKind::Picture) {
      w.put("<div class=\"picture\"><img alt=\"graph\" style=\"margin-left: " + mm(e.x - margin) +
            "; width: " + mm(e.width) + "; height: " + mm(e.height) + ";\" src=\"");
      w.put(uri);
      w.put("\"></div>\n");
    }
}

void putHtmlPage(BlockWriter &w, const ReportDocument &doc, const LaidOutPage &page,
                 std::string_view pictureUri) {
  w.put("<div class=\"page\">\n");
  const std::string title = joinedTexts(page, BandKind::PageHeader, true);
  if (!title.empty()) w.put("<div class=\"title\">" + htmlEscaped(title) + "</div>\n");
  const std::string date = joinedTexts(page, BandKind::PageHeader, false);
  if (!date.empty()) w.put("<div class=\"date\">" + htmlEscaped(date) + "</div>\n");
  w.put("<table>\n<thead>\n<tr>");
  for (const std::string &t : doc.layout().columnTitles()) w.put("<th>" + htmlEscaped(t) + "</th>");
  w.put("</tr>\n</thead>\n<tbody>\n");
  const auto [first, count] = doc.detailsOnPage(page.number);
  for (std::size_t d = first; d < first + count; ++d) {
    w.put("<tr>");
    for (const std::string &t : doc.detailTexts(d)) w.put("<td>" + htmlEscaped(t) + "</td>");
    w.put("</tr>\n");
  }
  w.put("</tbody>\n</table>\n");
  putHtmlPicture(w, page, doc.layout().page.margin, pictureUri);
  const std::string footer = joinedTexts(page, BandKind::PageFooter, false);
  if (!footer.empty()) w.put("<div class=\"footer\">" + htmlEscaped(footer) + "</div>\n");
  w.put("</div>\n");
}

}  // namespace

std::optional<ExportFormat> exportFormatFor(std::string_view path) {
  std::string ext(fileExtension(path));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  if (ext == ".pdf") return ExportFormat::Pdf;
  if (ext == ".html") return ExportFormat::Html;
  if (ext == ".txt") return ExportFormat::Text;
  if (ext == ".csv") return ExportFormat::Csv;
  return std::nullopt;
}

ExportTarget exportTargetFor(std::string_view typedPath, std::string_view filterExtension) {
  const auto typed = exportFormatFor(typedPath);
  if (typed && *typed != ExportFormat::Pdf) return {std::string(typedPath), *typed};
  std::string ext(fileExtension(typedPath));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  if (ext == ".htm") return {std::string(typedPath), ExportFormat::Html};
  std::string path(typedPath);
  path += '.';
  path += filterExtension;
  const auto chosen = exportFormatFor(path);
  if (chosen && *chosen != ExportFormat::Pdf) return {path, *chosen};
  return {std::string(typedPath) + ".html", ExportFormat::Html};
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string csvLine(const std::vector<std::string> &fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += csvField(fields[i]);
  }
  line += "\r\n";
  return line;
}

std::string htmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void writeReportCsv(const ReportDocument &doc, ByteSink &sink, const ExportProgress &progress) {
  BlockWriter w(sink);
  w.put(kCsvByteOrderMark);
  auto putLine = [&w](const std::vector<std::string> &fields) { w.put(csvLine(fields)); };
  putLine(doc.layout().columnTitles());
  const std::size_t total = doc.detailCount();
  for (std::size_t d = 0; d < total; ++d) {
    if (d % 4096 == 0) check(progress, d, total);
    putLine(doc.detailTexts(d));
  }
  check(progress, total, total);
  w.flush();
}

void writeReportText(const ReportDocument &doc, ByteSink &sink, const ExportProgress &progress) {
  BlockWriter w(sink);
  const auto total = static_cast<std::size_t>(doc.pageCount());
  for (int p = 1; p <= doc.pageCount(); ++p) {
    check(progress, static_cast<std::size_t>(p - 1), total);
    if (p > 1) w.put('\f');
    putTextPage(w, doc, doc.page(p));
  }
  check(progress, total, total);
  w.flush();
}

void writeReportHtml(const ReportDocument &doc, ByteSink &sink, const ExportProgress &progress,
                     std::string_view pictureUri) {
  BlockWriter w(sink);
  putHtmlHead(w, doc);
  const auto total = static_cast<std::size_t>(doc.pageCount());
  for (int p = 1; p <= doc.pageCount(); ++p) {
    check(progress, static_cast<std::size_t>(p - 1), total);
    putHtmlPage(w, doc, doc.page(p), pictureUri);
  }
  w.put("</body>\n</html>\n");
  check(progress, total, total);
  w.flush();
}

void exportReport(const ReportDocument &doc, ExportFormat format, const std::string &path,
                  const ExportProgress &progress, std::string_view pictureUri) {
  writeFileAtomically(path, [&](ByteSink &sink) {
    switch (format) {
      case ExportFormat::Csv:
        return writeReportCsv(doc, sink, progress);
      case ExportFormat::Text:
        return writeReportText(doc, sink, progress);
      case ExportFormat::Html:
        return writeReportHtml(doc, sink, progress, pictureUri);
      case ExportFormat::Pdf:
        throw std::logic_error("PDF is written by the renderer");
    }
  });
}

}  // namespace vexal
