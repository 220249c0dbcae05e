#include "report/InsulationReport.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <span>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"
#include "report/ReportMakeup.h"

namespace vexal {

namespace {

constexpr const char *kNone = "\xE2\x80\x94";  // an em dash: no value
constexpr int kReadingsPerLine = 3;

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A ratio and its band, or the bound its later reading puts it above, or why there is none.
ResultLine ratioLine(std::string label, const std::optional<double> &ratio,
                     const std::optional<double> &above, std::span<const double> limits,
                     const std::optional<ConditionBand> &band, std::string missing) {
  ResultLine line{std::move(label), kNone, std::move(missing), ResultTone::Neutral};
  if (ratio)
    line.value = formatRatio(*ratio, limits);
  else if (above)
    line.value = "above " + formatBound(*above);
  if (ratio || above) line.judgement.clear();
  if (band) line.judgement = std::string(bandName(*band)), line.tone = toneOf(*band);
  return line;
}

// The first of the marks that gives no reading, in words.
std::string missingMark(const InsulationRun &run, int earlier, int later) {
  const std::string first = markReason(run, earlier);
  return first.empty() ? markReason(run, later) : first;
}

ResultLine markLine(const InsulationRun &run, int seconds, std::string label) {
  const MarkReading mark = run.markAt(seconds);
  if (mark.state == MarkState::Reading && mark.ohms)
    return {std::move(label), formatOhms(*mark.ohms), {}, ResultTone::Neutral};
  if (mark.state == MarkState::OverRange)
    return {std::move(label), markReason(run, seconds), {}, ResultTone::Neutral};
  return {std::move(label), kNone, markReason(run, seconds), ResultTone::Neutral};
}

ResultLine checkLine(std::string label, std::string value, const CheckVerdict &check) {
  return {std::move(label), std::move(value), checkText(check), toneOf(check.verdict)};
}

std::string optionalNumber(const std::optional<double> &value, const char *unit) {
  if (!value) return {};
  std::string text = fixed(*value, 1);
  if (text.size() > 2 && text.ends_with(".0")) text.resize(text.size() - 2);
  return text + unit;
}

// --- The report's make-up ----------------------------------------------------------------

// Characters of a judgement on one line of the report: 86 mm at 9 pt.
constexpr std::size_t kJudgementChars = 54;

std::size_t characters(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// `text` in lines of at most `width` characters, broken between words.
std::vector<std::string> wrappedWords(const std::string &text, std::size_t width) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.size(), lastBreak = std::string::npos;
    for (std::size_t at = start; at < text.size(); ++at) {
      if (text[at] == ' ') lastBreak = at;
      if (characters(std::string_view(text).substr(start, at - start + 1)) > width &&
          lastBreak != std::string::npos) {
        end = lastBreak;
        break;
      }
    }
    lines.push_back(text.substr(start, end - start));
    start = end < text.size() ? end + 1 : end;
  }
  return lines;
}

std::string runLine(const InsulationRun &run) {
  auto utf8 = [](const std::optional<std::string> &t) { return t ? cp936ToUtf8(*t) : ""; };
  return "Run " + std::to_string(run.number) + ":  " + utf8(run.function) + "   " + utf8(run.mode) +
         "   started " + formatTimeWithMilliseconds(run.startMs) + "   lasting " +
         formatElapsed(run.durationMs) + "   " + std::to_string(run.rows) + " readings";
}

// The title band: the run, the particulars in two columns, the curve, the results.
ReportBand titleBand(const InsulationRun &run, const TestParticulars &particulars) {
  ReportBand band{BandKind::Title, 0, {}};
  double y = 1;
  band.elements.push_back(reportLabel(0, y, runLine(run), reportFontSpec(10, true)));
  y += 7;
  const auto particularsShown = particularLines(particulars);
  const std::size_t half = (particularsShown.size() + 1) / 2;
  for (std::size_t i = 0; i < particularsShown.size(); ++i) {
    const double left = i < half ? 0 : 97;
    const double top = y + 4.6 * static_cast<double>(i < half ? i : i - half);
    band.elements.push_back(
        reportLabel(left, top, particularsShown[i].label + ":", reportFontSpec(9)));
    band.elements.push_back(
        reportLabel(left + 40, top, particularsShown[i].value, reportFontSpec(9, true)));
  }
  y += 4.6 * static_cast<double>(half) + 2;
  band.elements.push_back(reportPicture(y, kInsulationCurveWidthMm, kInsulationCurveHeightMm));
  y += kInsulationCurveHeightMm + 3;
  band.elements.push_back(reportLabel(0, y, "Results", reportFontSpec(11, true)));
  y += 6;
  for (const ResultLine &line : insulationResults(run, particulars)) {
    band.elements.push_back(reportLabel(0, y, line.label, reportFontSpec(9)));
    band.elements.push_back(reportLabel(62, y, line.value, reportFontSpec(9, true)));
    // A reason in words may take more than the column: it goes on over the next lines.
    for (const std::string &part : wrappedWords(line.judgement, kJudgementChars)) {
      band.elements.push_back(
          reportLabel(104, y, part, reportFontSpec(9, line.tone == ResultTone::Bad)));
      y += 4.6;
    }
    if (line.judgement.empty()) y += 4.6;
  }
  band.height = y + 4;
  return band;
}

ReportBand readingsHeader() {
  ReportBand band{BandKind::ColumnHeader, 7, {}};
  for (int set = 0; set < kReadingsPerLine; ++set) {
    const double left = 64.0 * set;
    band.elements.push_back(reportLabel(left, 2, "No.", reportFontSpec(8, true)));
    band.elements.push_back(reportLabel(left + 13, 2, "Elapsed", reportFontSpec(8, true)));
    band.elements.push_back(reportLabel(left + 31, 2, "Reading", reportFontSpec(8, true)));
  }
  return band;
}

ReportBand readingsLine() {
  ReportBand band{BandKind::Detail, 4.4, {}};
  for (int set = 0; set < kReadingsPerLine; ++set) {
    const double left = 64.0 * set;
    band.elements.push_back(reportField(left, 0.6, "No"));
    band.elements.push_back(reportField(left + 13, 0.6, "Elapsed"));
    band.elements.push_back(reportField(left + 31, 0.6, "Reading"));
  }
  return band;
}

// The readings of a run, three to a line, read from the table as the pages are laid out.
class RunReadings {
 public:
  RunReadings(const ReadingTable &table, const InsulationRun &run)
      : rows_(table.snapshot()), curve_(runCurve(table, run)) {}

  std::size_t lines() const { return (curve_.size() + kReadingsPerLine - 1) / kReadingsPerLine; }

  std::vector<std::string> line(std::size_t index) const {
    std::vector<std::string> texts;
    for (std::size_t k = 0; k < kReadingsPerLine; ++k) {
      const std::size_t i = index * kReadingsPerLine + k;
      if (i >= curve_.size()) {
        texts.insert(texts.end(), 3, std::string());
        continue;
      }
      const TableRowView row = rows_.view(curve_[i].row);
      texts.push_back(row.no ? std::to_string(*row.no) : std::string());
      texts.push_back(formatElapsed(curve_[i].elapsedMs));
      std::string reading = row.value ? cp936ToUtf8(std::string(*row.value)) : std::string();
      if (row.unit) reading.append(1, ' ').append(cp936ToUtf8(std::string(*row.unit)));
      texts.push_back(std::move(reading));
    }
    return texts;
  }

 private:
  TableSnapshot rows_;
  std::vector<RunPoint> curve_;
};

}  // namespace

std::string formatElapsed(std::int64_t ms) {
  const std::int64_t tenths = (ms + 50) / 100;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
  return text;
}

ResultTone toneOf(ConditionBand band) {
  switch (band) {
    case ConditionBand::Dangerous:
      return ResultTone::Bad;
    case ConditionBand::Questionable:
      return ResultTone::Warning;
    case ConditionBand::Good:
    case ConditionBand::Excellent:
      return ResultTone::Good;
  }
  return ResultTone::Neutral;
}

ResultTone toneOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return ResultTone::Good;
    case Verdict::Fail:
      return ResultTone::Bad;
    case Verdict::Undetermined:
      return ResultTone::Warning;
    case Verdict::NotApplicable:
    case Verdict::NotMeasured:
    case Verdict::NotJudged:
      return ResultTone::Neutral;
  }
  return ResultTone::Neutral;
}

std::vector<ResultLine> insulationResults(const InsulationRun &run,
                                          const TestParticulars &particulars) {
  const InsulationJudgement j = judgeRun(run, particulars);
  std::vector<ResultLine> lines;
  lines.push_back(markLine(run, 15, "R(15 s)"));
  lines.push_back(markLine(run, 30, "R(30 s)"));
  lines.push_back(markLine(run, 60, "R(1 min)"));
  lines.push_back(markLine(run, 600, "R(10 min)"));
  lines.push_back(ratioLine("DAR = R(1 min) / R(30 s)", run.dar, j.darAbove, kDarLimits, j.darBand,
                            missingMark(run, 30, 60)));
  ResultLine pi = ratioLine("PI = R(10 min) / R(1 min)", run.pi, j.piAbove, kPiLimits, j.piBand,
                            missingMark(run, 60, 600));
  // A PI that does not apply is shown, but its band is no warning.
  if (j.pi.verdict == Verdict::NotApplicable) pi.tone = ResultTone::Neutral;
  lines.push_back(pi);

  const double limits[] = {j.minimumResistance.value_or(0), kPiMeaningfulBelowOhms};
  ResultLine corrected{
      "R(1 min) at 40 \xC2\xB0"
      "C",
      kNone,
      {},
      ResultTone::Neutral};
  if (j.r60At40C)
    corrected.value = formatOhms(*j.r60At40C, limits);
  else if (j.r60At40CAbove)
    corrected.value = "above " + formatOhms(*j.r60At40CAbove);
  else if (!j.temperatureC && (run.r60 || run.markAt(60).state == MarkState::OverRange))
    corrected.judgement = "enter the winding temperature";
  lines.push_back(corrected);

  if (!j.checksApply) {
    lines.push_back({"IEEE 43 checks", kNone, checkText(j.overall), ResultTone::Neutral});
  } else {
    lines.push_back(
        checkLine("Minimum insulation resistance",
                  j.minimumResistance ? "at least " + formatOhms(*j.minimumResistance) : kNone,
                  j.resistance));
    const std::string piLabel =
        particulars.insulationClass
            ? "Minimum PI (class " + insulationClassName(*particulars.insulationClass) + ")"
            : std::string("Minimum PI");
    lines.push_back(
        checkLine(piLabel, j.minimumPi ? "at least " + fixed(*j.minimumPi, 1) : kNone, j.pi));
  }
  lines.push_back({"Suggested DC test voltage",
                   j.suggestedVoltage ? formatVoltageRange(*j.suggestedVoltage) : kNone,
                   j.testVoltageRemark,
                   j.testVoltageRemark.empty() ? ResultTone::Neutral : ResultTone::Warning});
  lines.push_back(checkLine("Overall", "", j.overall));
  return lines;
}

std::string insulationClassName(InsulationClass insulationClass) {
  switch (insulationClass) {
    case InsulationClass::A:
      return "A";
    case InsulationClass::B:
      return "B";
    case InsulationClass::F:
      return "F";
    case InsulationClass::H:
      return "H";
  }
  return "B";
}

std::string windingKindName(WindingKind kind) {
  switch (kind) {
    case WindingKind::OlderOrField:
      return "older or field winding";
    case WindingKind::FormWound:
      return "form-wound coils";
    case WindingKind::RandomOrLowVolt:
      return "random-wound coils";
    case WindingKind::DcArmature:
      return "DC armature";
  }
  return {};
}

std::string equipmentKindName(EquipmentKind kind) {
  switch (kind) {
    case EquipmentKind::RotatingMachine:
      return "rotating machine";
    case EquipmentKind::Cable:
      return "cable";
    case EquipmentKind::Transformer:
      return "transformer";
    case EquipmentKind::Other:
      return "other";
  }
  return {};
}

std::vector<ParticularLine> particularLines(const TestParticulars &p) {
  return {{"Equipment", p.equipment},
          {"Equipment kind", equipmentKindName(p.equipmentKind)},
          {"Location", p.location},
          {"Operator", p.operatorName},
          {"Insulation class", p.insulationClass ? insulationClassName(*p.insulationClass) : ""},
          {"Winding", p.windingKind ? windingKindName(*p.windingKind) : ""},
          {"Winding temperature", optionalNumber(p.windingTemperatureC,
                                                 " \xC2\xB0"
                                                 "C")},
          {"Ambient temperature", optionalNumber(p.ambientTemperatureC,
                                                 " \xC2\xB0"
                                                 "C")},
          {"Humidity", optionalNumber(p.humidityPercent, " %")},
          {"Rated voltage", optionalNumber(p.ratedKv, " kV")}};
}

ReportDocument openInsulationReport(const ReadingTable &table, const InsulationRun &run,
                                    const TestParticulars &particulars,
                                    const std::string &printDate) {
  auto readings = std::make_shared<RunReadings>(table, run);
  DetailSource details{readings->lines(),
                       [readings](std::size_t line) { return readings->line(line); }};
  return openPagedReport("InsulationReport", "INSULATION TEST REPORT", titleBand(run, particulars),
                         readingsHeader(), readingsLine(), std::move(details), printDate);
}

}  // namespace vexal
