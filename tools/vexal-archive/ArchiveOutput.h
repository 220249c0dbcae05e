#pragma once
// vexal-archive's output lines: assets and histories as tab- or comma-separated text with a
// header line, or as JSON lines; a test's export as one JSON line.

#include <string>

#include "ArchiveOptions.h"
#include "archive/ArchiveTypes.h"

namespace vexal {

// The header line of a separated listing (with its line break); nothing for JSON lines.
std::string assetsHeader(OutputFormat format);
std::string assetLine(const AssetSummary &asset, OutputFormat format);
std::string historyHeader(OutputFormat format);
std::string historyLine(const TestSummary &test, OutputFormat format);
// The test with its particulars, results and readings.
std::string exportLine(const TestSummary &test, const TestReadings &readings);

}  // namespace vexal
