#pragma once
// Pieces of the tool's JSON output lines.

#include <string>
#include <string_view>

namespace vexal {

// `utf8` as a JSON string: quoted, with '"', '\' and control characters escaped.
void appendJsonString(std::string &out, std::string_view utf8);

}  // namespace vexal
