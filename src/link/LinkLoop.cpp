#include "link/LinkLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace vexal {

LinkLoop::LinkLoop() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

LinkLoop::~LinkLoop() {
  detach();
  if (wakeFd_ >= 0) close(wakeFd_);
}

void LinkLoop::detach() {
  if (controller_) controller_->SetHandOverWake(nullptr);
  controller_ = nullptr;
}

void LinkLoop::attach(THidDeviceController &controller) {
  controller_ = &controller;
  const int fd = wakeFd_;
  // Called on a reading thread: only signal the loop.
  controller.SetHandOverWake([fd] {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
  });
}

void LinkLoop::setTickHandler(std::function<void()> handler) {
  onTick_ = std::move(handler);
  tickDue_ = Clock::now() + kTickInterval;
}

void LinkLoop::watch(int fd, std::function<void()> handler) {
  watched_.push_back({fd, std::move(handler)});
}

void LinkLoop::runOnce(Clock::time_point until) {
  auto wake = until;
  if (watchdogDue_) wake = std::min(wake, *watchdogDue_);
  if (tickDue_) wake = std::min(wake, *tickDue_);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
  std::vector<pollfd> fds = {{wakeFd_, POLLIN, 0},
                             {controller_ ? controller_->ChangeNoticeFd() : -1, POLLIN, 0}};
  for (const Watched &w : watched_) fds.push_back({w.fd, POLLIN, 0});
  poll(fds.data(), fds.size(),
       static_cast<int>(std::clamp<long long>(left.count(), 0, longestWait_.count())));
  if (fds[0].revents & POLLIN) {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
  }
  if (controller_) {
    controller_->processHandOvers();
    if (fds[1].revents & POLLIN) controller_->HandleChangeNotice();
  }
  // A handler may add descriptors: only those polled are looked at.
  for (std::size_t i = 2; i < fds.size(); ++i)
    if (fds[i].revents & (POLLIN | POLLHUP)) watched_[i - 2].handler();
  runDueTimers();
}

void LinkLoop::runDueTimers() {
  const auto now = Clock::now();
  if (watchdogDue_ && now >= *watchdogDue_) {
    // The watchdog keeps running after its tick; its handler may stop or restart it.
    *watchdogDue_ += kWatchdogInterval;
    ++watchdogTicks;
    if (onWatchdog_) onWatchdog_();
  }
  if (tickDue_ && now >= *tickDue_) {
    *tickDue_ += kTickInterval;
    if (onTick_) onTick_();
  }
}

bool LinkLoop::runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() >= until) return false;
    runOnce(until);
  }
  return true;
}

void LinkLoop::runFor(std::chrono::milliseconds duration) {
  runUntil([] { return false; }, duration);
}

}  // namespace vexal
