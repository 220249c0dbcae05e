#include "report/AssetHistory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace vexal {

const char *const kAssetColumns[kAssetColumnCount] = {"Tag",       "Name",         "Tests",
                                                      "Last test", "Last verdict", "Location"};
const char *const kHistoryColumns[kHistoryColumnCount] = {"Date",
                                                          "Test voltage",
                                                          "R(1 min)",
                                                          "R(1 min) at 40 \xC2\xB0"
                                                          "C",
                                                          "DAR",
                                                          "PI",
                                                          "Verdict",
                                                          "Halved",
                                                          "Operator"};

namespace {

constexpr const char *kNone = "\xE2\x80\x94";  // an em dash: no value

std::string ohmsOrNone(const std::optional<double> &ohms) {
  return ohms ? formatOhms(*ohms) : kNone;
}

std::string numberText(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string ratioOrNone(const std::optional<double> &ratio) {
  return ratio ? formatRatio(*ratio) : kNone;
}

// "2500 V" of "IR:2500 100GΩ"; the function itself where it names no test voltage.
std::string testVoltageText(const std::string &function) {
  const auto volts = functionTestVolts(function);
  return volts ? numberText(*volts, 0) + " V" : function;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

ResultTone verdictTone(std::string_view verdict) {
  if (verdict == kVerdictPass) return ResultTone::Good;
  if (verdict == kVerdictFail) return ResultTone::Bad;
  return ResultTone::Neutral;
}

AssetLine assetLine(const AssetSummary &summary) {
  const Asset &a = summary.asset;
  return {{a.tag, a.name, std::to_string(summary.tests), summary.lastDate.value_or(""),
           summary.lastVerdict.value_or(""), a.location},
          verdictTone(summary.lastVerdict.value_or(""))};
}

std::vector<HistoryLine> historyLines(const std::vector<TestSummary> &tests) {
  std::vector<HistoryLine> lines;
  lines.reserve(tests.size());
  for (const TestSummary &t : tests) {
    const TestResults &r = t.results;
    HistoryLine line;
    line.halved = t.halved.value_or(false);
    line.verdictTone = verdictTone(r.verdict);
    line.cells = {t.particulars.date,
                  testVoltageText(t.function),
                  ohmsOrNone(r.r60),
                  ohmsOrNone(r.r60At40C),
                  ratioOrNone(r.dar),
                  ratioOrNone(r.pi),
                  r.verdict,
                  line.halved ? kHalvedMark : "",
                  t.particulars.operatorName.value_or("")};
    lines.push_back(std::move(line));
  }
  return lines;
}

std::optional<std::int64_t> dateMs(std::string_view date, std::int32_t timeOfDayMs) {
  using namespace std::chrono;
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!isDigit(date[i])) return std::nullopt;
  auto number = [&](std::size_t from, std::size_t count) {
    unsigned n = 0;
    for (std::size_t i = from; i < from + count; ++i) n = n * 10 + unsigned(date[i] - '0');
    return n;
  };
  const year_month_day ymd{year(static_cast<int>(number(0, 4))), month(number(5, 2)),
                           day(number(8, 2))};
  if (!ymd.ok()) return std::nullopt;
  const auto days = sys_days(ymd).time_since_epoch().count();
  return static_cast<std::int64_t>(days) * 86'400'000 + timeOfDayMs;
}

AssetTrend assetTrend(const std::vector<TestSummary> &tests, const Asset &asset) {
  AssetTrend trend;
  bool first = true;
  for (std::size_t i = 0; i < tests.size(); ++i) {
    const TestSummary &t = tests[i];
    const auto when = dateMs(t.particulars.date, t.startMs);
    if (!when) continue;
    trend.firstMs = first ? *when : std::min(trend.firstMs, *when);
    trend.lastMs = first ? *when : std::max(trend.lastMs, *when);
    first = false;
    const TestResults &r = t.results;
    if (r.r60At40C)
      trend.resistance.push_back({*when, *r.r60At40C, r.verdict, t.halved.value_or(false), i});
    if (r.pi) trend.pi.push_back({*when, *r.pi, r.verdict, false, i});
  }
  // IEEE 43 judges rotating machines only.
  if (asset.kind != AssetKind::RotatingMachine) return trend;
  // Only random-wound coils have a minimum that does not depend on the rated voltage.
  if (asset.winding && (asset.ratedKv || *asset.winding == ArchiveWinding::RandomWound))
    trend.minimumResistance =
        minimumInsulationResistance(windingKindOf(*asset.winding), asset.ratedKv.value_or(0));
  if (asset.insulationClass) trend.minimumPi = minimumPi(insulationClassOf(*asset.insulationClass));
  return trend;
}

std::vector<ParticularLine> assetLines(const Asset &a) {
  auto kindText = [](AssetKind kind) {
    switch (kind) {
      case AssetKind::RotatingMachine:
        return "rotating machine";
      case AssetKind::Cable:
        return "cable";
      case AssetKind::Transformer:
        return "transformer";
      case AssetKind::Other:
        break;
    }
    return "other";
  };
  std::string rated;
  if (a.ratedKv) {
    rated = numberText(*a.ratedKv, 2);
    while (rated.ends_with('0')) rated.pop_back();
    if (rated.ends_with('.')) rated.pop_back();
    rated += " kV";
  }
  return {{"Tag", a.tag},
          {"Name", a.name},
          {"Location", a.location},
          {"Kind", kindText(a.kind)},
          {"Rated voltage", rated},
          {"Insulation class",
           a.insulationClass ? std::string(archiveClassName(*a.insulationClass)) : ""},
          {"Winding", a.winding ? windingKindName(windingKindOf(*a.winding)) : ""},
          {"Notes", a.notes}};
}

std::string assetHeading(const Asset &asset) {
  return asset.name.empty() ? asset.tag : asset.tag + "  " + asset.name;
}

TestParticulars particularsOf(const TestSummary &test) {
  const Asset &a = test.assetAtTest;
  const TestParticularsRecord &p = test.particulars;
  TestParticulars shown;
  shown.equipment = assetHeading(a);
  shown.location = a.location;
  shown.operatorName = p.operatorName.value_or("");
  shown.windingTemperatureC = p.windingTemperatureC;
  shown.ambientTemperatureC = p.ambientTemperatureC;
  shown.humidityPercent = p.humidityPercent;
  shown.ratedKv = a.ratedKv;
  shown.equipmentKind = equipmentKindOf(a.kind);
  if (a.insulationClass) shown.insulationClass = insulationClassOf(*a.insulationClass);
  if (a.winding) shown.windingKind = windingKindOf(*a.winding);
  return shown;
}

}  // namespace vexal
