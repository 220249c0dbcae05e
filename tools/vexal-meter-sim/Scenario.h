#pragma once
// Built-in meter scenarios: what the meter shows over time, as a list of frames.

#include <optional>
#include <string>
#include <vector>

#include "MeterFrame.h"

namespace vexal::sim {

struct ScenarioStep {
  FrameBytes frame{};
  int repeats = 1;   // consecutive transmissions of this frame
  std::string what;  // a short description for the log and the README
};

using Scenario = std::vector<ScenarioStep>;

// "steady": 12.34 GΩ at 1000 V, over and over.
// "pi": a polarisation-index test at 2500 V: the timer runs to 10:00 in 30-second steps while
//       the resistance rises from 620 MΩ (units change to GΩ at 1 GΩ), then the PI result
//       about 3.3 with the COMP sign and GOOD.
// "acv": an AC voltage reading around 230 V.
// `repeats` frames are sent for each step (at least 1).
std::optional<Scenario> builtinScenario(const std::string &name, int repeats = 2);
std::vector<std::string> scenarioNames();

// The display text of a resistance in ohms with four digits: "620.0" MΩ, "1.204" GΩ ...
// and the matching unit. Values beyond 9999 GΩ are shown as 9999 GΩ.
std::pair<std::string, Unit> resistanceText(double ohms);

// Bar-graph segments lit for a resistance: the scale has Bar0 at zero, BAR1 at 100 kΩ and
// one decade every four segments up to 1 TΩ at bar29.
int barsForResistance(double ohms);

}  // namespace vexal::sim
