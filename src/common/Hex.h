#pragma once
// Bytes as uppercase hexadecimal text, as frames, captures and the link history show them.

#include <cstdint>
#include <string>

namespace vexal {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends `byte` as two uppercase hexadecimal digits, high nibble first.
inline void appendHexByte(std::string &text, std::uint8_t byte) {
  text.push_back(kHexDigits[byte >> 4]);
  text.push_back(kHexDigits[byte & 0x0F]);
}

}  // namespace vexal
