#include "analysis/AnalysisJson.h"

#include <charconv>
#include <cmath>

#include "analysis/InsulationAssessment.h"
#include "common/JsonText.h"
#include "common/TextEncoding.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

void appendKey(std::string &out, std::string_view key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

// Ohms as the shortest decimal that reads back as the same double.
void appendNumber(std::string &out, std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    out += "null";
    return;
  }
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *value);
  out.append(buf, ec == std::errc() ? end : buf);
}

// Ratios with six decimals, in any locale.
void appendRatio(std::string &out, std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    out += "null";
    return;
  }
  char buf[400];  // room for the widest fixed form of a double
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *value, std::chars_format::fixed, 6);
  out.append(buf, ec == std::errc() ? end : buf);
}

void appendBand(std::string &out, std::optional<ConditionBand> band) {
  if (band)
    appendJsonString(out, bandName(*band));
  else
    out += "null";
}

// Milliseconds as seconds with three decimals, exactly.
void appendSeconds(std::string &out, std::int64_t ms) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, ms / 1000);
  out.append(buf, end);
  const auto frac = static_cast<int>(ms % 1000);
  out += '.';
  out += static_cast<char>('0' + frac / 100);
  out += static_cast<char>('0' + frac / 10 % 10);
  out += static_cast<char>('0' + frac % 10);
}

}  // namespace

const std::string &Utf8Texts::operator()(const std::optional<std::string> &cp936) {
  static const std::string none;
  if (!cp936) return none;
  auto it = done_.find(*cp936);
  if (it == done_.end()) it = done_.emplace(*cp936, cp936ToUtf8(*cp936)).first;
  return it->second;
}

std::string analysisJson(const InsulationRun &run, std::optional<double> temperatureC,
                         Utf8Texts &utf8) {
  // A temperature outside its range corrects nothing: as if none were given.
  if (temperatureC &&
      !(*temperatureC >= kLowestTemperatureC && *temperatureC <= kHighestTemperatureC))
    temperatureC.reset();
  std::string out = "{";
  appendKey(out, "run");
  out += std::to_string(run.number);
  appendKey(out, "first_row");
  out += std::to_string(run.firstRow + 1);
  appendKey(out, "last_row");
  out += std::to_string(run.lastRow + 1);
  appendKey(out, "function");
  appendJsonString(out, utf8(run.function));
  appendKey(out, "mode");
  appendJsonString(out, utf8(run.mode));
  appendKey(out, "start");
  appendJsonString(out, formatTimeWithMilliseconds(run.startMs));
  appendKey(out, "duration_s");
  appendSeconds(out, run.durationMs);
  appendKey(out, "rows");
  out += std::to_string(run.rows);
  appendKey(out, "values");
  out += std::to_string(run.values);
  for (const int seconds : kRunMarkSeconds) {
    std::string key(1, 'r');
    key += std::to_string(seconds);
    appendKey(out, key);
    appendNumber(out, run.resistanceAt(seconds));
  }
  appendKey(out, "dar");
  appendRatio(out, run.dar);
  appendKey(out, "pi");
  appendRatio(out, run.pi);
  appendKey(out, "dar_band");
  appendBand(out, run.darBand);
  appendKey(out, "pi_band");
  appendBand(out, run.piBand);
  appendKey(out, "r60_40c");
  appendNumber(out, run.r60 && temperatureC
                        ? std::optional<double>(correctedTo40C(*run.r60, *temperatureC))
                        : std::nullopt);
  appendKey(out, "pi_applicable");
  const auto applicable = piApplicable(run.r60, temperatureC);
  out += !applicable ? "null" : *applicable ? "true" : "false";
  out += '}';
  return out;
}

std::string analysisJson(const InsulationRun &run, std::optional<double> temperatureC) {
  Utf8Texts utf8;
  return analysisJson(run, temperatureC, utf8);
}

}  // namespace vexal
