#include "analysis/InsulationVerdict.h"

#include <cmath>
#include <cstdio>

namespace vexal {

namespace {

constexpr const char *kDash = " \xE2\x80\x94 ";  // " — "
constexpr const char *kEnDash = "\xE2\x80\x93";  // "–"
constexpr const char *kEllipsis = " \xE2\x80\xA6 ";
constexpr const char *kDegreesC =
    " \xC2\xB0"
    "C";
constexpr const char *kOverRange = "(over range)";

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The shortest of "6.6", "0.4", "11": numbers as a person types them.
std::string plain(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Elapsed time as a clock shows it: "0:20", "4:12", "10:00" (whole seconds, rounded down).
std::string clockText(std::int64_t ms) {
  const std::int64_t seconds = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

std::string markName(int seconds) {
  return seconds % 60 == 0 ? "R(" + std::to_string(seconds / 60) + " min)"
                           : "R(" + std::to_string(seconds) + " s)";
}

// "28 s" before a minute, "9:58" after.
std::string neededText(std::int64_t ms) {
  return ms < 60'000 ? std::to_string(ms / 1000) + " s" : clockText(ms);
}

CheckVerdict undetermined(std::string reason) {
  return {Verdict::Undetermined, std::move(reason)};
}

bool hasValue(const MarkReading &mark) {
  return mark.state == MarkState::Reading && mark.ohms;
}

// --- The checks, in the order a technician makes them ------------------------------------

// 1. IEEE 43 speaks of rotating machines; cables and transformers are shown, not judged.
bool checksApplyTo(EquipmentKind kind) {
  return kind == EquipmentKind::RotatingMachine;
}

// 2. R(1 min) at 40 °C, or the bound above which it lies when the meter showed over range.
void correctToFortyDegrees(const InsulationRun &run, InsulationJudgement &j) {
  if (!j.temperatureC) return;
  const MarkReading r60 = run.markAt(60);
  if (hasValue(r60)) j.r60At40C = correctedTo40C(*r60.ohms, *j.temperatureC);
  if (r60.state == MarkState::OverRange && j.rangeTopOhms)
    j.r60At40CAbove = correctedTo40C(*j.rangeTopOhms, *j.temperatureC);
}

// 3. The minimum insulation resistance. Every figure it rests on must be known: a reading
// judged uncorrected, or against a guessed winding, could pass a winding that fails.
CheckVerdict checkResistance(const InsulationRun &run, const TestParticulars &p,
                             InsulationJudgement &j) {
  const MarkReading r60 = run.markAt(60);
  if (!hasValue(r60) && r60.state != MarkState::OverRange) return undetermined(markReason(run, 60));
  if (!j.temperatureC) return undetermined("enter the winding temperature");
  if (!p.windingKind) return undetermined("choose the winding");
  if (minimumNeedsRatedVoltage(*p.windingKind) && !j.ratedKv)
    return undetermined("enter the rated voltage");
  j.minimumResistance = minimumInsulationResistance(*p.windingKind, j.ratedKv.value_or(0));
  if (j.r60At40C) return {*j.r60At40C >= *j.minimumResistance ? Verdict::Pass : Verdict::Fail, {}};
  // Over range: above the range's top, which may already be enough.
  if (j.r60At40CAbove && *j.r60At40CAbove >= *j.minimumResistance)
    return {Verdict::Pass, "R(1 min) " + markReason(run, 60)};
  return undetermined(kOverRange);
}

// The ratios' bounds where their later reading is over range: above top ÷ the earlier one.
void boundRatios(const InsulationRun &run, InsulationJudgement &j) {
  j.darBand = run.darBand;
  j.piBand = run.piBand;
  if (!j.rangeTopOhms) return;
  const auto bound = [&](int later, int earlier) -> std::optional<double> {
    const MarkReading under = run.markAt(earlier);
    if (run.markAt(later).state != MarkState::OverRange || !hasValue(under) || !(*under.ohms > 0))
      return std::nullopt;
    return *j.rangeTopOhms / *under.ohms;
  };
  j.darAbove = bound(60, 30);
  j.piAbove = bound(600, 60);
  // Above the lowest value of the top band, the band is known.
  if (j.darAbove && *j.darAbove >= kDarLimits[2]) j.darBand = ConditionBand::Excellent;
  if (j.piAbove && *j.piAbove >= kPiLimits[3]) j.piBand = ConditionBand::Excellent;
}

// 4. Whether the PI indicates the condition: unknown without the temperature.
void decidePiApplicable(InsulationJudgement &j) {
  if (j.r60At40C)
    j.piApplicable = !(*j.r60At40C > kPiMeaningfulBelowOhms);
  else if (j.r60At40CAbove && *j.r60At40CAbove > kPiMeaningfulBelowOhms)
    j.piApplicable = false;
}

bool isSpotTest(const InsulationRun &run) {
  return run.mode != std::string("PI") && run.markAt(600).state == MarkState::RunTooShort;
}

// 5. The minimum PI of the insulation class.
CheckVerdict checkPi(const InsulationRun &run, const TestParticulars &p, InsulationJudgement &j) {
  if (p.insulationClass) j.minimumPi = minimumPi(*p.insulationClass);
  if (isSpotTest(run)) return {Verdict::NotMeasured, "spot test, no 10-minute reading"};
  const MarkReading r600 = run.markAt(600);
  if (r600.state == MarkState::RunTooShort)
    return undetermined("run ended at " + clockText(run.durationMs) + kDash +
                        "the PI needs 10 minutes");
  const MarkReading r60 = run.markAt(60);
  if (!hasValue(r60) && r60.state != MarkState::OverRange) return undetermined(markReason(run, 60));
  if (!j.temperatureC) return undetermined("enter the winding temperature");
  if (j.piApplicable == false)
    return {Verdict::NotApplicable,
            "R(1 min) at 40" + std::string(kDegreesC) + " above 5,000 M\xCE\xA9"};
  if (!j.piApplicable) return undetermined(kOverRange);
  if (!j.minimumPi) return undetermined("choose the insulation class");
  if (r600.state == MarkState::OverRange) {
    if (j.piAbove && *j.piAbove >= *j.minimumPi)
      return {Verdict::Pass, "PI above " + formatBound(*j.piAbove)};
    return undetermined(kOverRange);
  }
  if (!hasValue(r600)) return undetermined(markReason(run, 600));
  if (!run.pi) return undetermined("R(1 min) is not above 0");
  return {*run.pi >= *j.minimumPi ? Verdict::Pass : Verdict::Fail, {}};
}

// 6. Never pass on a check that could not be made.
CheckVerdict overallOf(const InsulationJudgement &j) {
  if (!j.checksApply) return {Verdict::NotJudged, "the IEEE 43 checks cover rotating machines"};
  if (j.resistance.verdict == Verdict::Fail)
    return {Verdict::Fail, "insulation resistance below the minimum"};
  if (j.pi.verdict == Verdict::Fail) return {Verdict::Fail, "PI below the minimum"};
  const bool piAccepted = j.pi.verdict == Verdict::Pass || j.pi.verdict == Verdict::NotApplicable ||
                          j.pi.verdict == Verdict::NotMeasured;
  if (j.resistance.verdict == Verdict::Pass && piAccepted) return {Verdict::Pass, {}};
  return undetermined(j.resistance.verdict != Verdict::Pass ? j.resistance.reason : j.pi.reason);
}

// 7. A remark, not a fail: the voltage is the technician's choice.
std::string testVoltageRemark(const InsulationJudgement &j) {
  if (!j.testVolts || !j.suggestedVoltage) return {};
  const VoltageRange &range = *j.suggestedVoltage;
  if (*j.testVolts >= range.lowV && *j.testVolts <= range.highV) return {};
  return "tested at " + fixed(*j.testVolts, 0) + " V; " + formatVoltageRange(range) +
         " is suggested for " + plain(*j.ratedKv) + " kV";
}

std::optional<double> inRange(std::optional<double> value, Particular which) {
  if (!value || particularProblem(which, *value)) return std::nullopt;
  return value;
}

// The number at `at` in `text` and the position after it; nothing when no digit is there.
std::optional<double> digitsAt(std::string_view text, std::size_t &at) {
  double value = 0;
  const std::size_t from = at;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = value * 10 + (text[at] - '0');
  if (at == from) return std::nullopt;
  return value;
}

// Chooses the digits shown so that `shown` does not cross one of `limits` from `value`.
bool crossesALimit(double value, double shown, std::span<const double> limits) {
  for (const double limit : limits)
    if ((value < limit && shown >= limit) || (value > limit && shown <= limit)) return true;
  return false;
}

}  // namespace

std::string_view verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return "pass";
    case Verdict::Fail:
      return "fail";
    case Verdict::Undetermined:
      return "not determined";
    case Verdict::NotApplicable:
      return "not applicable";
    case Verdict::NotMeasured:
      return "not measured";
    case Verdict::NotJudged:
      return "not judged";
  }
  return "not determined";
}

std::string checkText(const CheckVerdict &check) {
  std::string text(verdictName(check.verdict));
  if (check.reason.empty()) return text;
  return text + (check.reason.starts_with('(') ? " " : kDash) + check.reason;
}

std::optional<double> functionTestVolts(std::string_view function) {
  if (!function.starts_with("IR:")) return std::nullopt;
  std::size_t at = 3;
  return digitsAt(function, at);
}

std::optional<double> functionRangeTopOhms(std::string_view function) {
  if (!function.starts_with("IR:")) return std::nullopt;
  const std::size_t space = function.find_last_of(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::size_t at = space + 1;
  const auto number = digitsAt(function, at);
  if (!number || at >= function.size()) return std::nullopt;
  switch (function[at]) {
    case 'M':
      return *number * 1e6;
    case 'G':
      return *number * 1e9;
    case 'T':
      return *number * 1e12;
  }
  return std::nullopt;
}

std::string markReason(const InsulationRun &run, int seconds) {
  const MarkReading mark = run.markAt(seconds);
  switch (mark.state) {
    case MarkState::Reading:
      return {};
    case MarkState::RunTooShort:
      return "run ended at " + clockText(run.durationMs) + kDash + markName(seconds) + " needs " +
             neededText(seconds * 1000LL - kRunEndToleranceMs) + " or more";
    case MarkState::OverRange: {
      const auto top = run.function ? functionRangeTopOhms(*run.function) : std::nullopt;
      // The range's top as the meter names it: "20 GΩ", "1000 GΩ".
      return top ? "over range (above " + plain(*top / 1e9) + " G\xCE\xA9)" : "over range";
    }
    case MarkState::NoNumber:
      return "no number shown at " + clockText(seconds * 1000LL);
  }
  return {};
}

std::string runTooShortReason(const InsulationRun &run) {
  return run.markAt(60).state == MarkState::RunTooShort ? markReason(run, 60) : std::string();
}

InsulationJudgement judgeRun(const InsulationRun &run, const TestParticulars &particulars) {
  InsulationJudgement j;
  j.checksApply = checksApplyTo(particulars.equipmentKind);
  if (run.function) {
    j.rangeTopOhms = functionRangeTopOhms(*run.function);
    j.testVolts = functionTestVolts(*run.function);
  }
  j.temperatureC = inRange(particulars.windingTemperatureC, Particular::WindingTemperature);
  j.ratedKv = inRange(particulars.ratedKv, Particular::RatedVoltage);
  if (j.ratedKv) j.suggestedVoltage = suggestedTestVoltage(*j.ratedKv);

  correctToFortyDegrees(run, j);
  boundRatios(run, j);
  decidePiApplicable(j);
  if (j.checksApply) {
    j.resistance = checkResistance(run, particulars, j);
    j.pi = checkPi(run, particulars, j);
  } else {
    j.resistance = j.pi = {Verdict::NotJudged, {}};
  }
  j.overall = overallOf(j);
  j.testVoltageRemark = testVoltageRemark(j);
  return j;
}

// --- Particulars ---------------------------------------------------------------------------

ParticularRange particularRange(Particular which) {
  switch (which) {
    case Particular::WindingTemperature:
    case Particular::AmbientTemperature:
      return {kLowestTemperatureC, kHighestTemperatureC};
    case Particular::Humidity:
      return {0, 100};
    case Particular::RatedVoltage:
      return {0.05, 50};
  }
  return {0, 0};
}

std::optional<std::string> particularProblem(Particular which, double value) {
  const ParticularRange range = particularRange(which);
  if (std::isfinite(value) && value >= range.low && value <= range.high) return std::nullopt;
  std::string allowed = plain(range.low) + kEllipsis + plain(range.high);
  switch (which) {
    case Particular::WindingTemperature:
      return "Winding temperature " + allowed + kDegreesC + ": this value is left out";
    case Particular::AmbientTemperature:
      return "Ambient temperature " + allowed + kDegreesC + ": this value is left out";
    case Particular::Humidity:
      return "Humidity " + allowed + " %: this value is left out";
    case Particular::RatedVoltage:
      return "Rated voltage " + allowed + " kV, in kV, e.g. 6.6: this value is left out";
  }
  return std::nullopt;
}

TestParticulars usableParticulars(TestParticulars p) {
  p.windingTemperatureC = inRange(p.windingTemperatureC, Particular::WindingTemperature);
  p.ambientTemperatureC = inRange(p.ambientTemperatureC, Particular::AmbientTemperature);
  p.humidityPercent = inRange(p.humidityPercent, Particular::Humidity);
  p.ratedKv = inRange(p.ratedKv, Particular::RatedVoltage);
  return p;
}

// --- Shown values ----------------------------------------------------------------------------

std::string formatRatio(double ratio, std::span<const double> limits) {
  const double shown = std::round(ratio * 1000) / 1000;
  if (!crossesALimit(ratio, shown, limits)) return fixed(ratio, 3);
  // Rounded across a limit: cut towards the value instead.
  for (const double limit : limits) {
    if (ratio < limit && shown >= limit) return fixed(std::floor(ratio * 1000) / 1000, 3);
    if (ratio > limit && shown <= limit) return fixed(std::ceil(ratio * 1000) / 1000, 3);
  }
  return fixed(ratio, 3);
}

std::string formatBound(double bound) {
  return fixed(std::floor(bound * 100) / 100, 2);
}

std::string formatVoltageRange(const VoltageRange &range) {
  if (range.lowV == range.highV) return fixed(range.lowV, 0) + " V";
  return fixed(range.lowV, 0) + kEnDash + fixed(range.highV, 0) + " V";
}

std::string formatOhms(double ohms, std::span<const double> limits) {
  static const char *const kPrefixes[] = {"", "k", "M", "G", "T", "P"};
  int group = 0;
  double scaled = ohms;
  while (std::abs(scaled) >= 999.5 && group < 5) scaled /= 1000, ++group;
  const double size = std::abs(scaled);
  int decimals = size >= 99.95 ? 0 : size >= 9.995 ? 1 : 2;
  // One more digit at a time until the value shown stays on its side of every limit.
  for (int more = 0; more < 6; ++more, ++decimals) {
    const double step = std::pow(10.0, decimals);
    const double shown = std::round(scaled * step) / step * std::pow(1000.0, group);
    if (!crossesALimit(ohms, shown, limits)) break;
  }
  return fixed(scaled, decimals) + " " + kPrefixes[group] + "\xCE\xA9";
}

}  // namespace vexal
