#pragma once
// Input quoted back in a message: cut to a few dozen bytes, with control bytes, non-ASCII
// bytes and the backslash escaped, so a bad token can neither flood a terminal nor send it
// control sequences.

#include <cstddef>
#include <string>
#include <string_view>

namespace vexal {

inline constexpr std::size_t kEchoLimit = 40;

// At most `limit` bytes of `text`, each control (below 0x20, and 0x7F) and non-ASCII byte
// written as \xHH, the backslash as \\, and "..." after a text that was cut.
std::string echoInput(std::string_view text, std::size_t limit = kEchoLimit);

}  // namespace vexal
