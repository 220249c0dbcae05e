// What the Linux HID backend works out without a device: report descriptors, instance ids
// from the kernel's HID device names, ids from HID_ID, the notice source, text conversion.
// And that the backend itself starts and lists on a machine without HID devices.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "link/HidControllerClass.h"
#include "link/HidPlatformLinux.h"

namespace vexal {
namespace {

TEST(ReportDescriptor, CableWithoutReportIds) {
  // Vendor page; 8-byte input and output reports, a 9-byte feature report; no report IDs.
  const std::vector<std::uint8_t> cable = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                                           0x26, 0xFF, 0x00, 0x75, 0x08, 0x09, 0x02, 0x95, 0x08,
                                           0x81, 0x02, 0x09, 0x03, 0x95, 0x08, 0x91, 0x02, 0x09,
                                           0x04, 0x95, 0x09, 0xB1, 0x02, 0xC0};
  const HidReportLayout layout = parseReportDescriptor(cable.data(), cable.size());
  EXPECT_EQ(layout.inputReportLength, 9);  // 8 bytes + the report-ID byte
  EXPECT_FALSE(layout.usesReportIds);
}

TEST(ReportDescriptor, LongestInputReportOfSeveralIdsWithPushAndPop) {
  const std::vector<std::uint8_t> descriptor = {
      0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // mouse-like collection
      0x85, 0x01,                          // Report ID 1
      0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  // 3 bits
      0x75, 0x05, 0x95, 0x01, 0x81, 0x01,  // 5 bits padding
      0xA4,                                // Push
      0x75, 0x10, 0x95, 0x02, 0x81, 0x06,  // 2 x 16 bits: report 1 = 5 bytes
      0xB4,                                // Pop: size 5, count 1 again
      0x85, 0x02,                          // Report ID 2
      0x75, 0x08, 0x95, 0x0A, 0x81, 0x02,  // 10 bytes
      0x95, 0x40, 0x91, 0x02,              // a long output report does not count
      0x96, 0x00, 0x01, 0xB1, 0x02,        // nor a 256-byte feature report
      0xC0};
  const HidReportLayout layout = parseReportDescriptor(descriptor.data(), descriptor.size());
  EXPECT_TRUE(layout.usesReportIds);
  EXPECT_EQ(layout.inputReportLength, 11);
}

TEST(ReportDescriptor, TruncatedOrEmptyDescriptorsDoNotOverrun) {
  EXPECT_EQ(parseReportDescriptor(nullptr, 0).inputReportLength, 0);
  const std::vector<std::uint8_t> noInputs = {0x75, 0x08, 0x95, 0x04, 0x91, 0x02};
  EXPECT_EQ(parseReportDescriptor(noInputs.data(), noInputs.size()).inputReportLength, 0);
  const std::vector<std::uint8_t> cut = {0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0x27, 0xFF};
  EXPECT_EQ(parseReportDescriptor(cut.data(), cut.size()).inputReportLength, 5);
  const std::vector<std::uint8_t> longItem = {0xFE, 0x10, 0x01, 0x75};  // claims 16 bytes
  EXPECT_EQ(parseReportDescriptor(longItem.data(), longItem.size()).inputReportLength, 0);
}

TEST(HidSysName, SequenceNumberIsTheInstanceId) {
  EXPECT_EQ(hidSequenceNumber("0003:1A86:E008.0005"), 5u);
  EXPECT_EQ(hidSequenceNumber("0003:1A86:E008.001F"), 0x1Fu);
  EXPECT_EQ(hidSequenceNumber("0005:046D:B01A.12345678"), 0x12345678u);
  EXPECT_FALSE(hidSequenceNumber("hidraw0"));
  EXPECT_FALSE(hidSequenceNumber("0003:1A86:E008"));
  EXPECT_FALSE(hidSequenceNumber("0003:1A86:E008."));
  EXPECT_FALSE(hidSequenceNumber("0003:1A86:E008.00G1"));
  EXPECT_FALSE(hidSequenceNumber("0003:1A86:E008.123456789"));
}

TEST(HidSysName, HidIdGivesVendorAndProduct) {
  const auto ids = parseHidId("0003:00001A86:0000E008");
  ASSERT_TRUE(ids);
  EXPECT_EQ(ids->VendorId, 0x1A86);
  EXPECT_EQ(ids->ProductId, 0xE008);
  EXPECT_FALSE(parseHidId("0003:00001A86"));
  EXPECT_FALSE(parseHidId("0003:00011A86:0000E008"));  // does not fit 16 bits
  EXPECT_FALSE(parseHidId("0003:xyz:0000E008"));
}

TEST(ChangeNotices, UdevSourceOnlyWhereTheDaemonRuns) {
  EXPECT_STREQ(udevMonitorSource(true), "udev");
  EXPECT_STREQ(udevMonitorSource(false), "kernel");
}

TEST(HidTextConversion, WideAndUtf8IntoBoundedUtf16) {
  std::array<char16_t, 8> buffer;
  buffer.fill(u'#');
  wideToUtf16(L"USB to Serial", buffer.data(), buffer.size());
  EXPECT_EQ(std::u16string(buffer.data()), u"USB to ");  // cut, always zero-terminated
  wideToUtf16(L"a\U0001F50C", buffer.data(), buffer.size());
  EXPECT_EQ(std::u16string(buffer.data()), u"a\U0001F50C");
  std::array<char16_t, 3> small;
  wideToUtf16(L"a\U0001F50C", small.data(), small.size());  // no half pair
  EXPECT_EQ(std::u16string(small.data()), u"a");
  utf8ToUtf16("\xCE\xA9 ok", buffer.data(), buffer.size());
  EXPECT_EQ(std::u16string(buffer.data()), u"\u03A9 ok");
  utf8ToUtf16(
      "a\xFF"
      "b",
      buffer.data(), buffer.size());
  EXPECT_EQ(std::u16string(buffer.data()), u"a\uFFFDb");
}

TEST(HidPlatformLinux, StartsAndListsWithoutDevices) {
  HidPlatformLinux platform;
  // On a machine without hidraw devices the list is empty; with some, every entry has a node.
  for (const HidInterface &itf : platform.ListInterfaces()) {
    EXPECT_EQ(itf.InterfacePath.rfind("/dev/", 0), 0u) << itf.InterfacePath;
  }
  EXPECT_EQ(platform.Open("/nonexistent/hidraw99", HidOpenMode::ReadWrite), kNoHidHandle);
  EXPECT_NE(platform.LastError(), 0u);
  EXPECT_FALSE(platform.ErrorText(platform.LastError()).empty());
  std::uint8_t buffer[9];
  EXPECT_FALSE(platform.StartRead(kNoHidHandle, buffer, sizeof buffer));
  EXPECT_NE(platform.LastError(), 0u);
}

TEST(HidPlatformLinux, ControllerRunsOnTheSystemBackend) {
  THidDeviceController controller(makeSystemHidPlatform());
  int changes = 0;
  controller.SetOnDeviceChange([&](THidDeviceController &) { ++changes; });
  EXPECT_EQ(changes, 1);
  if (controller.HidAvailable()) {
    // Listening for hot-plug notices works here, through one of the two sources.
    EXPECT_GE(controller.ChangeNoticeFd(), 0);
    EXPECT_FALSE(controller.HandleChangeNotice());
  }
}

}  // namespace
}  // namespace vexal
