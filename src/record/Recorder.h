#pragma once
// The recording rules: which decoded readings become rows of the reading table. A record
// limit, an optional sampling interval in whole seconds, an optional filter against
// repeating the last recorded value, and a running reading number.

#include <cstdint>
#include <string>
#include <string_view>

#include "decode/Reading.h"
#include "record/ReadingTable.h"
#include "record/TimeOfDay.h"

namespace vexal {

// The record-limit choices of the Record menu, with the MaxRecords each sets.
enum class RecordLimit { k1000, k5000, k10000, k50000, k100000, Limitless };
std::int32_t maxRecordsFor(RecordLimit limit);

// The one warning a command-line tool prints when the record limit of `maxRecords` readings
// first stops recording (no line end).
std::string recordLimitWarning(std::int32_t maxRecords);

// A box text as a decimal whole number within the 32-bit signed range; "-", "+" and empty
// give 0. Anything else throws EConvertError "'<text>' is not a valid integer value".
std::int32_t intervalFromText(std::string_view text);

class Recorder {
 public:
  Recorder(ReadingTable &table, const Reading &reading, Clock &clock)
      : table_(table), reading_(reading), clock_(clock) {}

  // Applies the rules to the current reading (source 1); any other source does nothing.
  // Returns whether a row was appended. Throws EConvertError when the interval box text
  // does not convert; then nothing is recorded.
  bool INDataToTable(std::int32_t source);

  // Tick of the 1000 ms sampling timer: counts the interval down while it is in use.
  void SampInterTimeTimer();

  // The interval box changed: restarts the countdown from its new text (throws
  // EConvertError and keeps the countdown when the text does not convert).
  void RecordSITimeChange(std::string_view text);

  // Key filter of the interval box: digits and backspace pass, anything else becomes '\0'.
  static char RecordSITimeKeyPress(char key);

  // The record limit stops recording: the next reading's number would exceed MaxRecords.
  bool limitReached() const { return MaxRecords < RecordNo; }

  void setLimit(RecordLimit limit);
  RecordLimit limit() const { return limit_; }

  // Delete Data, once the user has confirmed: all rows go and numbering starts again at 1.
  // The last recorded value and the countdown stay.
  void ClearData();

  // Check boxes and the interval box of the recording tool bar.
  bool repeatSet() const { return repeatSet_; }
  void setRepeatSet(bool on) { repeatSet_ = on; }
  bool recordSI() const { return recordSI_; }
  void setRecordSI(bool on) { recordSI_ = on; }
  const std::string &recordSITimeText() const { return recordSITimeText_; }
  // The box holds `text` without a change event, as at start-up: the countdown keeps its
  // value, so with SampleInterval at 0 the next reading is recorded at once.
  void setRecordSITimeText(std::string_view text) { recordSITimeText_ = std::string(text); }

  std::int32_t RecordNo = 1;
  std::int32_t MaxRecords = 10000;
  std::string LastRecordedValue;
  std::int32_t SampleInterval = 0;

 private:
  ReadingTable &table_;
  const Reading &reading_;
  Clock &clock_;
  RecordLimit limit_ = RecordLimit::k10000;
  bool repeatSet_ = true;  // start-up ticks "Repeat"
  bool recordSI_ = false;
  std::string recordSITimeText_ = "10";
};

}  // namespace vexal
