// The windowless GUI thread: its watchdog timer, its one-second tick and the descriptors it
// watches, without a HID controller.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "link/LinkLoop.h"

namespace vexal {
namespace {

using namespace std::chrono_literals;

TEST(LinkLoop, TheWatchdogFiresASecondAfterItsStartAndKeepsRunningUntilStopped) {
  LinkLoop loop;
  int fired = 0;
  loop.setWatchdogHandler([&] { ++fired; });
  loop.runFor(1100ms);
  EXPECT_EQ(fired, 0) << "not started";
  loop.startWatchdog();
  loop.runFor(700ms);
  loop.startWatchdog();  // a restart counts the full second from now
  loop.runFor(700ms);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(loop.runUntil([&] { return fired == 1; }, 500ms));
  EXPECT_TRUE(loop.watchdogRunning());
  EXPECT_TRUE(loop.runUntil([&] { return fired == 2; }, 1100ms)) << "and again a second later";
  loop.stopWatchdog();
  loop.runFor(1100ms);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(loop.watchdogTicks, 2);
}

TEST(LinkLoop, TicksEverySecondAndServesAWatchedDescriptorAtOnce) {
  LinkLoop loop;
  int ticks = 0;
  loop.setTickHandler([&] { ++ticks; });
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  int served = 0;
  loop.watch(fds[0], [&] {
    char byte;
    ASSERT_EQ(read(fds[0], &byte, 1), 1);
    ++served;
  });
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  const auto start = LinkLoop::Clock::now();
  EXPECT_TRUE(loop.runUntil([&] { return served == 1; }, 500ms));
  EXPECT_LT(LinkLoop::Clock::now() - start, 500ms);
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(loop.runUntil([&] { return ticks == 2; }, 2500ms));
  EXPECT_EQ(served, 1) << "served only when readable";
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace vexal
