#pragma once
// The file formats of the logger, a row at a time: each row is one line, written whole.
//
// - tsv: the text data format of Save Data (header line, tab-separated fields, code page 936
//   bytes, CR LF), so Open Data and any spreadsheet read it;
// - csv: the data report's CSV export (UTF-8 with a byte-order mark, RFC 4180, CR LF);
// - jsonl: one JSON object per row, UTF-8, LF: "no", "time" ("hh:mm:ss.zzz"), "value",
//   "unit", "function", "mode"; null for a field without value.

#include <optional>
#include <string>
#include <string_view>

#include "record/ReadingTable.h"

namespace vexal {

enum class LogFormat { Tsv, Csv, Jsonl };

// "tsv", "csv" or "jsonl"; nothing for any other name.
std::optional<LogFormat> logFormatNamed(std::string_view name);

// What a new file starts with: the header line (and the CSV's byte-order mark); nothing
// for jsonl.
std::string logFileStart(LogFormat format);

// One row's line, line end included.
std::string logLine(LogFormat format, const TableRowView &row);

}  // namespace vexal
