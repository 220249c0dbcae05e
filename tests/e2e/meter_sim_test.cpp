// Host-side tests of the virtual meter's logic: frame encoding, pacing, captures, options.
// They need no /dev/uhid.

#include <gtest/gtest.h>

#include <sstream>

#include "CableReports.h"
#include "CaptureFile.h"
#include "MeterFrame.h"
#include "Options.h"
#include "ReportSource.h"
#include "Scenario.h"
#include "support/MeterFrames.h"

namespace vexal::sim {
namespace {

// Nibble of frame character c (1..40), read back from the bytes.
int nibble(const FrameBytes &f, int c) {
  const std::uint8_t b = f[(c - 1) / 2];
  return c % 2 ? b >> 4 : b & 0x0F;
}
bool bit(const FrameBytes &f, int c, int b) {
  return (nibble(f, c) >> b) & 1;
}
// A digit's two-character key, taken from the characters the decoder reads.
int key(const FrameBytes &f, int first, int second) {
  return nibble(f, first) << 4 | nibble(f, second);
}

const std::string kWorkedExample = kWorkedExampleFrame;

TEST(MeterFrame, BuildsTheWorkedExampleFrame) {
  MeterDisplay d;
  setMainValue(d, "12.34");
  d.unit = Unit::GigaOhm;
  setTestVoltage(d, 1000);
  d.bars = 13;
  d.battery = 3;
  EXPECT_EQ(hexText(encodeFrame(d)), kWorkedExample);
  EXPECT_EQ(hexText(builtinScenario("steady")->front().frame), kWorkedExample);
}

TEST(MeterFrame, DigitsUseTheirTablesAndPositions) {
  // Main table keys for 0..9 and L, without and with point.
  const int mainKeys[] = {0x7D, 0x60, 0x3E, 0x7A, 0x63, 0x5B, 0x5F, 0x70, 0x7F, 0x7B, 0x0D};
  const int voltKeys[] = {0xD7, 0x50, 0xE3, 0xF1, 0x74, 0xB5, 0xB7, 0xD0, 0xF7, 0xF5, 0x07};
  const int voltPointKeys[] = {0xDF, 0x58, 0xEB, 0xF9, 0xF8, 0xBD, 0xBF, 0xD8, 0xFF, 0xFD, 0x0F};
  const char glyphs[] = "0123456789L";
  for (int g = 0; g < 11; ++g) {
    for (bool point : {false, true}) {
      MeterDisplay d;
      d.main[1] = {glyphs[g], point};
      d.voltage[2] = {glyphs[g], point};
      d.timer[3] = {glyphs[g], point};
      d.memory = {glyphs[g], point};
      const FrameBytes f = encodeFrame(d);
      const int mainKey = mainKeys[g] | (point ? 0x80 : 0);
      EXPECT_EQ(key(f, 24, 23), mainKey) << glyphs[g];                                 // LabelB
      EXPECT_EQ(key(f, 9, 10), mainKey) << glyphs[g];                                  // M_Time2
      EXPECT_EQ(key(f, 17, 18), mainKey) << glyphs[g];                                 // stor2
      EXPECT_EQ(key(f, 35, 34), point ? voltPointKeys[g] : voltKeys[g]) << glyphs[g];  // Label10
      EXPECT_EQ(key(f, 22, 21), 0);  // untouched digits stay blank
      EXPECT_EQ(key(f, 31, 30), 0);
    }
  }
}

TEST(MeterFrame, BlankDashAndInvalidDigits) {
  MeterDisplay d;
  d.main = {Digit{'-'}, Digit{'-'}, Digit{'-'}, Digit{'-'}};
  FrameBytes f = encodeFrame(d);
  for (int p = 0; p < 4; ++p) EXPECT_EQ(key(f, 22 + 2 * p, 21 + 2 * p), 0x02);
  d.voltage[0] = Digit{'-'};
  EXPECT_THROW(encodeFrame(d), std::invalid_argument);
  d.voltage[0] = Digit{'X'};
  EXPECT_THROW(encodeFrame(d), std::invalid_argument);
  MeterDisplay tooLong;
  EXPECT_THROW(setMainValue(tooLong, "12345"), std::invalid_argument);
  EXPECT_THROW(setTestVoltage(tooLong, 750), std::invalid_argument);
}

TEST(MeterFrame, BarGraphLightsSegmentsFromTheZeroEnd) {
  auto litCount = [](const FrameBytes &f) {
    int n = 0;
    for (int c = 1; c <= 7; ++c)
      for (int b = 0; b < 4; ++b) n += bit(f, c, b);
    for (int b = 1; b < 4; ++b) n += bit(f, 39, b);
    return n;
  };
  for (int bars = 0; bars <= 31; ++bars) {
    MeterDisplay d;
    d.bars = bars;
    EXPECT_EQ(litCount(encodeFrame(d)), bars);
  }
  MeterDisplay d;
  d.bars = 3;  // Bar0, BAR1, bar2: byte 20 = E0, not IMoff
  EXPECT_EQ(encodeFrame(d)[19], 0xE0);
  d.bars = 7;  // ... up to bar6: byte 1 = F0
  EXPECT_EQ(encodeFrame(d)[0], 0xF0);
  d.bars = 31;  // bar27..bar30 in the high nibble of byte 4
  EXPECT_EQ(encodeFrame(d)[3] & 0xF0, 0xF0);
  d.bars = 32;
  EXPECT_THROW(encodeFrame(d), std::invalid_argument);
}

TEST(MeterFrame, SignBits) {
  MeterDisplay d;
  d.dc = d.minus = true;
  d.unit = Unit::MegaOhm;
  d.timerSymbol = d.pi = true;
  const FrameBytes f = encodeFrame(d);
  EXPECT_EQ(nibble(f, 8), 0x1 | 0x4);
  EXPECT_EQ(nibble(f, 29), 0x4);
  EXPECT_EQ(nibble(f, 19), 0x1);
  EXPECT_EQ(nibble(f, 38), 0x4);
  EXPECT_EQ(f[20], 0x0D);
  EXPECT_EQ(f[21], 0x0A);
}

TEST(Scenario, PolarisationIndexRisesChangesUnitAndEndsGood) {
  const Scenario pi = *builtinScenario("pi", 1);
  ASSERT_GT(pi.size(), 3u);
  bool sawMega = false, sawGiga = false;
  for (std::size_t i = 0; i + 1 < pi.size(); ++i) {
    const FrameBytes &f = pi[i].frame;
    sawMega |= nibble(f, 29) == 0x4;
    sawGiga |= nibble(f, 29) == 0x8;
    EXPECT_TRUE(bit(f, 19, 0) && bit(f, 38, 2)) << "timer symbol and PI in step " << i;
    EXPECT_EQ(key(f, 31, 30), 0xE3 | 0x08) << "2 with the high-voltage sign";
  }
  EXPECT_TRUE(sawMega && sawGiga);
  const FrameBytes &result = pi.back().frame;
  EXPECT_NE(key(result, 35, 34) & 0x08, 0) << "GOOD (point of the third test-voltage digit)";
  EXPECT_NE(key(result, 11, 12) & 0x80, 0) << "COMP (point of M_Time1)";
  EXPECT_FALSE(builtinScenario("nonesuch"));
}

TEST(Scenario, ResistanceTextAndBars) {
  EXPECT_EQ(resistanceText(620e6).first, "620.0");
  EXPECT_EQ(resistanceText(620e6).second, Unit::MegaOhm);
  EXPECT_EQ(resistanceText(1.2044e9).first, "1.204");
  EXPECT_EQ(resistanceText(12.34e9).first, "12.34");
  EXPECT_EQ(resistanceText(12.34e9).second, Unit::GigaOhm);
  EXPECT_EQ(resistanceText(5e13).first, "9999");
  // BAR1 at 100 kΩ, one decade every four segments: 1 GΩ reaches bar17 (18 lit).
  EXPECT_EQ(barsForResistance(1e5), 2);
  EXPECT_EQ(barsForResistance(1e9), 18);
  EXPECT_LT(barsForResistance(0.8e9), barsForResistance(8e9));
}

struct Timed {
  Micros at;
  Report report;
};

std::vector<Timed> runUntil(ReportSource &s, Micros end) {
  std::vector<Timed> out;
  while (s.nextDue() <= end) {
    const Micros at = s.nextDue();
    out.push_back({at, s.take(at)});
  }
  return out;
}

// Transmissions as a frame assembler sees them, with the time of their closing report.
std::vector<std::pair<Micros, std::vector<std::uint8_t>>> transmissions(
    const std::vector<Timed> &reports) {
  TransmissionTracker t;
  std::vector<std::pair<Micros, std::vector<std::uint8_t>>> out;
  for (const Timed &r : reports)
    if (auto done = t.feed(r.report)) out.emplace_back(r.at, *done);
  return out;
}

Pacing fastPacing() {
  Pacing p;
  p.framePeriod = msToMicros(200);
  return p;
}

TEST(ScenarioPacing, FramesArriveAtTheSerialPaceBetweenIdleReports) {
  ScenarioSource s(*builtinScenario("steady"), fastPacing());
  s.restart(0);
  const auto reports = runUntil(s, msToMicros(1000));
  // One report per poll, every 12 ms.
  for (std::size_t i = 1; i < reports.size(); ++i)
    ASSERT_EQ(reports[i].at - reports[i - 1].at, msToMicros(12));
  const auto frames = transmissions(reports);
  ASSERT_EQ(frames.size(), 5u);  // started at 0, 200, 400, 600, 800 ms
  for (const auto &[at, bytes] : frames)
    EXPECT_EQ(hexText(bytes.data(), bytes.size()), kWorkedExample);
  // 22 bytes at 2400 baud take about 92 ms: 8 polls carry them, none carries more than 7.
  int dataReports = 0;
  for (const Timed &r : reports) {
    EXPECT_LE(serialCount(r.report), 7u);
    EXPECT_EQ(r.report.size(), kInputReportSize);
    if (r.at < msToMicros(200) && serialCount(r.report) > 0) ++dataReports;
  }
  EXPECT_EQ(dataReports, 8);
  // The last byte arrives at 91.7 ms and goes out with the 96 ms poll; the next poll closes.
  EXPECT_EQ(frames[0].first, msToMicros(12 * 9));
}

TEST(ScenarioPacing, FrameLimitPauseStopAndResume) {
  Pacing p = fastPacing();
  p.maxFrames = 3;
  ScenarioSource limited(*builtinScenario("pi"), p);
  limited.restart(0);
  EXPECT_EQ(transmissions(runUntil(limited, msToMicros(3000))).size(), 3u);

  p.maxFrames = -1;
  p.pauseAfterFrames = 2;
  p.pauseLength = msToMicros(1000);
  ScenarioSource paused(*builtinScenario("steady"), p);
  paused.restart(0);
  const auto frames = transmissions(runUntil(paused, msToMicros(2000)));
  ASSERT_GE(frames.size(), 3u);
  EXPECT_GE(frames[2].first - frames[1].first, msToMicros(1000));
  EXPECT_LT(frames[1].first - frames[0].first, msToMicros(300));

  ScenarioSource stopped(*builtinScenario("steady"), fastPacing());
  stopped.restart(0);
  stopped.stop();
  EXPECT_TRUE(transmissions(runUntil(stopped, msToMicros(1000))).empty());
  stopped.resume();
  const auto after = transmissions(runUntil(stopped, msToMicros(1300)));
  ASSERT_FALSE(after.empty());
  EXPECT_LT(after.front().first, msToMicros(1120));  // the next frame starts at once
}

TEST(ScenarioPacing, EndHoldsTheLastDisplayOrLoops) {
  Pacing p = fastPacing();
  const Scenario acv = *builtinScenario("acv", 1);
  ScenarioSource held(acv, p);
  held.restart(0);
  const auto heldFrames = transmissions(runUntil(held, msToMicros(200 * 8)));
  ASSERT_EQ(heldFrames.size(), 8u);
  const std::vector<std::uint8_t> last(acv.back().frame.begin(), acv.back().frame.end());
  EXPECT_EQ(heldFrames[6].second, last);
  EXPECT_EQ(heldFrames[7].second, last);

  p.loop = true;
  ScenarioSource looped(acv, p);
  looped.restart(0);
  const auto loopFrames = transmissions(runUntil(looped, msToMicros(200 * 8)));
  ASSERT_EQ(loopFrames.size(), 8u);
  EXPECT_EQ(loopFrames[5].second, loopFrames[0].second);
  EXPECT_EQ(loopFrames[6].second, loopFrames[1].second);
}

std::vector<CaptureItem> capture(const std::string &text) {
  std::istringstream in(text);
  return parseCapture(in);
}

TEST(CaptureFile, ParsesReportsWaitsAndComments) {
  const auto items = capture(
      "# captured\r\n\n  R 00  F3 0d 0A 41 00 00 00 00 \r\nW 12\nR 00\n   # indented comment\n"
      "R 01  f1 FF");
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].kind, CaptureItem::Report);
  EXPECT_EQ(items[0].data, (std::vector<std::uint8_t>{0xF3, 0x0D, 0x0A, 0x41, 0, 0, 0, 0}));
  EXPECT_EQ(items[1].kind, CaptureItem::Wait);
  EXPECT_EQ(items[1].waitMs, 12);
  EXPECT_TRUE(items[2].data.empty());
  EXPECT_EQ(items[3].reportId, 1);
}

TEST(CaptureFile, RejectsBadLinesWithTheirNumber) {
  const std::pair<const char *, const char *> bad[] = {
      {"R 00 F1 0D\nX 1\n", "line 2:"}, {"R 00 1FF\n", "line 1:"}, {"\nW -3\n", "line 2:"},
      {"W 12 13\n", "line 1:"},         {"R\n", "line 1:"},        {"W twelve\n", "line 1:"},
  };
  for (const auto &[text, where] : bad) {
    try {
      capture(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const CaptureError &e) {
      EXPECT_EQ(std::string(e.what()).rfind(where, 0), 0u) << e.what();
    }
  }
  EXPECT_THROW(loadCapture("/nonexistent/capture.txt"), CaptureError);
}

TEST(CapturePacing, WaitLinesSetTheGapsAndTheEndIdles) {
  Pacing p;
  CaptureSource s(capture("W 5\nR 00  F2 0D 0A\nW 40\nR 00  F0\nR 00  F1 41\n"), p);
  s.restart(1000);
  const auto reports = runUntil(s, 1000 + msToMicros(100));
  ASSERT_GE(reports.size(), 5u);
  EXPECT_EQ(reports[0].at, 1000 + msToMicros(5));
  EXPECT_EQ(reports[0].report, (Report{0xF2, 0x0D, 0x0A, 0, 0, 0, 0, 0}));
  EXPECT_EQ(reports[1].at - reports[0].at, msToMicros(40));
  EXPECT_EQ(reports[2].at - reports[1].at, msToMicros(12));  // no W: one poll interval
  EXPECT_EQ(reports[2].report[1], 0x41);
  for (std::size_t i = 3; i < reports.size(); ++i) EXPECT_EQ(reports[i].report, idleReport());
}

TEST(CapturePacing, LoopsHoldsWhileQuietAndSizesReports) {
  Pacing p;
  p.loop = true;
  CaptureSource s(capture("R 00  F1 01\nW 20\nR 00  F1 02 00 00 00 00 00 00 00 00\nW 30\n"), p);
  EXPECT_EQ(s.reportSize(), 10u);
  s.restart(0);
  std::vector<Timed> r = runUntil(s, msToMicros(100));
  ASSERT_GE(r.size(), 4u);
  EXPECT_EQ(r[1].at, msToMicros(20));
  EXPECT_EQ(r[2].at, msToMicros(50));  // the trailing W before the capture starts again
  EXPECT_EQ(r[2].report[1], 0x01);
  EXPECT_EQ(r[0].report.size(), 10u);

  CaptureSource quiet(capture("R 00  F1 01\nR 00  F1 02\n"), Pacing{});
  quiet.restart(0);
  quiet.silenceUntil(msToMicros(30));
  r = runUntil(quiet, msToMicros(60));
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].report, idleReport());
  EXPECT_EQ(r[2].report, idleReport());
  EXPECT_EQ(r[3].report[1], 0x01);  // the capture goes on where it was held
  EXPECT_EQ(r[4].report[1], 0x02);
}

TEST(CableReports, LineRateFromTheFeatureReport) {
  const std::uint8_t withId[] = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0, 0, 0, 0};
  EXPECT_EQ(lineRateFromFeature(withId, sizeof withId), 2400u);
  EXPECT_EQ(lineRateFromFeature(withId + 1, 9), 2400u);
  const std::uint8_t fast[] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0, 0, 0, 0};
  EXPECT_EQ(lineRateFromFeature(fast, sizeof fast), 9600u);
  EXPECT_FALSE(lineRateFromFeature(withId, 3));
}

TEST(CableReports, TrackerClosesTransmissionsAtTheFirstReportWithoutData) {
  const std::uint8_t b[7] = {1, 2, 3, 4, 5, 6, 7};
  TransmissionTracker t;
  EXPECT_FALSE(t.feed(idleReport()));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(t.feed(dataReport(b, 7)));
  EXPECT_FALSE(t.feed(dataReport(b, 1)));
  EXPECT_TRUE(t.inTransmission());
  const auto done = t.feed(Report{0xFA, 0, 0, 0, 0, 0, 0, 0});  // count nibble A: no data
  ASSERT_TRUE(done);
  EXPECT_EQ(done->size(), 22u);
  EXPECT_FALSE(t.feed(idleReport()));
  EXPECT_EQ(reportText(0, dataReport(b, 2)), "R 00  F2 01 02 00 00 00 00 00 ");
}

TEST(Options, DefaultsValuesAndErrors) {
  std::string error;
  auto o = parseOptions({}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->scenario, "pi");
  EXPECT_EQ(o->periodMs, 500);
  o = parseOptions(
      {"--scenario", "steady", "--frames", "4", "--loop", "--poll-ms", "10", "--control", "/tmp/x"},
      error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->frames, 4);
  EXPECT_TRUE(o->loop);
  EXPECT_EQ(o->pollMs, 10);
  EXPECT_EQ(o->control, "/tmp/x");
  o = parseOptions({"--pause-ms", "1500"}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->pauseAfter, 4) << "a pause alone comes after a few frames";
  const std::vector<std::vector<std::string>> bad = {{"--frames"},           {"--frames", "x"},
                                                     {"--poll-ms", "2"},     {"--bogus"},
                                                     {"--pause-after", "3"}, {"--period-ms", "-5"}};
  for (const auto &args : bad) {
    error.clear();
    EXPECT_FALSE(parseOptions(args, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace vexal::sim
