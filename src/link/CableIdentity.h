#pragma once
// How the meter's interface cable is recognised and configured.

#include <array>
#include <cstdint>

namespace vexal {

// The cable's product string; it has no serial number.
inline constexpr const char *kCableName = "USB to Serial";

// The 10-byte feature report that sets the cable's line rate to 2400: report ID 0, then
// 2400 low byte first, 0, 0, 3, 0, 0, 0, 0.
inline constexpr std::array<std::uint8_t, 10> kCableFeatureReport = {0x00, 0x60, 0x09, 0x00, 0x00,
                                                                     0x03, 0x00, 0x00, 0x00, 0x00};

}  // namespace vexal
