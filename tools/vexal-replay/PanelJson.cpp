#include "PanelJson.h"

#include "common/Cp936.h"
#include "common/JsonText.h"

namespace vexal {

std::string panelJson(const PanelState &panel, const Reading &reading, bool recorded) {
  std::string out = "{\"value\":";
  appendJsonString(out, cp936ToUtf8(reading.ValueText));
  out += ",\"unit\":";
  appendJsonString(out, cp936ToUtf8(reading.UnitText));
  out += ",\"function\":";
  appendJsonString(out, cp936ToUtf8(reading.FunctionText));
  out += ",\"mode\":";
  appendJsonString(out, cp936ToUtf8(reading.ModeText));
  out += ",\"recorded\":";
  out += recorded ? "true" : "false";
  out += ",\"visible\":[";
  bool first = true;
  for (std::size_t i = 0; i < kElementCount; ++i) {
    auto e = static_cast<Element>(i);
    if (!panel.visible(e)) continue;
    if (!first) out += ',';
    first = false;
    appendJsonString(out, elementName(e));
  }
  out += "],\"digits\":{";
  for (std::size_t i = 0; i < kDigitElementCount; ++i) {
    auto e = static_cast<Element>(i);
    if (i) out += ',';
    appendJsonString(out, elementName(e));
    out += ':';
    appendJsonString(out, std::string(1, panel.digit(e)));
  }
  out += "}}";
  return out;
}

}  // namespace vexal
