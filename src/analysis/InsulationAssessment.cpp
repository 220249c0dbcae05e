#include "analysis/InsulationAssessment.h"

#include <cmath>

namespace vexal {

namespace {

// A typed number that can be used: finite, and for a rated voltage not below zero.
std::optional<double> usable(std::optional<double> value, bool mayBeNegative) {
  if (!value || !std::isfinite(*value) || (!mayBeNegative && *value < 0)) return std::nullopt;
  return value;
}

Verdict atLeast(double value, double minimum) {
  return value >= minimum ? Verdict::Pass : Verdict::Fail;
}

}  // namespace

double temperatureFactor(double windingTemperatureC) {
  return std::pow(0.5, (kReferenceTemperatureC - windingTemperatureC) / 10.0);
}

double correctedTo40C(double ohms, double windingTemperatureC) {
  return ohms * temperatureFactor(windingTemperatureC);
}

std::optional<bool> piApplicable(std::optional<double> r60,
                                 std::optional<double> windingTemperatureC) {
  if (!r60) return std::nullopt;
  const double at40 = windingTemperatureC ? correctedTo40C(*r60, *windingTemperatureC) : *r60;
  return !(at40 > kPiMeaningfulBelowOhms);
}

double minimumPi(InsulationClass insulationClass) {
  return insulationClass == InsulationClass::A ? 1.5 : 2.0;
}

double minimumInsulationResistance(WindingKind kind, double ratedKv) {
  switch (kind) {
    case WindingKind::OlderOrField:
      return (ratedKv + 1.0) * 1e6;
    case WindingKind::FormWound:
      return 100e6;
    case WindingKind::RandomOrLowVolt:
      return 5e6;
  }
  return 100e6;
}

VoltageRange suggestedTestVoltage(double ratedKv) {
  if (ratedKv < 1.0) return {500, 500};
  if (ratedKv <= 2.5) return {500, 1000};
  if (ratedKv <= 5.0) return {1000, 2500};
  if (ratedKv <= 12.0) return {2500, 5000};
  return {5000, 10000};
}

std::string_view verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return "pass";
    case Verdict::Fail:
      return "fail";
    case Verdict::Undetermined:
      return "not determined";
  }
  return "not determined";
}

InsulationAssessment assessRun(const InsulationRun &run, const TestParticulars &particulars) {
  InsulationAssessment a;
  const auto temperature = usable(particulars.windingTemperatureC, true);
  const auto ratedKv = usable(particulars.ratedKv, false);

  if (run.r60 && temperature) a.r60At40C = correctedTo40C(*run.r60, *temperature);
  a.piApplicable = piApplicable(run.r60, temperature);
  if (ratedKv) {
    a.minimumResistance = minimumInsulationResistance(particulars.windingKind, *ratedKv);
    a.suggestedVoltage = suggestedTestVoltage(*ratedKv);
  }

  // Without a winding temperature the resistance is judged as measured.
  const std::optional<double> judged = temperature ? a.r60At40C : run.r60;
  if (judged && a.minimumResistance) a.resistanceCheck = atLeast(*judged, *a.minimumResistance);

  a.minimumPi = minimumPi(particulars.insulationClass);
  if (a.piApplicable == false) {
    // A very high resistance makes the PI meaningless; the resistance then decides.
    if (a.resistanceCheck == Verdict::Pass) a.piCheck = Verdict::Pass;
  } else if (a.piApplicable == true && run.pi) {
    a.piCheck = atLeast(*run.pi, a.minimumPi);
  }

  if (a.resistanceCheck == Verdict::Fail || a.piCheck == Verdict::Fail)
    a.overall = Verdict::Fail;
  else if (a.resistanceCheck == Verdict::Pass && a.piCheck == Verdict::Pass)
    a.overall = Verdict::Pass;
  return a;
}

}  // namespace vexal
