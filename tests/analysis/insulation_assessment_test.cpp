// Judging a run: temperature correction to 40 °C, PI applicability, the IEEE 43 minimums, the
// suggested test voltage and the overall verdict.
#include "analysis/InsulationAssessment.h"

#include <gtest/gtest.h>

#include <limits>

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
  EXPECT_EQ(piApplicable(5e9, std::nullopt), true);
  EXPECT_EQ(piApplicable(5.001e9, std::nullopt), false);
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

TEST(VerdictTest, Names) {
  EXPECT_EQ(verdictName(Verdict::Pass), "pass");
  EXPECT_EQ(verdictName(Verdict::Fail), "fail");
  EXPECT_EQ(verdictName(Verdict::Undetermined), "not determined");
}

InsulationRun runWith(std::optional<double> r60, std::optional<double> pi) {
  InsulationRun run;
  run.r60 = r60;
  run.pi = pi;
  return run;
}

TestParticulars motor(std::optional<double> temperature, std::optional<double> kv) {
  TestParticulars p;
  p.windingTemperatureC = temperature;
  p.ratedKv = kv;
  p.insulationClass = InsulationClass::F;
  p.windingKind = WindingKind::FormWound;
  return p;
}

TEST(AssessRunTest, PassesWhenResistanceAndPiMeetTheirMinimums) {
  // 400 MΩ at 30 °C is 200 MΩ at 40 °C, above 100 MΩ; PI 2.0 meets class F's 2.0.
  const auto a = assessRun(runWith(400e6, 2.0), motor(30.0, 6.6));
  ASSERT_TRUE(a.r60At40C);
  EXPECT_DOUBLE_EQ(*a.r60At40C, 200e6);
  EXPECT_EQ(a.piApplicable, true);
  EXPECT_EQ(a.minimumResistance, 100e6);
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  EXPECT_EQ(a.minimumPi, 2.0);
  EXPECT_EQ(a.piCheck, Verdict::Pass);
  EXPECT_EQ(a.suggestedVoltage, (VoltageRange{2500, 5000}));
  EXPECT_EQ(a.overall, Verdict::Pass);
}

TEST(AssessRunTest, EitherCheckFailingFailsTheTest) {
  // 180 MΩ at 30 °C: 90 MΩ at 40 °C, below 100 MΩ.
  auto a = assessRun(runWith(180e6, 3.0), motor(30.0, 6.6));
  EXPECT_EQ(a.resistanceCheck, Verdict::Fail);
  EXPECT_EQ(a.piCheck, Verdict::Pass);
  EXPECT_EQ(a.overall, Verdict::Fail);
  // PI 1.99 under class F; class A's 1.5 lets it pass.
  a = assessRun(runWith(400e6, 1.99), motor(30.0, 6.6));
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  EXPECT_EQ(a.piCheck, Verdict::Fail);
  EXPECT_EQ(a.overall, Verdict::Fail);
  TestParticulars classA = motor(30.0, 6.6);
  classA.insulationClass = InsulationClass::A;
  a = assessRun(runWith(400e6, 1.5), classA);
  EXPECT_EQ(a.minimumPi, 1.5);
  EXPECT_EQ(a.piCheck, Verdict::Pass);
  // A fail decides even when the other check cannot be made.
  a = assessRun(runWith(50e6, std::nullopt), motor(40.0, 6.6));
  EXPECT_EQ(a.piCheck, Verdict::Undetermined);
  EXPECT_EQ(a.overall, Verdict::Fail);
}

TEST(AssessRunTest, ResistanceExactlyAtTheMinimumPasses) {
  TestParticulars older = motor(40.0, 6.6);
  older.windingKind = WindingKind::OlderOrField;
  auto a = assessRun(runWith(7.6e6, 2.5), older);
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  a = assessRun(runWith(7.59e6, 2.5), older);
  EXPECT_EQ(a.resistanceCheck, Verdict::Fail);
}

TEST(AssessRunTest, WithoutATemperatureTheResistanceIsJudgedAsMeasured) {
  auto a = assessRun(runWith(150e6, 2.5), motor(std::nullopt, 6.6));
  EXPECT_EQ(a.r60At40C, std::nullopt);
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  // At 20 °C the same reading is 37.5 MΩ at 40 °C.
  a = assessRun(runWith(150e6, 2.5), motor(20.0, 6.6));
  EXPECT_EQ(a.resistanceCheck, Verdict::Fail);
}

TEST(AssessRunTest, APiThatMayNotIndicateLeavesTheVerdictToTheResistance) {
  // 12 GΩ at 40 °C is above 5 GΩ: a PI of 1.1 does not fail the test.
  auto a = assessRun(runWith(12e9, 1.1), motor(40.0, 6.6));
  EXPECT_EQ(a.piApplicable, false);
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  EXPECT_EQ(a.piCheck, Verdict::Pass);
  EXPECT_EQ(a.overall, Verdict::Pass);
  // Without a rated voltage nothing is decided.
  a = assessRun(runWith(12e9, 1.1), motor(40.0, std::nullopt));
  EXPECT_EQ(a.minimumResistance, std::nullopt);
  EXPECT_EQ(a.suggestedVoltage, std::nullopt);
  EXPECT_EQ(a.resistanceCheck, Verdict::Undetermined);
  EXPECT_EQ(a.piCheck, Verdict::Undetermined);
  EXPECT_EQ(a.overall, Verdict::Undetermined);
}

TEST(AssessRunTest, MissingReadingsOrUnusableNumbersLeaveChecksUndetermined) {
  auto a = assessRun(runWith(std::nullopt, std::nullopt), motor(30.0, 6.6));
  EXPECT_EQ(a.r60At40C, std::nullopt);
  EXPECT_EQ(a.piApplicable, std::nullopt);
  EXPECT_EQ(a.resistanceCheck, Verdict::Undetermined);
  EXPECT_EQ(a.piCheck, Verdict::Undetermined);
  EXPECT_EQ(a.overall, Verdict::Undetermined);
  // R(1 min) without a PI: the resistance passes, the PI is not known.
  a = assessRun(runWith(400e6, std::nullopt), motor(30.0, 6.6));
  EXPECT_EQ(a.resistanceCheck, Verdict::Pass);
  EXPECT_EQ(a.piCheck, Verdict::Undetermined);
  EXPECT_EQ(a.overall, Verdict::Undetermined);
  // A temperature that is no number counts as none; so does a negative rated voltage.
  a = assessRun(runWith(150e6, 2.5), motor(std::numeric_limits<double>::quiet_NaN(), -3.0));
  EXPECT_EQ(a.r60At40C, std::nullopt);
  EXPECT_EQ(a.minimumResistance, std::nullopt);
  EXPECT_EQ(a.resistanceCheck, Verdict::Undetermined);
}

}  // namespace
}  // namespace vexal
