#include "ReplayAnalysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "ReplayFiles.h"
#include "analysis/AnalysisJson.h"
#include "analysis/InsulationAssessment.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
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
  // Outside this range a resistance cannot be corrected with any meaning.
  if (value < kLowestTemperatureC || value > kHighestTemperatureC) return std::nullopt;
  return value;
}

bool writeAnalysis(const ReadingTable &table, std::int64_t runGapMs,
                   std::optional<double> temperatureC) {
  const std::vector<InsulationRun> runs = findInsulationRuns(table, runGapMs);
  return writeToStdout([&](ByteSink &sink) {
    Utf8Texts utf8;
    for (const InsulationRun &run : runs) {
      std::string line = analysisJson(run, temperatureC, utf8);
      line += '\n';
      sink.write(line);
    }
  });
}

}  // namespace vexal
