#pragma once
// Texts of readings and files are byte strings in code page 936 (GBK). They are kept as
// bytes everywhere in the core and converted only where they are shown to a person.

#include <string_view>

#include "common/TextEncoding.h"  // cp936ToUtf8, utf8ToCp936

namespace vexal {

// The ohm sign in code page 936.
inline constexpr std::string_view kOhm = "\xA6\xB8";

}  // namespace vexal
