// The Qt side of the controller: reports reach their handler through the event loop alone,
// and a device plugged in is noticed through the change-notice socket.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "link/HidControllerClass.h"
#include "link/qt/HidQtBridge.h"
#include "support/ScriptedHidPlatform.h"

namespace vexal {
namespace {

ScriptedHidPlatform::Device cable(const std::string &path, std::uint32_t id) {
  ScriptedHidPlatform::Device device;
  device.path = path;
  device.instanceId = id;
  device.attributes = {0x1A86, 0xE008, 0x0100};
  device.product = u"USB to Serial";
  return device;
}

TEST(HidQtBridge, ReportsAreCarriedOutByTheEventLoop) {
  auto platform = std::make_shared<ScriptedHidPlatform>();
  platform->Plug(cable("cable", 1));
  THidDeviceController controller(platform);
  HidQtBridge bridge(controller);
  std::vector<std::uint8_t> firstBytes;
  bool onGuiThread = true;
  THidDevice *dev = controller.ClaimByIndex(0);
  dev->SetDataHandler([&](THidDevice &, std::uint8_t, const std::uint8_t *data, std::uint16_t) {
    onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
    firstBytes.push_back(data[1]);
  });
  for (std::uint8_t i = 0; i < 10; ++i) platform->QueueReport("cable", {0x00, 0xF1, i});
  EXPECT_TRUE(QTest::qWaitFor([&] { return firstBytes.size() == 10; }, 5000));
  EXPECT_TRUE(onGuiThread);
  for (std::uint8_t i = 0; i < 10; ++i) EXPECT_EQ(firstBytes[i], i);
  dev->Release();
}

TEST(HidQtBridge, PluggingADeviceRunsDeviceChangeOnTheGuiThread) {
  auto platform = std::make_shared<ScriptedHidPlatform>();
  THidDeviceController controller(platform);
  HidQtBridge bridge(controller);
  int arrivals = 0;
  int changes = 0;
  controller.SetOnArrival([&](THidDevice &) { ++arrivals; });
  controller.SetOnDeviceChange([&](THidDeviceController &) { ++changes; });
  ASSERT_EQ(changes, 1);
  platform->Plug(cable("cable", 1));
  EXPECT_TRUE(QTest::qWaitFor([&] { return arrivals == 1 && changes == 2; }, 5000));
  platform->Unplug("cable");
  EXPECT_TRUE(QTest::qWaitFor([&] { return controller.DeviceList().empty(); }, 5000));
  EXPECT_EQ(changes, 3);
}

TEST(HidQtBridge, ABridgeGoneBeforeAReadingThreadWakesIsHarmless) {
  auto platform = std::make_shared<ScriptedHidPlatform>();
  platform->Plug(cable("cable", 1));
  THidDeviceController controller(platform);
  int reports = 0;
  THidDevice *dev = controller.ClaimByIndex(0);
  {
    HidQtBridge bridge(controller);
    dev->SetDataHandler(
        [&](THidDevice &, std::uint8_t, const std::uint8_t *, std::uint16_t) { ++reports; });
    platform->QueueReport("cable", {0x00, 0xF0});
    EXPECT_TRUE(QTest::qWaitFor([&] { return reports == 1; }, 5000));
  }
  platform->QueueReport("cable", {0x00, 0xF0});
  // The reading thread takes the report and waits in its hand-over.
  EXPECT_TRUE(QTest::qWaitFor([&] { return platform->QueuedReads("cable") == 0; }, 5000));
  QTest::qWait(20);  // nothing carries it out now
  EXPECT_EQ(reports, 1);
  dev->SetDataHandler(nullptr);  // the stop carries out the pending one itself
  EXPECT_EQ(reports, 2);
  dev->Release();
}

}  // namespace
}  // namespace vexal
