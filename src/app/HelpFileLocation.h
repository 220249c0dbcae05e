#pragma once
// Where the help command finds the help file "lusk.hlp": beside the program first (a build
// folder, or a program unpacked in a folder of its own), then in the data folder of an
// installed program (<prefix>/share/vexal beside <prefix>/bin).

#include <string>
#include <string_view>

namespace vexal {

inline constexpr std::string_view kHelpFileName = "lusk.hlp";

// The help file for the program in `appDir` (the program's folder, ending with "/"): the first
// of the places above that holds a file of that name. When neither does, the place beside the
// program, so that the help viewer reports the file missing where it belongs.
std::string helpFilePath(const std::string &appDir);

}  // namespace vexal
