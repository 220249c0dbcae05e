#pragma once
// Shared set-up of the HID controller tests: a scripted backend with devices made to order,
// and a pump that plays the GUI thread until something has happened.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/HidControllerClass.h"
#include "support/ScriptedHidPlatform.h"

namespace vexal::testing {

using namespace std::chrono_literals;

inline ScriptedHidPlatform::Device scriptedDevice(const std::string &path, std::uint32_t id,
                                                  std::u16string product = u"USB to Serial",
                                                  std::uint16_t vid = 0x1A86,
                                                  std::uint16_t pid = 0xE008) {
  ScriptedHidPlatform::Device device;
  device.path = path;
  device.instanceId = id;
  device.attributes = {vid, pid, 0x0100};
  device.product = std::move(product);
  return device;
}

// One report as the data handler saw it.
struct SeenReport {
  THidDevice *device;
  std::uint8_t reportId;
  std::vector<std::uint8_t> data;
};

class ScriptedHidTest : public ::testing::Test {
 protected:
  std::shared_ptr<ScriptedHidPlatform> platform = std::make_shared<ScriptedHidPlatform>();

  // Plays the GUI thread: carries out hand-overs until `done` holds (true) or 5 s pass.
  static bool PumpUntil(THidDeviceController &controller, const std::function<bool()> &done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (controller.processHandOvers() == 0) std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  // A data handler that records every report it gets.
  THidDataEvent Recorder(std::vector<SeenReport> &seen) {
    return THidDataEvent(
        [&seen](THidDevice &dev, std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
          seen.push_back({&dev, id, std::vector<std::uint8_t>(data, data + size)});
        });
  }
};

}  // namespace vexal::testing
