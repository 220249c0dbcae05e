#include "GuiLoop.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace vexal::e2e {

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
