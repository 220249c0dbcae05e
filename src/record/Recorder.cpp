#include "record/Recorder.h"

#include <charconv>

#include "common/ConvertError.h"

namespace vexal {

std::string recordLimitWarning(std::int32_t maxRecords) {
  return "the record limit of " + std::to_string(maxRecords) +
         " readings is reached: later readings are not recorded (--limit raises it)";
}

std::int32_t maxRecordsFor(RecordLimit limit) {
  switch (limit) {
    case RecordLimit::k1000:
      return 1000;
    case RecordLimit::k5000:
      return 5000;
    case RecordLimit::k10000:
      return 10000;
    case RecordLimit::k50000:
      return 50000;
    case RecordLimit::k100000:
      return 100000;
    case RecordLimit::Limitless:
      return 10'000'000;
  }
  return 10000;
}

std::int32_t intervalFromText(std::string_view text) {
  if (text.empty() || text == "-" || text == "+") return 0;
  std::string_view digits = text;
  if (digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  const bool signAfterPlus = digits.size() < text.size() && digits.front() == '-';
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (signAfterPlus || ec != std::errc() || end != digits.data() + digits.size())
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return value;
}

bool Recorder::INDataToTable(std::int32_t source) {
  if (source != 1) return false;
  if (MaxRecords < RecordNo) return false;
  if (recordSI_ && SampleInterval != 0) return false;
  if (!repeatSet_ && reading_.ValueText == LastRecordedValue) return false;
  SampleInterval = intervalFromText(recordSITimeText_);

  TableRow row;
  row.no = RecordNo;
  row.timeMs = clock_.timeOfDayMs();
  // An empty text is held as no value.
  auto text = [](const std::string &s) {
    return s.empty() ? std::nullopt : std::optional<std::string>(s);
  };
  row.value = text(reading_.ValueText);
  row.unit = text(reading_.UnitText);
  row.vRange = text(reading_.FunctionText);
  row.iRange = text(reading_.ModeText);
  table_.appendRow(row);

  ++RecordNo;
  LastRecordedValue = reading_.ValueText;
  return true;
}

void Recorder::SampInterTimeTimer() {
  if (recordSI_ && SampleInterval > 0) --SampleInterval;
}

void Recorder::RecordSITimeChange(std::string_view text) {
  recordSITimeText_ = std::string(text);
  SampleInterval = intervalFromText(text);
}

char Recorder::RecordSITimeKeyPress(char key) {
  if ((key >= '0' && key <= '9') || key == '\b') return key;
  return '\0';
}

void Recorder::setLimit(RecordLimit limit) {
  limit_ = limit;
  MaxRecords = maxRecordsFor(limit);
}

void Recorder::ClearData() {
  table_.clear();
  RecordNo = 1;
}

}  // namespace vexal
