#pragma once
// The asset history report: the asset's particulars, its trend (the report's picture) and
// the table of its tests, "Page n of m" below each page.

#include <string>
#include <vector>

#include "report/AssetHistory.h"
#include "report/InsulationReport.h"
#include "report/ReportDocument.h"

namespace vexal {

inline constexpr double kHistoryTrendWidthMm = 190.0;
inline constexpr double kHistoryTrendHeightMm = 90.0;

// The report of `asset` and its tests (in date order); the trend is the picture.
ReportDocument openAssetHistoryReport(const Asset &asset, const std::vector<TestSummary> &tests,
                                      const std::string &printDate);

}  // namespace vexal
