#pragma once
// `vexal-replay --report FILE`: the data report of the replayed table, laid out as "Print
// Data" lays it out, written as PDF, HTML, plain text or CSV by the file's extension.

#include <string>

#include "record/ReadingTable.h"

namespace vexal {

// True when the extension names a report format (".pdf", ".html", ".txt", ".csv", any case).
// "-" (standard output) is one too.
bool isReportFileName(const std::string &path);

// Writes the report; on failure says why on stderr and leaves no file. "-" writes it as
// plain text (pages as on paper) on standard output. Returns the exit status: 0, or 1 when
// the file could not be written.
int writeReplayReport(const ReadingTable &table, const std::string &path);

}  // namespace vexal
