#pragma once
// Judging a run as a winding or cable test: temperature correction to 40 °C and the checks
// of IEEE 43 (minimum insulation resistance, minimum polarisation index for the insulation
// class, the DC test voltage for the rated voltage).

#include <optional>
#include <string>

#include "analysis/InsulationRuns.h"

namespace vexal {

inline constexpr double kReferenceTemperatureC = 40.0;
// Above this R(1 min) at 40 °C the polarisation index may not indicate the condition.
inline constexpr double kPiMeaningfulBelowOhms = 5e9;

// K_T = 0.5^((40 - T) / 10): resistance halves for every 10 °C rise.
double temperatureFactor(double windingTemperatureC);
// R at T corrected to 40 °C: r × K_T.
double correctedTo40C(double ohms, double windingTemperatureC);
// Whether the PI indicates the condition: nothing without r60; false when r60 corrected to
// 40 °C (or r60 itself without a temperature) is above 5 GΩ, true otherwise.
std::optional<bool> piApplicable(std::optional<double> r60,
                                 std::optional<double> windingTemperatureC);

enum class InsulationClass { A, B, F, H };
// A 1.5; B, F and H 2.0.
double minimumPi(InsulationClass insulationClass);

enum class WindingKind {
  OlderOrField,     // windings made before about 1970, field windings: kV + 1 MΩ
  FormWound,        // form-wound after about 1970, DC armatures: 100 MΩ
  RandomOrLowVolt,  // random-wound, and form-wound below 1 kV: 5 MΩ
};
// The minimum insulation resistance at 40 °C, in ohms, for the rated voltage in kV.
double minimumInsulationResistance(WindingKind kind, double ratedKv);

// The DC test voltage range suggested for a rated voltage in kV: below 1 kV 500 V;
// up to 2.5 kV 500-1000 V; up to 5 kV 1000-2500 V; up to 12 kV 2500-5000 V; above
// 5000-10000 V.
struct VoltageRange {
  double lowV = 0, highV = 0;
  bool operator==(const VoltageRange &) const = default;
};
VoltageRange suggestedTestVoltage(double ratedKv);

// The test's particulars, as the user types them (test data, not settings).
struct TestParticulars {
  std::string equipment, location, operatorName;
  std::optional<double> windingTemperatureC;
  std::optional<double> ambientTemperatureC;
  std::optional<double> humidityPercent;
  std::optional<double> ratedKv;
  InsulationClass insulationClass = InsulationClass::B;
  WindingKind windingKind = WindingKind::FormWound;
};

enum class Verdict { Pass, Fail, Undetermined };
std::string_view verdictName(Verdict verdict);  // "pass", "fail", "not determined"

// A run judged with its particulars. A temperature that is not a finite number, or a rated
// voltage that is not a finite number of at least 0, counts as not given.
struct InsulationAssessment {
  std::optional<double> r60At40C;  // needs r60 and the winding temperature
  std::optional<bool> piApplicable;
  std::optional<double> minimumResistance;  // ohms; needs the rated voltage
  // R(1 min) at 40 °C (as measured when no winding temperature is given) against the
  // minimum; undetermined without r60 or the rated voltage.
  Verdict resistanceCheck = Verdict::Undetermined;
  double minimumPi = 2.0;
  // PI against the class's minimum; passes when the PI does not apply and the resistance
  // check passed.
  Verdict piCheck = Verdict::Undetermined;
  std::optional<VoltageRange> suggestedVoltage;  // needs the rated voltage
  Verdict overall = Verdict::Undetermined;       // fail if any check fails, pass if all pass
};
InsulationAssessment assessRun(const InsulationRun &run, const TestParticulars &particulars);

}  // namespace vexal
