#include "ArchiveOutput.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "common/Cp936.h"
#include "common/JsonText.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

// A field: its JSON text (null, a number, a quoted text or a word) and its text for the
// separated formats (empty for null).
struct Field {
  std::string key, json, plain;
};

std::string number(double v) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, ec == std::errc() ? end : buf);
}

Field num(std::string key, std::optional<double> v) {
  if (!v || !std::isfinite(*v)) return {std::move(key), "null", ""};
  const std::string text = number(*v);
  return {std::move(key), text, text};
}

Field count(std::string key, std::int64_t n) {
  return {std::move(key), std::to_string(n), std::to_string(n)};
}

Field text(std::string key, const std::optional<std::string> &v) {
  if (!v) return {std::move(key), "null", ""};
  return {std::move(key), jsonString(*v), *v};
}

Field flag(std::string key, std::optional<bool> v) {
  if (!v) return {std::move(key), "null", ""};
  const char *word = *v ? "true" : "false";
  return {std::move(key), word, word};
}

template <class E>
std::optional<std::string> nameOr(const std::optional<E> &v, std::string_view (*name)(E)) {
  return v ? std::optional<std::string>(std::string(name(*v))) : std::nullopt;
}

std::string csvField(const std::string &v) {
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string out = "\"";
  for (char c : v) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// A tab would split a field: it and line breaks become spaces.
std::string tsvField(std::string v) {
  for (char &c : v)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return v;
}

std::string jsonObject(const std::vector<Field> &fields, std::string_view inner = {}) {
  std::string out = "{";
  for (const Field &f : fields) {
    if (out.size() > 1) out += ',';
    appendJsonString(out, f.key);
    out += ':';
    out += f.json;
  }
  if (!inner.empty()) {
    if (out.size() > 1) out += ',';
    out += inner;
  }
  return out + "}";
}

std::string line(const std::vector<Field> &fields, OutputFormat format) {
  std::string out;
  for (const Field &f : fields) {
    if (!out.empty()) out += format == OutputFormat::Csv ? ',' : '\t';
    out += format == OutputFormat::Csv ? csvField(f.plain) : tsvField(f.plain);
  }
  return out + "\n";
}

std::string header(const std::vector<Field> &fields, OutputFormat format) {
  std::vector<Field> titles;
  for (const Field &f : fields) titles.push_back({f.key, "", f.key});
  return line(titles, format);
}

std::vector<Field> assetFields(const AssetSummary &s) {
  const Asset &a = s.asset;
  return {text("tag", a.tag),
          text("name", a.name),
          text("location", a.location),
          text("kind", std::string(assetKindName(a.kind))),
          num("rated_kv", a.ratedKv),
          text("class", nameOr(a.insulationClass, archiveClassName)),
          text("winding", nameOr(a.winding, archiveWindingName)),
          count("tests", s.tests),
          text("last_date", s.lastDate),
          text("last_verdict", s.lastVerdict)};
}

// The history's own fields; the results' fields come from the stored results.
std::vector<Field> testFields(const TestSummary &t) {
  return {text("test", t.id),
          text("asset", t.assetTag),
          text("date", t.particulars.date),
          num("temperature", t.particulars.windingTemperatureC),
          text("operator", t.particulars.operatorName),
          text("verdict", t.results.verdict),
          flag("halved", t.halved)};
}

// The results as separate fields, for the separated formats.
std::vector<Field> resultFields(const TestSummary &t) {
  const TestResults &r = t.results;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%lld.%03lld", static_cast<long long>(r.durationMs / 1000),
                static_cast<long long>(r.durationMs % 1000));
  return {text("function", t.function),
          text("mode", t.mode),
          text("start", formatTimeWithMilliseconds(t.startMs)),
          {"duration_s", seconds, seconds},
          count("rows", r.rows),
          count("values", r.values),
          num("r15", r.r15),
          num("r30", r.r30),
          num("r60", r.r60),
          num("r600", r.r600),
          num("dar", r.dar),
          num("pi", r.pi),
          text("dar_band", r.darBand),
          text("pi_band", r.piBand),
          num("r60_40c", r.r60At40C),
          flag("pi_applicable", r.piApplicable)};
}

// The inside of the stored results object, to be joined with other keys.
std::string_view resultsInner(const std::string &json) {
  std::string_view inner = json;
  if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}')
    inner = inner.substr(1, inner.size() - 2);
  return inner;
}

}  // namespace

std::string assetsHeader(OutputFormat format) {
  return format == OutputFormat::Jsonl ? std::string() : header(assetFields({}), format);
}

std::string assetLine(const AssetSummary &asset, OutputFormat format) {
  return format == OutputFormat::Jsonl ? jsonObject(assetFields(asset)) + "\n"
                                       : line(assetFields(asset), format);
}

std::string historyHeader(OutputFormat format) {
  if (format == OutputFormat::Jsonl) return {};
  std::vector<Field> fields = testFields({});
  auto results = resultFields({});
  fields.insert(fields.begin() + 3, results.begin(), results.end());
  return header(fields, format);
}

std::string historyLine(const TestSummary &test, OutputFormat format) {
  if (format == OutputFormat::Jsonl)
    return jsonObject(testFields(test), resultsInner(test.results.json)) + "\n";
  std::vector<Field> fields = testFields(test);
  auto results = resultFields(test);
  fields.insert(fields.begin() + 3, results.begin(), results.end());
  return line(fields, format);
}

std::string exportLine(const TestSummary &test, const TestReadings &readings) {
  const TestParticularsRecord &p = test.particulars;
  const Asset &a = test.assetAtTest;
  std::vector<Field> fields = testFields(test);
  const std::vector<Field> more = {
      text("purpose", nameOr(p.purpose, testPurposeName)),
      num("ambient_temperature", p.ambientTemperatureC),
      num("humidity", p.humidityPercent),
      text("remarks", p.remarks),
      text("supersedes", p.supersedes),
      text("stored_at", test.storedAt),
      {"asset_at_test",
       jsonObject({text("name", a.name), text("location", a.location),
                   text("kind", std::string(assetKindName(a.kind))), num("rated_kv", a.ratedKv),
                   text("class", nameOr(a.insulationClass, archiveClassName)),
                   text("winding", nameOr(a.winding, archiveWindingName))}),
       ""}};
  fields.insert(fields.end(), more.begin(), more.end());
  std::string list = "[";
  for (const StoredReading &r : readings.readings) {
    if (list.size() > 1) list += ',';
    list +=
        jsonObject({count("elapsed_ms", r.elapsedMs),
                    text("value", r.value ? std::optional(cp936ToUtf8(*r.value)) : std::nullopt),
                    text("unit", r.unit ? std::optional(cp936ToUtf8(*r.unit)) : std::nullopt)});
  }
  fields.push_back({"readings", list + "]", ""});
  return jsonObject(fields, resultsInner(test.results.json)) + "\n";
}

}  // namespace vexal
