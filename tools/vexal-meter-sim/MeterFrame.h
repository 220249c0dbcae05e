#pragma once
// What the meter's LCD shows, and the 22-byte frame of segment memory that the meter sends
// for it (20 bytes of segment bits followed by 0D 0A).

#include <array>
#include <cstdint>
#include <string>

namespace vexal::sim {

inline constexpr std::size_t kFrameBytes = 22;
using FrameBytes = std::array<std::uint8_t, kFrameBytes>;

// One seven-segment digit. glyph: '0'..'9', 'L' (the L pattern), ' ' (blank) or '-' (dash).
// point: the segment that the digit's point bit drives (a decimal point on the main digits,
// an annunciator on the others).
struct Digit {
  char glyph = ' ';
  bool point = false;
};

enum class Unit { None, Volt, Ohm, MegaOhm, GigaOhm };

struct MeterDisplay {
  // Main value digits, left to right. The fourth digit's point is the TΩ sign.
  std::array<Digit, 4> main{};
  // Test-voltage digits, left to right. Their points are: high-voltage sign, NG, GOOD, "V".
  std::array<Digit, 4> voltage{};
  // Timer digits H1 H2 M1 M2. Points: CLR, "min : sec" with the colon, COMP, small GΩ.
  std::array<Digit, 4> timer{};
  // Memory-number units digit; its point is FUL.
  Digit memory{};
  Unit unit = Unit::None;
  int bars = 0;      // bar-graph segments lit from the zero end, 0..31
  int battery = -1;  // -1: no battery symbol; 0..3: outline with that many level bars
  bool dc = false, ac = false, minus = false, smallMegaOhm = false;
  bool timerSymbol = false, s1 = false, s2 = false, s3 = false;
  bool load = false, save = false, time1 = false, time2 = false;
  bool mike = false, pi = false, memoryTens = false, imOff = false;
};

// Builds the frame for a display. Throws std::invalid_argument for a glyph that the digit
// cannot show (a dash on a test-voltage digit, an unknown character) or bars outside 0..31.
FrameBytes encodeFrame(const MeterDisplay &display);

// Uppercase hexadecimal text of the bytes, two digits per byte, no separator.
std::string hexText(const std::uint8_t *bytes, std::size_t size);
inline std::string hexText(const FrameBytes &frame) {
  return hexText(frame.data(), frame.size());
}

// Sets the four main digits from a text such as "12.34", "850.0" or "L" (right-aligned,
// blanks in front). Throws std::invalid_argument when it needs more than four digits.
void setMainValue(MeterDisplay &display, const std::string &text);

// Sets the test-voltage digits from a voltage of 500, 1000, 2500 or 5000 (blank first digit
// below 1000) and lights the "V" after them.
void setTestVoltage(MeterDisplay &display, int volts);

}  // namespace vexal::sim
