#pragma once
// One line of JSON describing the panel and the reading after a decoder call.

#include <string>

#include "decode/PanelState.h"
#include "decode/Reading.h"

namespace vexal {

std::string panelJson(const PanelState &panel, const Reading &reading, bool recorded);

}  // namespace vexal
