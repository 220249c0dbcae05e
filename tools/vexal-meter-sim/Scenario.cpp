#include "Scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vexal::sim {
namespace {

std::string fixed(double value, int decimals) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

// Four significant digits, with the point placed as the meter places it.
std::string fourDigits(double value) {
  if (value < 10) return fixed(value, 3);
  if (value < 100) return fixed(value, 2);
  if (value < 1000) return fixed(value, 1);
  return fixed(value, 0);
}

MeterDisplay baseDisplay() {
  MeterDisplay d;
  d.battery = 3;
  return d;
}

void setTimer(MeterDisplay &d, int seconds) {
  const int minutes = seconds / 60, secs = seconds % 60;
  d.timer = {Digit{char('0' + minutes / 10), false}, Digit{char('0' + minutes % 10), true},
             Digit{char('0' + secs / 10), false}, Digit{char('0' + secs % 10), false}};
}

Scenario steady(int repeats) {
  MeterDisplay d = baseDisplay();
  setMainValue(d, "12.34");
  d.unit = Unit::GigaOhm;
  setTestVoltage(d, 1000);
  d.bars = 13;
  return {{encodeFrame(d), repeats, "12.34 GΩ at 1000 V"}};
}

// Resistance of the test object during a PI test: absorption makes it rise towards a final
// value.
double piResistance(int seconds) {
  const double start = 0.62e9, final = 8.4e9, tau = 240.0;
  return final - (final - start) * std::exp(-seconds / tau);
}

Scenario polarisationIndex(int repeats) {
  Scenario steps;
  for (int t = 0; t <= 600; t += 30) {
    MeterDisplay d = baseDisplay();
    const double ohms = piResistance(t);
    auto [text, unit] = resistanceText(ohms);
    setMainValue(d, text);
    d.unit = unit;
    d.bars = barsForResistance(ohms);
    setTestVoltage(d, 2500);
    d.voltage[0].point = true;  // high-voltage warning while the test runs
    d.timerSymbol = true;
    d.pi = true;
    setTimer(d, t);
    steps.push_back({encodeFrame(d), repeats, fixed(t, 0) + " s: " + text});
  }
  // The result: PI = R(10 min) / R(1 min), judged by the comparator.
  MeterDisplay d = baseDisplay();
  const double index = piResistance(600) / piResistance(60);
  setMainValue(d, fixed(index, 2));
  setTestVoltage(d, 2500);
  d.voltage[2].point = true;  // GOOD
  d.pi = true;
  setTimer(d, 600);
  d.timer[2].point = true;  // COMP
  steps.push_back({encodeFrame(d), repeats, "PI " + fixed(index, 2) + " COMP GOOD"});
  return steps;
}

Scenario acVoltage(int repeats) {
  Scenario steps;
  for (const char *v : {"229.8", "230.1", "230.4", "230.2", "229.9"}) {
    MeterDisplay d = baseDisplay();
    setMainValue(d, v);
    d.unit = Unit::Volt;
    d.ac = true;
    steps.push_back({encodeFrame(d), repeats, std::string(v) + " V AC"});
  }
  return steps;
}

}  // namespace

std::pair<std::string, Unit> resistanceText(double ohms) {
  if (ohms < 1e9) return {fourDigits(std::max(ohms, 0.0) / 1e6), Unit::MegaOhm};
  return {fourDigits(std::min(ohms / 1e9, 9999.0)), Unit::GigaOhm};
}

int barsForResistance(double ohms) {
  if (ohms <= 0) return 1;
  if (ohms < 1e5) return 2;
  const int k = 1 + static_cast<int>(std::floor(4 * std::log10(ohms / 1e5)));
  return std::clamp(k + 1, 2, 30);  // Bar0 .. segment k
}

std::optional<Scenario> builtinScenario(const std::string &name, int repeats) {
  repeats = std::max(repeats, 1);
  if (name == "steady") return steady(repeats);
  if (name == "pi") return polarisationIndex(repeats);
  if (name == "acv") return acVoltage(repeats);
  return std::nullopt;
}

std::vector<std::string> scenarioNames() {
  return {"steady", "pi", "acv"};
}

}  // namespace vexal::sim
