// Recording the cable's reports into a capture file: which device is taken, and what the
// file says (it must read back through the replay's own parser).

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "link/CableCapture.h"
#include "link/CaptureFormat.h"
#include "scripted_hid_fixture.h"

namespace vexal::testing {
namespace {

class CableCaptureTest : public ScriptedHidTest {};

TEST_F(CableCaptureTest, ListsEveryDeviceAndPicksTheLastCableWithoutSerialNumber) {
  platform->Plug(scriptedDevice("/dev/hidraw0", 1));
  platform->Plug(scriptedDevice("/dev/hidraw1", 2, u"", 0x001A, 0x002B));
  auto withSerial = scriptedDevice("/dev/hidraw2", 3);
  withSerial.serial = u"0001";
  platform->Plug(withSerial);
  platform->Plug(scriptedDevice("/dev/hidraw3", 4));
  auto locked = scriptedDevice("/dev/hidraw4", 5, u"Keyboard");
  locked.readWriteAccess = false;
  platform->Plug(locked);
  THidDeviceController controller(platform);

  const std::vector<CaptureCandidate> list = listCaptureCandidates(controller);
  ASSERT_EQ(list.size(), 5u);
  EXPECT_TRUE(list[0].isCable);
  EXPECT_FALSE(list[1].isCable);
  EXPECT_FALSE(list[2].isCable);  // a serial number: not the meter's cable
  EXPECT_TRUE(list[3].isCable);
  EXPECT_EQ(describeCandidate(list[0]), "[0] 1A86:E008 USB to Serial  /dev/hidraw0");
  EXPECT_EQ(describeCandidate(list[1]), "[1] 001A:002B (no name)  /dev/hidraw1");
  EXPECT_EQ(describeCandidate(list[2]), "[2] 1A86:E008 USB to Serial  /dev/hidraw2  serial 0001");
  EXPECT_EQ(describeCandidate(list[4]),
            "[4] 1A86:E008 Keyboard  /dev/hidraw4  (no read/write access)");
  // The walk leaves nothing claimed or open, and the previous handler in place.
  for (THidDevice *dev : controller.DeviceList()) EXPECT_FALSE(dev->Claimed());
  EXPECT_EQ(platform->OpenHandles("/dev/hidraw0"), 0);
  EXPECT_FALSE(static_cast<bool>(controller.OnEnumerate()));

  EXPECT_EQ(chooseCaptureIndex(list, -1), 3);
  EXPECT_EQ(chooseCaptureIndex(list, 1), 1);
  EXPECT_EQ(chooseCaptureIndex(list, 5), -1);
  EXPECT_EQ(chooseCaptureIndex({list[1], list[2]}, -1), -1);
}

TEST(CaptureWriter, WaitsCarryTheMillisecondsBetweenReports) {
  std::ostringstream out;
  CaptureWriter writer(out);
  const auto t0 = CaptureWriter::Clock::time_point{} + std::chrono::hours(5);
  const std::uint8_t data[8] = {0xF3, 0x0D, 0x0A, 0x7F, 0, 0, 0, 0};
  writer.Comment("device\nsecond line");
  writer.Report(t0, 0x00, data, 8);
  writer.Report(t0 + std::chrono::microseconds(400), 0x00, data, 1);  // under 1 ms: no wait
  writer.Report(t0 + std::chrono::microseconds(12'700), 0x00, data, 0);
  writer.Report(t0 + std::chrono::microseconds(25'300), 0x05, data, 2);
  EXPECT_EQ(out.str(),
            "# device\n"
            "# second line\n"
            "R 00  F3 0D 0A 7F 00 00 00 00 \n"
            "R 00  F3 \n"
            "W 12\n"
            "R 00  \n"
            "W 13\n"  // 25.3 ms in all: the 0.7 ms left over from the first wait counts here
            "R 05  F3 0D \n");
  EXPECT_EQ(writer.Reports(), 4u);
}

TEST(CaptureWriter, OutputReadsBackThroughTheReplayParser) {
  std::ostringstream out;
  CaptureWriter writer(out);
  const auto t0 = CaptureWriter::Clock::now();
  const std::vector<std::vector<std::uint8_t>> reports = {
      {0xF7, 1, 2, 3, 4, 5, 6, 7}, {0xF0, 0, 0, 0, 0, 0, 0, 0}, {}};
  writer.Comment("capture");
  for (std::size_t i = 0; i < reports.size(); ++i) {
    writer.Report(t0 + std::chrono::milliseconds(40 * i), 0x00, reports[i].data(),
                  static_cast<std::uint16_t>(reports[i].size()));
  }
  std::istringstream in(out.str());
  std::string line;
  std::vector<std::vector<std::uint8_t>> back;
  std::uint64_t waited = 0;
  while (std::getline(in, line)) {
    const CaptureItem item = parseCaptureLine(line);
    ASSERT_FALSE(std::holds_alternative<CaptureError>(item)) << line;
    if (const auto *r = std::get_if<CaptureReport>(&item)) back.push_back(r->data);
    if (const auto *w = std::get_if<CaptureWait>(&item)) waited += w->ms;
  }
  EXPECT_EQ(back, reports);
  EXPECT_EQ(waited, 80u);
}

}  // namespace
}  // namespace vexal::testing
