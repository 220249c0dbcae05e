#pragma once
// Texts of readings and files are byte strings in code page 936 (GBK). They are kept as
// bytes everywhere in the core and converted only where they are shown to a person.

#include <string>
#include <string_view>

namespace vexal {

// The ohm sign in code page 936.
inline constexpr std::string_view kOhm = "\xA6\xB8";

// Code page 936 bytes to UTF-8. A byte sequence that is not valid GBK is kept as far as it
// converts; each unconvertible byte becomes U+FFFD.
std::string cp936ToUtf8(std::string_view bytes);

// UTF-8 to code page 936 bytes. A character without a GBK form becomes '?'.
std::string utf8ToCp936(std::string_view utf8);

}  // namespace vexal
