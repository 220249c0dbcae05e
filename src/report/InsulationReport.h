#pragma once
// An insulation run as a person reads it: its results in words (value, band or verdict, and
// how good that is), its particulars, and the insulation test report laid out on pages. The
// "Insulation Test" window and the report show the same lines.

#include <string>
#include <vector>

#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationRuns.h"
#include "analysis/InsulationVerdict.h"
#include "record/ReadingTable.h"
#include "report/ReportDocument.h"

namespace vexal {

// A duration in seconds as minutes and seconds: "0:30.0", "10:00.0".
std::string formatElapsed(std::int64_t ms);

// How a result reads: neutral, good, a warning or bad (the window colours it).
enum class ResultTone { Neutral, Good, Warning, Bad };
ResultTone toneOf(ConditionBand band);
ResultTone toneOf(Verdict verdict);

struct ResultLine {
  std::string label;      // "DAR"
  std::string value;      // "1.52", or "—" when there is none
  std::string judgement;  // "good", "pass", ... or empty
  ResultTone tone = ResultTone::Neutral;
  bool operator==(const ResultLine &) const = default;
};

// R(15 s), R(30 s), R(1 min), R(10 min), DAR, PI, R(1 min) at 40 °C, the IEEE 43 checks,
// the suggested test voltage and the overall verdict, in that order: judgeRun() in words.
std::vector<ResultLine> insulationResults(const InsulationRun &run,
                                          const TestParticulars &particulars);

// "Equipment", "Location", ... each with the text typed (empty when nothing was).
struct ParticularLine {
  std::string label, value;
};
std::vector<ParticularLine> particularLines(const TestParticulars &particulars);
std::string insulationClassName(InsulationClass insulationClass);  // "A", "B", "F", "H"
std::string windingKindName(WindingKind kind);
std::string equipmentKindName(EquipmentKind kind);  // "rotating machine", "cable", ...

// The report of one run: title, the run, its particulars, the curve (the report's picture),
// the results and the run's readings, three to a line; "Page n of m" below each page.
inline constexpr double kInsulationCurveWidthMm = 190.0;
inline constexpr double kInsulationCurveHeightMm = 78.0;
ReportDocument openInsulationReport(const ReadingTable &table, const InsulationRun &run,
                                    const TestParticulars &particulars,
                                    const std::string &printDate);

}  // namespace vexal
