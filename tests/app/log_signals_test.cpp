// The logger's end signals: SIGINT and SIGTERM make its pipe readable, and the handler leaves
// errno as the interrupted code had it, even when its own write fails (the pipe is full).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "app/LogSignals.h"

namespace vexal {
namespace {

// The handler that is installed for `sig`, called as the kernel would call it.
void deliver(int sig) {
  struct sigaction current {};
  ASSERT_EQ(::sigaction(sig, nullptr, &current), 0);
  ASSERT_NE(current.sa_handler, SIG_DFL);
  ASSERT_NE(current.sa_handler, SIG_IGN);
  current.sa_handler(sig);
}

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(LogSignals, EndSignalsWakeTheRunAndKeepErrnoAsItWas) {
  const int fd = catchEndSignals();
  ASSERT_GE(fd, 0);
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    char drain[4096];
    while (::read(fd, drain, sizeof drain) > 0) {
    }
    errno = EDOM;
    deliver(sig);
    EXPECT_EQ(errno, EDOM);
    EXPECT_TRUE(readable(fd)) << "the run's loop wakes";
  }

  // Signals while the pipe is full (a pipe holds 64 KiB here): the handler's write fails,
  // and errno must not show it.
  for (int i = 0; i < (1 << 17); ++i) deliver(SIGTERM);
  errno = EDOM;
  deliver(SIGTERM);
  EXPECT_EQ(errno, EDOM) << "the failed write inside the handler left errno alone";
  EXPECT_TRUE(readable(fd));

  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
}

}  // namespace
}  // namespace vexal
