// The reading threads: reports and errors handed to the GUI thread in order, stopping while
// a hand-over is pending, the hold between frames, and unplugging a reading device.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "scripted_hid_fixture.h"

namespace vexal::testing {
namespace {

class HidReadingTest : public ScriptedHidTest {
 protected:
  void SetUp() override { platform->Plug(scriptedDevice("cable", 1)); }
};

TEST_F(HidReadingTest, ReportsReachTheDataHandlerInReadOrderWithIdAndSize) {
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  ASSERT_TRUE(cable->Reading());

  platform->QueueReport("cable", {0x00, 0xF3, 0x11, 0x22, 0x33, 0, 0, 0, 0});
  platform->QueueEmptyRead("cable");  // transfers nothing: reaches nobody
  platform->QueueReport("cable", {0x05});
  for (int i = 0; i < 40; ++i) {
    platform->QueueReport("cable", {0x00, 0xF1, static_cast<std::uint8_t>(i)});
  }
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 42; }));

  EXPECT_EQ(seen[0].device, cable);
  EXPECT_EQ(seen[0].reportId, 0x00);
  EXPECT_EQ(seen[0].data, (std::vector<std::uint8_t>{0xF3, 0x11, 0x22, 0x33, 0, 0, 0, 0}));
  EXPECT_EQ(seen[1].reportId, 0x05);  // one byte read: the report ID alone, Size 0
  EXPECT_TRUE(seen[1].data.empty());
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(seen[2 + i].data, (std::vector<std::uint8_t>{0xF1, static_cast<std::uint8_t>(i)}));
  }
  // Every read asks for InputReportLength bytes, and only one is out at a time.
  for (std::size_t length : platform->ReadLengths("cable")) EXPECT_EQ(length, 9u);
  cable->SetDataHandler(nullptr);
  EXPECT_FALSE(cable->Reading());
  cable->Release();
}

TEST_F(HidReadingTest, AReportLongerThanTheBufferIsCutToInputReportLength) {
  platform->Update("cable", [](ScriptedHidPlatform::Device &d) { d.inputReportLength = 4; });
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  EXPECT_EQ(cable->ReadThread()->ReportLength(), 4u);
  platform->QueueReport("cable", {0, 1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 1; }));
  EXPECT_EQ(seen[0].data, (std::vector<std::uint8_t>{1, 2, 3}));
  cable->Release();
}

TEST_F(HidReadingTest, ReadsThatCannotStartGoToTheErrorHandlerAndAreRetried) {
  THidDeviceController controller(platform);
  std::vector<std::uint32_t> errors;
  std::vector<SeenReport> seen;
  controller.SetOnDeviceDataError(
      [&](THidDevice &, std::uint32_t code) { errors.push_back(code); });
  THidDevice *cable = controller.ClaimByIndex(0);
  platform->QueueStartFailure("cable", 31);
  platform->QueueStartFailure("cable", 1167);
  platform->QueueReport("cable", {0x00, 0xF0});
  cable->SetDataHandler(Recorder(seen));
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 1; }));
  EXPECT_EQ(errors, (std::vector<std::uint32_t>{31, 1167}));
  EXPECT_EQ(cable->ReadThread()->LastErrorCode(), 1167u);
  cable->Release();
}

TEST_F(HidReadingTest, ReplacingTheHandlerKeepsTheThreadAndRedirectsTheNextReport) {
  THidDeviceController controller(platform);
  std::vector<SeenReport> first;
  std::vector<SeenReport> second;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(first));
  const THidDeviceReadThread *thread = cable->ReadThread();
  platform->QueueReport("cable", {0x00, 0xF1, 0xAA});
  ASSERT_TRUE(PumpUntil(controller, [&] { return first.size() == 1; }));
  cable->SetDataHandler(Recorder(second));
  EXPECT_EQ(cable->ReadThread(), thread);
  platform->QueueReport("cable", {0x00, 0xF1, 0xBB});
  ASSERT_TRUE(PumpUntil(controller, [&] { return second.size() == 1; }));
  EXPECT_EQ(first.size(), 1u);
  EXPECT_EQ(second[0].data[1], 0xBB);
  cable->Release();
}

TEST_F(HidReadingTest, WakeCallbackIsCalledFromTheReadingThreadForEachHandOver) {
  THidDeviceController controller(platform);
  std::atomic<int> wakes{0};
  std::atomic<bool> fromOtherThread{true};
  const auto guiThread = std::this_thread::get_id();
  controller.SetHandOverWake([&] {
    if (std::this_thread::get_id() == guiThread) fromOtherThread = false;
    ++wakes;
  });
  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  for (int i = 0; i < 5; ++i) platform->QueueReport("cable", {0x00, 0xF0});
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 5; }));
  EXPECT_EQ(wakes.load(), 5);
  EXPECT_TRUE(fromOtherThread.load());
  cable->Release();
}

// The reading thread waits for its hand-over; the GUI thread stops it without pumping first.
// The stop must carry out the pending report itself, or the two would wait for each other.
TEST_F(HidReadingTest, StoppingWhileAHandOverIsPendingDeliversItAndEnds) {
  THidDeviceController controller(platform);
  std::promise<void> queued;
  std::atomic<bool> once{false};
  controller.SetHandOverWake([&] {
    if (!once.exchange(true)) queued.set_value();
  });
  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  platform->QueueReport("cable", {0x00, 0xF1, 0x42});
  ASSERT_EQ(queued.get_future().wait_for(5s), std::future_status::ready);

  const auto started = std::chrono::steady_clock::now();
  cable->SetDataHandler(nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].data[1], 0x42);
  EXPECT_FALSE(cable->Reading());
  cable->Release();
}

TEST_F(HidReadingTest, AHandlerMayStopItsOwnThread) {
  THidDeviceController controller(platform);
  THidDevice *cable = controller.ClaimByIndex(0);
  int calls = 0;
  cable->SetDataHandler([&](THidDevice &dev, std::uint8_t, const std::uint8_t *, std::uint16_t) {
    ++calls;
    dev.SetDataHandler(nullptr);
  });
  platform->QueueReport("cable", {0x00, 0xF0});
  platform->QueueReport("cable", {0x00, 0xF0});
  ASSERT_TRUE(PumpUntil(controller, [&] { return !cable->Reading(); }));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(controller.processHandOvers(), 0);
  EXPECT_EQ(platform->QueuedReads("cable"), 1u);  // the second report was never read
  cable->Release();
}

TEST_F(HidReadingTest, StoppingDuringAnOutstandingReadCancelsIt) {
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  ASSERT_TRUE(platform->WaitForIdleRead("cable", 5s));
  const int cancelsBefore = platform->Cancels();
  cable->SetDataHandler(nullptr);
  EXPECT_EQ(platform->Cancels(), cancelsBefore + 1);
  EXPECT_TRUE(seen.empty());
  // The read handle stays open until the device is given back.
  EXPECT_EQ(platform->OpenHandles("cable"), 1);
  cable->Release();
  EXPECT_EQ(platform->OpenHandles("cable"), 0);
}

TEST_F(HidReadingTest, HoldWaitsInSleepTimeSlicesBeforeTheNextRead) {
  THidDeviceController controller(platform);
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetSleepTime(200);
  std::vector<SeenReport> seen;
  const THidDataEvent record = Recorder(seen);
  cable->SetDataHandler(
      [&](THidDevice &dev, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        record(dev, id, data, size);
        if (seen.size() == 1) dev.HoldNextRead(500ms);
      });
  platform->QueueReport("cable", {0x00, 0xF1, 0x01});
  platform->QueueReport("cable", {0x00, 0xF1, 0x02});
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 2; }));
  cable->SetDataHandler(nullptr);
  // 500 ms in slices of 200 ms, and no wait after the second report.
  EXPECT_EQ(platform->Sleeps(), (std::vector<std::chrono::milliseconds>{200ms, 200ms, 100ms}));
  cable->Release();
}

TEST_F(HidReadingTest, StopEndsAHoldEarly) {
  platform->SetRealSleep(true);
  THidDeviceController controller(platform);
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetSleepTime(10);
  std::atomic<bool> held{false};
  cable->SetDataHandler([&](THidDevice &dev, std::uint8_t, const std::uint8_t *, std::uint16_t) {
    dev.HoldNextRead(std::chrono::hours(1));
    held = true;
  });
  platform->QueueReport("cable", {0x00, 0xF0});
  ASSERT_TRUE(PumpUntil(controller, [&] { return held.load(); }));
  std::this_thread::sleep_for(30ms);
  const auto started = std::chrono::steady_clock::now();
  cable->SetDataHandler(nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_FALSE(cable->Reading());
  cable->Release();
}

TEST_F(HidReadingTest, UnplugOfAClaimedReadingDevice) {
  platform->Plug(scriptedDevice("mouse", 2, u"Mouse", 0x046D, 0xC077));
  THidDeviceController controller(platform);
  std::vector<std::string> events;
  std::vector<std::uint32_t> errors;
  controller.SetOnDeviceUnplug([&](THidDevice &d) {
    EXPECT_FALSE(d.Attached());
    events.push_back("unplug");
  });
  controller.SetOnRemoval([&](THidDevice &d) {
    EXPECT_TRUE(d.InCallback());
    events.push_back("removal " + d.PnPInfo().InterfacePath);
  });
  controller.SetOnDeviceChange([&](THidDeviceController &) { events.push_back("change"); });
  controller.SetOnDeviceDataError(
      [&](THidDevice &, std::uint32_t code) { errors.push_back(code); });
  events.clear();

  std::vector<SeenReport> seen;
  THidDevice *cable = controller.ClaimByIndex(0);
  cable->SetDataHandler(Recorder(seen));
  ASSERT_TRUE(platform->WaitForIdleRead("cable", 5s));

  platform->Unplug("cable");
  controller.DeviceChange();
  EXPECT_EQ(events, (std::vector<std::string>{"unplug", "removal cable", "change"}));
  // The entry stays, unplugged, until it is released; its thread keeps reporting errors.
  ASSERT_EQ(controller.DeviceList().size(), 2u);
  EXPECT_EQ(controller.DeviceList()[0], cable);
  EXPECT_FALSE(cable->Attached());
  EXPECT_TRUE(cable->Claimed());
  EXPECT_TRUE(cable->Reading());
  ASSERT_TRUE(PumpUntil(controller, [&] { return errors.size() >= 3; }));
  EXPECT_TRUE(seen.empty());

  // Every later scan reports it again, without a second unplug call.
  events.clear();
  controller.DeviceChange();
  EXPECT_EQ(events, (std::vector<std::string>{"removal cable", "change"}));

  cable->SetDataHandler(nullptr);
  const std::size_t errorCount = errors.size();
  EXPECT_EQ(controller.processHandOvers(), 0);
  EXPECT_EQ(errors.size(), errorCount);  // no handler runs once it is removed
  cable->Release();
  ASSERT_EQ(controller.DeviceList().size(), 1u);
  EXPECT_EQ(controller.DeviceList()[0]->PnPInfo().InterfacePath, "mouse");
  EXPECT_EQ(platform->OpenHandles("cable"), 0);
}

TEST_F(HidReadingTest, TwoDevicesReadSideBySide) {
  platform->Plug(scriptedDevice("second", 2));
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  controller.SetOnDeviceData(Recorder(seen));
  THidDevice *a = controller.ClaimByIndex(0);
  THidDevice *b = controller.ClaimByIndex(1);
  ASSERT_TRUE(a->Reading());
  ASSERT_TRUE(b->Reading());
  for (int i = 0; i < 20; ++i) {
    platform->QueueReport("cable", {0x00, 0xF1, static_cast<std::uint8_t>(i)});
    platform->QueueReport("second", {0x00, 0xF1, static_cast<std::uint8_t>(100 + i)});
  }
  ASSERT_TRUE(PumpUntil(controller, [&] { return seen.size() == 40; }));
  int nextA = 0;
  int nextB = 100;
  for (const SeenReport &r : seen) {
    if (r.device == a) {
      EXPECT_EQ(r.data[1], nextA++);
    } else {
      EXPECT_EQ(r.data[1], nextB++);
    }
  }
  a->Release();
  b->Release();
}

TEST_F(HidReadingTest, DestroyingTheControllerStopsReadingThreadsWithPendingHandOvers) {
  std::vector<SeenReport> seen;
  THidDevice *cable = nullptr;
  {
    THidDeviceController controller(platform);
    cable = controller.ClaimByIndex(0);
    cable->SetDataHandler(Recorder(seen));
    platform->QueueReport("cable", {0x00, 0xF1, 0x07});
    // Nobody pumps: the destructor has to carry the hand-over out to end the thread.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (platform->QueuedReads("cable") != 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
  }
  EXPECT_FALSE(cable->Reading());
  EXPECT_LE(seen.size(), 1u);
  cable->Release();
}

}  // namespace
}  // namespace vexal::testing
