#include "archive/Archive.h"

#include <cmath>
#include <random>

#include "archive/ArchiveEngine.h"
#include "archive/ArchiveSchema.h"
#include "archive/ReadingsBlob.h"
#include "archive/TestJudgement.h"
#include "common/TextEncoding.h"

namespace vexal {

namespace {

// Tests superseded by a correction leave the history; the correction takes their place.
constexpr const char *kNotSuperseded =
    "NOT EXISTS (SELECT 1 FROM tests c WHERE c.supersedes = t.id)";

// The columns of a test without its readings, read by summaryOf().
constexpr const char *kSummaryColumns =
    "t.id, a.tag, t.test_date, t.start_ms, t.function, t.mode, t.operator, t.purpose, "
    "t.winding_c, t.ambient_c, t.humidity, t.remarks, t.supersedes, t.asset_name, "
    "t.asset_location, t.asset_kind, t.asset_rated_kv, t.asset_class, t.asset_winding, "
    "t.duration_ms, t.row_count, t.value_count, t.r15, t.r30, t.r60, t.r600, t.dar, t.pi, "
    "t.dar_band, t.pi_band, t.r60_40c, t.pi_applicable, t.verdict, t.results, t.stored_at";
constexpr const char *kSummaryFrom = " FROM tests t JOIN assets a ON a.id = t.asset_id";

constexpr const char *kAssetColumns =
    "a.tag, a.name, a.location, a.kind, a.rated_kv, a.insulation_class, a.winding, a.notes";

std::string randomTestId() {
  static thread_local std::random_device device;
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 4; ++i) {
    std::uint32_t word = device();
    for (int j = 0; j < 8; ++j, word >>= 4) id += kHex[word & 15];
  }
  return id;
}

bool validDate(const std::string &date) {
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (date[i] < '0' || date[i] > '9') return false;
  const int year = std::stoi(date.substr(0, 4)), month = std::stoi(date.substr(5, 2)),
            day = std::stoi(date.substr(8, 2));
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

template <class E>
SqlValue enumText(const std::optional<E> &value, std::string_view (*name)(E)) {
  return value ? SqlValue(std::string(name(*value))) : SqlValue();
}

Asset assetOf(const SqlRow &r, std::size_t at) {
  Asset a;
  a.tag = sqlText(r.at(at)).value_or("");
  a.name = sqlText(r.at(at + 1)).value_or("");
  a.location = sqlText(r.at(at + 2)).value_or("");
  a.kind = parseAssetKind(sqlText(r.at(at + 3)).value_or("")).value_or(AssetKind::Other);
  a.ratedKv = sqlReal(r.at(at + 4));
  a.insulationClass = parseArchiveClass(sqlText(r.at(at + 5)).value_or(""));
  a.winding = parseArchiveWinding(sqlText(r.at(at + 6)).value_or(""));
  a.notes = sqlText(r.at(at + 7)).value_or("");
  return a;
}

std::optional<std::string> optionalText(const SqlValue &v) {
  return sqlText(v);
}

TestSummary summaryOf(const SqlRow &r) {
  TestSummary s;
  s.id = sqlText(r.at(0)).value_or("");
  s.assetTag = sqlText(r.at(1)).value_or("");
  TestParticularsRecord &p = s.particulars;
  p.date = sqlText(r.at(2)).value_or("");
  s.startMs = static_cast<std::int32_t>(sqlInt(r.at(3)).value_or(0));
  s.function = sqlText(r.at(4)).value_or("");
  s.mode = sqlText(r.at(5)).value_or("");
  p.operatorName = optionalText(r.at(6));
  p.purpose = parseTestPurpose(sqlText(r.at(7)).value_or(""));
  p.windingTemperatureC = sqlReal(r.at(8));
  p.ambientTemperatureC = sqlReal(r.at(9));
  p.humidityPercent = sqlReal(r.at(10));
  p.remarks = sqlText(r.at(11)).value_or("");
  p.supersedes = optionalText(r.at(12));
  Asset &a = s.assetAtTest;
  a.tag = s.assetTag;
  a.name = sqlText(r.at(13)).value_or("");
  a.location = sqlText(r.at(14)).value_or("");
  a.kind = parseAssetKind(sqlText(r.at(15)).value_or("")).value_or(AssetKind::Other);
  a.ratedKv = sqlReal(r.at(16));
  a.insulationClass = parseArchiveClass(sqlText(r.at(17)).value_or(""));
  a.winding = parseArchiveWinding(sqlText(r.at(18)).value_or(""));
  TestResults &res = s.results;
  res.durationMs = sqlInt(r.at(19)).value_or(0);
  res.rows = sqlInt(r.at(20)).value_or(0);
  res.values = sqlInt(r.at(21)).value_or(0);
  res.r15 = sqlReal(r.at(22));
  res.r30 = sqlReal(r.at(23));
  res.r60 = sqlReal(r.at(24));
  res.r600 = sqlReal(r.at(25));
  res.dar = sqlReal(r.at(26));
  res.pi = sqlReal(r.at(27));
  res.darBand = optionalText(r.at(28));
  res.piBand = optionalText(r.at(29));
  res.r60At40C = sqlReal(r.at(30));
  if (auto applicable = sqlInt(r.at(31))) res.piApplicable = *applicable != 0;
  res.verdict = sqlText(r.at(32)).value_or("");
  res.json = sqlText(r.at(33)).value_or("");
  s.storedAt = sqlText(r.at(34)).value_or("");
  return s;
}

// A value of the change log: the text of a field as the tool shows it.
std::string changeText(const std::optional<double> &v) {
  if (!v) return "";
  std::string text = std::to_string(*v);
  while (text.size() > 1 && text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// What is wrong with a stored test: its readings missing or damaged, or its stored results
// not those its readings give.
std::optional<std::string> testProblem(const TestSummary &stored, const SqlValue &blob,
                                       const SqlValue &digest, const SqlValue &count) {
  const auto bytes = sqlText(blob);
  if (!bytes) return "its readings are missing";
  if (readingsDigest(*bytes) != sqlText(digest).value_or(""))
    return "its readings are not those it was stored with";
  TestReadings readings;
  try {
    readings = decodeReadings(*bytes);
  } catch (const EArchiveError &e) {
    return std::string(e.what());
  }
  if (static_cast<std::int64_t>(readings.readings.size()) != sqlInt(count).value_or(-1))
    return "its number of readings is wrong";
  const TestResults again =
      judgeTest(readings, stored.assetAtTest, stored.particulars.windingTemperatureC);
  if (again.json != stored.results.json)
    return "stored results " + stored.results.json + " differ from its readings' " + again.json;
  if (again.verdict != stored.results.verdict)
    return "stored verdict '" + stored.results.verdict + "' differs from its readings' '" +
           again.verdict + "'";
  return std::nullopt;
}

}  // namespace

std::unique_ptr<Archive> Archive::open(const ArchiveLocation &location) {
  return std::make_unique<Archive>(connectArchiveEngine(location));
}

Archive::Archive(std::unique_ptr<ArchiveEngine> engine) : engine_(std::move(engine)) {
  try {
    version_ = prepareArchiveSchema(*engine_);
  } catch (const EArchiveError &e) {
    // The schema's own refusals name the archive they refuse.
    const std::string what = e.what();
    if (what.starts_with("archive '")) throw;
    throw EArchiveError("archive '" + engine_->where() + "': " + what);
  }
}

Archive::~Archive() = default;

ArchiveEngineKind Archive::engineKind() const {
  return engine_->kind();
}

int Archive::schemaVersion() const {
  return version_;
}

void Archive::cancel() noexcept {
  engine_->cancel();
}

void Archive::addAsset(const Asset &asset) {
  if (asset.tag.empty()) throw EArchiveError("an asset needs a tag");
  WriteTransaction transaction(*engine_);
  const auto rows = engine_->query(
      "INSERT INTO assets (tag, name, location, kind, rated_kv, insulation_class, winding, "
      "notes) VALUES ($1, $2, $3, $4, $5, $6, $7, $8) ON CONFLICT (tag) DO NOTHING RETURNING id",
      {asset.tag, asset.name, asset.location, std::string(assetKindName(asset.kind)),
       sqlOptional(asset.ratedKv), enumText(asset.insulationClass, archiveClassName),
       enumText(asset.winding, archiveWindingName), asset.notes});
  if (rows.empty()) throw EArchiveError("asset '" + asset.tag + "' is in the archive already");
  engine_->query(
      "INSERT INTO asset_changes (asset_id, changed_at, field, old_value, new_value) "
      "VALUES ($1, $2, 'created', '', $3)",
      {rows[0].at(0), utcNow(), asset.tag});
  transaction.commit();
}

void Archive::editAsset(const std::string &tag, const AssetChange &change) {
  WriteTransaction transaction(*engine_);
  const auto found = engine_->query(
      std::string("SELECT a.id, ") + kAssetColumns + " FROM assets a WHERE a.tag = $1", {tag});
  if (found.empty()) throw EArchiveError("no asset '" + tag + "' in the archive");
  const SqlValue id = found[0].at(0);
  const Asset old = assetOf(found[0], 1);
  Asset now = old;
  if (change.name) now.name = *change.name;
  if (change.location) now.location = *change.location;
  if (change.kind) now.kind = *change.kind;
  if (change.ratedKv) now.ratedKv = change.ratedKv;
  if (change.insulationClass) now.insulationClass = change.insulationClass;
  if (change.winding) now.winding = change.winding;
  if (change.notes) now.notes = *change.notes;
  if (now == old) {
    transaction.commit();
    return;
  }
  engine_->query(
      "UPDATE assets SET name = $2, location = $3, kind = $4, rated_kv = $5, "
      "insulation_class = $6, winding = $7, notes = $8 WHERE id = $1",
      {id, now.name, now.location, std::string(assetKindName(now.kind)), sqlOptional(now.ratedKv),
       enumText(now.insulationClass, archiveClassName), enumText(now.winding, archiveWindingName),
       now.notes});
  auto optionalName = [](auto value, auto name) {
    return value ? std::string(name(*value)) : std::string();
  };
  const std::pair<const char *, std::pair<std::string, std::string>> fields[] = {
      {"name", {old.name, now.name}},
      {"location", {old.location, now.location}},
      {"kind", {std::string(assetKindName(old.kind)), std::string(assetKindName(now.kind))}},
      {"rated_kv", {changeText(old.ratedKv), changeText(now.ratedKv)}},
      {"class",
       {optionalName(old.insulationClass, archiveClassName),
        optionalName(now.insulationClass, archiveClassName)}},
      {"winding",
       {optionalName(old.winding, archiveWindingName),
        optionalName(now.winding, archiveWindingName)}},
      {"notes", {old.notes, now.notes}},
  };
  const std::string when = utcNow();
  for (const auto &[field, values] : fields)
    if (values.first != values.second)
      engine_->query(
          "INSERT INTO asset_changes (asset_id, changed_at, field, old_value, new_value) "
          "VALUES ($1, $2, $3, $4, $5)",
          {id, when, std::string(field), values.first, values.second});
  transaction.commit();
}

std::optional<Asset> Archive::findAsset(const std::string &tag) {
  const auto rows = engine_->query(
      std::string("SELECT ") + kAssetColumns + " FROM assets a WHERE a.tag = $1", {tag});
  if (rows.empty()) return std::nullopt;
  return assetOf(rows[0], 0);
}

std::vector<AssetSummary> Archive::assets(const std::string &search) {
  // A LIKE pattern that matches the text itself: its own % _ and \ escaped.
  std::string pattern = "%";
  for (char c : search) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  pattern += '%';
  const std::string latest = std::string("FROM tests t WHERE t.asset_id = a.id AND ") +
                             kNotSuperseded + " ORDER BY t.test_date DESC, t.start_ms DESC LIMIT 1";
  const auto rows = engine_->query(
      std::string("SELECT ") + kAssetColumns +
          ", (SELECT count(*) FROM tests t WHERE t.asset_id = a.id AND " + kNotSuperseded +
          "), (SELECT t.test_date " + latest + "), (SELECT t.verdict " + latest +
          ") FROM assets a WHERE lower(a.tag) LIKE $1 ESCAPE '\\' OR lower(a.name) LIKE $1 "
          "ESCAPE '\\' OR lower(a.location) LIKE $1 ESCAPE '\\' ORDER BY a.tag",
      {pattern});
  std::vector<AssetSummary> out;
  out.reserve(rows.size());
  for (const SqlRow &r : rows)
    out.push_back(
        {assetOf(r, 0), sqlInt(r.at(8)).value_or(0), sqlText(r.at(9)), sqlText(r.at(10))});
  return out;
}

std::vector<AssetChangeRecord> Archive::assetChanges(const std::string &tag) {
  const auto rows = engine_->query(
      "SELECT c.changed_at, c.field, c.old_value, c.new_value FROM asset_changes c "
      "JOIN assets a ON a.id = c.asset_id WHERE a.tag = $1",
      {tag});
  std::vector<AssetChangeRecord> out;
  for (const SqlRow &r : rows)
    out.push_back({sqlText(r.at(0)).value_or(""), sqlText(r.at(1)).value_or(""),
                   sqlText(r.at(2)).value_or(""), sqlText(r.at(3)).value_or("")});
  return out;
}

StoreOutcome Archive::storeTest(const NewTest &test) {
  return storeTests({test}).at(0);
}

std::vector<StoreOutcome> Archive::storeTests(const std::vector<NewTest> &tests) {
  WriteTransaction transaction(*engine_);
  std::vector<StoreOutcome> outcomes;
  outcomes.reserve(tests.size());
  for (const NewTest &test : tests) outcomes.push_back(insertTest(test));
  transaction.commit();
  return outcomes;
}

StoreOutcome Archive::insertTest(const NewTest &test) {
  const TestParticularsRecord &p = test.particulars;
  if (!validDate(p.date)) throw EArchiveError("'" + p.date + "' is not a date (YYYY-MM-DD)");
  if (!isOneRun(test.readings))
    throw EArchiveError("the readings are not one insulation run; nothing is stored");
  const std::string blob = encodeReadings(test.readings);
  const std::string digest = readingsDigest(blob);

  const auto found = engine_->query(
      std::string("SELECT a.id, ") + kAssetColumns + " FROM assets a WHERE a.tag = $1",
      {test.assetTag});
  if (found.empty()) throw EArchiveError("no asset '" + test.assetTag + "' in the archive");
  const SqlValue assetId = found[0].at(0);
  const Asset asset = assetOf(found[0], 1);
  if (p.supersedes) {
    const auto old = engine_->query("SELECT asset_id FROM tests WHERE id = $1", {*p.supersedes});
    if (old.empty() || sqlInt(old[0].at(0)) != sqlInt(assetId))
      throw EArchiveError("test '" + *p.supersedes + "' is not a test of '" + test.assetTag + "'");
  }
  const TestResults r = judgeTest(test.readings, asset, p.windingTemperatureC);
  const std::string id = randomTestId();
  const auto inserted = engine_->query(
      "INSERT INTO tests (id, asset_id, test_date, start_ms, function, mode, operator, purpose, "
      "winding_c, ambient_c, humidity, remarks, supersedes, asset_name, asset_location, "
      "asset_kind, asset_rated_kv, asset_class, asset_winding, duration_ms, row_count, "
      "value_count, r15, r30, r60, r600, dar, pi, dar_band, pi_band, r60_40c, pi_applicable, "
      "verdict, results, readings_digest, stored_at) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
      "$9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, $22, $23, $24, $25, $26, "
      "$27, $28, $29, $30, $31, $32, $33, $34, $35, $36) "
      "ON CONFLICT (asset_id, test_date, start_ms, readings_digest) WHERE supersedes IS NULL "
      "DO NOTHING RETURNING id",
      {id,
       assetId,
       p.date,
       std::int64_t{test.readings.startMs},
       cp936ToUtf8(test.readings.function.value_or("")),
       cp936ToUtf8(test.readings.mode.value_or("")),
       sqlOptional(p.operatorName),
       enumText(p.purpose, testPurposeName),
       sqlOptional(p.windingTemperatureC),
       sqlOptional(p.ambientTemperatureC),
       sqlOptional(p.humidityPercent),
       p.remarks,
       sqlOptional(p.supersedes),
       asset.name,
       asset.location,
       std::string(assetKindName(asset.kind)),
       sqlOptional(asset.ratedKv),
       enumText(asset.insulationClass, archiveClassName),
       enumText(asset.winding, archiveWindingName),
       r.durationMs,
       r.rows,
       r.values,
       sqlOptional(r.r15),
       sqlOptional(r.r30),
       sqlOptional(r.r60),
       sqlOptional(r.r600),
       sqlOptional(r.dar),
       sqlOptional(r.pi),
       sqlOptional(r.darBand),
       sqlOptional(r.piBand),
       sqlOptional(r.r60At40C),
       r.piApplicable ? SqlValue(std::int64_t{*r.piApplicable}) : SqlValue(),
       r.verdict,
       r.json,
       digest,
       utcNow()});
  if (inserted.empty()) {
    const auto existing = engine_->query(
        "SELECT id FROM tests WHERE asset_id = $1 AND test_date = $2 AND start_ms = $3 AND "
        "readings_digest = $4 AND supersedes IS NULL",
        {assetId, p.date, std::int64_t{test.readings.startMs}, digest});
    return {sqlText(existing.at(0).at(0)).value_or(""), true};
  }
  engine_->query("INSERT INTO test_readings (test_id, reading_count, readings) VALUES ($1, $2, $3)",
                 {id, static_cast<std::int64_t>(test.readings.readings.size()), SqlBlob{blob}});
  return {id, false};
}

std::vector<TestSummary> Archive::history(const std::string &tag) {
  return listTests(tag, false);
}

std::vector<TestSummary> Archive::allTests(const std::string &tag) {
  return listTests(tag, true);
}

std::vector<TestSummary> Archive::listTests(const std::string &tag, bool withSuperseded) {
  const auto rows =
      engine_->query(std::string("SELECT ") + kSummaryColumns + kSummaryFrom +
                         " WHERE a.tag = $1 AND " + (withSuperseded ? "1 = 1" : kNotSuperseded) +
                         " ORDER BY t.test_date, t.start_ms, t.stored_at, t.id",
                     {tag});
  std::vector<TestSummary> out;
  out.reserve(rows.size());
  for (const SqlRow &r : rows) out.push_back(summaryOf(r));
  // "Halved": against the latest earlier test of the same function that has R(1 min) at 40 °C.
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto &now = out[i].results.r60At40C;
    if (!now) continue;
    for (std::size_t j = i; j-- > 0;) {
      const auto &before = out[j].results.r60At40C;
      if (out[j].function != out[i].function || !before) continue;
      out[i].halved = *now <= *before / 2;
      break;
    }
  }
  return out;
}

std::vector<TrendPoint> Archive::trend(const std::string &tag) {
  const auto rows = engine_->query(
      std::string("SELECT t.id, t.test_date, t.start_ms, t.function, t.r60_40c, t.pi, t.verdict "
                  "FROM tests t JOIN assets a ON a.id = t.asset_id WHERE a.tag = $1 AND ") +
          kNotSuperseded + " ORDER BY t.test_date, t.start_ms, t.stored_at, t.id",
      {tag});
  std::vector<TrendPoint> out;
  out.reserve(rows.size());
  for (const SqlRow &r : rows)
    out.push_back({sqlText(r.at(0)).value_or(""), sqlText(r.at(1)).value_or(""),
                   static_cast<std::int32_t>(sqlInt(r.at(2)).value_or(0)),
                   sqlText(r.at(3)).value_or(""), sqlReal(r.at(4)), sqlReal(r.at(5)),
                   sqlText(r.at(6)).value_or("")});
  return out;
}

std::optional<TestSummary> Archive::findTest(const std::string &id) {
  const auto rows = engine_->query(
      std::string("SELECT ") + kSummaryColumns + kSummaryFrom + " WHERE t.id = $1", {id});
  if (rows.empty()) return std::nullopt;
  return summaryOf(rows[0]);
}

std::optional<TestReadings> Archive::testReadings(const std::string &id) {
  const auto rows = engine_->query("SELECT readings FROM test_readings WHERE test_id = $1", {id});
  if (rows.empty()) return std::nullopt;
  return decodeReadings(sqlText(rows[0].at(0)).value_or(""));
}

CheckReport Archive::check() {
  CheckReport report;
  engine_->checkIntegrity(report);
  // In batches, so that a large archive is never held in memory at once.
  constexpr std::int64_t kBatch = 500;
  std::string after;
  for (;;) {
    const auto rows = engine_->query(
        std::string("SELECT ") + kSummaryColumns +
            ", r.readings, t.readings_digest, r.reading_count" + kSummaryFrom +
            " LEFT JOIN test_readings r ON r.test_id = t.id WHERE t.id > $1 ORDER BY t.id "
            "LIMIT $2",
        {after, kBatch});
    for (const SqlRow &row : rows) {
      ++report.testsChecked;
      const TestSummary stored = summaryOf(row);
      if (auto problem = testProblem(stored, row.at(35), row.at(36), row.at(37)))
        report.problems.push_back("test " + stored.id + " of " + stored.assetTag + ": " + *problem);
    }
    if (rows.size() < static_cast<std::size_t>(kBatch)) break;
    after = sqlText(rows.back().at(0)).value_or("");
  }
  return report;
}

}  // namespace vexal
