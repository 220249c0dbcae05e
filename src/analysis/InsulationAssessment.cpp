#include "analysis/InsulationAssessment.h"

#include <cmath>

namespace vexal {

double temperatureFactor(double windingTemperatureC) {
  return std::pow(0.5, (kReferenceTemperatureC - windingTemperatureC) / 10.0);
}

double correctedTo40C(double ohms, double windingTemperatureC) {
  return ohms * temperatureFactor(windingTemperatureC);
}

std::optional<bool> piApplicable(std::optional<double> r60,
                                 std::optional<double> windingTemperatureC) {
  if (!r60 || !windingTemperatureC) return std::nullopt;
  return !(correctedTo40C(*r60, *windingTemperatureC) > kPiMeaningfulBelowOhms);
}

double minimumPi(InsulationClass insulationClass) {
  return insulationClass == InsulationClass::A ? 1.5 : 2.0;
}

double minimumInsulationResistance(WindingKind kind, double ratedKv) {
  switch (kind) {
    case WindingKind::OlderOrField:
      return (ratedKv + 1.0) * 1e6;
    case WindingKind::FormWound:
      return ratedKv < kLowVoltageKv ? 5e6 : 100e6;
    case WindingKind::RandomOrLowVolt:
      return 5e6;
    case WindingKind::DcArmature:
      return 100e6;
  }
  return 100e6;
}

bool minimumNeedsRatedVoltage(WindingKind kind) {
  return kind == WindingKind::OlderOrField || kind == WindingKind::FormWound;
}

VoltageRange suggestedTestVoltage(double ratedKv) {
  if (ratedKv < 1.0) return {500, 500};
  if (ratedKv <= 2.5) return {500, 1000};
  if (ratedKv <= 5.0) return {1000, 2500};
  if (ratedKv <= 12.0) return {2500, 5000};
  return {5000, 10000};
}

}  // namespace vexal
