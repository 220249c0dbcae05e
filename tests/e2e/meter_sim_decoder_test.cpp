// The virtual meter's frames, read back through Vexal's own frame assembler and decoder: what
// the sim means to show must be what Vexal shows. Host-side; needs no device.

#include <gtest/gtest.h>

#include <random>

#include "MeterFrame.h"
#include "ReportSource.h"
#include "Scenario.h"
#include "common/Cp936.h"
#include "decode/FrameDecoder.h"
#include "link/FrameAssembler.h"

namespace vexal::sim {
namespace {

const std::string kOhmText(kOhm);

// How many frames asked for their reading to be recorded.
struct RecordRequests {
  int recorded = 0;
};

// A fresh decoder in the program's start-up state.
struct Decoded {
  PanelState panel;
  Reading reading;
  RecordRequests hooks;
  FrameDecoder decoder{panel, reading};

  void decode(const std::string &text) {
    hooks.recorded += decoder.ShowDataKorv(text).recordReading;
  }
  void decode(const FrameBytes &f) { decode(hexText(f)); }
};

TEST(SimThroughDecoder, SteadyIsTheWorkedExample) {
  Decoded d;
  d.decode(builtinScenario("steady")->front().frame);
  EXPECT_EQ(d.reading.ValueText, "12.34");
  EXPECT_EQ(d.reading.UnitText, "G" + kOhmText);
  EXPECT_EQ(d.reading.FunctionText, "IR:1000V 40G" + kOhmText);
  EXPECT_EQ(d.reading.ModeText, "Continuous");
  EXPECT_EQ(d.hooks.recorded, 1);
}

TEST(SimThroughDecoder, PolarisationIndexScenarioReadsAsItShould) {
  const Scenario pi = *builtinScenario("pi", 1);
  Decoded d;
  double previous = 0;
  bool sawMega = false, sawGiga = false;
  for (std::size_t i = 0; i + 1 < pi.size(); ++i) {
    d.decode(pi[i].frame);
    const double value = std::stod(d.reading.ValueText);
    const bool giga = d.reading.UnitText == "G" + kOhmText;
    sawGiga |= giga;
    sawMega |= d.reading.UnitText == "M" + kOhmText;
    const double megaOhms = giga ? value * 1000 : value;
    EXPECT_GT(megaOhms, previous) << "step " << i << ": the resistance rises";
    previous = megaOhms;
    EXPECT_EQ(d.reading.FunctionText, "IR:2500 100G" + kOhmText);
    EXPECT_EQ(d.reading.ModeText, "PI");
    EXPECT_TRUE(d.panel.visible(Element::danger));
    EXPECT_TRUE(d.panel.visible(Element::Labtime));
  }
  EXPECT_TRUE(sawMega && sawGiga) << "units change from MΩ to GΩ";
  d.decode(pi.back().frame);
  EXPECT_EQ(d.reading.ModeText, "COMP:GOOD");
  EXPECT_TRUE(d.panel.visible(Element::labCOMP));
  EXPECT_TRUE(d.panel.visible(Element::Labgood));
  EXPECT_NEAR(std::stod(d.reading.ValueText), 3.4, 0.2);
  EXPECT_EQ(d.hooks.recorded, static_cast<int>(pi.size()));
}

TEST(SimThroughDecoder, AcVoltageScenario) {
  Decoded d;
  const Scenario acv = *builtinScenario("acv", 1);
  for (const ScenarioStep &step : acv) {
    d.decode(step.frame);
    EXPECT_EQ(d.reading.FunctionText, "ACV  600V");
    EXPECT_EQ(d.reading.UnitText, "V");
    EXPECT_FALSE(d.panel.visible(Element::KD));
    EXPECT_EQ(step.what, d.reading.ValueText + " V AC");
  }
}

// Random displays: every digit, point and sign the sim encodes comes back from the decoder.
class RandomDisplays : public ::testing::Test {
 protected:
  std::mt19937 rng{20240611};
  bool coin() { return rng() % 2; }
  Digit digit(const std::string &glyphs, bool allowPoint) {
    Digit d{glyphs[rng() % glyphs.size()], false};
    d.point = allowPoint && d.glyph != ' ' && d.glyph != '-' && coin();
    return d;
  }
  MeterDisplay random() {
    MeterDisplay m;
    for (Digit &d : m.main) d = digit("0123456789L -", true);
    for (Digit &d : m.voltage) d = digit("0123456789L ", true);
    for (Digit &d : m.timer) d = digit("0123456789L ", true);
    m.memory = digit("0123456789 ", true);
    m.unit = static_cast<Unit>(rng() % 5);
    m.bars = static_cast<int>(rng() % 32);
    m.battery = static_cast<int>(rng() % 5) - 1;
    for (bool *b : {&m.dc, &m.ac, &m.minus, &m.smallMegaOhm, &m.timerSymbol, &m.s1, &m.s2, &m.s3,
                    &m.load, &m.save, &m.time1, &m.time2, &m.mike, &m.pi, &m.memoryTens, &m.imOff})
      *b = rng() % 4 == 0;
    return m;
  }
};

char shown(char glyph) {
  return glyph == 'L' ? '@' : glyph;
}

void expectDigit(const PanelState &p, Element e, const Digit &d, const std::string &where) {
  EXPECT_EQ(p.visible(e), d.glyph != ' ') << where;
  if (d.glyph != ' ') {
    EXPECT_EQ(p.digit(e), shown(d.glyph)) << where;
  }
}

TEST_F(RandomDisplays, ComeBackFromTheDecoder) {
  const Element mainDigits[] = {Element::LabelA, Element::LabelB, Element::LabelC, Element::LabelD};
  const Element mainPoints[] = {Element::Point1, Element::Point2, Element::Point3, Element::Labto};
  const Element voltDigits[] = {Element::Label3, Element::Label7, Element::Label10,
                                Element::Label9};
  const Element voltPoints[] = {Element::danger, Element::Labng, Element::Labgood, Element::Label4};
  const Element timerDigits[] = {Element::H_Time1, Element::H_Time2, Element::M_Time1,
                                 Element::M_Time2};
  const Element timerPoints[] = {Element::Labclr, Element::Labtime, Element::labCOMP,
                                 Element::Labgo};
  const Element units[] = {Element::Labv, Element::Labo, Element::Labmo1, Element::Labgo1};
  for (int round = 0; round < 2000; ++round) {
    const MeterDisplay m = random();
    const std::string where =
        "round " + std::to_string(round) + " frame " + hexText(encodeFrame(m));
    Decoded d;
    d.decode(encodeFrame(m));
    const PanelState &p = d.panel;
    std::string value = m.minus ? "-" : "";
    for (int i = 0; i < 4; ++i) {
      expectDigit(p, mainDigits[i], m.main[i], where);
      if (m.main[i].glyph != ' ' && m.main[i].glyph != '-') {
        value += m.main[i].glyph;
        if (m.main[i].point) value += '.';
        EXPECT_EQ(p.visible(mainPoints[i]), m.main[i].point) << where;
      }
      expectDigit(p, voltDigits[i], m.voltage[i], where);
      if (m.voltage[i].glyph != ' ') {
        EXPECT_EQ(p.visible(voltPoints[i]), m.voltage[i].point) << where;
      }
      expectDigit(p, timerDigits[i], m.timer[i], where);
      if (m.timer[i].glyph != ' ') {
        EXPECT_EQ(p.visible(timerPoints[i]), m.timer[i].point) << where;
      }
    }
    expectDigit(p, Element::stor2, m.memory, where);
    EXPECT_EQ(d.reading.ValueText, value) << where;
    for (int k = 0; k < 31; ++k) EXPECT_EQ(p.visible(barSegment(k)), k < m.bars) << where;
    for (int u = 0; u < 4; ++u)
      EXPECT_EQ(p.visible(units[u]), static_cast<int>(m.unit) == u + 1) << where;
    EXPECT_EQ(p.visible(Element::KD), !m.dc && !m.ac) << where;
    EXPECT_EQ(p.visible(Element::LabelF), m.minus) << where;
    EXPECT_EQ(p.visible(Element::labmo), m.smallMegaOhm) << where;
    EXPECT_EQ(p.visible(Element::IGPower), m.battery >= 0) << where;
    EXPECT_EQ(p.visible(Element::power), m.timerSymbol) << where;
    EXPECT_EQ(p.visible(Element::labp1), m.pi) << where;
    EXPECT_EQ(p.visible(Element::stor1), m.memoryTens) << where;
    EXPECT_EQ(p.visible(Element::IMoff), m.imOff) << where;
    EXPECT_EQ(p.visible(Element::labsave), m.save) << where;
    EXPECT_EQ(p.visible(Element::labTIME1), m.time1) << where;
    std::string mode = "Continuous";
    if (m.timerSymbol) mode = "Timed";
    if (m.pi) mode = "PI";
    if (m.voltage[1].point) mode = "COMP:NG";
    if (m.voltage[2].point) mode = "COMP:GOOD";
    EXPECT_EQ(d.reading.ModeText, mode) << where;
    const bool anyMain = m.main[0].glyph != ' ' || m.main[1].glyph != ' ' ||
                         m.main[2].glyph != ' ' || m.main[3].glyph != ' ';
    EXPECT_EQ(d.hooks.recorded, anyMain ? 1 : 0) << where;
  }
}

// Reports from the sim's cable timeline, through the assembler: one decoded frame per
// transmission, none lost or merged.
TEST(SimThroughAssembler, EveryTransmissionIsDecodedOnce) {
  Pacing pacing;
  pacing.framePeriod = msToMicros(300);
  const Scenario pi = *builtinScenario("pi", 1);
  ScenarioSource source(pi, pacing);
  source.restart(0);
  Decoded d;
  std::vector<std::string> values;
  FrameAssembler assembler;
  while (source.nextDue() < msToMicros(300) * static_cast<Micros>(pi.size())) {
    const Report r = source.take(source.nextDue());
    if (auto text = assembler.ReadLusk(0, r.data(), static_cast<std::uint16_t>(r.size()))) {
      d.decode(*text);
      values.push_back(d.reading.ValueText);
    }
  }
  ASSERT_EQ(values.size(), pi.size());
  for (std::size_t i = 0; i + 1 < pi.size(); ++i)
    EXPECT_NE(pi[i].what.find(": " + values[i]), std::string::npos) << pi[i].what;
}

}  // namespace
}  // namespace vexal::sim
