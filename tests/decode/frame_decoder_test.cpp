#include "decode/FrameDecoder.h"

#include <gtest/gtest.h>

#include <string>

namespace vexal {
namespace {

using E = Element;
const std::string kWorked = "FFC0000000000000000006EBA7368057D7DFD0EF0D0A";
const std::string kOhmText(kOhm);

struct RecordingHooks : DecoderHooks {
  int restarts = 0, holds = 0, records = 0;
  void restartWatchdog() override { ++restarts; }
  void requestLinkHold() override { ++holds; }
  void INDataToTable(std::int32_t source) override {
    EXPECT_EQ(source, 1);
    ++records;
  }
};

// Replaces the two characters (1-based positions `first`, `second`) that form a digit key.
std::string withKey(std::string frame, int first, int second, const char *key) {
  frame[first - 1] = key[0];
  frame[second - 1] = key[1];
  return frame;
}
std::string withChar(std::string frame, int pos, char c) {
  frame[pos - 1] = c;
  return frame;
}

class FrameDecoderTest : public ::testing::Test {
 protected:
  PanelState panel;
  Reading reading;
  RecordingHooks hooks;
  FrameDecoder decoder{panel, reading, hooks};

  bool shown(E e) const { return panel.visible(e); }
};

TEST_F(FrameDecoderTest, WorkedExampleFrame) {
  decoder.ShowDataKorv(kWorked);
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
  decoder.ShowDataKorv(withChar(kWorked, 8, '4'));
  EXPECT_EQ(reading.ValueText, "-12,34");
  EXPECT_TRUE(shown(E::LabelF));
  EXPECT_TRUE(shown(E::CONok));
  EXPECT_FALSE(shown(E::CONokN));
  decoder.ShowDataKorv(kWorked);
  EXPECT_EQ(reading.ValueText, "12,34");
  EXPECT_FALSE(shown(E::LabelF));
  EXPECT_FALSE(shown(E::CONok));
  EXPECT_TRUE(shown(E::CONokN));
}

TEST_F(FrameDecoderTest, DcAndAcOverrideTheTestVoltageAndHideTheBarGraph) {
  decoder.ShowDataKorv(withChar(kWorked, 8, '1'));
  EXPECT_EQ(reading.FunctionText, "DCV  600V");
  EXPECT_FALSE(shown(E::KD));
  for (E e : {E::labdc, E::Shape1, E::Shape2, E::Shape3, E::Shape4}) EXPECT_TRUE(shown(e));
  decoder.ShowDataKorv(withChar(kWorked, 8, '3'));  // DC and AC: AC is assigned last
  EXPECT_EQ(reading.FunctionText, "ACV  600V");
  EXPECT_TRUE(shown(E::labac) && shown(E::labt) && shown(E::labdc));
  decoder.ShowDataKorv(kWorked);  // the next frame without DC or AC shows the scale again
  EXPECT_TRUE(shown(E::KD));
  EXPECT_FALSE(shown(E::labdc));
}

TEST_F(FrameDecoderTest, BlankDashLAndUnknownMainDigits) {
  std::string blank = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "00"), 24, 23, "00"), 26, 25, "00"), 28, 27, "00");
  decoder.ShowDataKorv(withChar(blank, 8, '4'));
  EXPECT_EQ(reading.ValueText, "-");
  EXPECT_FALSE(shown(E::LabelA) || shown(E::LabelB) || shown(E::LabelC) || shown(E::LabelD));
  EXPECT_EQ(hooks.records, 0);

  std::string dashes = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "02"), 24, 23, "02"), 26, 25, "02"), 28, 27, "02");
  decoder.ShowDataKorv(dashes);
  EXPECT_EQ(reading.ValueText, "");
  EXPECT_EQ(panel.digit(E::LabelA), '-');
  EXPECT_EQ(hooks.records, 1);

  decoder.ShowDataKorv(withKey(withKey(kWorked, 22, 21, "0D"), 24, 23, "8D"));
  EXPECT_EQ(reading.ValueText, "LL.34");
  EXPECT_EQ(panel.digit(E::LabelA), '@');
  EXPECT_TRUE(shown(E::Point2));

  // A key no table holds keeps what the digit showed before and adds nothing.
  decoder.ShowDataKorv(withKey(kWorked, 22, 21, "80"));
  EXPECT_EQ(reading.ValueText, "2.34");
  EXPECT_EQ(panel.digit(E::LabelA), '@');
  EXPECT_TRUE(shown(E::LabelA));
}

TEST_F(FrameDecoderTest, UnknownKeyOnHiddenDigitsStillCountsOnlyVisibleDigits) {
  std::string unknown = withKey(
      withKey(withKey(withKey(kWorked, 22, 21, "00"), 24, 23, "00"), 26, 25, "00"), 28, 27, "00");
  decoder.ShowDataKorv(unknown);
  decoder.ShowDataKorv(withKey(unknown, 22, 21, "80"));
  EXPECT_EQ(hooks.records, 0);
}

TEST_F(FrameDecoderTest, EveryLitPointAddsASeparator) {
  decoder.ShowDataKorv(withKey(kWorked, 22, 21, "E0"));
  EXPECT_EQ(reading.ValueText, "1.2.34");
  EXPECT_TRUE(shown(E::Point1) && shown(E::Point2));
  EXPECT_FALSE(shown(E::Labto));
  decoder.ShowDataKorv(withKey(kWorked, 28, 27, "F0"));
  EXPECT_EQ(reading.ValueText, "12.37.");
  EXPECT_TRUE(shown(E::Labto));
}

TEST_F(FrameDecoderTest, UnitsLastSetBitWins) {
  decoder.ShowDataKorv(withChar(kWorked, 29, 'F'));
  EXPECT_EQ(reading.UnitText, "G" + kOhmText);
  for (E e : {E::Labv, E::Labo, E::Labmo1, E::Labgo1}) EXPECT_TRUE(shown(e));
  decoder.ShowDataKorv(withChar(kWorked, 29, '2'));
  EXPECT_EQ(reading.UnitText, kOhmText);
  decoder.ShowDataKorv(withChar(kWorked, 29, '0'));  // no unit bit: the unit stays
  EXPECT_EQ(reading.UnitText, kOhmText);
  decoder.ShowDataKorv(withChar(kWorked, 29, '1'));
  EXPECT_EQ(reading.UnitText, "V");
}

TEST_F(FrameDecoderTest, ModePrecedence) {
  std::string pi = withChar(withChar(kWorked, 19, '1'), 38, '4');
  decoder.ShowDataKorv(withChar(kWorked, 19, '1'));
  EXPECT_EQ(reading.ModeText, "Timed");
  decoder.ShowDataKorv(pi);
  EXPECT_EQ(reading.ModeText, "PI");
  EXPECT_TRUE(shown(E::power) && shown(E::labp1));
  std::string ng = withKey(pi, 33, 32, "DF");  // Label7 "0P"
  decoder.ShowDataKorv(ng);
  EXPECT_EQ(reading.ModeText, "COMP:NG");
  EXPECT_TRUE(shown(E::Labng));
  decoder.ShowDataKorv(withKey(ng, 35, 34, "DF"));  // Label10 "0P" as well
  EXPECT_EQ(reading.ModeText, "COMP:GOOD");
  EXPECT_TRUE(shown(E::Labng) && shown(E::Labgood));
  decoder.ShowDataKorv(kWorked);
  EXPECT_EQ(reading.ModeText, "Continuous");
}

TEST_F(FrameDecoderTest, TestVoltageRules) {
  // 2500: Label3 "2", Label7 "5"
  std::string v2500 = withKey(withKey(kWorked, 31, 30, "E3"), 33, 32, "B5");
  decoder.ShowDataKorv(v2500);
  EXPECT_EQ(reading.FunctionText, "IR:2500 100G" + kOhmText);
  // Blank first digit, second "5": 500 V although the hidden Label3 still holds "2".
  decoder.ShowDataKorv(withKey(v2500, 31, 30, "00"));
  EXPECT_EQ(reading.FunctionText, "IR:500V 20G" + kOhmText);
  EXPECT_FALSE(shown(E::Label3));
  EXPECT_EQ(panel.digit(E::Label3), '2');
  // 5000
  decoder.ShowDataKorv(withKey(kWorked, 31, 30, "B5"));
  EXPECT_EQ(reading.FunctionText, "IR:5000V 1000G" + kOhmText);
  // No rule holds: the function stays.
  decoder.ShowDataKorv(withKey(kWorked, 31, 30, "F7"));
  EXPECT_EQ(reading.FunctionText, "IR:5000V 1000G" + kOhmText);
  // Voltage key 08: blank digit, the high-voltage sign stays off.
  decoder.ShowDataKorv(withKey(kWorked, 31, 30, "08"));
  EXPECT_FALSE(shown(E::Label3));
  EXPECT_FALSE(shown(E::danger));
  decoder.ShowDataKorv(withKey(kWorked, 31, 30, "58"));  // "1P" lights the sign
  EXPECT_TRUE(shown(E::danger));
}

TEST_F(FrameDecoderTest, BarGraphBitsAndSmallGigaOhmSign) {
  std::string f = withChar(withChar(kWorked, 1, 'F'), 2, '0');  // byte 1 = F0
  f = withChar(withChar(f, 3, '0'), 4, '0');
  decoder.ShowDataKorv(f);
  for (int k = 3; k <= 10; ++k) EXPECT_EQ(shown(barSegment(k)), k <= 6) << k;
  f = withChar(withChar(f, 39, '1'), 40, '0');  // byte 20 = 10: the IMoff symbol only
  decoder.ShowDataKorv(f);
  EXPECT_TRUE(shown(E::IMoff));
  EXPECT_FALSE(shown(E::Bar0) || shown(E::BAR1) || shown(E::bar2));
  f = withChar(withChar(f, 7, '1'), 8, '0');  // byte 4 = 10: the infinity end alone
  decoder.ShowDataKorv(f);
  EXPECT_TRUE(shown(E::bar30));
  EXPECT_FALSE(shown(E::bar27) || shown(E::bar28) || shown(E::bar29));
  // Character 9 bit 3 lights the small GΩ sign unless the timer digit M_Time2 decides.
  decoder.ShowDataKorv(withKey(kWorked, 9, 10, "80"));
  EXPECT_TRUE(shown(E::Labgo));
  decoder.ShowDataKorv(withKey(kWorked, 9, 10, "FD"));  // "0P" lights it through the point
  EXPECT_TRUE(shown(E::Labgo));
  decoder.ShowDataKorv(withKey(kWorked, 9, 10, "7D"));  // "0N": no bit, point dark
  EXPECT_FALSE(shown(E::Labgo));
}

TEST_F(FrameDecoderTest, FrameWithoutLineEndChangesOnlyTheFirstSteps) {
  decoder.ShowDataKorv(kWorked);
  PanelState before = panel;
  reading.ModeText = "PI";
  decoder.ShowDataKorv(kWorked.substr(0, 40) + "0D0B");
  EXPECT_EQ(reading.ValueText, "");
  EXPECT_EQ(reading.ModeText, "Continuous");
  EXPECT_EQ(hooks.restarts, 2);
  EXPECT_EQ(hooks.holds, 1);
  EXPECT_EQ(hooks.records, 1);
  before.setVisible(E::CONok, !before.visible(E::CONok));
  before.setVisible(E::CONokN, !before.visible(E::CONokN));
  EXPECT_EQ(panel, before);
  decoder.ShowDataKorv("0D0A");  // too short
  EXPECT_EQ(hooks.records, 1);
}

TEST_F(FrameDecoderTest, NonHexAnnunciatorStopsDecodingAndRecordsNothing) {
  EXPECT_THROW(decoder.ShowDataKorv(withChar(kWorked, 29, 'G')), EConvertError);
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
