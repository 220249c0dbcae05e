#pragma once
// The figures a run is judged by (IEEE 43): temperature correction to 40 °C, the minimum
// insulation resistance of a winding, the minimum polarisation index of an insulation class,
// the DC test voltage for a rated voltage; and the particulars of a test. The judgement that
// applies them is in InsulationVerdict.h.

#include <optional>
#include <string>
#include <string_view>

#include "analysis/InsulationRuns.h"

namespace vexal {

inline constexpr double kReferenceTemperatureC = 40.0;
// Above this R(1 min) at 40 °C the polarisation index may not indicate the condition.
inline constexpr double kPiMeaningfulBelowOhms = 5e9;

// K_T = 0.5^((40 - T) / 10): resistance halves for every 10 °C rise.
double temperatureFactor(double windingTemperatureC);
// R at T corrected to 40 °C: r × K_T.
double correctedTo40C(double ohms, double windingTemperatureC);
// Whether the PI indicates the condition: nothing without r60 or without the winding
// temperature (unknown then); false when r60 corrected to 40 °C is above 5 GΩ, true otherwise.
std::optional<bool> piApplicable(std::optional<double> r60,
                                 std::optional<double> windingTemperatureC);

enum class InsulationClass { A, B, F, H };
// A 1.5; B, F and H 2.0.
double minimumPi(InsulationClass insulationClass);

enum class WindingKind {
  OlderOrField,     // windings made before about 1970, field windings: kV + 1 MΩ
  FormWound,        // form-wound coils after about 1970: 100 MΩ, below 1 kV 5 MΩ
  RandomOrLowVolt,  // random-wound coils: 5 MΩ
  DcArmature,       // DC armatures: 100 MΩ
};
// Whether the minimum of `kind` depends on the rated voltage.
bool minimumNeedsRatedVoltage(WindingKind kind);
// The minimum insulation resistance at 40 °C, in ohms, for the rated voltage in kV.
double minimumInsulationResistance(WindingKind kind, double ratedKv);

// The IEEE 43 checks are made for rotating machines only.
enum class EquipmentKind { RotatingMachine, Cable, Transformer, Other };

// The DC test voltage range suggested for a rated voltage in kV: below 1 kV 500 V;
// up to 2.5 kV 500-1000 V; up to 5 kV 1000-2500 V; up to 12 kV 2500-5000 V; above
// 5000-10000 V.
struct VoltageRange {
  double lowV = 0, highV = 0;
  bool operator==(const VoltageRange &) const = default;
};
VoltageRange suggestedTestVoltage(double ratedKv);

// Form-wound coils below this rated voltage have the random-wound minimum.
inline constexpr double kLowVoltageKv = 1.0;
// Winding temperatures are taken from -50 to 200 °C.
inline constexpr double kLowestTemperatureC = -50.0;
inline constexpr double kHighestTemperatureC = 200.0;

// The test's particulars, as the user types them (test data, not settings).
struct TestParticulars {
  std::string equipment, location, operatorName;
  std::optional<double> windingTemperatureC;
  std::optional<double> ambientTemperatureC;
  std::optional<double> humidityPercent;
  std::optional<double> ratedKv;
  EquipmentKind equipmentKind = EquipmentKind::RotatingMachine;
  std::optional<InsulationClass> insulationClass;
  std::optional<WindingKind> windingKind;
};

}  // namespace vexal
