// The figures a run is judged by: temperature correction to 40 °C, PI applicability, the
// IEEE 43 minimums and the suggested test voltage.
#include "analysis/InsulationAssessment.h"

#include <gtest/gtest.h>

namespace vexal {
namespace {

TEST(TemperatureCorrectionTest, ResistanceHalvesForEveryTenDegrees) {
  EXPECT_DOUBLE_EQ(temperatureFactor(40), 1.0);
  EXPECT_DOUBLE_EQ(temperatureFactor(30), 0.5);
  EXPECT_DOUBLE_EQ(temperatureFactor(20), 0.25);
  EXPECT_DOUBLE_EQ(temperatureFactor(50), 2.0);
  EXPECT_DOUBLE_EQ(temperatureFactor(-10), 1.0 / 32);
  EXPECT_NEAR(temperatureFactor(35), 0.70710678, 1e-8);  // 1 / sqrt(2)
  EXPECT_DOUBLE_EQ(correctedTo40C(800e6, 20), 200e6);
  EXPECT_DOUBLE_EQ(correctedTo40C(800e6, 60), 3.2e9);
}

TEST(PiApplicableTest, AboveFiveThousandMegohmsAtFortyDegreesThePiMayNotIndicate) {
  EXPECT_EQ(piApplicable(std::nullopt, 20.0), std::nullopt);
  // Unknown without the temperature: 8 GΩ at 20 °C is 2 GΩ at 40 °C.
  EXPECT_EQ(piApplicable(8e9, std::nullopt), std::nullopt);
  EXPECT_EQ(piApplicable(5e9, 40.0), true);
  EXPECT_EQ(piApplicable(5.001e9, 40.0), false);
  EXPECT_EQ(piApplicable(2.5e9, 50.0), true);     // 5 GΩ at 40 °C: not above
  EXPECT_EQ(piApplicable(2.6e9, 50.0), false);    // 5.2 GΩ
  EXPECT_EQ(piApplicable(8e9, 30.0), true);       // 4 GΩ at 40 °C
  EXPECT_EQ(piApplicable(10.01e9, 30.0), false);  // 5.005 GΩ
}

TEST(Ieee43MinimumsTest, MinimumPiByClassAndResistanceByWinding) {
  EXPECT_EQ(minimumPi(InsulationClass::A), 1.5);
  EXPECT_EQ(minimumPi(InsulationClass::B), 2.0);
  EXPECT_EQ(minimumPi(InsulationClass::F), 2.0);
  EXPECT_EQ(minimumPi(InsulationClass::H), 2.0);
  EXPECT_DOUBLE_EQ(minimumInsulationResistance(WindingKind::OlderOrField, 6.6), 7.6e6);
  EXPECT_DOUBLE_EQ(minimumInsulationResistance(WindingKind::OlderOrField, 0.4), 1.4e6);
  EXPECT_EQ(minimumInsulationResistance(WindingKind::FormWound, 6.6), 100e6);
  EXPECT_EQ(minimumInsulationResistance(WindingKind::FormWound, 0.4), 5e6);  // below 1 kV
  EXPECT_EQ(minimumInsulationResistance(WindingKind::RandomOrLowVolt, 0.4), 5e6);
}

TEST(SuggestedTestVoltageTest, RangesAtTheirBoundaries) {
  const VoltageRange below1{500, 500}, upTo2_5{500, 1000}, upTo5{1000, 2500}, upTo12{2500, 5000},
      above12{5000, 10000};
  EXPECT_EQ(suggestedTestVoltage(0.4), below1);
  EXPECT_EQ(suggestedTestVoltage(0.999), below1);
  EXPECT_EQ(suggestedTestVoltage(1.0), upTo2_5);
  EXPECT_EQ(suggestedTestVoltage(2.5), upTo2_5);
  EXPECT_EQ(suggestedTestVoltage(2.501), upTo5);
  EXPECT_EQ(suggestedTestVoltage(5.0), upTo5);
  EXPECT_EQ(suggestedTestVoltage(5.001), upTo12);
  EXPECT_EQ(suggestedTestVoltage(12.0), upTo12);
  EXPECT_EQ(suggestedTestVoltage(12.001), above12);
  EXPECT_EQ(suggestedTestVoltage(33.0), above12);
}

}  // namespace
}  // namespace vexal
