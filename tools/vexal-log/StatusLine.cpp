#include "StatusLine.h"

#include <unistd.h>

#include <cstdio>

namespace vexal {

std::string statusText(const StatusFacts &f) {
  const long long s = f.running.count();
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  std::string text = std::to_string(f.recorded) + (f.recorded == 1 ? " reading" : " readings");
  if (!f.value.empty() || !f.unit.empty()) text += " | " + f.value + " " + f.unit;
  if (!f.function.empty()) text += " | " + f.function;
  text += " | " + f.link + " | " + clock;
  return text;
}

StatusLine::StatusLine(int fd, bool wanted) : fd_(fd), terminal_(wanted && ::isatty(fd) == 1) {}

void StatusLine::put(const std::string &bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;  // a terminal that takes nothing: the status is not worth an error
    done += static_cast<std::size_t>(n);
  }
}

void StatusLine::update(const StatusFacts &facts) {
  if (!terminal_) return;
  const std::string text = statusText(facts);
  if (text == last_) return;
  last_ = text;
  put("\r\x1b[K" + text);
}

void StatusLine::warn(const std::string &text) {
  if (!terminal_) {
    put(text + "\n");
    return;
  }
  put("\r\x1b[K" + text + "\n" + last_);
}

void StatusLine::finish() {
  if (terminal_ && !last_.empty()) put("\n");
  last_.clear();
}

}  // namespace vexal
