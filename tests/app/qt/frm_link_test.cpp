// The main window's meter link, driven by a scripted HID backend: Connect, frames from the
// cable reaching the panel and the grid, the watchdog timer and the hidden controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/qt/FrmTest.h"
#include "app/qt/PanelButton.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedHidPlatform.h"

namespace vexal {
namespace {

using namespace std::chrono_literals;

ScriptedHidPlatform::Device cable(const std::string &path, std::uint32_t id,
                                  std::u16string product = u"USB to Serial") {
  ScriptedHidPlatform::Device d;
  d.path = path;
  d.instanceId = id;
  d.attributes = {0x1A86, 0xE008, 0x0100};
  d.product = std::move(product);
  return d;
}

// The worked example 12.34 GΩ as the cable's 8-byte reports (report-ID byte first).
std::vector<std::vector<std::uint8_t>> exampleReports() {
  const char *hex = kWorkedExampleFrame;
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 44; i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t at = 0; at < bytes.size(); at += 7) {
    const std::size_t n = std::min<std::size_t>(7, bytes.size() - at);
    std::vector<std::uint8_t> r{0x00, static_cast<std::uint8_t>(0xF0 | n)};
    r.insert(r.end(), bytes.begin() + at, bytes.begin() + at + n);
    r.resize(9, 0);
    reports.push_back(r);
  }
  reports.push_back({0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0});
  return reports;
}

class FrmLinkTest : public ::testing::Test {
 protected:
  void start() { frm = std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs, platform}); }
  bool processUntil(const std::function<bool()> &done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }

  FixedClock clock{3'600'000};
  ScriptedDialogs dialogs;
  std::shared_ptr<ScriptedHidPlatform> platform = std::make_shared<ScriptedHidPlatform>();
  std::unique_ptr<TFrmTest> frm;
};

TEST_F(FrmLinkTest, ConnectReadsTheCableIntoPanelAndGrid) {
  platform->Plug(cable("/dev/hidraw0", 1));
  start();
  ASSERT_EQ(frm->DevListBox->count(), 1);
  EXPECT_EQ(frm->DevListBox->currentRow(), 0);
  EXPECT_EQ(frm->Panel2->caption(), "Connect");

  QTest::mouseClick(frm->Panel2, Qt::LeftButton);
  EXPECT_EQ(frm->Panel2->caption(), "Disconnect");
  EXPECT_TRUE(frm->USBCon->isChecked());
  EXPECT_FALSE(frm->Comset->isEnabled());
  ASSERT_EQ(frm->HistoryListBox->count(), 1);
  EXPECT_EQ(frm->HistoryListBox->item(0)->text(), "60 09 00 00 03 00 00 00 00 00 ");
  EXPECT_FALSE(frm->Timer2->isActive());

  const auto reports = exampleReports();
  for (std::size_t i = 0; i + 1 < reports.size(); ++i)
    platform->QueueReport("/dev/hidraw0", reports[i]);
  // The frame's last report comes while the reader waits for the cable (it has caught up).
  ASSERT_TRUE(processUntil([&] {
    return platform->WaitForIdleRead("/dev/hidraw0", 0ms) && !frm->link().ReadingBehind();
  }));
  platform->QueueReport("/dev/hidraw0", reports.back());
  ASSERT_TRUE(processUntil([&] { return frm->session().cds1.rowCount() == 1; }));
  EXPECT_EQ(frm->session().reading.ValueText, "12.34");
  EXPECT_TRUE(frm->Timer2->isActive());  // the watchdog runs from the first decoded frame
  // The reading thread holds for half a second after the decoded frame, in its wait slices.
  ASSERT_TRUE(processUntil([&] {
    std::chrono::milliseconds held{0};
    for (auto s : platform->Sleeps()) held += s;
    return held >= 500ms;
  }));

  QTest::mouseClick(frm->Panel2, Qt::LeftButton);
  EXPECT_EQ(frm->Panel2->caption(), "Connect");
  EXPECT_FALSE(frm->USBCon->isChecked());
  EXPECT_FALSE(frm->Timer2->isActive());
  EXPECT_TRUE(frm->Comset->isEnabled());
}

TEST_F(FrmLinkTest, ClosingWhileAFrameIsHandedOverEndsCleanly) {
  platform->Plug(cable("/dev/hidraw0", 1));
  start();
  QTest::mouseClick(frm->Panel2, Qt::LeftButton);
  auto reports = exampleReports();
  for (std::size_t i = 0; i + 1 < reports.size(); ++i)
    platform->QueueReport("/dev/hidraw0", reports[i]);
  ASSERT_TRUE(processUntil([&] { return frm->session().assembler.FrameBuffer().size() == 44; }));
  // The report that closes the frame is read and waits in its hand-over as the window goes.
  platform->QueueReport("/dev/hidraw0", reports.back());
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (platform->QueuedReads("/dev/hidraw0") > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  const MeterSession *meter = &frm->session();
  EXPECT_EQ(meter->cds1.rowCount(), 0u);
  frm.reset();  // stops the reading thread, which hands the frame over first
  EXPECT_EQ(platform->OpenHandles("/dev/hidraw0"), 0);
}

TEST_F(FrmLinkTest, LinkHistoryIsReachableFromTheConnectPanel) {
  platform->Plug(cable("/dev/hidraw0", 1));
  start();
  ASSERT_EQ(frm->Panel2->actions().size(), 1);
  frm->Panel2->actions().first()->trigger();
  ASSERT_TRUE(frm->LinkHistory && frm->LinkHistory->isVisible());
  ASSERT_EQ(frm->LinkHistoryDevices->count(), 1);
  EXPECT_EQ(frm->LinkHistoryDevices->item(0)->text(), "USB to Serial  (selected)");
  EXPECT_EQ(frm->LinkHistoryLines->count(), 0);
  QTest::mouseClick(frm->Panel2, Qt::LeftButton);  // new lines show while it is open
  ASSERT_EQ(frm->LinkHistoryLines->count(), 1);
  EXPECT_EQ(frm->LinkHistoryLines->item(0)->text(), "60 09 00 00 03 00 00 00 00 00 ");
  QTest::mouseClick(frm->Panel2, Qt::RightButton);  // the right button does not connect
  EXPECT_EQ(frm->Panel2->caption(), "Disconnect");
}

TEST_F(FrmLinkTest, ConnectWithoutCableSaysSo) {
  start();
  QTest::mouseClick(frm->Panel2, Qt::LeftButton);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, QString::fromLatin1(kCableMissingText));
  EXPECT_EQ(dialogs.boxes[0].icon, BoxIcon::Information);
  EXPECT_EQ(frm->Panel2->caption(), "Connect");
  // The right click on Connect shows the attempt.
  frm->Panel2->actions().first()->trigger();
  ASSERT_EQ(frm->LinkHistoryLines->count(), 1);
  EXPECT_EQ(frm->LinkHistoryLines->item(0)->text(),
            "NO CABLE: no \"USB to Serial\" among the 0 HID devices seen");
}

TEST_F(FrmLinkTest, PluggingInRebuildsTheListAndTheWatchdogTicks) {
  start();
  EXPECT_EQ(frm->DevListBox->count(), 0);
  platform->Plug(cable("/dev/hidraw3", 7));
  ASSERT_TRUE(processUntil([&] { return frm->DevListBox->count() == 1; }));
  EXPECT_EQ(frm->HistoryListBox->item(0)->text(), "Arrival of USB to Serial");
  EXPECT_EQ(frm->DevListBox->currentRow(), 0);

  QTest::mouseClick(frm->Panel2, Qt::LeftButton);
  frm->link().restartWatchdog();  // as a decoded frame does
  ASSERT_TRUE(frm->Timer2->isActive());
  frm->Timer2Timer();  // a second without frames: the released half
  EXPECT_FALSE(frm->USBCon->isChecked());
  EXPECT_EQ(frm->Panel2->caption(), "Disconnect");
  frm->Timer2Timer();  // re-opened with a fresh feature report
  EXPECT_TRUE(frm->USBCon->isChecked());
  EXPECT_EQ(platform->FeatureAttempts("/dev/hidraw3").size(), 3u);
}

}  // namespace
}  // namespace vexal
