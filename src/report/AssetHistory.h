#pragma once
// An asset's tests as a person reads them in the Archive window and the asset history
// report: the asset list's lines, one line per test with its "halved" mark, the trend's
// points coloured by verdict, and the asset's IEEE 43 minimums that the trend draws as
// lines. Plain data made from what the archive gives; the window and the report only show it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationVerdict.h"
#include "archive/ArchiveTypes.h"
#include "archive/TestJudgement.h"
#include "report/InsulationReport.h"

namespace vexal {

// How a verdict's word reads: pass good, fail bad, the others neutral.
ResultTone verdictTone(std::string_view verdict);

// The asset list: tag, name, tests, last test, last verdict, location.
inline constexpr int kAssetColumnCount = 6;
inline constexpr int kAssetVerdictColumn = 4;
extern const char *const kAssetColumns[kAssetColumnCount];
struct AssetLine {
  std::vector<std::string> cells;
  ResultTone verdictTone = ResultTone::Neutral;
};
AssetLine assetLine(const AssetSummary &summary);

// The history table: date, test voltage, R(1 min), R(1 min) at 40 °C, DAR, PI, verdict,
// the "halved" mark, operator.
inline constexpr int kHistoryColumnCount = 9;
extern const char *const kHistoryColumns[kHistoryColumnCount];
inline constexpr int kHistoryHalvedColumn = 7;
inline constexpr const char *kHalvedMark = "halved";
struct HistoryLine {
  std::vector<std::string> cells;  // kHistoryColumnCount texts
  ResultTone verdictTone = ResultTone::Neutral;
  bool halved = false;
};
std::vector<HistoryLine> historyLines(const std::vector<TestSummary> &tests);

// The trend: R(1 min) at 40 °C and PI against the date, each point with its test's verdict,
// and the minimums that apply to the asset (none where its particulars do not say enough).
struct TrendMark {
  std::int64_t msSinceEpoch = 0;  // the test's date and start, as UTC
  double value = 0;
  std::string verdict;
  bool halved = false;
  std::size_t test = 0;  // index into the history
};
struct AssetTrend {
  std::vector<TrendMark> resistance;  // ohms at 40 °C
  std::vector<TrendMark> pi;
  std::optional<double> minimumResistance;  // ohms
  std::optional<double> minimumPi;
  std::int64_t firstMs = 0, lastMs = 0;  // the dates spanned (equal for one test)
};
AssetTrend assetTrend(const std::vector<TestSummary> &tests, const Asset &asset);

// Milliseconds since 1970-01-01 of a "YYYY-MM-DD" date and a time of day; nothing for a
// text that is not such a date.
std::optional<std::int64_t> dateMs(std::string_view date, std::int32_t timeOfDayMs = 0);

// The asset's particulars in words, for the window and the report.
std::vector<ParticularLine> assetLines(const Asset &asset);
// "M-101  Feed pump motor".
std::string assetHeading(const Asset &asset);

// A stored test's particulars as the Insulation Test window shows them.
TestParticulars particularsOf(const TestSummary &test);

}  // namespace vexal
