#pragma once
// Meter frames the tests share.

namespace vexal {

// The worked example: "12.34" GΩ on the 1000 V test ("IR:1000V 40GΩ"), continuous.
inline constexpr const char *kWorkedExampleFrame = "FFC0000000000000000006EBA7368057D7DFD0EF0D0A";

}  // namespace vexal
