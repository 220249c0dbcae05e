#pragma once
// Time of day with millisecond resolution, the locale's long time format, and the clock
// the recorder reads. Times are milliseconds since midnight, 0 to 86,399,999.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexal {

inline constexpr std::int32_t kMsPerDay = 86'400'000;

// The environment's locale (LC_TIME) long time format as strftime text, without any time
// zone conversion ("%H:%M:%S" in the C locale). Read once.
const std::string &longTimeFormat();

// `ms` in the locale's long time format (no milliseconds, no time zone).
std::string formatLongTime(std::int32_t ms);
// `ms` as "hh:mm:ss.zzz", whatever the locale (machine-read output, reports).
std::string formatTimeWithMilliseconds(std::int32_t ms);
// The same into a caller's buffer: returns the length written (hot path of file writing).
std::size_t formatLongTime(std::int32_t ms, char *out, std::size_t capacity);

// Reads a time of day: the locale's long time format, or H:MM[:SS[.mmm]] with an optional
// AM/PM (the locale's words or "AM"/"PM"). Leading and trailing blanks are allowed.
// Out-of-range parts or anything else give nothing.
std::optional<std::int32_t> parseTimeOfDay(std::string_view text);

// The decimal separator of the environment's locale (LC_NUMERIC), at most 9 bytes; empty
// when the locale cannot be read.
std::string localeDecimalSeparator();

// The wall clock as the recorder sees it; tests and the replay tool supply their own.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int32_t timeOfDayMs() = 0;
};

class SystemClock : public Clock {
 public:
  std::int32_t timeOfDayMs() override;
};

}  // namespace vexal
