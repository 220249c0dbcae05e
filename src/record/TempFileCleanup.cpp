#include "record/TempFileCleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace vexal {

namespace {

constexpr int kSlots = 16;
enum SlotState : int { kFree, kFilling, kReady };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};

Slot slots[kSlots];
struct sigaction previousInt, previousTerm;
std::atomic<bool> installed{false};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads slot states");

// Runs in the signal handler: only async-signal-safe calls.
void removeRegistered() {
  for (Slot &slot : slots)
    if (slot.state.load() == kReady) ::unlink(slot.path);
}

void onTerminatingSignal(int sig) {
  removeRegistered();
  // End as the signal would have ended the process without this handler.
  ::sigaction(sig, sig == SIGINT ? &previousInt : &previousTerm, nullptr);
  ::raise(sig);
}

}  // namespace

void installTempFileCleanup() {
  if (installed.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = onTerminatingSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaddset(&action.sa_mask, SIGINT);
  ::sigaddset(&action.sa_mask, SIGTERM);
  action.sa_flags = SA_RESETHAND;
  ::sigaction(SIGINT, &action, &previousInt);
  ::sigaction(SIGTERM, &action, &previousTerm);
  // A signal that was ignored at start (e.g. a background job's SIGINT) stays ignored.
  if (previousInt.sa_handler == SIG_IGN) ::sigaction(SIGINT, &previousInt, nullptr);
  if (previousTerm.sa_handler == SIG_IGN) ::sigaction(SIGTERM, &previousTerm, nullptr);
}

TempFileGuard::TempFileGuard(const std::string &path) {
  if (path.size() >= PATH_MAX) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kReady);
    slot_ = i;
    return;
  }
}

TempFileGuard::~TempFileGuard() {
  if (slot_ >= 0) slots[slot_].state.store(kFree);
}

}  // namespace vexal
