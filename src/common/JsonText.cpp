#include "common/JsonText.h"

#include <cstdio>

namespace vexal {

void appendJsonString(std::string &out, std::string_view utf8) {
  out += '"';
  for (char ch : utf8) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  out += '"';
}

std::string jsonString(std::string_view utf8) {
  std::string out;
  appendJsonString(out, utf8);
  return out;
}

}  // namespace vexal
