#include "app/LogSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace vexal {

namespace {

int gSignalWrite = -1;

// Runs between any two instructions of the program: whatever errno the interrupted code was
// about to look at must still be there when it goes on (the write fails when the pipe is
// full, and that is fine: one byte in it is enough).
void onEndSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalWrite, &byte, 1);
  errno = saved;
}

}  // namespace

void ignoreBrokenPipes() {
  ::signal(SIGPIPE, SIG_IGN);
}

int catchEndSignals() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
  gSignalWrite = fds[1];
  struct sigaction action {};
  action.sa_handler = onEndSignal;
  action.sa_flags = SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  return fds[0];
}

}  // namespace vexal
