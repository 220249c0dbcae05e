#include "app/RecordingOptions.h"

#include <charconv>

#include "common/ConvertError.h"
#include "link/InputEcho.h"

namespace vexal {

bool parseInt32(const std::string &text, std::int32_t &value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::optional<std::string> applyRecordingOptions(const RecordingOptions &o, MeterSession &session) {
  session.decoder.setDecimalSeparator(o.decimal ? *o.decimal : localeDecimalSeparator());
  if (o.noRepeat) session.recorder.setRepeatSet(false);
  if (o.sampling) {
    // The box holds N as at start-up, with the countdown at 0: the first reading is
    // recorded at once and sets the countdown to N.
    try {
      intervalFromText(*o.sampling);
    } catch (const EConvertError &) {
      return "--sampling: '" + echoInput(*o.sampling) + "' is not a valid integer value";
    }
    session.recorder.setRecordSITimeText(*o.sampling);
    session.recorder.setRecordSI(true);
  }
  if (o.limit) session.recorder.MaxRecords = *o.limit;
  return std::nullopt;
}

}  // namespace vexal
