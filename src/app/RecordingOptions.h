#pragma once
// The recording options the command-line tools share (vexal-replay, vexal-log): the
// recording tool bar and the decimal separator as the options say, the rest as at start-up.

#include <cstdint>
#include <optional>
#include <string>

#include "app/MeterSession.h"

namespace vexal {

struct RecordingOptions {
  std::optional<std::string> decimal;   // --decimal SEP (default: the locale's)
  bool noRepeat = false;                // --no-repeat unticks "Repeat"
  std::optional<std::string> sampling;  // --sampling N ticks "Sampling Interval" with N
  std::optional<std::int32_t> limit;    // --limit N sets the record limit
};

// The exit statuses of the tools: a failure (a file not written, a capture not read),
// options that cannot be used, and a logger run that ended without the cable ever being
// there (nothing could be recorded; told apart from a run that recorded nothing).
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoCable = 3;

// The longest decimal separator --decimal takes, in bytes.
inline constexpr std::size_t kMaxDecimalBytes = 9;

// A decimal whole number within the 32-bit signed range, nothing else.
bool parseInt32(const std::string &text, std::int32_t &value);

// Applies the options to a session in its start-up state. Returns what is wrong with them
// ("--sampling: 'x' is not a valid integer value"), or nothing when all were applied.
std::optional<std::string> applyRecordingOptions(const RecordingOptions &options,
                                                 MeterSession &session);

}  // namespace vexal
