#pragma once
// Texts in JSON output lines (vexal-replay, vexal-log).

#include <string>
#include <string_view>

namespace vexal {

// `utf8` as a JSON string: quoted, with '"', '\' and control characters escaped.
void appendJsonString(std::string &out, std::string_view utf8);
std::string jsonString(std::string_view utf8);

}  // namespace vexal
