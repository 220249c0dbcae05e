// The session on a scripted cable: the watchdog must not cost a reading the meter sent whole
// while the cable stayed plugged in, when it fires on a reader that is behind the meter.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/MeterSession.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedHidPlatform.h"

namespace vexal {
namespace {

using namespace std::chrono_literals;

struct ManualTimer : SessionTimer {
  void start() override {}
  void stop() override {}
};

// Plays the GUI thread: carries out hand-overs until `done` holds (true) or 5 s pass.
bool pumpUntil(MeterSession &session, const std::function<bool()> &done) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (session.HidCtl().processHandOvers() == 0) std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A second passes without a decoded frame, although the meter sends the next one whole: the
// link's 500 ms hold and a busy processor have kept the reader behind it. Either the frame's
// first reports have reached the session and the rest is on its way ("arriving"), or they
// are still queued for the reader ("waiting"). The tick must not cut that frame.
TEST(MeterSessionLink, AWatchdogTickOnAReaderBehindTheMeterLosesNoReading) {
  // 7 + 7 + 7 + 1 bytes, then none; each behind the report-ID byte, as the platform reads it.
  auto frame = cableReportsFor(kWorkedExampleFrame);
  for (auto &report : frame) report.insert(report.begin(), 0x00);
  for (const bool arriving : {true, false}) {
    SCOPED_TRACE(arriving ? "the frame is arriving" : "the frame waits for the reader");
    auto platform = std::make_shared<ScriptedHidPlatform>();
    // The link's hold after a frame really waits: the next frame's reports queue up meanwhile.
    platform->SetRealSleep(true);
    ScriptedHidPlatform::Device cable;
    cable.path = "/dev/cable";
    cable.instanceId = 1;
    cable.product = u"USB to Serial";
    platform->Plug(cable);
    FixedClock clock{36'000'000};
    ManualTimer watchdog;
    MeterSession session(clock, platform, watchdog);
    session.link().Panel2Click();
    ASSERT_TRUE(session.link().USBConDown());
    // The reader waits for the cable with nothing queued for it.
    const auto caughtUp = [&] {
      return platform->WaitForIdleRead("/dev/cable", 0ms) && !session.link().ReadingBehind();
    };

    // The first frame is read as it comes, recorded, and held after; the next one queues up
    // during the hold.
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
      platform->QueueReport("/dev/cable", frame[i]);
    ASSERT_TRUE(pumpUntil(session, [&] { return session.assembler.FrameBuffer().size() == 44; }));
    ASSERT_TRUE(pumpUntil(session, caughtUp));
    platform->QueueReport("/dev/cable", frame.back());
    ASSERT_TRUE(pumpUntil(session, [&] { return session.cds1.rowCount() == 1; }));
    const std::size_t queuedFirst = arriving ? 2 : frame.size();
    for (std::size_t i = 0; i < queuedFirst; ++i) platform->QueueReport("/dev/cable", frame[i]);
    if (arriving) {
      ASSERT_TRUE(pumpUntil(session, [&] { return session.assembler.FrameBuffer().size() == 28; }));
      ASSERT_TRUE(pumpUntil(session, caughtUp));
    } else {
      // After the hold the reader takes the frame's first report, which was waiting for it.
      const auto deadline = std::chrono::steady_clock::now() + 5s;
      while (platform->QueuedReads("/dev/cable") == frame.size() &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
      ASSERT_EQ(platform->QueuedReads("/dev/cable"), frame.size() - 1);
      ASSERT_TRUE(session.link().ReadingBehind());
    }

    session.Timer2Timer();  // a second without a decoded frame
    for (std::size_t i = queuedFirst; i < frame.size(); ++i)
      platform->QueueReport("/dev/cable", frame[i]);
    // Had the tick released the link, the next one opens it again.
    if (!session.link().USBConDown()) session.Timer2Timer();

    pumpUntil(session, [&] { return session.cds1.rowCount() == 2; });
    EXPECT_EQ(session.cds1.rowCount(), 2u) << "the second frame is recorded";
    EXPECT_EQ(platform->FeatureAttempts("/dev/cable").size(), 1u) << "only Connect's";
    EXPECT_TRUE(session.link().USBConDown());

    // Frames that really stop: once the reader waits for the cable with nothing left in the
    // queue, the next tick releases the link.
    ASSERT_TRUE(pumpUntil(session, caughtUp));
    session.Timer2Timer();
    EXPECT_FALSE(session.link().USBConDown()) << "released: frames stopped";
    session.Timer2Timer();
    EXPECT_TRUE(session.link().USBConDown()) << "opened again a second later";
    EXPECT_EQ(platform->FeatureAttempts("/dev/cable").size(), 3u);
  }
}

}  // namespace
}  // namespace vexal
