#pragma once
// One insulation run as the JSON object of vexal-replay --analysis (contract version 2), for
// every tool that hands results on: the same keys, in the same order, with the same numbers.

#include <optional>
#include <string>
#include <unordered_map>

#include "analysis/InsulationRuns.h"

namespace vexal {

// The version of the keys' meanings; keys may be added within a version.
inline constexpr int kAnalysisContractVersion = 2;

// Function and mode texts converted from code page 936 to UTF-8, each text once: they repeat
// from run to run.
class Utf8Texts {
 public:
  const std::string &operator()(const std::optional<std::string> &cp936);

 private:
  std::unordered_map<std::string, std::string> done_;
};

// `run` as a JSON object on one line (no line break at the end). `temperatureC` is the winding
// temperature (-50 to 200 °C; outside, as if none) for r60_40c and pi_applicable; both are
// null without it.
std::string analysisJson(const InsulationRun &run, std::optional<double> temperatureC);
std::string analysisJson(const InsulationRun &run, std::optional<double> temperatureC,
                         Utf8Texts &utf8);

}  // namespace vexal
