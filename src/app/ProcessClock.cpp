#include "app/ProcessClock.h"

#include <time.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <string>

namespace vexal {

std::optional<long long> startTicksFromStat(std::string_view statLine) {
  const auto close = statLine.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view rest = statLine.substr(close + 1);
  // After the command name come field 3 (state) onwards; the start time is field 22.
  constexpr int kFieldsToSkip = 22 - 3;
  for (int field = 0; field <= kFieldsToSkip; ++field) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty()) return std::nullopt;
    if (field == kFieldsToSkip) break;
    const auto blank = rest.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(blank);
  }
  long long ticks = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), ticks);
  if (ec != std::errc() || (end != rest.data() + rest.size() && *end != ' ' && *end != '\n'))
    return std::nullopt;
  return ticks;
}

std::optional<double> msSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const auto ticks = startTicksFromStat(line);
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  timespec now{};
  if (!ticks || ticksPerSecond <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
    return std::nullopt;
  const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
  return nowMs - *ticks * 1000.0 / ticksPerSecond;
}

}  // namespace vexal
