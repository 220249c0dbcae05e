#include "ReplayAnalysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "ReplayFiles.h"
#include "analysis/InsulationAssessment.h"
#include "common/Cp936.h"
#include "common/JsonText.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

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

// Functions and modes repeat from run to run: each text is converted once.
class Utf8Texts {
 public:
  const std::string &operator()(const std::optional<std::string> &cp936) {
    static const std::string none;
    if (!cp936) return none;
    auto it = done_.find(*cp936);
    if (it == done_.end()) it = done_.emplace(*cp936, cp936ToUtf8(*cp936)).first;
    return it->second;
  }

 private:
  std::unordered_map<std::string, std::string> done_;
};

std::string runJson(const InsulationRun &run, std::optional<double> temperatureC, Utf8Texts &utf8) {
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

}  // namespace

std::optional<std::int64_t> parseRunGap(std::string_view text) {
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kDaySeconds = kMsPerDay / 1000;
  std::int64_t seconds = 0;
  for (char c : text) {
    if (!isDigit(c)) return std::nullopt;
    seconds = std::min(seconds * 10 + (c - '0'), kDaySeconds);
  }
  return seconds * 1000;
}

std::optional<double> parseTemperature(std::string_view text) {
  std::size_t i = text.starts_with('-') ? 1 : 0;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    if (isDigit(text[i]))
      digits = true;
    else if (text[i] == '.' && !point)
      point = true;
    else
      return std::nullopt;
  }
  if (!digits) return std::nullopt;
  double value = 0;
  // from_chars takes neither a leading "+" nor blanks, and ".5" and "5." as strtod does.
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string runJson(const InsulationRun &run, std::optional<double> temperatureC) {
  Utf8Texts utf8;
  return runJson(run, temperatureC, utf8);
}

bool writeAnalysis(const ReadingTable &table, std::int64_t runGapMs,
                   std::optional<double> temperatureC) {
  const std::vector<InsulationRun> runs = findInsulationRuns(table, runGapMs);
  return writeToStdout([&](ByteSink &sink) {
    Utf8Texts utf8;
    for (const InsulationRun &run : runs) {
      std::string line = runJson(run, temperatureC, utf8);
      line += '\n';
      sink.write(line);
    }
  });
}

}  // namespace vexal
