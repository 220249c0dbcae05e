#include "record/TimeOfDay.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace vexal {

namespace {

locale_t environmentLocale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (!l) l = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

// Drops time-zone conversions (%Z, %z) and the blanks before them.
std::string withoutTimeZone(std::string fmt) {
  for (std::size_t p;
       (p = fmt.find("%Z")) != std::string::npos || (p = fmt.find("%z")) != std::string::npos;) {
    std::size_t start = p;
    while (start > 0 && fmt[start - 1] == ' ') --start;
    fmt.erase(start, p + 2 - start);
  }
  return fmt;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool readNumber(std::string_view &s, int maxDigits, int &value, int minDigits = 1) {
  int n = 0;
  value = 0;
  while (n < maxDigits && !s.empty() && std::isdigit(static_cast<unsigned char>(s.front()))) {
    value = value * 10 + (s.front() - '0');
    s.remove_prefix(1);
    ++n;
  }
  return n >= minDigits;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// H:MM[:SS[.mmm]] [AM|PM]
std::optional<std::int32_t> parsePlain(std::string_view s) {
  int h, m, sec = 0, ms = 0;
  if (!readNumber(s, 2, h) || s.empty() || s.front() != ':') return std::nullopt;
  s.remove_prefix(1);
  if (!readNumber(s, 2, m, 2)) return std::nullopt;
  if (!s.empty() && s.front() == ':') {
    s.remove_prefix(1);
    if (!readNumber(s, 2, sec, 2)) return std::nullopt;
    if (!s.empty() && (s.front() == '.' || s.front() == ',')) {
      s.remove_prefix(1);
      std::string_view digits = s;
      int n = 0;
      if (!readNumber(s, 3, ms)) return std::nullopt;
      n = static_cast<int>(digits.size() - s.size());
      while (n++ < 3) ms *= 10;
    }
  }
  s = trim(s);
  if (!s.empty()) {
    const char *am = nl_langinfo_l(AM_STR, environmentLocale());
    const char *pm = nl_langinfo_l(PM_STR, environmentLocale());
    bool isPm;
    if (equalsNoCase(s, "PM") || (pm && *pm && s == pm))
      isPm = true;
    else if (equalsNoCase(s, "AM") || (am && *am && s == am))
      isPm = false;
    else
      return std::nullopt;
    if (h < 1 || h > 12) return std::nullopt;
    h = h % 12 + (isPm ? 12 : 0);
  }
  if (h > 23 || m > 59 || sec > 59) return std::nullopt;
  return ((h * 60 + m) * 60 + sec) * 1000 + ms;
}

}  // namespace

const std::string &longTimeFormat() {
  static const std::string fmt = [] {
    const char *f = nl_langinfo_l(T_FMT, environmentLocale());
    std::string s = withoutTimeZone(f && *f ? f : "%H:%M:%S");
    return s.empty() ? std::string("%H:%M:%S") : s;
  }();
  return fmt;
}

std::size_t formatLongTime(std::int32_t ms, char *out, std::size_t capacity) {
  if (ms < 0 || ms >= kMsPerDay) ms = 0;
  int secs = ms / 1000;
  static const bool plainFormat = longTimeFormat() == "%H:%M:%S";
  if (plainFormat && capacity >= 9) {
    int h = secs / 3600, m = secs / 60 % 60, s = secs % 60;
    const char t[] = {char('0' + h / 10), char('0' + h % 10), ':',
                      char('0' + m / 10), char('0' + m % 10), ':',
                      char('0' + s / 10), char('0' + s % 10)};
    std::memcpy(out, t, 8);
    return 8;
  }
  struct tm tm {};
  tm.tm_hour = secs / 3600;
  tm.tm_min = secs / 60 % 60;
  tm.tm_sec = secs % 60;
  tm.tm_mday = 1;
  tm.tm_year = 100;
  return strftime_l(out, capacity, longTimeFormat().c_str(), &tm, environmentLocale());
}

std::string formatLongTime(std::int32_t ms) {
  char buf[64];
  return std::string(buf, formatLongTime(ms, buf, sizeof buf));
}

std::optional<std::int32_t> parseTimeOfDay(std::string_view text) {
  std::string_view s = trim(text);
  if (s.empty() || s.size() > 64) return std::nullopt;
  if (auto t = parsePlain(s)) return t;
  // The locale's own form, for formats the plain reader does not know.
  std::string copy(s);
  struct tm tm {};
  const char *end = strptime_l(copy.c_str(), longTimeFormat().c_str(), &tm, environmentLocale());
  if (!end || *trim(end).data() != '\0') return std::nullopt;
  if (tm.tm_hour < 0 || tm.tm_hour > 23 || tm.tm_min < 0 || tm.tm_min > 59 || tm.tm_sec < 0 ||
      tm.tm_sec > 59)
    return std::nullopt;
  return ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * 1000;
}

std::string localeDecimalSeparator() {
  const char *sep = nl_langinfo_l(RADIXCHAR, environmentLocale());
  if (!sep) return {};
  std::string s(sep);
  if (s.size() > 9) s.resize(9);
  return s;
}

std::int32_t SystemClock::timeOfDayMs() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  struct tm local {};
  localtime_r(&t, &local);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 +
         static_cast<std::int32_t>(ms);
}

std::string formatTimeWithMilliseconds(std::int32_t ms) {
  const std::int32_t t = ((ms % kMsPerDay) + kMsPerDay) % kMsPerDay;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t / 3'600'000, t / 60'000 % 60,
                t / 1000 % 60, t % 1000);
  return text;
}

}  // namespace vexal
