#pragma once
// Writing an opened report to a file in one of the export formats, for today's tools: UTF-8
// throughout. A file is written beside its target under a temporary name and renamed over
// it only when complete, so a failed or cancelled export leaves no partial file and an
// existing file of that name as it was.
//
// - CSV: the column titles, then one line per detail band with its field texts; RFC 4180
//   quoting, CR LF line ends, a byte-order mark for spreadsheet programs.
// - Plain text: page by page as on paper, columns aligned, pages separated by a form feed.
// - HTML: one self-contained document, page by page; a print style sheet breaks the pages.

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "record/ByteSink.h"
#include "report/ReportDocument.h"

namespace vexal {

enum class ExportFormat { Pdf, Html, Text, Csv };

// By the file name's extension in any letter case: ".pdf", ".html", ".txt", ".csv".
std::optional<ExportFormat> exportFormatFor(std::string_view path);

// Where the preview's Export writes and in which format, from the name the user gave and the
// extension of the file-type filter chosen with it ("html", "txt" or "csv"): a name ending in
// .html, .htm, .txt or .csv (any letter case) keeps that format; any other name gets the
// filter's extension added and the filter's format.
struct ExportTarget {
  std::string path;
  ExportFormat format;
  bool operator==(const ExportTarget &) const = default;
};
ExportTarget exportTargetFor(std::string_view typedPath, std::string_view filterExtension);

// Told how far a long export has come (`done` of `total`); answers false to cancel it.
using ExportProgress = std::function<bool(std::size_t done, std::size_t total)>;

// Thrown when the progress callback cancels an export.
class ExportCancelled : public std::runtime_error {
 public:
  ExportCancelled() : std::runtime_error("The export was cancelled") {}
};

// A name that selects no export format.
class EExportName : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// RFC 4180: quoted when it holds a comma, a quote or a line break; quotes doubled.
std::string csvField(std::string_view text);
// One CSV line: the fields quoted as needed, separated by commas, CR LF at the end.
std::string csvLine(const std::vector<std::string> &fields);
// What a CSV file starts with, for spreadsheet programs: the UTF-8 byte-order mark.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";
std::string htmlEscaped(std::string_view text);

void writeReportCsv(const ReportDocument &doc, ByteSink &sink, const ExportProgress &progress = {});
void writeReportText(const ReportDocument &doc, ByteSink &sink,
                     const ExportProgress &progress = {});
// `pictureUri` (a data: URI) fills the report's picture element; none when empty.
void writeReportHtml(const ReportDocument &doc, ByteSink &sink, const ExportProgress &progress = {},
                     std::string_view pictureUri = {});

// Writes the report to `path` in `format` (not Pdf: that one needs the renderer) through a
// temporary file. Throws EFileError on a failed write and ExportCancelled when cancelled.
void exportReport(const ReportDocument &doc, ExportFormat format, const std::string &path,
                  const ExportProgress &progress = {}, std::string_view pictureUri = {});

}  // namespace vexal
