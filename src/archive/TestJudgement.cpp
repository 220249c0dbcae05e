#include "archive/TestJudgement.h"

#include "analysis/AnalysisJson.h"
#include "analysis/InsulationAssessment.h"
#include "analysis/InsulationRuns.h"
#include "analysis/InsulationVerdict.h"
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

// The keys of `vexal-replay --analysis` for the run, without its place in a table (run,
// first_row, last_row): the rest exactly as the tool gives it.
std::string resultsJson(const InsulationRun &run, std::optional<double> temperatureC) {
  const std::string json = analysisJson(run, temperatureC);
  const auto from = json.find("\"function\"");
  if (from == std::string::npos) return json;
  std::string results(1, '{');
  results.append(json, from);
  return results;
}

// The asset's particulars and the test's winding temperature, as the judgement takes them.
TestParticulars particularsOf(const Asset &asset, std::optional<double> temperatureC) {
  TestParticulars p;
  p.equipment = asset.name;
  p.location = asset.location;
  p.windingTemperatureC = temperatureC;
  p.ratedKv = asset.ratedKv;
  p.equipmentKind = equipmentKindOf(asset.kind);
  if (asset.insulationClass) p.insulationClass = insulationClassOf(*asset.insulationClass);
  if (asset.winding) p.windingKind = windingKindOf(*asset.winding);
  return usableParticulars(p);
}

std::vector<InsulationRun> runsOf(const ReadingTable &table) {
  // Steps of up to a day keep every reading of a run in it.
  return findInsulationRuns(table, kMsPerDay);
}

}  // namespace

EquipmentKind equipmentKindOf(AssetKind kind) {
  switch (kind) {
    case AssetKind::RotatingMachine:
      return EquipmentKind::RotatingMachine;
    case AssetKind::Cable:
      return EquipmentKind::Cable;
    case AssetKind::Transformer:
      return EquipmentKind::Transformer;
    case AssetKind::Other:
      break;
  }
  return EquipmentKind::Other;
}

AssetKind assetKindOf(EquipmentKind kind) {
  for (AssetKind a :
       {AssetKind::RotatingMachine, AssetKind::Cable, AssetKind::Transformer, AssetKind::Other})
    if (equipmentKindOf(a) == kind) return a;
  return AssetKind::Other;
}

InsulationClass insulationClassOf(ArchiveClass c) {
  switch (c) {
    case ArchiveClass::A:
      return InsulationClass::A;
    case ArchiveClass::B:
      return InsulationClass::B;
    case ArchiveClass::F:
      return InsulationClass::F;
    case ArchiveClass::H:
      return InsulationClass::H;
  }
  return InsulationClass::B;
}

ArchiveClass archiveClassOf(InsulationClass c) {
  for (ArchiveClass a : {ArchiveClass::A, ArchiveClass::B, ArchiveClass::F, ArchiveClass::H})
    if (insulationClassOf(a) == c) return a;
  return ArchiveClass::B;
}

WindingKind windingKindOf(ArchiveWinding winding) {
  switch (winding) {
    case ArchiveWinding::Older:
      return WindingKind::OlderOrField;
    case ArchiveWinding::FormWound:
      return WindingKind::FormWound;
    case ArchiveWinding::RandomWound:
      return WindingKind::RandomOrLowVolt;
  }
  return WindingKind::FormWound;
}

ArchiveWinding archiveWindingOf(WindingKind kind) {
  for (ArchiveWinding a :
       {ArchiveWinding::Older, ArchiveWinding::FormWound, ArchiveWinding::RandomWound})
    if (windingKindOf(a) == kind) return a;
  return ArchiveWinding::FormWound;
}

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
  const TestParticulars particulars = particularsOf(asset, windingTemperatureC);
  const std::optional<double> temperature = particulars.windingTemperatureC;
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
  // As the analysis gives them: R(1 min) at 40 °C needs R(1 min) and the temperature.
  if (run.r60 && temperature) r.r60At40C = correctedTo40C(*run.r60, *temperature);
  r.piApplicable = piApplicable(run.r60, temperature);
  r.verdict = std::string(verdictName(judgeRun(run, particulars).overall.verdict));
  r.json = resultsJson(run, temperature);
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
