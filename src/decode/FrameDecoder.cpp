#include "decode/FrameDecoder.h"

#include <array>
#include <optional>

namespace vexal {

namespace {

using E = Element;

// A 256-entry digit table indexed by the key read as a hexadecimal byte (first character
// high). Keys that are not two uppercase hexadecimal digits are never in a table.
struct DigitTable {
  std::array<DigitCode, 256> codes;
  constexpr DigitTable() : codes() { codes.fill({'G', 'P'}); }
  constexpr void set(int key, char glyph, char flag) { codes[key] = {glyph, flag}; }
};

// Keys of the digits 0 to 9 with the point segment dark and lit, of the L pattern dark and
// lit, and of the blank digit.
struct DigitKeys {
  int unlit[10];
  int lit[10];
  int lUnlit, lLit;
  int blank[2];
};

constexpr DigitTable makeTable(const DigitKeys &k) {
  DigitTable t;
  for (int d = 0; d < 10; ++d) {
    t.set(k.unlit[d], char('0' + d), 'N');
    t.set(k.lit[d], char('0' + d), 'P');
  }
  t.set(k.lUnlit, '@', 'N');
  t.set(k.lLit, '@', 'P');
  for (int key : k.blank) t.set(key, 'H', 'N');
  return t;
}

constexpr DigitTable makeMainTable() {
  DigitTable t = makeTable({{0x7D, 0x60, 0x3E, 0x7A, 0x63, 0x5B, 0x5F, 0x70, 0x7F, 0x7B},
                            {0xFD, 0xE0, 0xBE, 0xFA, 0xE3, 0xDB, 0xDF, 0xF0, 0xFF, 0xFB},
                            0x0D,
                            0x8D,
                            {0x00, 0x00}});
  t.set(0x02, '-', '-');  // only the middle segment: a dash
  return t;
}

// A blank voltage digit with its point segment lit (08) is blank too.
constexpr DigitTable makeVoltageTable() {
  return makeTable({{0xD7, 0x50, 0xE3, 0xF1, 0x74, 0xB5, 0xB7, 0xD0, 0xF7, 0xF5},
                    {0xDF, 0x58, 0xEB, 0xF9, 0xF8, 0xBD, 0xBF, 0xD8, 0xFF, 0xFD},
                    0x07,
                    0x0F,
                    {0x00, 0x08}});
}

constexpr DigitTable kMainTable = makeMainTable();
constexpr DigitTable kVoltageTable = makeVoltageTable();

int upperHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

DigitCode lookup(const DigitTable &table, std::string_view key) {
  if (key.size() != 2) return {'G', 'P'};
  int hi = upperHexValue(key[0]), lo = upperHexValue(key[1]);
  if (hi < 0 || lo < 0) return {'G', 'P'};
  return table.codes[hi * 16 + lo];
}

// The 13 digit positions in decoding order: element, the two key characters (1-based, in
// key order), the table, and the elements that the point flag lights.
struct Position {
  E digit;
  int keyFirst, keySecond;
  bool voltage;
  E point, point2;  // point2 == point when only one element is lit
};

constexpr Position kPositions[13] = {
    {E::LabelA, 22, 21, false, E::Point1, E::Point1},
    {E::LabelB, 24, 23, false, E::Point2, E::Point2},
    {E::LabelC, 26, 25, false, E::Point3, E::Point3},
    {E::LabelD, 28, 27, false, E::Labto, E::Labto},
    {E::Label3, 31, 30, true, E::danger, E::danger},
    {E::Label7, 33, 32, true, E::Labng, E::Labng},
    {E::Label10, 35, 34, true, E::Labgood, E::Labgood},
    {E::Label9, 37, 36, true, E::Label4, E::Label4},
    {E::H_Time1, 15, 16, false, E::Labclr, E::Labclr},
    {E::H_Time2, 13, 14, false, E::Labtime, E::T_dPoint1},
    {E::M_Time1, 11, 12, false, E::labCOMP, E::labCOMP},
    {E::M_Time2, 9, 10, false, E::Labgo, E::Labgo},
    {E::stor2, 17, 18, false, E::LabFUL, E::LabFUL},
};

// Annunciator characters in processing order.
constexpr int kAnnunciatorOrder[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 39, 40, 29, 20, 19, 38};

// Bar-graph characters 1 to 7: the segment each bit (0..3) lights.
constexpr int kBarBits[7][4] = {
    {6, 5, 4, 3},     {7, 8, 9, 10},    {14, 13, 12, 11}, {15, 16, 17, 18},
    {22, 21, 20, 19}, {23, 24, 25, 26}, {30, 29, 28, 27},
};

// Annunciator characters whose bits (0 to 3) each light one sign, or none.
struct SignCharacter {
  int character;
  std::optional<E> bits[4];
};
constexpr std::optional<E> kNone;
constexpr SignCharacter kSignCharacters[] = {
    {9, {kNone, kNone, kNone, E::Labgo}},                      // small GΩ
    {39, {E::IMoff, E::Bar0, E::BAR1, E::bar2}},               // first bar-graph elements
    {40, {E::IGPower, E::powerv3, E::powerv2, E::powerV1}},    // battery
    {29, {E::Labv, E::Labo, E::Labmo1, E::Labgo1}},            // unit signs
    {20, {E::labLoad, E::labsave, E::labtime2, E::labTIME1}},  // LOAD, SAVE, Time2, Time1
    {19, {E::power, E::labs1, E::labs2, E::labs3}},            // timer symbol, S1 to S3
    {38, {E::IMmike, kNone, E::labp1, E::stor1}},              // signal, PI, memory "1"
};

std::string withOhm(const char *prefix) {
  return std::string(prefix) + std::string(kOhm);
}

}  // namespace

int FrameDecoder::HexNibbleValue(char ch) {
  int v = upperHexValue(ch);
  if (v < 0) throw EConvertError("'$" + std::string(1, ch) + "' is not a valid integer value");
  return v;
}

DigitCode FrameDecoder::MainDigitTable(std::string_view key) {
  return lookup(kMainTable, key);
}

DigitCode FrameDecoder::VoltageDigitTable(std::string_view key) {
  return lookup(kVoltageTable, key);
}

void FrameDecoder::DispInit() {
  for (std::size_t i = kDigitElementCount; i < kDigitElementCount + kClearableCount; ++i)
    panel_.hide(static_cast<Element>(i));
}

FrameOutcome FrameDecoder::ShowDataKorv(std::string_view frame) {
  FrameOutcome outcome;  // the watchdog restarts for every frame
  reading_.ValueText.clear();
  minusFlag_ = dcFlag_ = acFlag_ = false;
  reading_.ModeText = "Continuous";
  panel_.setVisible(E::CONok, !panel_.visible(E::CONok));
  panel_.setVisible(E::CONokN, !panel_.visible(E::CONokN));
  panel_.show(E::rsUSB);
  if (frame.size() < 44 || frame.substr(40, 2) != "0D" || frame.substr(42, 2) != "0A")
    return outcome;

  DispInit();
  panel_.show(E::KD);
  outcome.holdLink = true;

  try {
    applyAnnunciators(frame);
  } catch (const EConvertError &error) {
    outcome.conversionError = error.what();
    return outcome;
  }
  for (int p = 0; p < 13; ++p) {
    const Position &pos = kPositions[p];
    const char key[2] = {frame[pos.keyFirst - 1], frame[pos.keySecond - 1]};
    const std::string_view k(key, 2);
    DigitCode code = pos.voltage ? VoltageDigitTable(k) : MainDigitTable(k);
    if (p < 4)
      decodeValuePosition(p, code);
    else
      decodeOtherPosition(p, code);
  }
  if (!dcFlag_ && !acFlag_) chooseFunctionFromTestVoltage();
  if (minusFlag_) reading_.ValueText.insert(reading_.ValueText.begin(), '-');
  outcome.recordReading = panel_.visible(E::LabelA) || panel_.visible(E::LabelB) ||
                          panel_.visible(E::LabelC) || panel_.visible(E::LabelD);
  return outcome;
}

void FrameDecoder::applyAnnunciators(std::string_view frame) {
  for (int c : kAnnunciatorOrder) {
    const int v = HexNibbleValue(frame[c - 1]);
    for (int bit = 0; bit < 4; ++bit)
      if ((v >> bit) & 1) applyAnnunciatorBit(c, bit);
  }
}

void FrameDecoder::applyAnnunciatorBit(int c, int bit) {
  if (c >= 1 && c <= 7) {
    panel_.show(barSegment(kBarBits[c - 1][bit]));
    return;
  }
  if (c == 8) {
    applyFunctionBit(bit);
    return;
  }
  for (const SignCharacter &sign : kSignCharacters)
    if (sign.character == c && sign.bits[bit]) panel_.show(*sign.bits[bit]);
  // The texts that some of these bits set as well.
  if (c == 29) {
    const char *prefixes[] = {"", "", "M", "G"};
    reading_.UnitText = bit == 0 ? std::string("V") : withOhm(prefixes[bit]);
  } else if (c == 19 && bit == 0) {
    reading_.ModeText = "Timed";
  } else if (c == 38 && bit == 2) {
    reading_.ModeText = "PI";
  }
}

// Character 8: DC and AC (which hide the bar graph), the minus sign and the small MΩ sign.
void FrameDecoder::applyFunctionBit(int bit) {
  if (bit == 0) {
    for (E e : {E::labdc, E::Shape1, E::Shape2, E::Shape3, E::Shape4}) panel_.show(e);
    dcFlag_ = true;
    reading_.FunctionText = "DCV  600V";
    panel_.hide(E::KD);
  } else if (bit == 1) {
    panel_.show(E::labt);
    panel_.show(E::labac);
    acFlag_ = true;
    reading_.FunctionText = "ACV  600V";
    panel_.hide(E::KD);
  } else if (bit == 2) {
    panel_.show(E::LabelF);
    minusFlag_ = true;
  } else {
    panel_.show(E::labmo);
  }
}

// The part common to every position: a pattern the table does not hold changes nothing, a
// blank hides the digit, anything else shows its glyph. True when the digit shows a glyph.
bool FrameDecoder::showDigit(Element digit, DigitCode code) {
  if (code.is("GP")) return false;
  if (code.is("HN")) {
    panel_.hide(digit);
    return false;
  }
  panel_.show(digit);
  panel_.setDigit(digit, code.glyph);
  return true;
}

void FrameDecoder::decodeValuePosition(int p, DigitCode code) {
  const Position &pos = kPositions[p];
  if (!showDigit(pos.digit, code)) return;
  const char shown = code.glyph == '@' ? 'L' : code.glyph;
  if (code.flag == 'N') {
    reading_.ValueText.push_back(shown);
    panel_.hide(pos.point);
  } else if (code.flag == 'P') {
    reading_.ValueText.push_back(shown);
    reading_.ValueText += separator_;
    panel_.show(pos.point);
  }
}

void FrameDecoder::decodeOtherPosition(int p, DigitCode code) {
  const Position &pos = kPositions[p];
  if (!showDigit(pos.digit, code)) return;
  const bool lit = code.flag != 'N';
  panel_.setVisible(pos.point, lit);
  panel_.setVisible(pos.point2, lit);
  if (!lit) return;
  if (pos.digit == E::Label7) reading_.ModeText = "COMP:NG";
  if (pos.digit == E::Label10) reading_.ModeText = "COMP:GOOD";
}

void FrameDecoder::chooseFunctionFromTestVoltage() {
  const bool first = panel_.visible(E::Label3);
  const char d1 = panel_.digit(E::Label3), d2 = panel_.digit(E::Label7);
  if (!first && d2 == '5') reading_.FunctionText = withOhm("IR:500V 20G");
  if (first && d1 == '1' && d2 == '0') reading_.FunctionText = withOhm("IR:1000V 40G");
  if (first && d1 == '2' && d2 == '5') reading_.FunctionText = withOhm("IR:2500 100G");
  if (first && d1 == '5' && d2 == '0') reading_.FunctionText = withOhm("IR:5000V 1000G");
}

}  // namespace vexal
