#include "app/LogFormat.h"

#include <cstdio>

#include "common/JsonText.h"
#include "common/TextEncoding.h"
#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"
#include "report/ReportExport.h"
#include "report/ReportLayout.h"

namespace vexal {

namespace {

// The columns as the data report prints them (and its CSV export writes them).
const ReportLayout &dataReport() {
  static const ReportLayout layout = dataReportLayout();
  return layout;
}

std::string jsonText(const std::optional<std::string_view> &cp936) {
  return cp936 ? jsonString(cp936ToUtf8(*cp936)) : "null";
}

std::string jsonLine(const TableRowView &row) {
  std::string line = "{\"no\":";
  line += row.no ? std::to_string(*row.no) : "null";
  line += ",\"time\":";
  line += row.timeMs ? jsonString(formatTimeWithMilliseconds(*row.timeMs)) : "null";
  line += ",\"value\":" + jsonText(row.value);
  line += ",\"unit\":" + jsonText(row.unit);
  line += ",\"function\":" + jsonText(row.vRange);
  line += ",\"mode\":" + jsonText(row.iRange);
  line += "}\n";
  return line;
}

}  // namespace

std::optional<LogFormat> logFormatNamed(std::string_view name) {
  if (name == "tsv") return LogFormat::Tsv;
  if (name == "csv") return LogFormat::Csv;
  if (name == "jsonl") return LogFormat::Jsonl;
  return std::nullopt;
}

std::string logFileStart(LogFormat format) {
  switch (format) {
    case LogFormat::Tsv:
      return std::string(kTextHeader) + std::string(kLineEnd);
    case LogFormat::Csv:
      return std::string(kCsvByteOrderMark) + csvLine(dataReport().columnTitles());
    case LogFormat::Jsonl:
      return {};
  }
  return {};
}

std::string logLine(LogFormat format, const TableRowView &row) {
  switch (format) {
    case LogFormat::Tsv:
      return tableTextLine(row);
    case LogFormat::Csv:
      return csvLine(detailTexts(dataReport(), row));
    case LogFormat::Jsonl:
      return jsonLine(row);
  }
  return {};
}

}  // namespace vexal
