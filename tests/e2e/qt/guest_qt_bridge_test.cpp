// Guest test: the HID controller driven by the Qt event loop, as in the program: plug-in
// notices through the socket notifier, reports handed to the GUI thread by queued calls.
// Runs inside the QEMU guest (run-e2e.sh); skips where there is no /dev/uhid.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <string>
#include <vector>

#include "GuiLoop.h"
#include "SimProcess.h"
#include "link/ConnectionControl.h"
#include "link/FrameAssembler.h"
#include "link/HidControllerClass.h"
#include "link/HidPlatformLinux.h"
#include "link/qt/HidQtBridge.h"
#include "support/MeterFrames.h"

namespace vexal::e2e {
namespace {

THidDevice *findCable(THidDeviceController &ctl, int &index) {
  const auto &list = ctl.DeviceList();
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i]->Attached() && list[i]->VendorId() == 0x1a86 && list[i]->ProductId() == 0xe008) {
      index = static_cast<int>(i);
      return list[i];
    }
  return nullptr;
}

TEST(QtBridgeOnHidraw, NoticesAndReportsComeThroughTheEventLoop) {
  if (!haveUhid()) GTEST_SKIP() << "needs /dev/uhid (run through tests/e2e/run-e2e.sh)";
  HangGuard guard(std::chrono::seconds(60));
  THidDeviceController controller(std::make_shared<HidPlatformLinux>());
  HidQtBridge bridge(controller);
  std::vector<std::string> events;
  controller.SetOnArrival(THidPlugEvent(
      [&](THidDevice &d) { events.push_back("arrival " + std::to_string(d.VendorId())); }));
  controller.SetOnRemoval(THidPlugEvent([&](THidDevice &) { events.push_back("removal"); }));

  SimProcess sim({"--scenario", "steady", "--period-ms", "300"});
  ASSERT_TRUE(sim.started()) << sim.why();
  int index = -1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return findCable(controller, index) != nullptr; }, 10000))
      << "the plug-in reaches the controller through the event loop";
  EXPECT_EQ(events, std::vector<std::string>{"arrival " + std::to_string(0x1a86)});

  THidDevice *cable = controller.ClaimByIndex(index);
  ASSERT_NE(cable, nullptr);
  ASSERT_TRUE(cable->SendFeature(kCableFeatureReport.data(), kCableFeatureReport.size()));
  std::vector<std::string> frames;
  bool offGuiThread = false;
  FrameAssembler assembler;
  cable->SetDataHandler(THidDataEvent(
      [&](THidDevice &, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        if (auto text = assembler.ReadLusk(id, data, size)) frames.push_back(*text);
      }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= 3; }, 10000));
  EXPECT_FALSE(offGuiThread) << "reports are handled on the GUI thread only";
  for (const std::string &f : frames) EXPECT_EQ(f, kWorkedExampleFrame);

  ASSERT_TRUE(sim.command("unplug-mid-frame"));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !events.empty() && events.back() == "removal"; }, 10000));
  EXPECT_FALSE(cable->Attached());
  cable->SetDataHandler(nullptr);
  cable->Release();
  EXPECT_EQ(sim.stop(), 0);
}

}  // namespace
}  // namespace vexal::e2e
