// The judgement of a run: each rule with the cases a technician meets, and above all that
// nothing passes that could not be judged.
#include "analysis/InsulationVerdict.h"

#include <gtest/gtest.h>

#include "support/RunTables.h"

namespace vexal {
namespace {

using namespace test_rows;

// R(1 min) = `r60` GΩ, R(10 min) = `r600` GΩ (either "L"), at 2500 V in PI mode.
RunSpec piRun(std::string r60, std::string r600) {
  RunSpec shape;
  shape.stepS = 30;
  shape.value = [r60, r600](int s) { return s <= 60 ? r60 : r600; };
  return shape;
}

TestParticulars machine(std::optional<double> temperature, std::optional<double> kv,
                        std::optional<WindingKind> winding = WindingKind::FormWound) {
  TestParticulars p;
  p.windingTemperatureC = temperature;
  p.ratedKv = kv;
  p.insulationClass = InsulationClass::F;
  p.windingKind = winding;
  return p;
}

struct Case {
  const char *what;
  RunSpec run;
  TestParticulars particulars;
  std::string resistance, pi, overall;
};

void expectJudged(const Case &c) {
  SCOPED_TRACE(c.what);
  const InsulationJudgement j = judgeRun(runOf(c.run), c.particulars);
  EXPECT_EQ(checkText(j.resistance), c.resistance);
  EXPECT_EQ(checkText(j.pi), c.pi);
  EXPECT_EQ(checkText(j.overall), c.overall);
}

TEST(InsulationVerdictTest, WithoutTheWindingTemperatureNothingIsPassed) {
  const Case cases[] = {
      // 300 MΩ on a 6.6 kV form-wound winding: 75 MΩ at 40 °C when measured at 20 °C.
      {"300 MΩ, no temperature", piRun("0.30", "0.90"), machine(std::nullopt, 6.6),
       "not determined — enter the winding temperature",
       "not determined — enter the winding temperature",
       "not determined — enter the winding temperature"},
      {"300 MΩ at 20 °C", piRun("0.30", "0.90"), machine(20.0, 6.6), "fail", "pass",
       "fail — insulation resistance below the minimum"},
      // 8 GΩ with PI 1.1: the PI is waived only when the corrected value says so.
      {"8 GΩ PI 1.1, no temperature", piRun("8.00", "8.80"), machine(std::nullopt, 6.6),
       "not determined — enter the winding temperature",
       "not determined — enter the winding temperature",
       "not determined — enter the winding temperature"},
      {"8 GΩ PI 1.1 at 20 °C", piRun("8.00", "8.80"), machine(20.0, 6.6), "pass", "fail",
       "fail — PI below the minimum"},
      // 12 GΩ at 40 °C: the PI does not apply, and says why.
      {"waived PI", piRun("12.0", "13.2"), machine(40.0, 6.6), "pass",
       "not applicable — R(1 min) at 40 °C above 5,000 MΩ", "pass"},
  };
  for (const Case &c : cases) expectJudged(c);
}

TEST(InsulationVerdictTest, MinimumResistanceByWindingAndRatedVoltage) {
  struct MinimumCase {
    WindingKind winding;
    std::optional<double> kv;
    std::optional<double> minimum;  // nothing: not determined
  };
  const MinimumCase cases[] = {
      {WindingKind::FormWound, 6.6, 100e6},    {WindingKind::FormWound, 1.0, 100e6},
      {WindingKind::FormWound, 0.4, 5e6},      {WindingKind::FormWound, std::nullopt, {}},
      {WindingKind::OlderOrField, 6.6, 7.6e6}, {WindingKind::OlderOrField, std::nullopt, {}},
      {WindingKind::RandomOrLowVolt, {}, 5e6}, {WindingKind::DcArmature, {}, 100e6},
      {WindingKind::DcArmature, 0.4, 100e6},
  };
  // 40 MΩ at 40 °C: enough for 5 MΩ and 7.6 MΩ, not for 100 MΩ.
  for (const MinimumCase &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.winding) * 100 + c.kv.value_or(-1));
    const auto j = judgeRun(runOf(piRun("0.04", "0.10")), machine(40.0, c.kv, c.winding));
    EXPECT_EQ(j.minimumResistance, c.minimum);
    if (!c.minimum)
      EXPECT_EQ(checkText(j.resistance), "not determined — enter the rated voltage");
    else
      EXPECT_EQ(j.resistance.verdict, *c.minimum > 40e6 ? Verdict::Fail : Verdict::Pass);
  }
  const auto noWinding = judgeRun(runOf(piRun("0.04", "0.10")), machine(40.0, 0.4, std::nullopt));
  EXPECT_EQ(checkText(noWinding.resistance), "not determined — choose the winding");
}

TEST(InsulationVerdictTest, OverRangeUsesTheRangeTopWhereItDecides) {
  // 500 V, 20 GΩ range: 2.0 to 3.5 GΩ up to 15 s, then "L" to 10 minutes.
  RunSpec lowVolts;
  lowVolts.function = kIr500;
  lowVolts.value = [](int s) { return s <= 15 ? std::to_string(2.0 + 0.1 * s).substr(0, 4) : "L"; };
  const InsulationRun run = runOf(lowVolts);
  EXPECT_EQ(run.r60, std::nullopt);
  EXPECT_EQ(run.r600, std::nullopt);
  EXPECT_EQ(run.markAt(60).state, MarkState::OverRange);
  EXPECT_EQ(markReason(run, 60), "over range (above 20 G\u03A9)");

  RunSpec bounded = piRun("3.50", "L");
  bounded.function = kIr500;
  const Case cases[] = {
      // Above 20 GΩ at 30 °C is above 10 GΩ at 40 °C: enough, and the PI does not apply.
      {"all over range at 30 °C", lowVolts, machine(30.0, 0.4),
       "pass — R(1 min) over range (above 20 GΩ)",
       "not applicable — R(1 min) at 40 °C above 5,000 MΩ", "pass"},
      // At 20 °C only "above 5 GΩ": whether the PI applies is unknown.
      {"all over range at 20 °C", lowVolts, machine(20.0, 0.4),
       "pass — R(1 min) over range (above 20 GΩ)", "not determined (over range)",
       "not determined (over range)"},
      // R(10 min) above 20 GΩ over R(1 min) = 3.5 GΩ: PI above 5.71.
      {"PI bound", bounded, machine(20.0, 0.4), "pass", "pass — PI above 5.71", "pass"},
  };
  for (const Case &c : cases) expectJudged(c);
  EXPECT_NEAR(*judgeRun(runOf(bounded), machine(20.0, 0.4)).piAbove, 20.0 / 3.5, 1e-12);
}

TEST(InsulationVerdictTest, SpotTestsShortRunsAndOtherEquipment) {
  RunSpec spot;
  spot.mode = "Timed";
  spot.lastS = 65;
  spot.value = steady(0.5);
  RunSpec shortPi = piRun("0.50", "1.00");
  shortPi.lastS = 252;
  shortPi.stepS = 1;
  RunSpec twentySeconds = spot;
  twentySeconds.lastS = 20;
  const Case cases[] = {
      {"1-minute spot test", spot, machine(40.0, 6.6), "pass",
       "not measured — spot test, no 10-minute reading", "pass"},
      {"PI test stopped at 4:12", shortPi, machine(40.0, 6.6), "pass",
       "not determined — run ended at 4:12 — the PI needs 10 minutes",
       "not determined — run ended at 4:12 — the PI needs 10 minutes"},
      {"20 s", twentySeconds, machine(40.0, 6.6),
       "not determined — run ended at 0:20 — R(1 min) needs 58 s or more",
       "not measured — spot test, no 10-minute reading",
       "not determined — run ended at 0:20 — R(1 min) needs 58 s or more"},
  };
  for (const Case &c : cases) expectJudged(c);
  const InsulationRun run = runOf(twentySeconds);
  EXPECT_EQ(markReason(run, 30), "run ended at 0:20 \u2014 R(30 s) needs 28 s or more");
  EXPECT_EQ(runTooShortReason(run), markReason(run, 60));
  EXPECT_EQ(runTooShortReason(runOf(spot)), "");

  for (EquipmentKind kind :
       {EquipmentKind::Cable, EquipmentKind::Transformer, EquipmentKind::Other}) {
    TestParticulars p = machine(40.0, 6.6);
    p.equipmentKind = kind;
    const auto j = judgeRun(runOf(piRun("0.30", "0.90")), p);
    EXPECT_EQ(checkText(j.overall), "not judged — the IEEE 43 checks cover rotating machines");
    EXPECT_EQ(j.resistance.verdict, Verdict::NotJudged);
    EXPECT_EQ(j.piBand, ConditionBand::Good);  // PI 3.0: the bands are still given
  }
}

TEST(InsulationVerdictTest, TheRunsTestVoltageAgainstTheSuggestedOne) {
  RunSpec at500 = piRun("3.00", "9.00");
  at500.function = kIr500;
  auto j = judgeRun(runOf(at500), machine(40.0, 6.6));
  EXPECT_EQ(j.testVolts, 500);
  EXPECT_EQ(j.testVoltageRemark, "tested at 500 V; 2500\u20135000 V is suggested for 6.6 kV");
  EXPECT_EQ(j.overall.verdict, Verdict::Pass);  // a remark, not a fail
  j = judgeRun(runOf(piRun("3.00", "9.00")), machine(40.0, 6.6));
  EXPECT_EQ(j.testVoltageRemark, "");
  j = judgeRun(runOf(piRun("3.00", "9.00")), machine(40.0, 0.4));
  EXPECT_EQ(j.testVoltageRemark, "tested at 2500 V; 500 V is suggested for 0.4 kV");
  EXPECT_EQ(judgeRun(runOf(at500), machine(40.0, std::nullopt)).testVoltageRemark, "");
}

TEST(InsulationVerdictTest, FunctionTextsGiveTestVoltageAndRangeTop) {
  const struct {
    std::string function;
    std::optional<double> volts, top;
  } cases[] = {
      {kIr500, 500, 20e9},    {"IR:1000V 40G" + std::string(kOhm), 1000, 40e9},
      {kIr2500, 2500, 100e9}, {"IR:5000V 1000G" + std::string(kOhm), 5000, 1000e9},
      {"DCV  600V", {}, {}},  {"IR:", {}, {}},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(functionTestVolts(c.function), c.volts) << c.function;
    EXPECT_EQ(functionRangeTopOhms(c.function), c.top) << c.function;
  }
}

TEST(InsulationVerdictTest, ParticularsOutOfRangeAreLeftOutWithTheReason) {
  const struct {
    Particular which;
    double value;
    bool used;
  } cases[] = {
      {Particular::WindingTemperature, -300, false},
      {Particular::WindingTemperature, -50, true},
      {Particular::WindingTemperature, 200, true},
      {Particular::WindingTemperature, 200.5, false},
      {Particular::AmbientTemperature, -300, false},
      {Particular::Humidity, -300, false},
      {Particular::Humidity, 100, true},
      {Particular::RatedVoltage, -300, false},
      {Particular::RatedVoltage, 6600, false},
      {Particular::RatedVoltage, 0.05, true},
      {Particular::RatedVoltage, 50, true},
      {Particular::RatedVoltage, 0.04, false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(!particularProblem(c.which, c.value), c.used)
        << static_cast<int>(c.which) << " " << c.value;
  EXPECT_EQ(particularProblem(Particular::RatedVoltage, 6600),
            "Rated voltage 0.05 \u2026 50 kV, in kV, e.g. 6.6: this value is left out");
  // "6600" typed in volts is no rated voltage: the old-winding minimum is not 6,601 MΩ.
  const auto j =
      judgeRun(runOf(piRun("0.30", "0.90")), machine(40.0, 6600, WindingKind::OlderOrField));
  EXPECT_EQ(j.minimumResistance, std::nullopt);
  EXPECT_EQ(checkText(j.resistance), "not determined — enter the rated voltage");
  const TestParticulars usable = usableParticulars(machine(-300, -300));
  EXPECT_EQ(usable.windingTemperatureC, std::nullopt);
  EXPECT_EQ(usable.ratedKv, std::nullopt);
}

TEST(InsulationVerdictTest, ShownValuesStayOnTheSideOfTheirLimit) {
  const struct {
    double value;
    std::span<const double> limits;
    const char *shown;
  } ratios[] = {
      {1.996, kPiLimits, "1.996"},   {1.9996, kPiLimits, "1.999"}, {2.0, kPiLimits, "2.000"},
      {1.3996, kDarLimits, "1.399"}, {1.4, kDarLimits, "1.400"},   {1.60004, kDarLimits, "1.601"},
      {1.3996, {}, "1.400"},         {3.3152, kPiLimits, "3.315"},
  };
  for (const auto &c : ratios) EXPECT_EQ(formatRatio(c.value, c.limits), c.shown) << c.value;
  // The band and the check are judged on the value itself.
  EXPECT_EQ(darBand(1.3996), ConditionBand::Questionable);
  EXPECT_EQ(judgeRun(runOf(piRun("1.000", "1.996")), machine(40.0, 6.6)).pi.verdict, Verdict::Fail);

  const double minimum[] = {100e6};
  EXPECT_EQ(formatOhms(99.96e6, minimum), "99.96 M\u03A9");
  EXPECT_EQ(formatOhms(99.96e6), "100 M\u03A9");
  EXPECT_EQ(formatOhms(100e6, minimum), "100 M\u03A9");
  EXPECT_EQ(formatOhms(100.04e6, minimum), "100.04 M\u03A9");
  EXPECT_EQ(formatOhms(620e6, minimum), "620 M\u03A9");
  EXPECT_EQ(formatBound(20.0 / 3.5), "5.71");
}

}  // namespace
}  // namespace vexal
