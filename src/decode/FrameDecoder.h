#pragma once
// Decodes one meter frame (the hexadecimal text of its LCD segment memory) into the state
// of the LCD mirror and the current reading. All knowledge of the LCD wiring lives here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ConvertError.h"
#include "decode/PanelState.h"
#include "decode/Reading.h"

namespace vexal {

// What one frame asks of the rest of the system. The session applies it in this order: the
// watchdog restart, the link's hold, then the recording of the reading.
struct FrameOutcome {
  // Every frame handed to the decoder restarts the link watchdog (stop, then start), so its
  // full interval counts from this frame.
  bool restartWatchdog = true;
  // The frame passed its line-end test: the link holds its reading thread for 500 ms once
  // the current report has been handled, so the meter is read at most twice a second while
  // the GUI thread stays free.
  bool holdLink = false;
  // A main digit is lit: the reading is to be recorded (`INDataToTable(1)`).
  bool recordReading = false;
  // An annunciator character was no hexadecimal digit: the panel stays as far as it was set
  // and nothing is to be recorded.
  std::optional<std::string> conversionError;
};

// Two characters: glyph ('0'..'9', '@') and point flag ('N' dark, 'P' lit); "HN" blank,
// "--" dash, "GP" a pattern the table does not hold.
struct DigitCode {
  char glyph;
  char flag;
  bool operator==(const DigitCode &) const = default;
  bool is(const char (&code)[3]) const { return glyph == code[0] && flag == code[1]; }
};

class FrameDecoder {
 public:
  FrameDecoder(PanelState &panel, Reading &reading) : panel_(panel), reading_(reading) {}

  void setDecimalSeparator(std::string separator) { separator_ = std::move(separator); }
  const std::string &decimalSeparator() const { return separator_; }

  // Decodes one frame into the panel and the reading, and says what the frame asks of the
  // link and the recorder. A frame whose characters 41 to 44 are not "0D0A" only clears the
  // value, resets the mode, flips the link pictures and shows "USB".
  FrameOutcome ShowDataKorv(std::string_view frameText);

  // Hides every element that a frame sets from its own bits.
  void DispInit();

  static int HexNibbleValue(char ch);  // throws EConvertError
  static DigitCode MainDigitTable(std::string_view key);
  static DigitCode VoltageDigitTable(std::string_view key);

 private:
  void applyAnnunciators(std::string_view frame);
  void applyAnnunciatorBit(int character, int bit);
  void applyFunctionBit(int bit);
  bool showDigit(Element digit, DigitCode code);
  void decodeValuePosition(int position, DigitCode code);
  void decodeOtherPosition(int position, DigitCode code);
  void chooseFunctionFromTestVoltage();

  PanelState &panel_;
  Reading &reading_;
  std::string separator_ = ".";
  bool minusFlag_ = false, dcFlag_ = false, acFlag_ = false;
};

}  // namespace vexal
