// The device controller's list, claims, strings, properties and change reports, on the
// scripted backend.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "scripted_hid_fixture.h"

namespace vexal::testing {
namespace {

class HidControllerTest : public ScriptedHidTest {};

// --- Creation ----------------------------------------------------------------------------

TEST_F(HidControllerTest, CreationListsOpenableIdentifiableInterfacesInScanOrder) {
  platform->Plug(scriptedDevice("a", 1, u"Keyboard", 0x046D, 0xC31C));
  auto closed = scriptedDevice("b", 2);
  closed.openable = false;
  platform->Plug(closed);
  auto anonymous = scriptedDevice("c", 3);
  anonymous.identifiable = false;
  platform->Plug(anonymous);
  auto readOnly = scriptedDevice("d", 4);
  readOnly.readWriteAccess = false;
  platform->Plug(readOnly);

  THidDeviceController controller(platform);
  EXPECT_EQ(controller.Version(), "1.0.22");
  EXPECT_EQ(controller.DevThreadSleepTime(), 100);
  ASSERT_EQ(controller.DeviceList().size(), 2u);
  THidDevice &first = *controller.DeviceList()[0];
  EXPECT_EQ(first.PnPInfo().InterfacePath, "a");
  EXPECT_EQ(first.VendorId(), 0x046D);
  EXPECT_EQ(first.ProductId(), 0xC31C);
  EXPECT_EQ(first.VersionNumber(), 0x0100);
  EXPECT_TRUE(first.Attached());
  EXPECT_FALSE(first.Claimed());
  EXPECT_FALSE(first.InCallback());
  EXPECT_TRUE(first.ReadWriteAccess());
  EXPECT_EQ(first.SleepTime(), 100);
  // Opened without access rights: still listed, with its identity.
  THidDevice &second = *controller.DeviceList()[1];
  EXPECT_EQ(second.PnPInfo().InterfacePath, "d");
  EXPECT_FALSE(second.ReadWriteAccess());
  EXPECT_EQ(second.ProductId(), 0xE008);
  // Creation leaves no handle open.
  EXPECT_EQ(platform->OpenHandles("a"), 0);
  EXPECT_EQ(platform->OpenHandles("d"), 0);
}

TEST_F(HidControllerTest, OnlyOneControllerAtATime) {
  {
    THidDeviceController first(platform);
    try {
      THidDeviceController second(platform);
      FAIL() << "a second controller was created";
    } catch (const EControllerError &e) {
      EXPECT_STREQ(e.what(), "Only one THidDeviceController allowed per program");
    }
    // The refused second one did not give up the first one's count.
    EXPECT_THROW(THidDeviceController third(platform), EControllerError);
  }
  EXPECT_NO_THROW(THidDeviceController again(platform));
}

TEST_F(HidControllerTest, WithoutHidServicesTheListIsEmptyAndNothingIsWatched) {
  auto none = std::make_shared<ScriptedHidPlatform>(false);
  none->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(none);
  EXPECT_FALSE(controller.HidAvailable());
  EXPECT_TRUE(controller.DeviceList().empty());
  EXPECT_EQ(controller.ChangeNoticeFd(), -1);
  int changes = 0;
  controller.SetOnDeviceChange([&](THidDeviceController &) { ++changes; });
  EXPECT_EQ(changes, 1);  // the first assignment still reports
  EXPECT_TRUE(controller.DeviceList().empty());
  EXPECT_FALSE(controller.HandleChangeNotice());
}

// --- Claiming ----------------------------------------------------------------------------

TEST_F(HidControllerTest, ClaimByIndexRefusesOutOfRangeAndClaimedEntries) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  THidDeviceController controller(platform);

  EXPECT_EQ(controller.ClaimByIndex(-1), nullptr);
  EXPECT_EQ(controller.ClaimByIndex(2), nullptr);
  EXPECT_FALSE(controller.DeviceList()[0]->Claimed());
  EXPECT_FALSE(controller.DeviceList()[1]->Claimed());

  THidDevice *b = controller.ClaimByIndex(1);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b, controller.DeviceList()[1]);
  EXPECT_TRUE(b->Claimed());
  EXPECT_EQ(controller.ClaimByIndex(1), nullptr);
  EXPECT_TRUE(b->Claimed());
  EXPECT_FALSE(controller.DeviceList()[0]->Claimed());
  b->Release();
}

// --- Strings and the access rule -----------------------------------------------------------

TEST_F(HidControllerTest, HandlesOpenOnlyWhenClaimedOrInsideACallback) {
  platform->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(platform);
  THidDevice &entry = *controller.DeviceList()[0];
  const int opensBefore = platform->Opens("a", HidOpenMode::ReadWrite);

  // Listed but not claimed, outside any callback: nothing may be opened.
  EXPECT_EQ(entry.ProductString(), u"");
  const std::uint8_t feature[3] = {0, 1, 2};
  EXPECT_FALSE(entry.SendFeature(feature, sizeof feature));
  EXPECT_TRUE(platform->FeatureAttempts("a").empty());
  EXPECT_EQ(platform->Opens("a", HidOpenMode::ReadWrite), opensBefore);

  // Inside OnEnumerate the entry may be used; an unclaimed entry is closed after the call.
  std::u16string seen;
  controller.SetOnEnumerate([&](THidDevice &dev, int) {
    EXPECT_TRUE(dev.InCallback());
    seen = dev.ProductString();
    EXPECT_TRUE(dev.SendFeature(feature, sizeof feature));  // leaves the main handle open
    return true;
  });
  EXPECT_EQ(controller.Enumerate(), 1);
  EXPECT_EQ(seen, u"USB to Serial");
  EXPECT_FALSE(entry.InCallback());
  EXPECT_EQ(platform->OpenHandles("a"), 0);
  EXPECT_EQ(entry.ProductString(), u"USB to Serial");  // cached

  // Claimed, the main handle stays open after a feature report.
  THidDevice *claimed = controller.ClaimByIndex(0);
  ASSERT_NE(claimed, nullptr);
  EXPECT_TRUE(claimed->SendFeature(feature, sizeof feature));
  EXPECT_EQ(platform->OpenHandles("a"), 1);
  ASSERT_EQ(platform->FeatureAttempts("a").size(), 2u);
  EXPECT_EQ(platform->FeatureAttempts("a")[1].bytes, std::vector<std::uint8_t>({0, 1, 2}));
  claimed->Release();
}

TEST_F(HidControllerTest, DeviceWithoutReadWriteAccessIsClaimableButNeverReads) {
  auto readOnly = scriptedDevice("a", 1);
  readOnly.readWriteAccess = false;
  platform->Plug(readOnly);
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  THidDevice *dev = controller.ClaimByIndex(0);
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->ProductString(), u"USB to Serial");  // identity and strings still readable
  dev->SetDataHandler(Recorder(seen));
  EXPECT_FALSE(dev->Reading());
  EXPECT_EQ(platform->Opens("a", HidOpenMode::ReadAsync), 0);
  // The feature report is still tried on the main handle, and fails.
  const std::uint8_t feature[10] = {0x00, 0x60, 0x09, 0, 0, 0x03, 0, 0, 0, 0};
  EXPECT_FALSE(dev->SendFeature(feature, sizeof feature));
  ASSERT_EQ(platform->FeatureAttempts("a").size(), 1u);
  EXPECT_FALSE(platform->FeatureAttempts("a")[0].accepted);
  EXPECT_FALSE(dev->ReadWriteAccess());
  dev->Release();
}

TEST_F(HidControllerTest, RefusedFeatureReportGivesFalse) {
  auto refusing = scriptedDevice("a", 1);
  refusing.refuseFeature = true;
  platform->Plug(refusing);
  THidDeviceController controller(platform);
  THidDevice *dev = controller.ClaimByIndex(0);
  const std::uint8_t feature[10] = {0x00, 0x60, 0x09, 0, 0, 0x03, 0, 0, 0, 0};
  EXPECT_FALSE(dev->SendFeature(feature, sizeof feature));
  ASSERT_EQ(platform->FeatureAttempts("a").size(), 1u);
  EXPECT_EQ(platform->FeatureAttempts("a")[0].bytes,
            std::vector<std::uint8_t>(feature, feature + sizeof feature));
  dev->Release();
}

TEST_F(HidControllerTest, SerialNumberThatRepeatsTheLanguageListIsNoSerialNumber) {
  auto echo = scriptedDevice("echo", 1);
  echo.serial = u"\u0409";
  echo.languages = {0x0409};
  auto real = scriptedDevice("real", 2);
  real.serial = u"A1B2";
  auto noLanguages = scriptedDevice("nolang", 3);
  noLanguages.serial = u"A1B2";
  noLanguages.languagesReadable = false;
  platform->Plug(echo);
  platform->Plug(real);
  platform->Plug(noLanguages);
  THidDeviceController controller(platform);
  std::vector<THidDevice *> claimed;
  for (int i = 0; i < 3; ++i) claimed.push_back(controller.ClaimByIndex(i));
  EXPECT_EQ(claimed[0]->SerialString(), u"");
  EXPECT_EQ(claimed[1]->SerialString(), u"A1B2");
  EXPECT_EQ(claimed[2]->SerialString(), u"");
  for (THidDevice *dev : claimed) dev->Release();
}

TEST(SerialRule, ComparesOnlyTheLanguageListsLength) {
  std::array<char16_t, 254> serial{};
  std::array<std::uint16_t, 254> languages;
  languages.fill(0xFFFF);

  // Every unit FFFF: the list could not be read, so there is no serial number.
  serial[0] = u'X';
  EXPECT_EQ(acceptSerialString(serial.data(), languages.data(), 254), u"");

  // A closing zero unit does not count: list length 2.
  languages[0] = 0x0409;
  languages[1] = 0x0407;
  languages[2] = 0x0000;
  serial = {};
  serial[0] = 0x0409;
  serial[1] = 0x0407;
  serial[2] = u'Z';  // beyond the list: not compared
  EXPECT_EQ(acceptSerialString(serial.data(), languages.data(), 254), u"");
  serial[1] = u'Q';
  EXPECT_EQ(acceptSerialString(serial.data(), languages.data(), 254), u"\u0409QZ");

  // A last unit that is not zero counts.
  languages[2] = 0x0411;
  serial = {0x0409, 0x0407, 0x0411, u'T'};
  EXPECT_EQ(acceptSerialString(serial.data(), languages.data(), 254), u"");
}

TEST_F(HidControllerTest, UnreadableStringsStayEmptyAndAreTriedAgain) {
  auto shy = scriptedDevice("a", 1);
  shy.productReadable = false;
  shy.serialReadable = false;
  shy.serial = u"S-1";
  platform->Plug(shy);
  THidDeviceController controller(platform);
  THidDevice *dev = controller.ClaimByIndex(0);
  EXPECT_EQ(dev->ProductString(), u"");
  EXPECT_EQ(dev->SerialString(), u"");
  platform->Update("a", [](ScriptedHidPlatform::Device &d) {
    d.productReadable = true;
    d.serialReadable = true;
  });
  EXPECT_EQ(dev->ProductString(), u"USB to Serial");
  EXPECT_EQ(dev->SerialString(), u"S-1");
  EXPECT_EQ(platform->OpenHandles("a"), 0);  // each string read closes the main handle
  dev->Release();
}

TEST(HidText, Utf16ToUtf8KeepsPairsAndReplacesLoneSurrogates) {
  EXPECT_EQ(hidTextToUtf8(u"USB to Serial"), "USB to Serial");
  EXPECT_EQ(hidTextToUtf8(u"\u03A9"), "\xCE\xA9");
  EXPECT_EQ(hidTextToUtf8(u"\U0001F50C"), "\xF0\x9F\x94\x8C");
  EXPECT_EQ(hidTextToUtf8(std::u16string(1, char16_t{0xD800}) + u"a"),
            "\xEF\xBF\xBD"
            "a");
}

// --- Properties ----------------------------------------------------------------------------

TEST_F(HidControllerTest, SleepTimeAcceptsOnly10To10000) {
  platform->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(platform);
  THidDevice &dev = *controller.DeviceList()[0];
  dev.SetSleepTime(5);
  EXPECT_EQ(dev.SleepTime(), 100);
  dev.SetSleepTime(20000);
  EXPECT_EQ(dev.SleepTime(), 100);
  dev.SetSleepTime(10);
  EXPECT_EQ(dev.SleepTime(), 10);
  dev.SetSleepTime(10000);
  EXPECT_EQ(dev.SleepTime(), 10000);
}

TEST_F(HidControllerTest, DevThreadSleepTimeUpdatesOnlyDevicesWithTheOldValue) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  THidDeviceController controller(platform);
  THidDevice &a = *controller.DeviceList()[0];
  THidDevice &b = *controller.DeviceList()[1];
  b.SetSleepTime(50);

  controller.SetDevThreadSleepTime(5);  // stored, but no device takes it
  EXPECT_EQ(controller.DevThreadSleepTime(), 5);
  EXPECT_EQ(a.SleepTime(), 100);
  controller.SetDevThreadSleepTime(100);
  controller.SetDevThreadSleepTime(200);
  EXPECT_EQ(a.SleepTime(), 200);
  EXPECT_EQ(b.SleepTime(), 50);

  // New devices start at 100 whatever the property says.
  platform->Plug(scriptedDevice("c", 3));
  controller.DeviceChange();
  ASSERT_EQ(controller.DeviceList().size(), 3u);
  EXPECT_EQ(controller.DeviceList()[2]->SleepTime(), 100);
}

TEST_F(HidControllerTest, AssigningTheSameDataHandlerChangesNothing) {
  platform->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  const THidDataEvent handler = Recorder(seen);
  THidDevice *dev = controller.ClaimByIndex(0);

  controller.SetOnDeviceData(handler);  // the device had the old (empty) value: it follows
  EXPECT_TRUE(dev->DataHandler() == handler);
  EXPECT_TRUE(dev->Reading());
  dev->SetDataHandler(nullptr);
  EXPECT_FALSE(dev->Reading());

  controller.SetOnDeviceData(handler);  // same value again: not even the devices change
  EXPECT_FALSE(static_cast<bool>(dev->DataHandler()));
  EXPECT_FALSE(dev->Reading());

  const THidDataEvent other = Recorder(seen);  // made separately: a different handler
  EXPECT_FALSE(other == handler);
  controller.SetOnDeviceData(other);
  EXPECT_FALSE(static_cast<bool>(dev->DataHandler()));  // its value was not the old one
  dev->Release();
}

TEST_F(HidControllerTest, ErrorAndUnplugHandlersFollowTheControllerWhereTheyMatched) {
  platform->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(platform);
  THidDevice &dev = *controller.DeviceList()[0];
  const THidDataErrorEvent onError([](THidDevice &, std::uint32_t) {});
  const THidPlugEvent onUnplug([](THidDevice &) {});
  controller.SetOnDeviceDataError(onError);
  controller.SetOnDeviceUnplug(onUnplug);
  EXPECT_TRUE(dev.DataErrorHandler() == onError);
  EXPECT_TRUE(dev.UnplugHandler() == onUnplug);
  controller.SetOnDeviceDataError(nullptr);
  EXPECT_FALSE(static_cast<bool>(dev.DataErrorHandler()));
  // New entries start with the controller's handlers.
  platform->Plug(scriptedDevice("b", 2));
  controller.DeviceChange();
  EXPECT_TRUE(controller.DeviceList()[1]->UnplugHandler() == onUnplug);
  EXPECT_FALSE(static_cast<bool>(controller.DeviceList()[1]->DataErrorHandler()));
}

TEST_F(HidControllerTest, FirstOnDeviceChangeAssignmentReportsOnceEvenWithoutChange) {
  platform->Plug(scriptedDevice("a", 1));
  THidDeviceController controller(platform);
  int calls = 0;
  const THidNotifyEvent first([&](THidDeviceController &sender) {
    EXPECT_EQ(&sender, &controller);
    ++calls;
  });
  controller.SetOnDeviceChange(first);
  EXPECT_EQ(calls, 1);
  controller.SetOnDeviceChange(first);  // same value: nothing happens
  EXPECT_EQ(calls, 1);
  int otherCalls = 0;
  controller.SetOnDeviceChange([&](THidDeviceController &) { ++otherCalls; });
  EXPECT_EQ(otherCalls, 0);  // rescanned, nothing changed, already reported once
  controller.DeviceChange();
  EXPECT_EQ(otherCalls, 0);
  platform->Plug(scriptedDevice("b", 2));
  controller.DeviceChange();
  EXPECT_EQ(otherCalls, 1);
}

// --- Device changes ------------------------------------------------------------------------

TEST_F(HidControllerTest, InterfacesKeepTheirEntriesAcrossScans) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  THidDeviceController controller(platform);
  const std::vector<THidDevice *> before = controller.DeviceList();
  std::vector<std::string> arrivals;
  std::vector<std::string> removals;
  controller.SetOnArrival([&](THidDevice &d) {
    EXPECT_TRUE(d.InCallback());
    arrivals.push_back(d.PnPInfo().InterfacePath);
  });
  controller.SetOnRemoval([&](THidDevice &d) { removals.push_back(d.PnPInfo().InterfacePath); });

  controller.DeviceChange();
  EXPECT_EQ(controller.DeviceList(), before);
  EXPECT_TRUE(arrivals.empty());

  // A new interface is appended; a vanished unclaimed one is removed.
  platform->Plug(scriptedDevice("c", 3));
  platform->Plug(scriptedDevice("d", 4));
  platform->Unplug("a");
  controller.DeviceChange();
  ASSERT_EQ(controller.DeviceList().size(), 3u);
  EXPECT_EQ(controller.DeviceList()[0], before[1]);
  EXPECT_EQ(controller.DeviceList()[1]->PnPInfo().InterfacePath, "c");
  EXPECT_EQ(controller.DeviceList()[2]->PnPInfo().InterfacePath, "d");
  EXPECT_EQ(arrivals, (std::vector<std::string>{"c", "d"}));
  EXPECT_EQ(removals, (std::vector<std::string>{"a"}));

  // The same path plugged in again is a new device (new instance id): a new entry.
  platform->Unplug("b");
  platform->Plug(scriptedDevice("b", 7));
  arrivals.clear();
  removals.clear();
  controller.DeviceChange();
  EXPECT_EQ(removals, (std::vector<std::string>{"b"}));
  EXPECT_EQ(arrivals, (std::vector<std::string>{"b"}));
  EXPECT_EQ(controller.DeviceList().back()->PnPInfo().InstanceId, 7u);
}

TEST_F(HidControllerTest, RemovalsAreReportedFromTheEndOfTheList) {
  for (int i = 0; i < 4; ++i) platform->Plug(scriptedDevice("d" + std::to_string(i), i + 1));
  THidDeviceController controller(platform);
  std::vector<std::string> events;
  controller.SetOnRemoval(
      [&](THidDevice &d) { events.push_back("-" + d.PnPInfo().InterfacePath); });
  controller.SetOnArrival(
      [&](THidDevice &d) { events.push_back("+" + d.PnPInfo().InterfacePath); });
  controller.SetOnDeviceChange([&](THidDeviceController &) { events.push_back("change"); });
  events.clear();
  platform->Unplug("d0");
  platform->Unplug("d2");
  platform->Plug(scriptedDevice("e", 9));
  controller.DeviceChange();
  EXPECT_EQ(events, (std::vector<std::string>{"-d2", "-d0", "+e", "change"}));
}

TEST_F(HidControllerTest, ChangeNoticeRunsAScanOnlyWhenTheTreeChanged) {
  THidDeviceController controller(platform);
  ASSERT_GE(controller.ChangeNoticeFd(), 0);
  int arrivals = 0;
  controller.SetOnArrival([&](THidDevice &) { ++arrivals; });
  platform->Plug(scriptedDevice("a", 1));
  EXPECT_TRUE(controller.HandleChangeNotice());
  EXPECT_EQ(arrivals, 1);
  platform->RaiseNotice();
  EXPECT_FALSE(controller.HandleChangeNotice());
  EXPECT_EQ(controller.DeviceList().size(), 1u);
}

TEST_F(HidControllerTest, EnumerateWalksAttachedEntriesUntilTheHandlerSaysStop) {
  for (int i = 0; i < 3; ++i) platform->Plug(scriptedDevice("d" + std::to_string(i), i + 1));
  THidDeviceController controller(platform);
  // Without a handler the walk stops at the first attached entry.
  EXPECT_EQ(controller.Enumerate(), 1);

  // An unplugged, claimed entry is skipped, with its index still counted in the list.
  THidDevice *first = controller.ClaimByIndex(0);
  platform->Unplug("d0");
  controller.DeviceChange();
  ASSERT_EQ(controller.DeviceList().size(), 3u);
  std::vector<int> indexes;
  controller.SetOnEnumerate([&](THidDevice &, int idx) {
    indexes.push_back(idx);
    return true;
  });
  EXPECT_EQ(controller.Enumerate(), 2);
  EXPECT_EQ(indexes, (std::vector<int>{1, 2}));

  indexes.clear();
  controller.SetOnEnumerate([&](THidDevice &, int idx) {
    indexes.push_back(idx);
    return false;
  });
  EXPECT_EQ(controller.Enumerate(), 1);
  EXPECT_EQ(indexes, (std::vector<int>{1}));
  first->Release();
  EXPECT_EQ(controller.DeviceList().size(), 2u);
}

// --- Releasing -----------------------------------------------------------------------------

TEST_F(HidControllerTest, ReleaseOfAnAttachedDeviceRebuildsItsSlot) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  THidDeviceController controller(platform);
  std::vector<SeenReport> seen;
  const THidDataEvent data = Recorder(seen);
  const THidDataErrorEvent error([](THidDevice &, std::uint32_t) {});
  const THidPlugEvent unplug([](THidDevice &) {});
  controller.SetOnDeviceDataError(error);
  controller.SetOnDeviceUnplug(unplug);

  THidDevice *dev = controller.ClaimByIndex(1);
  dev->SetSleepTime(250);
  dev->SetDataHandler(data);
  EXPECT_TRUE(dev->Reading());
  dev->Release();

  ASSERT_EQ(controller.DeviceList().size(), 2u);
  THidDevice &fresh = *controller.DeviceList()[1];
  EXPECT_EQ(fresh.PnPInfo().InterfacePath, "b");
  EXPECT_EQ(fresh.PnPInfo().InstanceId, 2u);
  EXPECT_FALSE(fresh.Claimed());
  EXPECT_TRUE(fresh.Attached());
  EXPECT_FALSE(fresh.Reading());
  EXPECT_TRUE(fresh.DataHandler() == data);
  EXPECT_TRUE(fresh.DataErrorHandler() == error);
  EXPECT_TRUE(fresh.UnplugHandler() == unplug);
  EXPECT_EQ(fresh.SleepTime(), 250);
  EXPECT_EQ(platform->OpenHandles("b"), 0);

  // Claiming the slot again starts reading, as the data handler is still set.
  THidDevice *again = controller.ClaimByIndex(1);
  ASSERT_EQ(again, &fresh);
  EXPECT_TRUE(again->Reading());
  again->SetDataHandler(nullptr);
  again->Release();
}

TEST_F(HidControllerTest, ReleaseOfAVanishingDeviceDropsTheSlot) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  THidDeviceController controller(platform);
  THidDevice *dev = controller.ClaimByIndex(0);
  // Gone from the system but not yet noticed: the fresh entry cannot be built.
  platform->Unplug("a");
  dev->Release();
  ASSERT_EQ(controller.DeviceList().size(), 1u);
  EXPECT_EQ(controller.DeviceList()[0]->PnPInfo().InterfacePath, "b");
}

// --- Destruction ---------------------------------------------------------------------------

TEST_F(HidControllerTest, DestructionUnplugsClaimedEntriesAndLeavesThemToTheApplication) {
  platform->Plug(scriptedDevice("a", 1));
  platform->Plug(scriptedDevice("b", 2));
  int unplugs = 0;
  std::vector<SeenReport> seen;
  THidDevice *kept = nullptr;
  {
    THidDeviceController controller(platform);
    controller.SetOnDeviceUnplug([&](THidDevice &) { ++unplugs; });
    kept = controller.ClaimByIndex(0);
    kept->SetDataHandler(Recorder(seen));
    ASSERT_TRUE(kept->Reading());
  }
  EXPECT_EQ(unplugs, 0);  // the controller's unplug handler was cleared first
  EXPECT_FALSE(kept->Attached());
  EXPECT_TRUE(kept->Claimed());
  EXPECT_FALSE(kept->Reading());
  EXPECT_EQ(kept->Controller(), nullptr);
  EXPECT_EQ(kept->ProductString(), u"");  // not attached: nothing can be opened
  EXPECT_EQ(platform->OpenHandles("a"), 0);
  EXPECT_EQ(platform->OpenHandles("b"), 0);
  kept->Release();
}

}  // namespace
}  // namespace vexal::testing
