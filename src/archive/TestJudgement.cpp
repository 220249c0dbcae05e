#include "archive/TestJudgement.h"

#include <charconv>
#include <cmath>

#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationRuns.h"
#include "common/Cp936.h"
#include "common/JsonText.h"
#include "common/TextEncoding.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

// The readings as the rows of a table, so that the run is found by the same code as in a
// recorded table: times of day from the start, the run's function and mode on every row.
ReadingTable tableOf(const TestReadings &r) {
  ReadingTable table;
  std::int32_t no = 1;
  for (const StoredReading &reading : r.readings) {
    const auto time = static_cast<std::int32_t>((r.startMs + reading.elapsedMs) % kMsPerDay);
    table.appendRow(TableRow{no++, time, reading.value, reading.unit, r.function, r.mode});
  }
  return table;
}

void appendKey(std::string &out, std::string_view key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

void appendNumber(std::string &out, std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    out += "null";
    return;
  }
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *value);
  out.append(buf, ec == std::errc() ? end : buf);
}

void appendRatio(std::string &out, std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    out += "null";
    return;
  }
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *value, std::chars_format::fixed, 6);
  out.append(buf, ec == std::errc() ? end : buf);
}

void appendText(std::string &out, const std::optional<std::string> &text) {
  if (text)
    appendJsonString(out, *text);
  else
    out += "null";
}

// The keys of `vexal-replay --analysis` for the run, without its place in a table.
std::string resultsJson(const InsulationRun &run, const TestResults &r) {
  std::string out = "{";
  appendKey(out, "function");
  appendJsonString(out, cp936ToUtf8(run.function.value_or("")));
  appendKey(out, "mode");
  appendJsonString(out, cp936ToUtf8(run.mode.value_or("")));
  appendKey(out, "start");
  appendJsonString(out, formatTimeWithMilliseconds(run.startMs));
  appendKey(out, "duration_s");
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%lld.%03lld",
                static_cast<long long>(run.durationMs / 1000),
                static_cast<long long>(run.durationMs % 1000));
  out += seconds;
  appendKey(out, "rows");
  out += std::to_string(run.rows);
  appendKey(out, "values");
  out += std::to_string(run.values);
  const std::optional<double> marks[] = {r.r15, r.r30, r.r60, r.r600};
  for (std::size_t i = 0; i < 4; ++i) {
    std::string key = "r";
    key += std::to_string(kRunMarkSeconds[i]);
    appendKey(out, key);
    appendNumber(out, marks[i]);
  }
  appendKey(out, "dar");
  appendRatio(out, r.dar);
  appendKey(out, "pi");
  appendRatio(out, r.pi);
  appendKey(out, "dar_band");
  appendText(out, r.darBand);
  appendKey(out, "pi_band");
  appendText(out, r.piBand);
  appendKey(out, "r60_40c");
  appendNumber(out, r.r60At40C);
  appendKey(out, "pi_applicable");
  out += !r.piApplicable ? "null" : *r.piApplicable ? "true" : "false";
  out += '}';
  return out;
}

InsulationClass classFor(ArchiveClass c) {
  switch (c) {
    case ArchiveClass::A:
      return InsulationClass::A;
    case ArchiveClass::B:
      return InsulationClass::B;
    case ArchiveClass::F:
      return InsulationClass::F;
    case ArchiveClass::H:
      break;
  }
  return InsulationClass::H;
}

WindingKind windingFor(ArchiveWinding w) {
  switch (w) {
    case ArchiveWinding::Older:
      return WindingKind::OlderOrField;
    case ArchiveWinding::FormWound:
      break;
    case ArchiveWinding::RandomWound:
      return WindingKind::RandomOrLowVolt;
  }
  return WindingKind::FormWound;
}

// The verdict of a rotating machine's run. A pass needs everything a check needs: the
// winding temperature, the rated voltage, the class and the winding kind.
std::string verdictOf(const InsulationRun &run, const Asset &asset,
                      std::optional<double> temperatureC) {
  if (asset.kind != AssetKind::RotatingMachine) return std::string(kVerdictNotJudged);
  TestParticulars particulars;
  particulars.windingTemperatureC = temperatureC;
  particulars.ratedKv = asset.ratedKv;
  if (asset.insulationClass) particulars.insulationClass = classFor(*asset.insulationClass);
  if (asset.winding) particulars.windingKind = windingFor(*asset.winding);
  const Verdict overall = assessRun(run, particulars).overall;
  const bool complete = temperatureC && asset.ratedKv && asset.insulationClass && asset.winding;
  if (overall == Verdict::Pass && !complete) return std::string(kVerdictUndetermined);
  return std::string(verdictName(overall));
}

std::vector<InsulationRun> runsOf(const ReadingTable &table) {
  // Steps of up to a day keep every reading of a run in it.
  return findInsulationRuns(table, kMsPerDay);
}

}  // namespace

bool isOneRun(const TestReadings &readings) {
  const ReadingTable table = tableOf(readings);
  const auto runs = runsOf(table);
  return runs.size() == 1 && runs[0].rows == readings.readings.size();
}

TestResults judgeTest(const TestReadings &readings, const Asset &asset,
                      std::optional<double> windingTemperatureC) {
  TestResults r;
  r.verdict = asset.kind == AssetKind::RotatingMachine ? kVerdictUndetermined : kVerdictNotJudged;
  const ReadingTable table = tableOf(readings);
  const std::vector<InsulationRun> runs = runsOf(table);
  if (runs.empty()) {
    r.rows = static_cast<std::int64_t>(readings.readings.size());
    r.json = "{}";
    return r;
  }
  const InsulationRun &run = runs.front();
  r.durationMs = run.durationMs;
  r.rows = static_cast<std::int64_t>(run.rows);
  r.values = static_cast<std::int64_t>(run.values);
  r.r15 = run.r15;
  r.r30 = run.r30;
  r.r60 = run.r60;
  r.r600 = run.r600;
  r.dar = run.dar;
  r.pi = run.pi;
  if (run.darBand) r.darBand = std::string(bandName(*run.darBand));
  if (run.piBand) r.piBand = std::string(bandName(*run.piBand));
  if (run.r60 && windingTemperatureC) r.r60At40C = correctedTo40C(*run.r60, *windingTemperatureC);
  r.piApplicable = piApplicable(run.r60, windingTemperatureC);
  r.verdict = verdictOf(run, asset, windingTemperatureC);
  r.json = resultsJson(run, r);
  return r;
}

std::vector<TestReadings> testReadingsOfTable(const ReadingTable &table, std::int64_t runGapMs) {
  std::vector<TestReadings> tests;
  for (const InsulationRun &run : findInsulationRuns(table, runGapMs)) {
    TestReadings t;
    t.function = run.function;
    t.mode = run.mode;
    t.startMs = run.startMs;
    for (const RunPoint &point : runCurve(table, run)) {
      StoredReading reading;
      reading.elapsedMs = point.elapsedMs;
      if (auto v = table.text(point.row, Field::Value)) reading.value = std::string(*v);
      if (auto u = table.text(point.row, Field::Unit)) reading.unit = std::string(*u);
      t.readings.push_back(std::move(reading));
    }
    tests.push_back(std::move(t));
  }
  return tests;
}

}  // namespace vexal
