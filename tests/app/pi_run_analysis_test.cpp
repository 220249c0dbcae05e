// A ten-minute polarisation-index test as the virtual meter shows it, one frame a second,
// analysed through the meter session and through vexal-replay --analysis: the DAR and the PI
// must match the ratios of the values the meter showed at 30 s, 1 min and 10 min.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "CableReports.h"
#include "MeterFrame.h"
#include "Scenario.h"
#include "analysis/InsulationRuns.h"
#include "app/MeterSession.h"
#include "support/FixedClock.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

constexpr int kFramesPerStep = 30;  // the scenario's steps are 30 s apart
const std::string kGOhm = "G\xA6\xB8";

// The frames of the scenario, one a second.
std::vector<sim::FrameBytes> piFrames() {
  const auto scenario = sim::builtinScenario("pi", kFramesPerStep);
  std::vector<sim::FrameBytes> frames;
  if (!scenario) return frames;
  for (const sim::ScenarioStep &step : *scenario)
    for (int i = 0; i < step.repeats; ++i) frames.push_back(step.frame);
  return frames;
}

// The reports the cable delivers for one frame: seven serial bytes at most in each, then one
// without data that closes the transmission.
std::vector<sim::Report> reportsOf(const sim::FrameBytes &frame) {
  std::vector<sim::Report> reports;
  for (std::size_t at = 0; at < frame.size(); at += sim::kMaxSerialBytesPerReport)
    reports.push_back(sim::dataReport(frame.data() + at,
                                      std::min(sim::kMaxSerialBytesPerReport, frame.size() - at)));
  reports.push_back(sim::idleReport());
  return reports;
}

// What the meter showed at t seconds, from the scenario's own description of its steps
// ("30 s: 1.534"), as the text of the number.
std::map<int, std::string> shownValues() {
  std::map<int, std::string> shown;
  const auto scenario = sim::builtinScenario("pi", kFramesPerStep);
  if (!scenario) return shown;
  for (const sim::ScenarioStep &step : *scenario) {
    const auto colon = step.what.find(" s: ");
    if (colon == std::string::npos) continue;
    shown[std::stoi(step.what.substr(0, colon))] = step.what.substr(colon + 4);
  }
  return shown;
}

// The ratios of what was shown at 30 s, 1 min and 10 min (all in GΩ, as checked below).
struct ShownRatios {
  double dar, pi;
};
ShownRatios shownRatios() {
  auto shown = shownValues();
  const double at30 = std::stod(shown[30]), at60 = std::stod(shown[60]),
               at600 = std::stod(shown[600]);
  return {at60 / at30, at600 / at60};
}

TEST(PiRunAnalysisTest, TheScenarioShowsGigaohmsAtTheMarks) {
  auto shown = shownValues();
  ASSERT_EQ(shown.count(30) + shown.count(60) + shown.count(600), 3u);
  // Four digits with the point where GΩ readings of this size put it.
  for (int t : {30, 60, 600}) EXPECT_EQ(shown[t].size(), 5u) << shown[t];
  EXPECT_EQ(piFrames().size(), 22u * kFramesPerStep);
}

TEST(PiRunAnalysisTest, ThroughTheSession) {
  // The test starts two minutes before midnight, so the run crosses it.
  FixedClock clock;
  MeterSession session(clock);
  session.decoder.setDecimalSeparator(".");
  const std::int32_t start = 86'400'000 - 120'000;
  const auto frames = piFrames();
  for (std::size_t k = 0; k < frames.size(); ++k) {
    clock.now = static_cast<std::int32_t>((start + 1000LL * k) % 86'400'000);
    for (const sim::Report &report : reportsOf(frames[k]))
      session.ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
  }
  ASSERT_EQ(session.cds1.rowCount(), frames.size());

  // The table shows what the meter showed, in GΩ.
  auto shown = shownValues();
  for (int t : {30, 60, 600}) {
    EXPECT_EQ(session.cds1.text(t, Field::Value), shown[t]) << t;
    EXPECT_EQ(session.cds1.text(t, Field::Unit), kGOhm) << t;
  }

  // The PI result the meter shows at the end (with COMP and GOOD, the PI in the last unit
  // shown) is no run: there is one run.
  ASSERT_EQ(session.cds1.text(21 * kFramesPerStep, Field::IRange), "COMP:GOOD");
  const auto runs = findInsulationRuns(session.cds1);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].firstRow, 0u);
  EXPECT_EQ(runs[0].lastRow, 21u * kFramesPerStep - 1);
  EXPECT_EQ(runs[0].mode, "PI");
  EXPECT_EQ(runs[0].durationMs, (21 * kFramesPerStep - 1) * 1000);
  ASSERT_TRUE(runs[0].dar && runs[0].pi);
  const ShownRatios expected = shownRatios();
  EXPECT_NEAR(*runs[0].dar, expected.dar, 0.01);
  EXPECT_NEAR(*runs[0].pi, expected.pi, 0.01);
  EXPECT_EQ(runs[0].piBand, ConditionBand::Good);  // about 3.3
}

TEST(PiRunAnalysisTest, ThroughTheReplayTool) {
  const fs::path dir = fs::temp_directory_path() / ("vexal-pi-run-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path capture = dir / "pi.cap";
  {
    std::ofstream out(capture, std::ios::binary);
    out << "# the virtual meter's PI test, one frame a second\n";
    // The replay lets 500 ms pass after each decoded frame; the wait makes up the second.
    for (const sim::FrameBytes &frame : piFrames()) {
      for (const sim::Report &report : reportsOf(frame)) out << sim::reportText(0, report) << "\n";
      out << "W 500\n";
    }
  }
  const std::string cmd = "LC_ALL=C " + std::string(VEXAL_BIN_DIR) +
                          "/vexal-replay --analysis --temperature 20 " + capture.string();
  std::string output;
  FILE *p = popen(cmd.c_str(), "r");
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
  const int status = pclose(p);
  fs::remove_all(dir);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  // The PI run alone: the PI result screen after it is no run.
  ASSERT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  output.resize(output.find('\n'));
  EXPECT_NE(output.find("\"first_row\":1,\"last_row\":630,"), std::string::npos) << output;
  EXPECT_NE(output.find("\"start\":\"00:00:00.000\",\"duration_s\":629.000,"), std::string::npos)
      << output;
  auto number = [&](const std::string &key) {
    const auto at = output.find("\"" + key + "\":");
    EXPECT_NE(at, std::string::npos) << key;
    return at == std::string::npos ? 0.0 : std::stod(output.substr(at + key.size() + 3));
  };
  const ShownRatios expected = shownRatios();
  EXPECT_NEAR(number("dar"), expected.dar, 0.01);
  EXPECT_NEAR(number("pi"), expected.pi, 0.01);
  auto shown = shownValues();
  EXPECT_NEAR(number("r60"), std::stod(shown[60]) * 1e9, 1.0);
  // At 20 °C, R(1 min) at 40 °C is a quarter of it.
  EXPECT_NEAR(number("r60_40c"), std::stod(shown[60]) * 1e9 / 4, 1.0);
  EXPECT_NE(output.find("\"pi_band\":\"good\""), std::string::npos) << output;
}

}  // namespace
}  // namespace vexal
