#include "link/ConnectionControl.h"

#include <gtest/gtest.h>

#include "link/FrameAssembler.h"
#include "scripted_hid_fixture.h"

namespace vexal {
namespace {

using namespace vexal::testing;

struct FakeShell : LinkShell {
  int timerStarts = 0, timerStops = 0;
  std::vector<std::string> messages;
  void timer2Start() override { ++timerStarts; }
  void timer2Stop() override { ++timerStops; }
  void showInformation(const std::string &text) override { messages.push_back(text); }
  void linkStateChanged() override {}
};

const std::string kFeatureLine = "60 09 00 00 03 00 00 00 00 00 ";
const std::vector<std::uint8_t> kFeatureBytes{0x00, 0x60, 0x09, 0, 0, 3, 0, 0, 0, 0};

class ConnectionControlTest : public ScriptedHidTest {
 protected:
  FakeShell shell;
  std::vector<std::vector<std::uint8_t>> reports;  // what ReadLusk got
  std::unique_ptr<THidDeviceController> hidCtl;
  std::unique_ptr<ConnectionControl> link;
  FrameAssembler assembler;
  std::vector<std::string> frames;  // whole frames the reports made

  void start() {
    hidCtl = std::make_unique<THidDeviceController>(platform);
    link = std::make_unique<ConnectionControl>(
        *hidCtl, shell, [this](std::uint8_t id, const std::uint8_t *d, std::uint16_t n) {
          reports.emplace_back(d, d + n);
          if (auto text = assembler.ReadLusk(id, d, n)) frames.push_back(*text);
          return false;
        });
  }
  void TearDown() override {
    link.reset();
    hidCtl.reset();
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const auto &l : link->DevListBox()) out.push_back(l.text);
    return out;
  }
  void changeDevices() {
    while (hidCtl->HandleChangeNotice()) {
    }
  }
};

TEST_F(ConnectionControlTest, ListsEveryDeviceAndSelectsTheLastCable) {
  platform->Plug(scriptedDevice("/dev/a", 1));
  auto noName = scriptedDevice("/dev/b", 2, u"", 0x1A, 0x2B);
  platform->Plug(noName);
  auto withSerial = scriptedDevice("/dev/c", 3);
  withSerial.serial = u"A17";
  platform->Plug(withSerial);
  platform->Plug(scriptedDevice("/dev/d", 4));
  platform->Plug(scriptedDevice("/dev/e", 5, u"Keyboard"));
  start();
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"USB to Serial", "Device VID=001A PID=002B",
                                      "USB to Serial (Serial=A17)", "USB to Serial", "Keyboard"}));
  EXPECT_EQ(link->DevListSelected(), 3);
  for (const auto &l : link->DevListBox()) EXPECT_TRUE(l.device && l.device->Claimed());
  EXPECT_TRUE(link->HistoryListBox().empty());
}

TEST_F(ConnectionControlTest, ConnectWithoutCable) {
  platform->Plug(scriptedDevice("/dev/k", 1, u"Keyboard"));
  start();
  link->Panel2Click();
  EXPECT_EQ(shell.messages, std::vector<std::string>{kCableMissingText});
  EXPECT_FALSE(link->LinkOpened());
  EXPECT_FALSE(link->USBConDown());
  EXPECT_TRUE(link->ComsetEnabled());
  // The history keeps a trace of the attempt: what was looked for among how many devices.
  EXPECT_EQ(
      link->HistoryListBox(),
      std::vector<std::string>{"NO CABLE: no \"USB to Serial\" among the 1 HID devices seen"});
}

TEST_F(ConnectionControlTest, ConnectSendsTheFeatureReportAndReads) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  EXPECT_TRUE(link->LinkOpened());
  EXPECT_TRUE(link->USBConDown());
  EXPECT_FALSE(link->ComsetEnabled());
  EXPECT_EQ(link->HistoryListBox(), std::vector<std::string>{kFeatureLine});
  auto features = platform->FeatureAttempts("/dev/cable");
  ASSERT_EQ(features.size(), 1u);
  EXPECT_EQ(features[0].bytes, kFeatureBytes);

  platform->QueueReport("/dev/cable", {0x00, 0xF2, 0x0D, 0x0A});
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return !reports.empty(); }));
  EXPECT_EQ(reports[0], (std::vector<std::uint8_t>{0xF2, 0x0D, 0x0A}));
  EXPECT_FALSE(link->Timer2Enabled());  // no decoded frame yet: no watchdog

  link->Panel2Click();
  EXPECT_FALSE(link->LinkOpened());
  EXPECT_FALSE(link->USBConDown());
  EXPECT_FALSE(link->DevListBox()[0].device->Reading());
  EXPECT_EQ(link->HistoryListBox().size(), 2u);
}

TEST_F(ConnectionControlTest, WatchdogAlternatesAndDisconnectInReleasedHalf) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  link->restartWatchdog();  // a decoded frame
  EXPECT_TRUE(link->Timer2Enabled());
  THidDevice *cable = link->DevListBox()[0].device;
  link->Timer2Timer();  // released half
  EXPECT_FALSE(link->USBConDown());
  EXPECT_FALSE(cable->Reading());
  EXPECT_TRUE(link->LinkOpened());  // the panel still offers Disconnect
  link->Timer2Timer();              // re-opened
  EXPECT_TRUE(link->USBConDown());
  EXPECT_TRUE(cable->Reading());
  EXPECT_EQ(platform->FeatureAttempts("/dev/cable").size(), 3u);
  EXPECT_EQ(link->HistoryListBox().size(), 3u);
  EXPECT_TRUE(shell.messages.empty());

  link->Timer2Timer();  // released half again; now the user presses Disconnect
  link->Panel2Click();
  EXPECT_FALSE(link->Timer2Enabled());
  EXPECT_TRUE(link->USBConDown());  // the press opened the link again
  EXPECT_TRUE(link->LinkOpened());
  link->Panel2Click();
  EXPECT_FALSE(link->USBConDown());
  EXPECT_FALSE(link->LinkOpened());
  EXPECT_FALSE(cable->Reading());
}

TEST_F(ConnectionControlTest, WatchdogStaysOffWhenTheStopDeliversAFrame) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  hidCtl = std::make_unique<THidDeviceController>(platform);
  // This ReadLusk stands for a frame completed by a report handed over during the stop.
  link = std::make_unique<ConnectionControl>(
      *hidCtl, shell, [this](std::uint8_t, const std::uint8_t *, std::uint16_t) {
        link->restartWatchdog();
        return false;
      });
  link->Panel2Click();
  platform->QueueReport("/dev/cable", {0x00, 0xF0});
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return link->Timer2Enabled(); }));
  // The next report is read and waits in its hand-over when the user presses Disconnect.
  platform->QueueReport("/dev/cable", {0x00, 0xF0});
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (platform->QueuedReads("/dev/cable") > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  const int startsBefore = shell.timerStarts;
  link->Panel2Click();
  EXPECT_GT(shell.timerStarts, startsBefore);  // the stop delivered the frame
  EXPECT_FALSE(link->USBConDown());
  EXPECT_FALSE(link->Timer2Enabled());
}

TEST_F(ConnectionControlTest, DeviceChangeWhileConnectedResumesReading) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  platform->Plug(scriptedDevice("/dev/mouse", 2, u"Mouse"));
  changeDevices();
  // Reading resumes as Connect starts it, with the line-rate report.
  EXPECT_EQ(link->HistoryListBox(),
            (std::vector<std::string>{kFeatureLine, "Arrival of Mouse", kFeatureLine}));
  EXPECT_EQ(lines(), (std::vector<std::string>{"USB to Serial", "Mouse"}));
  EXPECT_EQ(link->DevListSelected(), 0);
  EXPECT_TRUE(link->USBConDown());
  THidDevice *cable = link->DevListBox()[0].device;
  EXPECT_TRUE(cable->Reading());
  platform->QueueReport("/dev/cable", {0x00, 0xF1, 0x42});
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return !reports.empty(); }));

  platform->Unplug("/dev/cable");
  changeDevices();
  // The product string was read while listed; read errors of the stopping thread may follow.
  const auto &history = link->HistoryListBox();
  EXPECT_NE(std::find(history.begin(), history.end(), "Removal of USB to Serial"), history.end());
  EXPECT_EQ(lines(), (std::vector<std::string>{"Mouse"}));
  EXPECT_EQ(link->DevListSelected(), -1);
  // The next link step finds no cable and only toggles.
  link->Timer2Timer();
  EXPECT_FALSE(link->USBConDown());
  EXPECT_TRUE(shell.messages.empty());
}

TEST_F(ConnectionControlTest, CableReplugedWhileConnectedGetsItsLineRateBeforeReading) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  ASSERT_EQ(platform->FeatureAttempts("/dev/cable").size(), 1u);
  platform->Unplug("/dev/cable");
  changeDevices();
  ASSERT_EQ(link->DevListSelected(), -1);
  // A fresh cable chip: no frame was ever decoded, so no watchdog would help.
  platform->Plug(scriptedDevice("/dev/cable2", 3));
  changeDevices();
  ASSERT_EQ(link->DevListSelected(), 0);
  EXPECT_FALSE(link->Timer2Enabled());
  auto features = platform->FeatureAttempts("/dev/cable2");
  ASSERT_EQ(features.size(), 1u);
  EXPECT_EQ(features[0].bytes, kFeatureBytes);
  const auto &history = link->HistoryListBox();
  auto arrival = std::find(history.begin(), history.end(), "Arrival of USB to Serial");
  ASSERT_NE(arrival, history.end());
  EXPECT_NE(std::find(arrival, history.end(), kFeatureLine), history.end());
  THidDevice *cable = link->DevListBox()[0].device;
  EXPECT_TRUE(cable->Reading());
  reports.clear();
  platform->QueueReport("/dev/cable2", {0x00, 0xF1, 0x42});
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return !reports.empty(); }));
  EXPECT_EQ(reports.back(), (std::vector<std::uint8_t>{0xF1, 0x42}));
}

TEST_F(ConnectionControlTest, FrameCutByADeviceChangeIsNotJoinedToTheNextOne) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  // A frame of the bytes 1 to 20, CR, LF in input reports of up to seven bytes.
  auto head = [&] {
    platform->QueueReport("/dev/cable", {0x00, 0xF7, 1, 2, 3, 4, 5, 6, 7});
    platform->QueueReport("/dev/cable", {0x00, 0xF7, 8, 9, 10, 11, 12, 13, 14});
  };
  auto tail = [&] {
    platform->QueueReport("/dev/cable", {0x00, 0xF7, 15, 16, 17, 18, 19, 20, 0x0D});
    platform->QueueReport("/dev/cable", {0x00, 0xF1, 0x0A, 0, 0, 0, 0, 0, 0});
    platform->QueueReport("/dev/cable", {0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0});
  };
  link->Panel2Click();
  head();
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return reports.size() == 2; }));
  // The devices change before the rest arrives; reading resumes with the end of another
  // transmission, which alone would complete the cut one.
  platform->Plug(scriptedDevice("/dev/mouse", 2, u"Mouse"));
  changeDevices();
  ASSERT_TRUE(link->DevListBox()[0].device->Reading());
  tail();
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return reports.size() >= 6; }));
  EXPECT_TRUE(frames.empty()) << frames.front();
  // A whole frame afterwards is read as usual.
  head();
  tail();
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return !frames.empty(); }));
  EXPECT_EQ(frames, std::vector<std::string>{"0102030405060708090A0B0C0D0E0F10111213140D0A"});
}

// The meter stalls in the middle of a frame long enough for the watchdog to release the link.
// The cable stays plugged in and its reports queue up for the open read handle meanwhile: the
// re-open reads on from there, and the frame the meter sent whole is decoded whole.
TEST_F(ConnectionControlTest, AFrameTheWatchdogCutsIsCompletedFromTheQueueAfterTheReopen) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  link->restartWatchdog();  // an earlier frame
  platform->QueueReport("/dev/cable", {0x00, 0xF7, 1, 2, 3, 4, 5, 6, 7});
  platform->QueueReport("/dev/cable", {0x00, 0xF7, 8, 9, 10, 11, 12, 13, 14});
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return reports.size() == 2; }));
  ASSERT_TRUE(platform->WaitForIdleRead("/dev/cable", 5s));
  link->Timer2Timer();  // released half
  ASSERT_FALSE(link->DevListBox()[0].device->Reading());
  platform->QueueReport("/dev/cable", {0x00, 0xF7, 15, 16, 17, 18, 19, 20, 0x0D});
  platform->QueueReport("/dev/cable", {0x00, 0xF1, 0x0A, 0, 0, 0, 0, 0, 0});
  platform->QueueReport("/dev/cable", {0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0});
  link->Timer2Timer();  // re-opened
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return reports.size() == 5; }));
  EXPECT_EQ(frames, std::vector<std::string>{"0102030405060708090A0B0C0D0E0F10111213140D0A"});
}

TEST_F(ConnectionControlTest, CableWithoutAccessIsExplained) {
  auto cable = scriptedDevice("/dev/cable", 1);
  cable.readWriteAccess = false;
  platform->Plug(cable);
  start();
  link->Panel2Click();
  EXPECT_FALSE(link->USBConDown());
  EXPECT_FALSE(link->LinkOpened());
  ASSERT_EQ(shell.messages.size(), 1u);
  EXPECT_EQ(shell.messages[0], kNoAccessText);
  EXPECT_EQ(link->HistoryListBox().back(), "NO ACCESS: USB to Serial");
}

TEST_F(ConnectionControlTest, ReadErrorsAndLinkKinds) {
  platform->Plug(scriptedDevice("/dev/cable", 1));
  start();
  link->Panel2Click();
  platform->QueueStartFailure("/dev/cable", ScriptedHidPlatform::kRefused);
  ASSERT_TRUE(PumpUntil(*hidCtl, [&] { return link->HistoryListBox().size() == 2; }));
  EXPECT_EQ(link->HistoryListBox()[1].rfind("READ ERROR: ", 0), 0u);
  EXPECT_NE(link->HistoryListBox()[1].find(" (1F)"), std::string::npos);

  link->Panel1Click();  // only while "Connect" shows
  EXPECT_EQ(link->LinkKind(), 5);
  link->Panel2Click();
  for (int expected : {1, 2, 3, 4, 5, 1}) {
    link->Panel1Click();
    EXPECT_EQ(link->LinkKind(), expected);
  }
  EXPECT_TRUE(link->ComChecked(1));
  link->COMClick(1);
  EXPECT_FALSE(link->ComChecked(1));
}

}  // namespace
}  // namespace vexal
