#include "decode/FrameDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/MeterFrames.h"

namespace vexal {
namespace {

using E = Element;
const std::string kWorked = kWorkedExampleFrame;
const std::string kOhmText(kOhm);

// Counts what the frames asked of the link and the recorder.
struct FrameRequests {
  int restarts = 0, holds = 0, records = 0;
  void count(const FrameOutcome &outcome) {
    restarts += outcome.restartWatchdog;
    holds += outcome.holdLink;
    records += outcome.recordReading;
  }
};

// Replaces the two characters (1-based positions `first`, `second`) that form a digit key.
std::string withKey(std::string frame, int first, int second, const char *key) {
  frame.replace(first - 1, 1, 1, key[0]);
  frame.replace(second - 1, 1, 1, key[1]);
  return frame;
}
std::string withChar(std::string frame, int pos, char c) {
  frame.replace(pos - 1, 1, 1, c);
  return frame;
}

class FrameDecoderTest : public ::testing::Test {
 protected:
  PanelState panel;
  Reading reading;
  FrameRequests hooks;
  FrameDecoder decoder{panel, reading};
  // Decodes one frame and counts its requests.
  FrameOutcome decode(const std::string &frame) {
    FrameOutcome outcome = decoder.ShowDataKorv(frame);
    hooks.count(outcome);
    return outcome;
  }

  bool shown(E e) const { return panel.visible(e); }
};

TEST_F(FrameDecoderTest, WorkedExampleFrame) {
  decode(kWorked);
  EXPECT_EQ(reading.ValueText, "12.34");
  EXPECT_EQ(reading.UnitText, "G" + kOhmText);
  EXPECT_EQ(reading.FunctionText, "IR:1000V 40G" + kOhmText);
  EXPECT_EQ(reading.ModeText, "Continuous");
  EXPECT_EQ(panel.digit(E::LabelA), '1');
  EXPECT_EQ(panel.digit(E::LabelD), '4');
  EXPECT_TRUE(shown(E::Point2));
  EXPECT_FALSE(shown(E::Point1));
  EXPECT_FALSE(shown(E::Point3));
  EXPECT_TRUE(shown(E::Label4));
  EXPECT_TRUE(shown(E::Labgo1));
  EXPECT_FALSE(shown(E::Labmo1));
  for (int k = 0; k <= 30; ++k) EXPECT_EQ(shown(barSegment(k)), k <= 12) << "segment " << k;
  for (E e : {E::IGPower, E::powerV1, E::powerv2, E::powerv3}) EXPECT_TRUE(shown(e));
  for (E e : {E::H_Time1, E::H_Time2, E::M_Time1, E::M_Time2, E::stor2}) EXPECT_FALSE(shown(e));
  EXPECT_TRUE(shown(E::KD));
  EXPECT_FALSE(shown(E::IMoff));
  EXPECT_EQ(hooks.records, 1);
  EXPECT_EQ(hooks.restarts, 1);
  EXPECT_EQ(hooks.holds, 1);
}

TEST_F(FrameDecoderTest, SeparatorMinusAndLinkPictures) {
  decoder.setDecimalSeparator(",");
  EXPECT_TRUE(shown(E::CONokN));
  EXPECT_FALSE(shown(E::CONok));
  decode(withChar(kWorked, 8, '4'));
  EXPECT_EQ(reading.ValueText, "-12,34");
  EXPECT_TRUE(shown(E::LabelF));
  EXPECT_TRUE(shown(E::CONok));
  EXPECT_FALSE(shown(E::CONokN));
  decode(kWorked);
  EXPECT_EQ(reading.ValueText, "12,34");
  EXPECT_FALSE(shown(E::LabelF));
  EXPECT_FALSE(shown(E::CONok));
  EXPECT_TRUE(shown(E::CONokN));
}

TEST_F(FrameDecoderTest, DcAndAcOverrideTheTestVoltageAndHideTheBarGraph) {
  decode(withChar(kWorked, 8, '1'));
  EXPECT_EQ(reading.FunctionText, "DCV  600V");
  EXPECT_FALSE(shown(E::KD));
  for (E e : {E::labdc, E::Shape1, E::Shape2, E::Shape3, E::Shape4}) EXPECT_TRUE(shown(e));
  decode(withChar(kWorked, 8, '3'));  // DC and AC: AC is assigned last
  EXPECT_EQ(reading.FunctionText, "ACV  600V");
  EXPECT_TRUE(shown(E::labac) && shown(E::labt) && shown(E::labdc));
  decode(kWorked);  // the next frame without DC or AC shows the scale again
  EXPECT_TRUE(shown(E::KD));
  EXPECT_FALSE(shown(E::labdc));
}

TEST_F(FrameDecoderTest, BlankDashLAndUnknownMainDigits) {
  std::string blank = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "00"), 24, 23, "00"), 26, 25, "00"), 28, 27, "00");
  decode(withChar(blank, 8, '4'));
  EXPECT_EQ(reading.ValueText, "-");
  EXPECT_FALSE(shown(E::LabelA) || shown(E::LabelB) || shown(E::LabelC) || shown(E::LabelD));
  EXPECT_EQ(hooks.records, 0);

  std::string dashes = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "02"), 24, 23, "02"), 26, 25, "02"), 28, 27, "02");
  decode(dashes);
  EXPECT_EQ(reading.ValueText, "");
  EXPECT_EQ(panel.digit(E::LabelA), '-');
  EXPECT_EQ(hooks.records, 1);

  decode(withKey(withKey(kWorked, 22, 21, "0D"), 24, 23, "8D"));
  EXPECT_EQ(reading.ValueText, "LL.34");
  EXPECT_EQ(panel.digit(E::LabelA), '@');
  EXPECT_TRUE(shown(E::Point2));

  // A key no table holds keeps what the digit showed before and adds nothing.
  decode(withKey(kWorked, 22, 21, "80"));
  EXPECT_EQ(reading.ValueText, "2.34");
  EXPECT_EQ(panel.digit(E::LabelA), '@');
  EXPECT_TRUE(shown(E::LabelA));
}

TEST_F(FrameDecoderTest, UnknownKeyOnHiddenDigitsStillCountsOnlyVisibleDigits) {
  std::string unknown = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "00"), 24, 23, "00"), 26, 25, "00"), 28, 27, "00");
  decode(unknown);
  decode(withKey(unknown, 22, 21, "80"));
  EXPECT_EQ(hooks.records, 0);
}

TEST_F(FrameDecoderTest, EveryLitPointAddsASeparator) {
  decode(withKey(kWorked, 22, 21, "E0"));
  EXPECT_EQ(reading.ValueText, "1.2.34");
  EXPECT_TRUE(shown(E::Point1) && shown(E::Point2));
  EXPECT_FALSE(shown(E::Labto));
  decode(withKey(kWorked, 28, 27, "F0"));
  EXPECT_EQ(reading.ValueText, "12.37.");
  EXPECT_TRUE(shown(E::Labto));
}

TEST_F(FrameDecoderTest, UnitsLastSetBitWins) {
  decode(withChar(kWorked, 29, 'F'));
  EXPECT_EQ(reading.UnitText, "G" + kOhmText);
  for (E e : {E::Labv, E::Labo, E::Labmo1, E::Labgo1}) EXPECT_TRUE(shown(e));
  decode(withChar(kWorked, 29, '2'));
  EXPECT_EQ(reading.UnitText, kOhmText);
  decode(withChar(kWorked, 29, '0'));  // no unit bit: the unit stays
  EXPECT_EQ(reading.UnitText, kOhmText);
  decode(withChar(kWorked, 29, '1'));
  EXPECT_EQ(reading.UnitText, "V");
}

TEST_F(FrameDecoderTest, ModePrecedence) {
  std::string pi = withChar(withChar(kWorked, 19, '1'), 38, '4');
  decode(withChar(kWorked, 19, '1'));
  EXPECT_EQ(reading.ModeText, "Timed");
  decode(pi);
  EXPECT_EQ(reading.ModeText, "PI");
  EXPECT_TRUE(shown(E::power) && shown(E::labp1));
  std::string ng = withKey(pi, 33, 32, "DF");  // Label7 "0P"
  decode(ng);
  EXPECT_EQ(reading.ModeText, "COMP:NG");
  EXPECT_TRUE(shown(E::Labng));
  decode(withKey(ng, 35, 34, "DF"));  // Label10 "0P" as well
  EXPECT_EQ(reading.ModeText, "COMP:GOOD");
  EXPECT_TRUE(shown(E::Labng) && shown(E::Labgood));
  decode(kWorked);
  EXPECT_EQ(reading.ModeText, "Continuous");
}

TEST_F(FrameDecoderTest, TestVoltageRules) {
  // 2500: Label3 "2", Label7 "5"
  std::string v2500 = withKey(withKey(kWorked, 31, 30, "E3"), 33, 32, "B5");
  decode(v2500);
  EXPECT_EQ(reading.FunctionText, "IR:2500 100G" + kOhmText);
  // Blank first digit, second "5": 500 V although the hidden Label3 still holds "2".
  decode(withKey(v2500, 31, 30, "00"));
  EXPECT_EQ(reading.FunctionText, "IR:500V 20G" + kOhmText);
  EXPECT_FALSE(shown(E::Label3));
  EXPECT_EQ(panel.digit(E::Label3), '2');
  // 5000
  decode(withKey(kWorked, 31, 30, "B5"));
  EXPECT_EQ(reading.FunctionText, "IR:5000V 1000G" + kOhmText);
  // No rule holds: the function stays.
  decode(withKey(kWorked, 31, 30, "F7"));
  EXPECT_EQ(reading.FunctionText, "IR:5000V 1000G" + kOhmText);
  // Voltage key 08: blank digit, the high-voltage sign stays off.
  decode(withKey(kWorked, 31, 30, "08"));
  EXPECT_FALSE(shown(E::Label3));
  EXPECT_FALSE(shown(E::danger));
  decode(withKey(kWorked, 31, 30, "58"));  // "1P" lights the sign
  EXPECT_TRUE(shown(E::danger));
}

TEST_F(FrameDecoderTest, BarGraphBitsAndSmallGigaOhmSign) {
  std::string f = withChar(withChar(kWorked, 1, 'F'), 2, '0');  // byte 1 = F0
  f = withChar(withChar(f, 3, '0'), 4, '0');
  decode(f);
  for (int k = 3; k <= 10; ++k) EXPECT_EQ(shown(barSegment(k)), k <= 6) << k;
  f = withChar(withChar(f, 39, '1'), 40, '0');  // byte 20 = 10: the IMoff symbol only
  decode(f);
  EXPECT_TRUE(shown(E::IMoff));
  EXPECT_FALSE(shown(E::Bar0) || shown(E::BAR1) || shown(E::bar2));
  f = withChar(withChar(f, 7, '1'), 8, '0');  // byte 4 = 10: the infinity end alone
  decode(f);
  EXPECT_TRUE(shown(E::bar30));
  EXPECT_FALSE(shown(E::bar27) || shown(E::bar28) || shown(E::bar29));
  // Character 9 bit 3 lights the small GΩ sign unless the timer digit M_Time2 decides.
  decode(withKey(kWorked, 9, 10, "80"));
  EXPECT_TRUE(shown(E::Labgo));
  decode(withKey(kWorked, 9, 10, "FD"));  // "0P" lights it through the point
  EXPECT_TRUE(shown(E::Labgo));
  decode(withKey(kWorked, 9, 10, "7D"));  // "0N": no bit, point dark
  EXPECT_FALSE(shown(E::Labgo));
}

TEST_F(FrameDecoderTest, FrameWithoutLineEndChangesOnlyTheFirstSteps) {
  decode(kWorked);
  PanelState before = panel;
  reading.ModeText = "PI";
  decode(kWorked.substr(0, 40) + "0D0B");
  EXPECT_EQ(reading.ValueText, "");
  EXPECT_EQ(reading.ModeText, "Continuous");
  EXPECT_EQ(hooks.restarts, 2);
  EXPECT_EQ(hooks.holds, 1);
  EXPECT_EQ(hooks.records, 1);
  before.setVisible(E::CONok, !before.visible(E::CONok));
  before.setVisible(E::CONokN, !before.visible(E::CONokN));
  EXPECT_EQ(panel, before);
  decode("0D0A");  // too short
  EXPECT_EQ(hooks.records, 1);
}

TEST_F(FrameDecoderTest, NonHexAnnunciatorStopsDecodingAndRecordsNothing) {
  const FrameOutcome outcome = decode(withChar(kWorked, 29, 'G'));
  EXPECT_EQ(outcome.conversionError, "'$G' is not a valid integer value");
  EXPECT_TRUE(outcome.holdLink);  // the line end was good: the link holds all the same
  EXPECT_EQ(hooks.records, 0);
  EXPECT_TRUE(shown(E::bar3));  // characters before 29 were applied
  EXPECT_FALSE(shown(E::Labv));
}

TEST(DigitTables, KeysAreExactStrings) {
  EXPECT_EQ(FrameDecoder::MainDigitTable("7D"), (DigitCode{'0', 'N'}));
  EXPECT_EQ(FrameDecoder::MainDigitTable("7d"), (DigitCode{'G', 'P'}));
  EXPECT_EQ(FrameDecoder::MainDigitTable("E3"), (DigitCode{'4', 'P'}));
  EXPECT_EQ(FrameDecoder::VoltageDigitTable("F8"), (DigitCode{'4', 'P'}));
  EXPECT_EQ(FrameDecoder::VoltageDigitTable("08"), (DigitCode{'H', 'N'}));
  EXPECT_EQ(FrameDecoder::VoltageDigitTable("02"), (DigitCode{'G', 'P'}));
  EXPECT_EQ(FrameDecoder::MainDigitTable("80"), (DigitCode{'G', 'P'}));
  EXPECT_EQ(FrameDecoder::HexNibbleValue('F'), 15);
  EXPECT_THROW(FrameDecoder::HexNibbleValue('f'), EConvertError);
}

}  // namespace
}  // namespace vexal
