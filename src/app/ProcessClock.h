#pragma once
// How long the running process has existed, for the start-up timing check.

#include <optional>
#include <string_view>

namespace vexal {

// The process start time, in clock ticks after boot, from a line of /proc/<pid>/stat.
// Nothing when the line is malformed. The command name in parentheses may hold blanks and
// parentheses itself, so fields are counted from the last ")".
std::optional<long long> startTicksFromStat(std::string_view statLine);

// Milliseconds since this process was started (resolution one clock tick, usually 10 ms).
// Nothing where the process table cannot be read.
std::optional<double> msSinceProcessStart();

}  // namespace vexal
