#pragma once
// The values kept in the insulation test archive: assets (the machines, cables and
// transformers tested) and the tests stored for each, with their readings exactly as recorded
// and their results as the judgement gave them when they were stored.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vexal {

// A failure of the archive: the engine's or the program's message, ready to show.
class EArchiveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class AssetKind { RotatingMachine, Cable, Transformer, Other };
// "machine", "cable", "transformer", "other": the words of the archive and its tool.
std::string_view assetKindName(AssetKind kind);
std::optional<AssetKind> parseAssetKind(std::string_view name);

enum class ArchiveClass { A, B, F, H };
std::string_view archiveClassName(ArchiveClass c);  // "A", "B", "F", "H"
std::optional<ArchiveClass> parseArchiveClass(std::string_view name);

enum class ArchiveWinding { Older, FormWound, RandomWound };
// "older", "form-wound", "random-wound".
std::string_view archiveWindingName(ArchiveWinding winding);
std::optional<ArchiveWinding> parseArchiveWinding(std::string_view name);

enum class TestPurpose { Acceptance, Routine, AfterRepair, Troubleshooting };
// "acceptance", "routine", "after-repair", "troubleshooting".
std::string_view testPurposeName(TestPurpose purpose);
std::optional<TestPurpose> parseTestPurpose(std::string_view name);

// An asset's particulars. The tag is its unique name in the archive.
struct Asset {
  std::string tag;
  std::string name, location;
  AssetKind kind = AssetKind::RotatingMachine;
  std::optional<double> ratedKv;
  std::optional<ArchiveClass> insulationClass;
  std::optional<ArchiveWinding> winding;
  std::string notes;
  bool operator==(const Asset &) const = default;
};

// A change of an asset's particulars: only the fields given are changed.
struct AssetChange {
  std::optional<std::string> name, location;
  std::optional<AssetKind> kind;
  std::optional<double> ratedKv;
  std::optional<ArchiveClass> insulationClass;
  std::optional<ArchiveWinding> winding;
  std::optional<std::string> notes;
};

// One field's change, as the asset's change log keeps it.
struct AssetChangeRecord {
  std::string changedAt;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
  std::string field;      // "created" for the asset's first particulars
  std::string oldValue, newValue;
};

// An asset as the asset list shows it.
struct AssetSummary {
  Asset asset;
  std::int64_t tests = 0;
  std::optional<std::string> lastDate;     // "YYYY-MM-DD" of the latest test
  std::optional<std::string> lastVerdict;  // that test's verdict
};

// One reading of a test exactly as recorded: the texts are the table's bytes (code page 936).
struct StoredReading {
  std::int64_t elapsedMs = 0;  // from the run's first reading
  std::optional<std::string> value, unit;
  bool operator==(const StoredReading &) const = default;
};

// A test's readings with the run's function and mode texts (code page 936) and its start.
struct TestReadings {
  std::optional<std::string> function, mode;
  std::int32_t startMs = 0;  // the first reading's time of day
  std::vector<StoredReading> readings;
  bool operator==(const TestReadings &) const = default;
};

// The particulars a test is stored with (beyond its asset's, which are copied with it).
struct TestParticularsRecord {
  std::string date;  // "YYYY-MM-DD"
  std::optional<std::string> operatorName;
  std::optional<TestPurpose> purpose;
  std::optional<double> windingTemperatureC, ambientTemperatureC, humidityPercent;
  std::string remarks;
  std::optional<std::string> supersedes;  // the id of the test this one corrects
};

// A test's results as the judgement gives them.
struct TestResults {
  std::int64_t durationMs = 0;
  std::int64_t rows = 0, values = 0;
  std::optional<double> r15, r30, r60, r600;  // ohms
  std::optional<double> dar, pi;
  std::optional<std::string> darBand, piBand;  // "dangerous" ... "excellent"
  std::optional<double> r60At40C;
  std::optional<bool> piApplicable;
  // "pass", "fail", "not determined", or "not judged" (kinds other than rotating machines).
  std::string verdict;
  // The whole result as one JSON object with the keys of `vexal-replay --analysis` (without
  // the run's place in its table), exactly as stored.
  std::string json;
  bool operator==(const TestResults &) const = default;
};

// Verdict texts.
inline constexpr std::string_view kVerdictPass = "pass";
inline constexpr std::string_view kVerdictFail = "fail";
inline constexpr std::string_view kVerdictUndetermined = "not determined";
inline constexpr std::string_view kVerdictNotJudged = "not judged";

// What a test is stored from.
struct NewTest {
  std::string assetTag;
  TestParticularsRecord particulars;
  TestReadings readings;
};

// The outcome of storing a test: its id, and whether it was there already (the same asset,
// date, start and readings).
struct StoreOutcome {
  std::string id;
  bool alreadyStored = false;
};

// A stored test without its readings: a line of an asset's history.
struct TestSummary {
  std::string id;
  std::string assetTag;
  TestParticularsRecord particulars;
  std::string function, mode;  // UTF-8
  std::int32_t startMs = 0;
  Asset assetAtTest;  // the asset's particulars the test was judged with
  TestResults results;
  std::string storedAt;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
  // R(1 min) at 40 °C at most half of that of the asset's latest earlier test with the same
  // function that has one: true; above: false; nothing when either is missing.
  std::optional<bool> halved;
};

// A whole stored test.
struct StoredTest {
  TestSummary summary;
  TestReadings readings;
};

// One point of an asset's trend.
struct TrendPoint {
  std::string testId;
  std::string date;
  std::int32_t startMs = 0;
  std::string function;  // UTF-8
  std::optional<double> r60At40C, pi;
  std::string verdict;
};

// What `check` found: nothing when the archive is whole. The checks that could not be run
// (the server did not allow them) are named with the reason: then what was checked found
// nothing wrong, but the archive is not known to be whole.
struct CheckReport {
  std::int64_t testsChecked = 0;
  std::vector<std::string> problems;
  std::vector<std::string> notChecked;
  bool whole() const { return problems.empty(); }
  bool complete() const { return notChecked.empty(); }
};

}  // namespace vexal
