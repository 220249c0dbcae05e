#pragma once
// Decodes one meter frame (the hexadecimal text of its LCD segment memory) into the state
// of the LCD mirror and the current reading. All knowledge of the LCD wiring lives here.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "decode/PanelState.h"
#include "decode/Reading.h"

namespace vexal {

// A text that does not convert to a number ("'%s' is not a valid integer value").
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the decoder asks of the rest of the system.
class DecoderHooks {
 public:
  virtual ~DecoderHooks() = default;
  // Stop the link watchdog and start it again, so its full interval counts from now.
  virtual void restartWatchdog() = 0;
  // The link holds its reading thread for 500 ms once the current report has been handled,
  // so the meter is read at most twice a second while the GUI thread stays free.
  virtual void requestLinkHold() = 0;
  // Apply the recording rules to the current reading.
  virtual void INDataToTable(std::int32_t source) = 0;
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
  FrameDecoder(PanelState &panel, Reading &reading, DecoderHooks &hooks)
      : panel_(panel), reading_(reading), hooks_(hooks) {}

  void setDecimalSeparator(std::string separator) { separator_ = std::move(separator); }
  const std::string &decimalSeparator() const { return separator_; }

  // Decodes one frame. A frame whose characters 41 to 44 are not "0D0A" only restarts the
  // watchdog, clears the value, resets the mode, flips the link pictures and shows "USB".
  // Throws EConvertError when an annunciator character is not a hexadecimal digit (the panel
  // stays as far as it was set; nothing is recorded); recording failures pass through.
  void ShowDataKorv(std::string_view frameText);

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
  DecoderHooks &hooks_;
  std::string separator_ = ".";
  bool minusFlag_ = false, dcFlag_ = false, acFlag_ = false;
};

}  // namespace vexal
