#include "GuiLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace vexal::e2e {

using namespace std::chrono_literals;

GuiLoop::GuiLoop() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

GuiLoop::~GuiLoop() {
  if (controller_) controller_->SetHandOverWake(nullptr);
  if (wakeFd_ >= 0) close(wakeFd_);
}

void GuiLoop::attach(THidDeviceController &controller) {
  controller_ = &controller;
  const int fd = wakeFd_;
  // Called on a reading thread: only signal the loop.
  controller.SetHandOverWake([fd] {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
  });
}

void GuiLoop::timer2Start() {
  timerDue_ = Clock::now() + 1000ms;
}

void GuiLoop::runOnce(Clock::time_point until) {
  auto wake = until;
  if (timerDue_ && *timerDue_ < wake) wake = *timerDue_;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
  pollfd fds[2] = {{wakeFd_, POLLIN, 0},
                   {controller_ ? controller_->ChangeNoticeFd() : -1, POLLIN, 0}};
  poll(fds, 2, static_cast<int>(std::clamp<long long>(left.count(), 0, 20)));
  if (fds[0].revents & POLLIN) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
  }
  if (!controller_) return;
  controller_->processHandOvers();
  if (fds[1].revents & POLLIN) controller_->HandleChangeNotice();
  if (timerDue_ && Clock::now() >= *timerDue_) {
    // The watchdog keeps running after its tick; its handler may stop or restart it.
    *timerDue_ += 1000ms;
    ++watchdogTicks;
    if (connection_) connection_->Timer2Timer();
  }
}

bool GuiLoop::runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() >= until) return false;
    runOnce(until);
  }
  return true;
}

void GuiLoop::runFor(std::chrono::milliseconds duration) {
  runUntil([] { return false; }, duration);
}

struct HangGuard::State {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  std::thread thread;
};

HangGuard::HangGuard(std::chrono::seconds limit) : state_(new State) {
  state_->thread = std::thread([s = state_, limit] {
    std::unique_lock<std::mutex> lock(s->mutex);
    if (!s->cv.wait_for(lock, limit, [s] { return s->done; })) {
      std::fprintf(stderr, "HANG: the test did not finish within %lld s\n",
                   static_cast<long long>(limit.count()));
      std::fflush(stderr);
      _exit(3);
    }
  });
}

HangGuard::~HangGuard() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->done = true;
  }
  state_->cv.notify_one();
  state_->thread.join();
  delete state_;
}

}  // namespace vexal::e2e
