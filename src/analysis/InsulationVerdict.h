#pragma once
// The judgement of one insulation run with its particulars: the checks a technician makes, in
// the order they are made, each with its verdict and its reason in words. The "Insulation
// Test" window, the insulation test report, vexal-replay and the test archive all show this
// one judgement.
//
// The checks (IEEE 43, rotating machines):
// 1. Equipment: only rotating machines are checked; other equipment is "not judged".
// 2. Minimum insulation resistance: R(1 min) corrected to 40 °C against the winding's minimum.
//    Needs the winding temperature, the winding kind and, where the minimum depends on it,
//    the rated voltage.
// 3. Minimum PI: "not applicable" above 5,000 MΩ at 40 °C, "not measured" on a spot test,
//    otherwise the PI against the insulation class's minimum.
// 4. Overall: fail when a check fails; pass only when the resistance passes and the PI passes,
//    does not apply or was not measured on a spot test; otherwise not determined.
// 5. Test voltage: a remark when the run's test voltage lies outside the suggested range.
// A reading over the range ("L") counts as "above the range's top": where that bound decides a
// check it is used and said; otherwise the check is not determined.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationRuns.h"

namespace vexal {

enum class Verdict { Pass, Fail, Undetermined, NotApplicable, NotMeasured, NotJudged };
// "pass", "fail", "not determined", "not applicable", "not measured", "not judged".
std::string_view verdictName(Verdict verdict);

struct CheckVerdict {
  Verdict verdict = Verdict::Undetermined;
  std::string reason;  // why, in words ("enter the winding temperature"); may be empty
  bool operator==(const CheckVerdict &) const = default;
};
// The verdict as shown beside its check: "pass", "not determined — enter the winding
// temperature", "not determined (over range)", "pass (PI above 5.71)".
std::string checkText(const CheckVerdict &check);

// The test voltage of a function text ("IR:500V 20GΩ" → 500, "IR:2500 100GΩ" → 2500), and
// the top of its range in ohms (20 GΩ, 40, 100 or 1000 GΩ); nothing for other texts.
std::optional<double> functionTestVolts(std::string_view function);
std::optional<double> functionRangeTopOhms(std::string_view function);

// Why a run cannot give a reading at one of kRunMarkSeconds, in words ("run ended at 0:20 —
// R(30 s) needs 28 s or more", "over range (above 20 GΩ)"); empty when it gives one.
std::string markReason(const InsulationRun &run, int seconds);
// Why nothing is judged of a run: the reason it has no R(1 min), or empty.
std::string runTooShortReason(const InsulationRun &run);

struct InsulationJudgement {
  bool checksApply = true;             // a rotating machine
  std::optional<double> rangeTopOhms;  // from the run's function
  std::optional<double> testVolts;     // from the run's function
  std::optional<double> temperatureC;  // the winding temperature used (in range)
  std::optional<double> ratedKv;       // the rated voltage used (in range)

  // R(1 min) at 40 °C, or the bound it lies above when R(1 min) is over range.
  std::optional<double> r60At40C;
  std::optional<double> r60At40CAbove;
  std::optional<double> minimumResistance;  // ohms
  CheckVerdict resistance;

  // Lower bounds of the ratios when their later reading is over range (DAR above, PI above).
  std::optional<double> darAbove, piAbove;
  std::optional<ConditionBand> darBand, piBand;  // of the ratio, or of its bound
  std::optional<bool> piApplicable;  // needs R(1 min) (or its bound) and the temperature
  std::optional<double> minimumPi;   // needs the insulation class
  CheckVerdict pi;

  std::optional<VoltageRange> suggestedVoltage;  // needs the rated voltage
  std::string testVoltageRemark;  // "tested at 500 V; 2500–5000 V is suggested for 6.6 kV"

  CheckVerdict overall;  // Pass, Fail, Undetermined or NotJudged, with the reason
};

// Judges `run` with `particulars`. Particulars out of their ranges (particularProblem) are
// left out, as if not given.
InsulationJudgement judgeRun(const InsulationRun &run, const TestParticulars &particulars);

// --- Particulars as typed ------------------------------------------------------------------

enum class Particular { WindingTemperature, AmbientTemperature, Humidity, RatedVoltage };
struct ParticularRange {
  double low, high;
};
// −50 … 200 °C for both temperatures, 0 … 100 % humidity, 0.05 … 50 kV rated voltage.
ParticularRange particularRange(Particular which);
// Why a typed value is left out ("Rated voltage 0.05 … 50 kV, in kV, e.g. 6.6: this value is
// left out"), or nothing when it is used.
std::optional<std::string> particularProblem(Particular which, double value);
// `particulars` with every value out of its range left out.
TestParticulars usableParticulars(TestParticulars particulars);

// --- Shown values that never contradict their verdict -----------------------------------

// The limits the ratios are judged against (bands and minimum PIs).
inline constexpr double kDarLimits[] = {1.0, 1.4, 1.6};
inline constexpr double kPiLimits[] = {1.0, 1.5, 2.0, 4.0};
// A ratio to three places. A value below a limit is never shown at or above it, nor a value
// above a limit at or below it (1.3996 shows "1.399" beside the limit 1.4); a value exactly at
// a limit shows as that limit.
std::string formatRatio(double ratio, std::span<const double> limits = {});
// The bound a ratio lies above, rounded down to two places: "5.71" (still a true bound).
std::string formatBound(double bound);
// "500 V", "2500–5000 V".
std::string formatVoltageRange(const VoltageRange &range);
// Ohms with three significant digits and a prefix ("620 MΩ", "8.40 GΩ", "1.00 TΩ"); more
// digits where three would put the value on the other side of one of `limits`.
std::string formatOhms(double ohms, std::span<const double> limits = {});

}  // namespace vexal
