#include "report/AssetHistoryReport.h"

#include <memory>

#include "report/ReportMakeup.h"

namespace vexal {

namespace {

// The left edge of each column of the table of tests, in the order of kHistoryColumns.
constexpr double kColumnLeft[kHistoryColumnCount] = {0, 21, 42, 62, 90, 103, 116, 141, 156};

ReportBand titleBand(const std::string &heading, const std::vector<ParticularLine> &asset,
                     std::size_t tests) {
  ReportBand band{BandKind::Title, 0, {}};
  double y = 1;
  band.elements.push_back(reportLabel(0, y, heading, reportFontSpec(11, true)));
  y += 7;
  // Short particulars in two columns; a long one (winding, notes) across the page below.
  constexpr std::size_t kColumnChars = 30;
  std::vector<const ParticularLine *> shortLines, longLines;
  for (const ParticularLine &line : asset)
    (line.value.size() > kColumnChars ? longLines : shortLines).push_back(&line);
  const std::size_t half = (shortLines.size() + 1) / 2;
  for (std::size_t i = 0; i < shortLines.size(); ++i) {
    const double left = i < half ? 0 : 97;
    const double top = y + 4.6 * static_cast<double>(i < half ? i : i - half);
    band.elements.push_back(reportLabel(left, top, shortLines[i]->label + ":", reportFontSpec(9)));
    band.elements.push_back(
        reportLabel(left + 32, top, shortLines[i]->value, reportFontSpec(9, true)));
  }
  y += 4.6 * static_cast<double>(half);
  for (const ParticularLine *line : longLines) {
    band.elements.push_back(reportLabel(0, y, line->label + ":", reportFontSpec(9)));
    band.elements.push_back(reportLabel(32, y, line->value, reportFontSpec(9, true)));
    y += 4.6;
  }
  y += 2;
  band.elements.push_back(reportPicture(y, kHistoryTrendWidthMm, kHistoryTrendHeightMm));
  y += kHistoryTrendHeightMm + 3;
  band.elements.push_back(
      reportLabel(0, y, "Tests (" + std::to_string(tests) + ")", reportFontSpec(11, true)));
  band.height = y + 7;
  return band;
}

ReportBand columnHeader() {
  ReportBand band{BandKind::ColumnHeader, 7, {}};
  for (int c = 0; c < kHistoryColumnCount; ++c)
    band.elements.push_back(
        reportLabel(kColumnLeft[c], 2, kHistoryColumns[c], reportFontSpec(8, true)));
  return band;
}

ReportBand testLine() {
  ReportBand band{BandKind::Detail, 5.0, {}};
  for (int c = 0; c < kHistoryColumnCount; ++c)
    band.elements.push_back(reportField(kColumnLeft[c], 0.8, kHistoryColumns[c]));
  return band;
}

}  // namespace

ReportDocument openAssetHistoryReport(const Asset &asset, const std::vector<TestSummary> &tests,
                                      const std::string &printDate) {
  auto lines = std::make_shared<std::vector<HistoryLine>>(historyLines(tests));
  DetailSource details{lines->size(), [lines](std::size_t i) { return (*lines)[i].cells; }};
  return openPagedReport("AssetHistoryReport", "ASSET HISTORY REPORT",
                         titleBand(assetHeading(asset), assetLines(asset), tests.size()),
                         columnHeader(), testLine(), std::move(details), printDate);
}

}  // namespace vexal
