#include "MeterFrame.h"

#include "common/Hex.h"

#include <stdexcept>

namespace vexal::sim {
namespace {

// Segment byte of a digit as the LCD controller stores it, before the nibble placement of
// each digit position. Index: '0'..'9', then the L pattern.
constexpr std::array<std::uint8_t, 11> kMainGlyphs = {0x7D, 0x60, 0x3E, 0x7A, 0x63, 0x5B,
                                                      0x5F, 0x70, 0x7F, 0x7B, 0x0D};
constexpr std::uint8_t kMainPoint = 0x80;
constexpr std::uint8_t kMainDash = 0x02;

// The test-voltage digits are wired differently; their point segment has weight 08, but the
// controller's "4 with point" pattern is F8, not 74 | 08.
constexpr std::array<std::uint8_t, 11> kVoltageGlyphs = {0xD7, 0x50, 0xE3, 0xF1, 0x74, 0xB5,
                                                         0xB7, 0xD0, 0xF7, 0xF5, 0x07};
constexpr std::array<std::uint8_t, 11> kVoltageGlyphsWithPoint = {
    0xDF, 0x58, 0xEB, 0xF9, 0xF8, 0xBD, 0xBF, 0xD8, 0xFF, 0xFD, 0x0F};

int glyphIndex(char glyph) {
  if (glyph >= '0' && glyph <= '9') return glyph - '0';
  if (glyph == 'L') return 10;
  return -1;
}

std::uint8_t mainKey(const Digit &d) {
  if (d.glyph == ' ') return d.point ? kMainPoint : 0x00;
  if (d.glyph == '-') return kMainDash | (d.point ? kMainPoint : 0);
  int i = glyphIndex(d.glyph);
  if (i < 0) throw std::invalid_argument(std::string("digit cannot show '") + d.glyph + "'");
  return kMainGlyphs[i] | (d.point ? kMainPoint : 0);
}

std::uint8_t voltageKey(const Digit &d) {
  if (d.glyph == ' ') return d.point ? 0x08 : 0x00;
  int i = glyphIndex(d.glyph);
  if (i < 0)
    throw std::invalid_argument(std::string("test-voltage digit cannot show '") + d.glyph + "'");
  return d.point ? kVoltageGlyphsWithPoint[i] : kVoltageGlyphs[i];
}

// The 40 characters of segment memory as nibbles, indexed 1..40 like the frame's hex text.
struct Nibbles {
  std::array<std::uint8_t, 41> n{};

  void setBit(int character, int bit) { n[character] |= static_cast<std::uint8_t>(1u << bit); }
  // A digit's key is two hex characters; the first goes to `first`, the second to `second`.
  void putKey(std::uint8_t key, int first, int second) {
    n[first] |= key >> 4;
    n[second] |= key & 0x0F;
  }
};

// Frame character and bit of each bar-graph segment, from the zero end (Bar0, BAR1, bar2 ...
// bar30).
struct BitPlace {
  int character;
  int bit;
};
constexpr std::array<BitPlace, 31> kBarBits = {{
    {39, 1}, {39, 2}, {39, 3},          // Bar0, BAR1, bar2
    {1, 3},  {1, 2},  {1, 1},  {1, 0},  // bar3..bar6
    {2, 0},  {2, 1},  {2, 2},  {2, 3},  // bar7..bar10
    {3, 3},  {3, 2},  {3, 1},  {3, 0},  // bar11..bar14
    {4, 0},  {4, 1},  {4, 2},  {4, 3},  // bar15..bar18
    {5, 3},  {5, 2},  {5, 1},  {5, 0},  // bar19..bar22
    {6, 0},  {6, 1},  {6, 2},  {6, 3},  // bar23..bar26
    {7, 3},  {7, 2},  {7, 1},  {7, 0},  // bar27..bar30
}};

void putDigits(Nibbles &nb, const MeterDisplay &d) {
  // Main digits: key characters (22,21), (24,23), (26,25), (28,27).
  for (int i = 0; i < 4; ++i) nb.putKey(mainKey(d.main[i]), 22 + 2 * i, 21 + 2 * i);
  // Test-voltage digits: (31,30), (33,32), (35,34), (37,36).
  for (int i = 0; i < 4; ++i) nb.putKey(voltageKey(d.voltage[i]), 31 + 2 * i, 30 + 2 * i);
  // Timer digits H1 H2 M1 M2 at (15,16), (13,14), (11,12), (9,10); memory digit at (17,18).
  for (int i = 0; i < 4; ++i) nb.putKey(mainKey(d.timer[i]), 15 - 2 * i, 16 - 2 * i);
  nb.putKey(mainKey(d.memory), 17, 18);
}

void putSigns(Nibbles &nb, const MeterDisplay &d) {
  if (d.bars < 0 || d.bars > 31) throw std::invalid_argument("bars must lie in 0..31");
  for (int i = 0; i < d.bars; ++i) nb.setBit(kBarBits[i].character, kBarBits[i].bit);
  if (d.dc) nb.setBit(8, 0);
  if (d.ac) nb.setBit(8, 1);
  if (d.minus) nb.setBit(8, 2);
  if (d.smallMegaOhm) nb.setBit(8, 3);
  if (d.imOff) nb.setBit(39, 0);
  if (d.battery >= 0) {
    nb.setBit(40, 0);
    for (int i = 0; i < d.battery && i < 3; ++i) nb.setBit(40, 3 - i);
  }
  switch (d.unit) {
    case Unit::Volt:
      nb.setBit(29, 0);
      break;
    case Unit::Ohm:
      nb.setBit(29, 1);
      break;
    case Unit::MegaOhm:
      nb.setBit(29, 2);
      break;
    case Unit::GigaOhm:
      nb.setBit(29, 3);
      break;
    case Unit::None:
      break;
  }
  const bool c20[] = {d.load, d.save, d.time2, d.time1};
  const bool c19[] = {d.timerSymbol, d.s1, d.s2, d.s3};
  for (int b = 0; b < 4; ++b) {
    if (c20[b]) nb.setBit(20, b);
    if (c19[b]) nb.setBit(19, b);
  }
  if (d.mike) nb.setBit(38, 0);
  if (d.pi) nb.setBit(38, 2);
  if (d.memoryTens) nb.setBit(38, 3);
}

}  // namespace

FrameBytes encodeFrame(const MeterDisplay &display) {
  Nibbles nb;
  putDigits(nb, display);
  putSigns(nb, display);
  FrameBytes frame{};
  for (int k = 1; k <= 20; ++k)
    frame[k - 1] = static_cast<std::uint8_t>(nb.n[2 * k - 1] << 4 | nb.n[2 * k]);
  frame[20] = 0x0D;
  frame[21] = 0x0A;
  return frame;
}

std::string hexText(const std::uint8_t *bytes, std::size_t size) {
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) appendHexByte(text, bytes[i]);
  return text;
}

void setMainValue(MeterDisplay &display, const std::string &text) {
  std::array<Digit, 4> digits{};
  int count = 0;
  for (char c : text) {
    if (c == '.') {
      if (count == 0) throw std::invalid_argument("value starts with a point: " + text);
      digits[count - 1].point = true;
      continue;
    }
    if (count == 4) throw std::invalid_argument("value needs more than four digits: " + text);
    digits[count++].glyph = c;
  }
  // Right-align: blanks in front.
  std::array<Digit, 4> aligned{};
  for (int i = 0; i < count; ++i) aligned[4 - count + i] = digits[i];
  display.main = aligned;
}

void setTestVoltage(MeterDisplay &display, int volts) {
  if (volts != 500 && volts != 1000 && volts != 2500 && volts != 5000)
    throw std::invalid_argument("test voltage must be 500, 1000, 2500 or 5000");
  std::string text = std::to_string(volts);
  if (text.size() < 4) text.insert(text.begin(), ' ');  // blank first digit below 1000 V
  for (int i = 0; i < 4; ++i) display.voltage[i] = Digit{text[i], false};
  display.voltage[3].point = true;  // the "V" after the voltage
}

}  // namespace vexal::sim
